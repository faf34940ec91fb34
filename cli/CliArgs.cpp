#include "CliArgs.h"

#include <cstring>

const char kCliUsage[] =
    "Usage: tolvane-cli [-C DIR] scan [--settle-ms N]\n"
    "       tolvane-cli [-C DIR] upgrade [--settle-ms N]\n"
    "       tolvane-cli --help\n"
    "\n"
    "Runs the hub firmware upgrader's sequences without a window, on the hubs\n"
    "that the ISP library ZQ460API reports.\n"
    "\n"
    "Commands:\n"
    "  scan            what the \"Scan Device\" button runs: read SpiFlash.ini,\n"
    "                  check the hub filter driver, search and list the hubs\n"
    "  upgrade         what the \"Start Upgrade\" button runs: the scan, then an\n"
    "                  image from Bin written into every hub that needs one;\n"
    "                  a progress bar on standard error when it is a terminal\n"
    "\n"
    "Options:\n"
    "  -C DIR          change to DIR first; SpiFlash.ini and Bin are read there\n"
    "  --settle-ms N   wait N milliseconds (0 to 600000) before the hub search\n"
    "                  instead of 2000\n"
    "  --help          show this text\n"
    "\n"
    "Output: whatever the upgrader writes to the standard output while it runs,\n"
    "then the final text of the log box, in UTF-8 with its \"\\r\\n\" line ends.\n"
    "Exit status: 0 when the sequence succeeded (for upgrade: every hub was\n"
    "programmed), 1 when it failed, 2 for a usage error.\n";

namespace {
bool ParseMilliseconds(const char* text, std::uint32_t& value)
{
    if (!*text)
        return false;
    std::uint64_t result = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        result = result * 10 + static_cast<unsigned>(*p - '0');
        if (result > 600000)
            return false;
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}
} // namespace

bool ParseCliArgs(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    bool haveCommand = false;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0) {
            options.command = CliCommand::Help;
            return true;
        }
        if (std::strcmp(word, "-C") == 0 && !haveCommand) {
            if (!hasValue) {
                error = "-C needs a directory";
                return false;
            }
            options.directory = argv[++i];
        } else if (std::strcmp(word, "--settle-ms") == 0 && haveCommand) {
            if (!hasValue || !ParseMilliseconds(argv[++i], options.settleMs)) {
                error = "--settle-ms needs a number of milliseconds from 0 to 600000";
                return false;
            }
        } else if (std::strcmp(word, "scan") == 0 && !haveCommand) {
            options.command = CliCommand::Scan;
            haveCommand = true;
        } else if (std::strcmp(word, "upgrade") == 0 && !haveCommand) {
            options.command = CliCommand::Upgrade;
            haveCommand = true;
        } else {
            error = std::string("unexpected argument '") + word + "'";
            return false;
        }
    }
    if (!haveCommand) {
        error = "no command given";
        return false;
    }
    return true;
}
