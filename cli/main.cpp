// tolvane-cli: the upgrader's button sequences on the command line, for
// benches, scripts and machines without a display.
#include "ApprovedCommand.h"
#include "CliArgs.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "HistoryCommand.h"
#include "HubUpgrader.h"
#include "HubsCommand.h"
#include "Inspect.h"
#include "Interruption.h"
#include "Platform.h"
#include "ReportCommand.h"
#include "ShownName.h"
#include "StdoutStatus.h"
#include "VersionCommand.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {
// The library reads which hubs to serve when it is first called.
void ChooseHubs(const std::string& hubs)
{
    tolvane::platform::SetEnvironment("TOLVANE_HUBS", hubs);
}

// Output that did not reach its file is a failure, though the hubs were
// worked on: a more specific failure keeps its status.
int StatusAfterOutput(int status)
{
    if (!FinishStdout(stdout, stderr) && (status == kExitDone || status == kExitCurrent))
        return kExitFailed;
    return status;
}

int RunCommand(const CliOptions& options)
{
    switch (options.command) {
    case CliCommand::Scan:
        return RunScanCommand(options);
    case CliCommand::Upgrade:
        return RunUpgradeCommand(options);
    case CliCommand::Plan:
        return RunPlanCommand(options);
    case CliCommand::Inspect:
        return RunInspect(options.images, options.json);
    case CliCommand::Hubs:
        return RunHubsCommand(options);
    case CliCommand::History:
        return RunHistoryCommand(options.historyFile, options.json);
    case CliCommand::Approved:
        return RunApprovedCommand(options.approval, options.imageFolder, options.json);
    case CliCommand::Loop:
        return RunLoopCommand(options);
    case CliCommand::Report:
        return RunReportCommand(options);
    case CliCommand::Help:
        break;
    }
    std::fputs(options.helpText.c_str(), stdout);
    return kExitDone;
}
} // namespace

int main(int argc, char** argv)
{
    IgnoreBrokenPipes();
    IgnoreFileSizeLimitSignal();
    CliOptions options;
    std::string error;
    if (!ParseCliArgs(argc, argv, options, error)) {
        std::fprintf(stderr, "tolvane-cli: %s (see tolvane-cli --help)\n", EscapeBytes(error).c_str());
        return kExitUsage;
    }
    if (!options.directory.empty()) {
        std::error_code failure;
        std::filesystem::current_path(options.directory, failure);
        if (failure) {
            std::fprintf(stderr, "tolvane-cli: cannot change to %s: %s\n", ShownPath(options.directory).c_str(),
                         failure.message().c_str());
            return kExitUsage;
        }
    }

    tolvane::platform::SetStdoutBinary();
    if (!options.hubs.empty())
        ChooseHubs(options.hubs);
    if (options.showVersion)
        return StatusAfterOutput(RunVersionCommand());
    theHubUpgrader.SetSettleMs(options.settleMs);
    return StatusAfterOutput(RunCommand(options));
}
