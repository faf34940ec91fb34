// tolvane-cli: the upgrader's button sequences on the command line, for
// benches, scripts and machines without a display.
#include "CliArgs.h"
#include "HubUpgrader.h"
#include "Platform.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {
// The log box of the command line: it keeps the text that was pushed last.
class ConsoleWindow : public IUpgraderWindow {
public:
    void SetLogText(const std::wstring& text) override { m_log = text; }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    const std::wstring& LogText() const { return m_log; }

private:
    std::wstring m_log;
};

bool RunScan(CHubUpgrader& upgrader, ConsoleWindow& window)
{
    upgrader.m_strLog.clear();
    upgrader.m_strMsg.clear();
    return upgrader.Initialzation(&window);
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
        return 0;
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
    ConsoleWindow window;
    const bool passed = RunScan(theHubUpgrader, window);

    const std::string log = tolvane::platform::WideToUtf8(window.LogText());
    std::fwrite(log.data(), 1, log.size(), stdout);
    std::fflush(stdout);
    return passed ? 0 : 1;
}
