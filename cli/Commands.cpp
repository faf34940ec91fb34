// scan and upgrade: what the two buttons run, and around the upgrade the
// report for scripts, the verification and the history.
#include "Commands.h"

#include "ApprovalGate.h"
#include "ConsoleWindow.h"
#include "ExitStatus.h"
#include "HistoryWriter.h"
#include "HubUpgrader.h"
#include "Interruption.h"
#include "JsonReport.h"
#include "ObserverChain.h"
#include "Platform.h"
#include "ReadOnlyNote.h"
#include "RunRecorder.h"
#include "StdoutCapture.h"
#include "Verify.h"

#include <memory>
#include <vector>

namespace {
// What both buttons run first: both texts emptied and the scan sequence.
bool Scan(CHubUpgrader& upgrader, ConsoleWindow& window)
{
    upgrader.m_strLog.clear();
    upgrader.m_strMsg.clear();
    return upgrader.Initialzation(&window);
}

std::unique_ptr<StdoutCapture> CaptureWhen(bool wanted)
{
    return wanted ? std::make_unique<StdoutCapture>() : nullptr;
}

// A JSON document never shares the output with the engine's notes: when they
// cannot be kept apart, nothing is scanned.
bool CaptureReady(const std::unique_ptr<StdoutCapture>& capture)
{
    if (!capture || capture->Capturing())
        return true;
    std::fprintf(stderr, "tolvane-cli: cannot keep the standard output apart for --json: %s\n",
                 capture->Error().c_str());
    return false;
}

std::string LogOf(const ConsoleWindow& window)
{
    return tolvane::platform::WideToUtf8(window.LogText());
}

// The programmed hubs must show their new firmware in a fresh scan, whose
// own log and notes are not shown.
std::string VerifyAfterUpgrade(CHubUpgrader& upgrader, std::vector<HubRecord>& records)
{
    upgrader.SetObserver(nullptr);
    ConsoleWindow quiet(nullptr);
    StdoutCapture notes;
    const bool passed = Scan(upgrader, quiet);
    notes.Finish();
    const unsigned count = passed ? upgrader.m_EnumInfo.hubCount : 0;
    return VerifyHubs(records, upgrader.m_EnumInfo.hubs, count);
}

void ReportHistoryFailure(const CliOptions& options, const HistoryWriter& history)
{
    std::fprintf(stderr, "tolvane-cli: cannot write the history to %s: %s\n", options.history.c_str(),
                 history.Error().c_str());
}

// What the verification found, into the history.
void RecordVerification(HistoryWriter* history, const std::vector<HubRecord>& records)
{
    if (!history)
        return;
    for (const HubRecord& record : records)
        if (record.verified)
            history->Verified(record.entry, *record.verified, record.versionAfter);
}

// The run's exit status once the history and an interruption have had their
// say: a record that could not be kept fails the run.
int FinalStatus(int status, HistoryWriter* history, const InterruptionGuard& interruption)
{
    if (!interruption.Caught().empty())
        return interruption.ExitStatus();
    return history && history->Failed() ? kExitFailed : status;
}

} // namespace

bool LoadApproved(const ApprovalOptions& options, ApprovedList& list)
{
    Approval approval;
    std::string error;
    if (LoadApproval(options, approval, error)) {
        list = std::move(approval.list);
        return true;
    }
    std::fprintf(stderr, "tolvane-cli: --approved %s: %s\n", options.list.c_str(), error.c_str());
    return false;
}

void WriteOut(const std::string& text)
{
    // Flushed once at the end, where a failure is reported with its reason.
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int RunScanCommand(const CliOptions& options)
{
    RunRecorder recorder;
    const Watching watching(recorder);
    ConsoleWindow window(nullptr);
    auto capture = CaptureWhen(options.json);
    if (!CaptureReady(capture))
        return kExitFailed;
    const bool passed = Scan(theHubUpgrader, window);
    if (!options.json) {
        WriteOut(LogOf(window));
        return passed ? kExitDone : kExitFailed;
    }
    nlohmann::json document = ScanJson("scan", theHubUpgrader, recorder, passed);
    document["notes"] = capture->Finish();
    document["log"] = LogOf(window);
    WriteOut(DumpJson(document));
    return passed ? kExitDone : kExitFailed;
}

int RunUpgradeCommand(const CliOptions& options)
{
    ApprovedList approved;
    if (options.approval.Given() && !LoadApproved(options.approval, approved))
        return kExitUsage;
    ApprovalGate gate(approved);
    InterruptionGuard interruption;
    std::unique_ptr<HistoryWriter> history;
    if (!options.history.empty()) {
        history = std::make_unique<HistoryWriter>("tolvane-cli", TOLVANE_VERSION);
        // Before the scan: a history that cannot be kept touches no hub.
        if (!history->Start(options.history)) {
            ReportHistoryFailure(options, *history);
            return kExitFailed;
        }
    }
    RunRecorder recorder;
    // The check of the image comes first, so that a refused image is never
    // recorded as a write that started.
    ObserverChain watchers;
    watchers.Add(options.approval.Given() ? &gate : nullptr);
    watchers.Add(&recorder);
    watchers.Add(history.get());
    watchers.Add(&interruption);
    const Watching watching(watchers);
    ConsoleWindow window(tolvane::platform::IsStderrTerminal() ? stderr : nullptr);
    auto capture = CaptureWhen(options.json);
    if (!CaptureReady(capture))
        return kExitFailed;
    const bool passed = Scan(theHubUpgrader, window);
    if (passed)
        theHubUpgrader.RunUpgrade(&window);
    else if (history)
        history->ScanFailed();
    window.FinishProgress();
    nlohmann::json document = ScanJson("upgrade", theHubUpgrader, recorder, passed);
    const std::string notes = capture ? capture->Finish() : std::string();

    const bool verify = options.verify && passed && interruption.Caught().empty();
    const std::string verifyLines = verify ? VerifyAfterUpgrade(theHubUpgrader, recorder.hubs) : std::string();
    RecordVerification(history.get(), recorder.hubs);
    int status = passed ? RunExitStatus(recorder.hubs) : kExitFailed;
    if (history) {
        history->Finish(interruption.Caught(), FinalStatus(status, history.get(), interruption));
        if (history->Failed())
            ReportHistoryFailure(options, *history);
    }
    status = FinalStatus(status, history.get(), interruption);
    if (!interruption.Caught().empty())
        std::fprintf(stderr, "%s\n", InterruptedLine(interruption).c_str());
    NoteRefusedProgramming(window.LogText(), stderr);
    if (!options.json) {
        WriteOut(LogOf(window) + verifyLines);
        return status;
    }
    nlohmann::json results = nlohmann::json::array();
    for (const HubRecord& record : recorder.hubs)
        results.push_back(ResultJson(record));
    document["results"] = results;
    document["exitStatus"] = status;
    if (!interruption.Caught().empty())
        document["interrupted"] = interruption.Caught();
    document["notes"] = notes;
    document["log"] = LogOf(window);
    document["verifyLog"] = verifyLines;
    WriteOut(DumpJson(document));
    return status;
}
