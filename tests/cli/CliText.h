// The text tolvane-cli writes on standard output, as a test expects it: the
// log's CR LF line ends become LF on POSIX systems and stay on Windows.
#ifndef TOLVANE_TESTS_CLITEXT_H
#define TOLVANE_TESTS_CLITEXT_H

#include <string>

inline std::string CliText(const std::string& windowsText)
{
#ifdef _WIN32
    return windowsText;
#else
    std::string text;
    for (std::size_t at = 0; at < windowsText.size(); ++at)
        if (!(windowsText[at] == '\r' && at + 1 < windowsText.size() && windowsText[at + 1] == '\n'))
            text += windowsText[at];
    return text;
#endif
}

#endif
