#include "WindowOptions.h"

#include "Platform.h"
#include "StrictNumber.h"
#include "TextEscape.h"

namespace {
constexpr unsigned kMostBoards = 1000000;

// Takes --loop and --boards N out of args, leaving the session's options.
bool TakeLoopOptions(std::vector<std::string>& args, WindowOptions& options, std::string& error)
{
    std::vector<std::string> rest;
    bool boardsGiven = false;
    for (std::size_t at = 0; at < args.size(); ++at) {
        const std::string& word = args[at];
        if (word == "--loop") {
            if (options.loop) {
                error = RepeatedOptionError(word);
                return false;
            }
            options.loop = true;
            continue;
        }
        if (word != "--boards" && word.rfind("--boards=", 0) != 0) {
            rest.push_back(word);
            continue;
        }
        std::string value = word.size() > 9 ? word.substr(9) : std::string();
        if (word == "--boards" && at + 1 < args.size())
            value = args[++at];
        if (boardsGiven) {
            error = RepeatedOptionError("--boards");
            return false;
        }
        boardsGiven = true;
        std::uint64_t boards = 0;
        if (strict_number::Parse(value, kMostBoards, boards) != strict_number::Fault::None || boards == 0) {
            error = "--boards needs a number of boards from 1 to " + std::to_string(kMostBoards);
            return false;
        }
        options.boards = static_cast<unsigned>(boards);
    }
    if (boardsGiven && !options.loop) {
        error = "--boards needs --loop";
        return false;
    }
    args = rest;
    return true;
}
} // namespace

bool ParseWindowOptions(const std::vector<std::string>& args, WindowOptions& options, std::string& error)
{
    options = WindowOptions();
    std::vector<std::string> session = args;
    WindowOptions loop;
    if (!TakeLoopOptions(session, loop, error))
        return false;
    if (!ParseSessionArgs(session, options, error))
        return false;
    options.loop = loop.loop;
    options.boards = loop.boards;
    return true;
}

std::string RefusedCommandLineText(const std::string& error)
{
    // The error quotes a word of the command line, in the system's 8-bit
    // code page on Windows.
    return "Tolvane does not understand its command line: " + EscapeBytes(tolvane::platform::NameForShow(error)) +
           ".\n\n"
           "Usage: Tolvane [--history FILE] [--approved FILE [--trust KEY]... [--signature FILE]] [--verify]\n"
           "               [--station NAME] [--lot LOT] [--loop [--boards N]]\n" +
           SessionArgsUsage() +
           UsageRow("--loop", nullptr, "upgrade board after board: wait for its hubs, upgrade, wait until they go") +
           UsageRow("--boards", "N", "end the loop after N boards") + "\nNo hub has been scanned or upgraded.\n";
}
