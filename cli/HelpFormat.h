// The help of tolvane-cli: the program's own usage lines, the options with
// the names of their values alone (none of the parser's type and range
// hints), and with each command the exit statuses it can end with.
#ifndef TOLVANE_CLI_HELPFORMAT_H
#define TOLVANE_CLI_HELPFORMAT_H

#include <CLI/CLI.hpp>

#include <string>

class HelpFormat : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
};

// The lines of usage that name command in the program's synopsis (the top
// help's description), as a usage block of its own; empty when none does.
std::string CommandUsage(const std::string& synopsis, const std::string& command);

// The exit statuses one command can end with; empty for a command without
// a table of its own, whose help shows the program's.
std::string CommandExitStatus(const std::string& command);

#endif
