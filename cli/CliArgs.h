// The command line of tolvane-cli.
#ifndef TOLVANE_CLI_CLIARGS_H
#define TOLVANE_CLI_CLIARGS_H

#include "Approval.h"
#include "HubUpgrader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class CliCommand { Help, Scan, Upgrade, Plan, Inspect, Hubs, History, Approved, Loop, Report };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::string helpText;                                    // for Help: the text --help asked for
    std::string directory;                                   // -C DIR, empty for the current one
    std::string hubs;                                        // --hubs bench|system; empty: TOLVANE_HUBS decides
    std::uint32_t settleMs = CHubUpgrader::kDefaultSettleMs; // --settle-ms N
    bool json = false;                                       // --json
    bool verify = false;                                     // upgrade --verify
    std::string history;                                     // upgrade --history FILE, empty for none
    bool explain = false;                                    // plan --explain
    ApprovalOptions approval;                                // upgrade, plan --approved FILE (and --trust KEY,
                                                             // --signature FILE); approved LIST
    std::vector<std::string> images;                         // inspect IMAGE...
    std::string historyFile;                                 // history FILE
    bool showVersion = false;                                // --version, -V: nothing else is done
    std::string imageFolder = "Bin";                         // approved --bin DIR, in -C DIR
    unsigned boards = 0;                                     // loop --boards N, 0 for no limit
    std::optional<std::string> station;                      // upgrade, loop --station NAME
    std::optional<std::string> lot;                          // upgrade, loop --lot LOT
    std::vector<std::string> reportFiles;                    // report HISTORY...
    std::string since;                                       // report --since TIME, empty for none
    std::string until;                                       // report --until TIME, empty for none
    std::vector<std::string> reportStations;                 // report --station NAME...
    std::vector<std::string> reportLots;                     // report --lot LOT...
    bool csv = false;                                        // report --csv
    std::string html;                                        // report --html FILE, empty for none
};

// False with error set (one line) when the words do not form a command line.
bool ParseCliArgs(int argc, const char* const* argv, CliOptions& options, std::string& error);

#endif
