// The scan-based commands of tolvane-cli; each returns the exit status.
#ifndef TOLVANE_CLI_COMMANDS_H
#define TOLVANE_CLI_COMMANDS_H

#include "Approval.h"
#include "CliArgs.h"
#include "HubUpgrader.h"

#include <nlohmann/json.hpp>

int RunScanCommand(const CliOptions& options);
int RunUpgradeCommand(const CliOptions& options);
int RunPlanCommand(const CliOptions& options);

// The engine tells observer of its decisions while this lives.
class Watching {
public:
    explicit Watching(IUpgradeObserver& observer) { theHubUpgrader.SetObserver(&observer); }
    ~Watching() { theHubUpgrader.SetObserver(nullptr); }
    Watching(const Watching&) = delete;
    Watching& operator=(const Watching&) = delete;
};

// Reads the approved list that options name; false, with the reason on the
// standard error, when it cannot be used.
bool LoadApproved(const ApprovalOptions& options, Approval& approval);

// The approved list's identity, as the JSON reports name it.
nlohmann::json ApprovedListJson(const Approval& approval);

// Writes text to the standard output as it is.
void WriteOut(const std::string& text);

#endif
