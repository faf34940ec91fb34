// The scan-based commands of tolvane-cli; each returns the exit status.
#ifndef TOLVANE_CLI_COMMANDS_H
#define TOLVANE_CLI_COMMANDS_H

#include "Approval.h"
#include "CliArgs.h"
#include "HubUpgrader.h"
#include "UpgradeSession.h"

#include <nlohmann/json.hpp>

#include <optional>

int RunScanCommand(const CliOptions& options);
int RunUpgradeCommand(const CliOptions& options);
int RunPlanCommand(const CliOptions& options);
int RunLoopCommand(const CliOptions& options);

// The session's options as upgrade gives them.
SessionOptions SessionOptionsOf(const CliOptions& options);
// One upgrade through session, with upgrade's output, notes and exit rule;
// a loop's board gets its report on one line, naming the board.
int DriveUpgrade(UpgradeSession& session, const CliOptions& options, std::optional<unsigned> board);

// The approved list's identity, as the JSON reports name it.
nlohmann::json ApprovedListJson(const Approval& approval);

// Writes bytes (a JSON document) to the standard output as they are.
void WriteOut(const std::string& text);
// Writes text for people, its line ends as the system's (LineEnds.h).
void WriteText(const std::string& text);

#endif
