#include "WindowOptions.h"

#include "Platform.h"
#include "TextEscape.h"

bool ParseWindowOptions(const std::vector<std::string>& args, WindowOptions& options, std::string& error)
{
    return ParseSessionArgs(args, options, error);
}

std::string RefusedCommandLineText(const std::string& error)
{
    // The error quotes a word of the command line, in the system's 8-bit
    // code page on Windows.
    return "Tolvane does not understand its command line: " + EscapeBytes(tolvane::platform::NameForShow(error)) +
           ".\n\n"
           "Usage: Tolvane [--history FILE] [--approved FILE [--trust KEY]... [--signature FILE]] [--verify]\n" +
           SessionArgsUsage() + "\nNo hub has been scanned or upgraded.\n";
}
