// tolvane-cli: the upgrader's button sequences on the command line, for
// benches, scripts and machines without a display.
#include "CliArgs.h"
#include "ConsoleWindow.h"
#include "HubUpgrader.h"
#include "Platform.h"
#include "ReadOnlyNote.h"
#include "StdoutStatus.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {
// What the two buttons run: both texts emptied, the scan sequence, and for an
// upgrade the run itself only after a passing scan.
bool RunSequence(CliCommand command, CHubUpgrader& upgrader, ConsoleWindow& window)
{
    upgrader.m_strLog.clear();
    upgrader.m_strMsg.clear();
    if (!upgrader.Initialzation(&window))
        return false;
    return command != CliCommand::Upgrade || upgrader.RunUpgrade(&window);
}
} // namespace

int main(int argc, char** argv)
{
    CliOptions options;
    std::string error;
    if (!ParseCliArgs(argc, argv, options, error)) {
        std::fprintf(stderr, "tolvane-cli: %s\n%s", error.c_str(), kCliUsage);
        return 2;
    }
    if (options.command == CliCommand::Help) {
        std::fputs(kCliUsage, stdout);
        return FinishStdout(stdout, stderr) ? 0 : 1;
    }
    if (!options.directory.empty()) {
        std::error_code failure;
        std::filesystem::current_path(options.directory, failure);
        if (failure) {
            std::fprintf(stderr, "tolvane-cli: cannot change to %s: %s\n", options.directory.c_str(),
                         failure.message().c_str());
            return 2;
        }
    }

    tolvane::platform::SetStdoutBinary();
    theHubUpgrader.SetSettleMs(options.settleMs);
    ConsoleWindow window(tolvane::platform::IsStderrTerminal() ? stderr : nullptr);
    const bool passed = RunSequence(options.command, theHubUpgrader, window);
    window.FinishProgress();

    const std::string log = tolvane::platform::WideToUtf8(window.LogText());
    std::fwrite(log.data(), 1, log.size(), stdout);
    const bool written = FinishStdout(stdout, stderr);
    NoteRefusedProgramming(window.LogText(), stderr);
    return passed && written ? 0 : 1;
}
