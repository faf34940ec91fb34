// The scan-based commands of tolvane-cli; each returns the exit status.
#ifndef TOLVANE_CLI_COMMANDS_H
#define TOLVANE_CLI_COMMANDS_H

#include "ApprovedList.h"
#include "CliArgs.h"
#include "HubUpgrader.h"

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

// Reads the approved list that options name (and checks its signature);
// false, with the reason on the standard error, when it cannot be used.
bool LoadApproved(const ApprovalOptions& options, ApprovedList& list);

// Writes text to the standard output as it is.
void WriteOut(const std::string& text);

#endif
