// One press of "Start Upgrade", the same for the command line and both
// windows: the approved list read once, the history opened before the scan,
// the scan, the upgrade with its watchers in their one order, the
// verification, the per-hub results and the exit rule. A front end hands it
// its options and shows what it returns; none of them assembles a run.
#ifndef TOLVANE_RUN_UPGRADESESSION_H
#define TOLVANE_RUN_UPGRADESESSION_H

#include "Approval.h"
#include "ApprovalGate.h"
#include "HistoryWriter.h"
#include "HubUpgrader.h"
#include "ImageTake.h"
#include "Interruption.h"
#include "RunIdentity.h"
#include "RunRecorder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SessionOptions {
    std::string program; // as the history names it: "tolvane-cli", "Tolvane"
    std::string version;
    ApprovalOptions approval;
    // The run history's file; unset for none. Given empty, it cannot be kept
    // and no hub is touched.
    std::optional<std::string> history;
    bool verify = false;
    // The front end reports the image's bytes (a JSON report), so the image
    // is taken once, as for a check or a history.
    bool reportsBytes = false;
    // The board's number when the run is one of a production loop's; the
    // history's first line names it.
    std::optional<unsigned> board;
    // --station, --lot as given; unset: the environment or the host decides
    // (RunIdentity.h).
    std::optional<std::string> station;
    std::optional<std::string> lot;
    // Runs the verification's rescan, whose notes the front end may keep
    // off its output; unset: the rescan runs as it is.
    std::function<void(const std::function<void()>& rescan)> quietly;
    // Tests: runs just before a chosen image is read for the write.
    std::function<void(const std::string& imagePath)> beforeImageRead;
};

enum class SessionFailure {
    None,
    Approval, // the approved list cannot be used; no scan was made
    History,  // the history cannot be kept (from the start, or lost later)
};

class UpgradeSession {
public:
    UpgradeSession(CHubUpgrader& upgrader, SessionOptions options);
    ~UpgradeSession();
    UpgradeSession(const UpgradeSession&) = delete;
    UpgradeSession& operator=(const UpgradeSession&) = delete;

    // Before any hub is looked at: the approved list, then the history's
    // first line, then the interruption guard. False with Failure() and
    // Error() set; nothing was scanned then.
    bool Prepare();
    // The scan and the upgrade, whose log goes to window; afterUpgrade runs
    // before the verification's rescan replaces the engine's hub table.
    void Run(IUpgraderWindow* window, const std::function<void()>& afterUpgrade = {});
    // The exit status as the run stands (see ExitStatus.h): an interruption
    // first, then a history that could not be kept, then the hubs.
    int Status() const;
    // The history's last line, naming exitStatus: the status the program
    // really exits with, once its output has been written. Once only.
    void Finish(int exitStatus);

    bool Scanned() const { return m_scanned; }
    // The engine's own verdict: every hub of the table was programmed.
    bool Upgraded() const { return m_upgraded; }
    const RunRecorder& Recorder() const { return m_recorder; }
    const std::vector<HubRecord>& Hubs() const { return m_recorder.hubs; }
    // The verification's lines, for after the run's log; empty without it.
    const std::string& VerifyLines() const { return m_verifyLines; }
    bool AnyUnverified() const;
    // The approved list in use; null for none.
    const Approval* LoadedApproval() const { return m_approval ? &*m_approval : nullptr; }
    SessionFailure Failure() const;
    // Why Prepare failed, or why the history was lost: a few words.
    std::string Error() const;
    // What interrupted the run ("SIGINT"); empty when nothing did.
    std::string Interruption() const;
    // Null until Prepare has passed; the guard holds until the session ends.
    const InterruptionGuard* Guard() const { return m_guard ? &*m_guard : nullptr; }
    // The station and lot the run is for, as the history records them.
    const RunIdentity& Identity() const { return m_identity; }
    // Whether the library is handed a private copy of each image.
    bool TakesImages() const;

private:
    void Verify();

    CHubUpgrader& m_upgrader;
    SessionOptions m_options;
    RunIdentity m_identity;
    std::optional<Approval> m_approval;
    std::string m_approvalError;
    std::unique_ptr<ApprovalGate> m_gate;
    std::unique_ptr<HistoryWriter> m_history;
    std::optional<InterruptionGuard> m_guard;
    ImageTake m_take;
    RunRecorder m_recorder;
    bool m_scanned = false;
    bool m_upgraded = false;
    std::string m_verifyLines;
    bool m_finished = false;
};

#endif
