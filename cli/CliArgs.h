// The command line of tolvane-cli.
#ifndef TOLVANE_CLI_CLIARGS_H
#define TOLVANE_CLI_CLIARGS_H

#include <cstdint>
#include <string>

enum class CliCommand { Help, Scan, Upgrade };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::string directory;            // -C DIR, empty for the current one
    std::uint32_t settleMs = 2000;    // --settle-ms N
};

extern const char kCliUsage[];

// False with error set when the words do not form a command line.
bool ParseCliArgs(int argc, const char* const* argv, CliOptions& options, std::string& error);

#endif
