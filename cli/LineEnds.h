// The line ends of tolvane-cli's text on standard output. The log keeps the
// window's CR LF, which the Windows build shows as it is; on POSIX systems
// tools such as grep and wc expect LF, so the text's CR LF become LF there.
// JSON documents carry the log unchanged, its CR LF escaped.
#ifndef TOLVANE_CLI_LINEENDS_H
#define TOLVANE_CLI_LINEENDS_H

#include <string>

// Every CR LF of text as LF; a CR alone stays.
inline std::string WithLfLineEnds(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
            continue;
        out += text[at];
    }
    return out;
}

// Text as this system's standard output ends its lines.
inline std::string ForStdout(const std::string& text)
{
#ifdef _WIN32
    return text;
#else
    return WithLfLineEnds(text);
#endif
}

#endif
