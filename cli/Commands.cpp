// scan and upgrade: what the two buttons run, and around the upgrade the
// report for scripts, the verification and the history.
#include "Commands.h"

#include "ConsoleWindow.h"
#include "ExitStatus.h"
#include "Explain.h"
#include "HubUpgrader.h"
#include "Interruption.h"
#include "JsonReport.h"
#include "LineEnds.h"
#include "Platform.h"
#include "ReadOnlyNote.h"
#include "RunRecorder.h"
#include "ScanSession.h"
#include "ShownName.h"
#include "StdoutCapture.h"
#include "StdoutStatus.h"
#include "TextEscape.h"
#include "UpgradeSession.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {
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

// The progress bar's count: the hubs whose turn has begun, of those found.
// It only grows, so each drawing covers the one before.
std::string HubsLabel(std::size_t begun, unsigned found)
{
    return CHubUpgrader::Format("hubs %u/%u", static_cast<unsigned>(begun), found);
}

std::string LogOf(const ConsoleWindow& window)
{
    return tolvane::platform::WideToUtf8(window.LogText());
}

void ReportHistoryFailure(const CliOptions& options, const std::string& error)
{
    std::fprintf(stderr, "tolvane-cli: cannot write the history to %s: %s\n",
                 ShownPath(TriedPath(options.directory, options.history)).c_str(), error.c_str());
}

} // namespace

SessionOptions SessionOptionsOf(const CliOptions& options)
{
    SessionOptions session;
    session.program = "tolvane-cli";
    session.version = TOLVANE_VERSION;
    session.approval = options.approval;
    if (!options.history.empty())
        session.history = options.history;
    session.verify = options.verify;
    session.station = options.station;
    session.lot = options.lot;
    session.reportsBytes = options.json;
    // The rescan's notes are not shown.
    session.quietly = [](const std::function<void()>& rescan) {
        StdoutCapture notes;
        rescan();
        notes.Finish();
    };
    return session;
}

namespace {
// The log says which hubs failed; a note says why, one line per hub. Where
// the library programs nothing, the note on that says it for every hub.
void NoteFailedHubs(const std::vector<HubRecord>& hubs)
{
    for (const HubRecord& record : hubs) {
        if (record.libraryResult && ProgrammingRefused())
            continue;
        const std::string reason = FailureReason(record);
        if (!reason.empty())
            std::fprintf(stderr, "tolvane-cli: hub %u: %s\n", record.entry + 1, reason.c_str());
    }
}

// The run's own status, once its output has had its fate: output that did
// not reach its file is a failure, though the hubs were worked on; a more
// specific failure keeps its status.
int StatusAfterOutput(int status)
{
    if (!FinishStdout(stdout, stderr) && (status == kExitDone || status == kExitCurrent))
        return kExitFailed;
    return status;
}

// The upgrade's report: the scan's document with what the session found.
nlohmann::json UpgradeJson(nlohmann::json document, const UpgradeSession& session, int status, const std::string& notes,
                           const std::string& log)
{
    nlohmann::json results = nlohmann::json::array();
    for (const HubRecord& record : session.Hubs())
        results.push_back(ResultJson(record));
    document["results"] = results;
    document["exitStatus"] = status;
    document["station"] = session.Identity().station;
    document["lot"] = session.Identity().lot ? nlohmann::json(*session.Identity().lot) : nlohmann::json(nullptr);
    if (const Approval* approval = session.LoadedApproval())
        document["approvedList"] = ApprovedListJson(*approval);
    if (!session.Interruption().empty())
        document["interrupted"] = session.Interruption();
    if (!session.Recorder().notStarted.empty())
        document["notStarted"] = session.Recorder().notStarted;
    document["notes"] = notes;
    document["log"] = log;
    document["verifyLog"] = session.VerifyLines();
    return document;
}
} // namespace

nlohmann::json ApprovedListJson(const Approval& approval)
{
    nlohmann::json list = {{"path", EscapeBytes(approval.path)}, {"sha256", approval.sha256}};
    if (!approval.signer.empty())
        list["signer"] = approval.signer;
    return list;
}

void WriteOut(const std::string& text)
{
    // Flushed once at the end, where a failure is reported with its reason.
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void WriteText(const std::string& text)
{
    WriteOut(ForStdout(text));
}

int RunScanCommand(const CliOptions& options)
{
    ScanSession session(theHubUpgrader);
    ConsoleWindow window(nullptr);
    auto capture = CaptureWhen(options.json);
    if (!CaptureReady(capture))
        return kExitFailed;
    const bool passed = session.Run(&window);
    const int status = passed ? kExitDone : kExitFailed;
    if (!options.json) {
        WriteText(LogOf(window));
        return status;
    }
    nlohmann::json document = ScanJson("scan", theHubUpgrader, session.Recorder(), passed);
    document["exitStatus"] = status;
    document["notes"] = capture->Finish();
    document["log"] = LogOf(window);
    WriteOut(DumpJson(document));
    return status;
}

int RunUpgradeCommand(const CliOptions& options)
{
    UpgradeSession session(theHubUpgrader, SessionOptionsOf(options));
    return DriveUpgrade(session, options, std::nullopt);
}

int DriveUpgrade(UpgradeSession& session, const CliOptions& options, std::optional<unsigned> board)
{
    if (!session.Prepare()) {
        if (session.Failure() == SessionFailure::Approval) {
            std::fprintf(stderr, "tolvane-cli: --approved %s: %s\n", ShownPath(options.approval.list).c_str(),
                         session.Error().c_str());
            return kExitUsage;
        }
        ReportHistoryFailure(options, session.Error());
        return kExitFailed;
    }
    ConsoleWindow window(tolvane::platform::IsStderrTerminal() ? stderr : nullptr);
    window.SetLabel(
        [&session] { return HubsLabel(session.Recorder().hubs.size(), theHubUpgrader.m_EnumInfo.hubCount); });
    auto capture = CaptureWhen(options.json);
    if (!CaptureReady(capture)) {
        session.Finish(kExitFailed);
        return kExitFailed;
    }
    nlohmann::json document;
    session.Run(&window, [&] {
        window.FinishProgress();
        document = ScanJson("upgrade", theHubUpgrader, session.Recorder(), session.Scanned());
    });
    const std::string notes = capture ? capture->Finish() : std::string();
    int status = session.Status();
    if (!session.Interruption().empty())
        std::fprintf(stderr, "%s\n", InterruptedLine(*session.Guard()).c_str());
    NoteRefusedProgramming(window.LogText(), stderr);
    NoteFailedHubs(session.Hubs());
    if (options.json) {
        nlohmann::json report = UpgradeJson(std::move(document), session, status, notes, LogOf(window));
        // A loop's reports go one a line, each naming its board.
        if (board)
            report["board"] = *board;
        WriteOut(board ? DumpJsonLine(report) : DumpJson(report));
    } else {
        WriteText(LogOf(window) + session.VerifyLines());
    }
    // The history's last line names the status the program really exits
    // with, so the output's fate is learnt first.
    status = StatusAfterOutput(status);
    const bool historyLost = session.Failure() == SessionFailure::History;
    session.Finish(status);
    if (session.Failure() == SessionFailure::History) {
        ReportHistoryFailure(options, session.Error());
        if (!historyLost && session.Interruption().empty())
            status = kExitFailed;
    }
    return status;
}
