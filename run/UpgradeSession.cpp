#include "UpgradeSession.h"

#include "ExitStatus.h"
#include "Explain.h"
#include "ObserverChain.h"
#include "ReadOnlyNote.h"
#include "SessionWatching.h"
#include "Verify.h"

#include <utility>

namespace {
// What the read-only system mode's library returns for every write.
constexpr std::int32_t kReadOnlyRefusal = 82;

} // namespace

UpgradeSession::UpgradeSession(CHubUpgrader& upgrader, SessionOptions options)
    : m_upgrader(upgrader), m_options(std::move(options)),
      m_identity(ResolveRunIdentity(m_options.station, m_options.lot))
{}

UpgradeSession::~UpgradeSession() = default;

bool UpgradeSession::TakesImages() const
{
    return m_options.approval.Given() || m_options.history.has_value() || m_options.verify || m_options.reportsBytes;
}

bool UpgradeSession::Prepare()
{
    if (m_options.approval.Given()) {
        Approval approval;
        if (!LoadApproval(m_options.approval, approval, m_approvalError))
            return false;
        m_approval = std::move(approval);
        m_gate = std::make_unique<ApprovalGate>(m_approval->list, m_take.Digests());
    }
    if (m_options.history) {
        m_history = std::make_unique<HistoryWriter>(m_options.program, m_options.version);
        if (m_approval)
            m_history->SetApprovedList(m_approval->path, m_approval->sha256, m_approval->signer);
        if (ProgrammingRefused())
            m_history->SetReadOnlyRefusal(kReadOnlyRefusal);
        if (m_options.board)
            m_history->SetBoard(*m_options.board);
        m_history->SetIdentity(m_identity.station, m_identity.lot);
        // Before the scan: a history that cannot be kept touches no hub.
        if (!m_history->Start(*m_options.history))
            return false;
    }
    // Copies that a killed run left go before this run makes its own.
    if (TakesImages())
        tolvane::platform::PrivateCopy::RemoveLeftCopies();
    m_guard.emplace();
    return true;
}

void UpgradeSession::Run(IUpgraderWindow* window, const std::function<void()>& afterUpgrade)
{
    m_take.SetBeforeRead(m_options.beforeImageRead);
    // The report is the only record that names every hub's image; without it
    // nothing is hashed but what the history and the check ask for.
    if (m_options.reportsBytes)
        m_recorder.TakeDigestsFrom(m_take.Digests());
    if (m_history) {
        m_history->TakeDigestsFrom(m_take.Digests());
        m_history->TakeReasonsFrom(
            [this] { return m_recorder.hubs.empty() ? std::string() : FailureReason(m_recorder.hubs.back()); });
    }
    // The one order of the watchers. The image is read once, first; the
    // check of those bytes comes next, so that a refused image is never
    // recorded as a write that started; the guard then holds interruptions
    // for the rest of the hub's turn, so that what is recorded ahead of a
    // write is always followed by the write and its result.
    ObserverChain watchers;
    watchers.Add(TakesImages() ? &m_take : nullptr);
    watchers.Add(m_gate.get());
    watchers.Add(m_guard ? &*m_guard : nullptr);
    watchers.Add(&m_recorder);
    watchers.Add(m_history.get());
    {
        const SessionWatching watching(m_upgrader, watchers);
        // Settings and hubs are read anew in the same press, so the run
        // never works on a table that an earlier scan left behind.
        m_scanned = m_upgrader.Scan(window);
        if (m_scanned)
            m_upgraded = m_upgrader.RunUpgrade(window);
        else if (m_history)
            m_history->ScanFailed();
    }
    m_take.Release();
    if (afterUpgrade)
        afterUpgrade();
    if (m_options.verify && m_scanned && Interruption().empty())
        Verify();
    if (m_history)
        for (const HubRecord& record : m_recorder.hubs)
            if (record.verified)
                m_history->Verified(record.entry, *record.verified, record.versionAfter);
}

// The programmed hubs must show their new firmware in a fresh scan, whose
// own log is not shown: the run's log stays what the engine wrote.
void UpgradeSession::Verify()
{
    const std::wstring runLog = m_upgrader.m_strLog;
    bool passed = false;
    const auto rescan = [this, &passed] { passed = m_upgrader.Scan(nullptr); };
    if (m_options.quietly)
        m_options.quietly(rescan);
    else
        rescan();
    m_upgrader.m_strLog = runLog;
    m_upgrader.m_strMsg.clear();
    // Interrupted during the rescan's wait: the rest is skipped, and no hub
    // is called unverified on a rescan that was cut short.
    if (!Interruption().empty())
        return;
    const unsigned count = passed ? m_upgrader.m_EnumInfo.hubCount : 0;
    m_verifyLines = VerifyHubs(m_recorder.hubs, m_upgrader.m_EnumInfo.hubs, count);
}

bool UpgradeSession::AnyUnverified() const
{
    for (const HubRecord& record : m_recorder.hubs)
        if (record.verified && !*record.verified)
            return true;
    return false;
}

int UpgradeSession::Status() const
{
    if (m_guard && !m_guard->Caught().empty())
        return m_guard->ExitStatus();
    if (m_history && m_history->Failed())
        return kExitFailed;
    return m_scanned ? RunExitStatus(m_recorder.hubs) : kExitFailed;
}

void UpgradeSession::Finish(int exitStatus)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_history)
        m_history->Finish(Interruption(), exitStatus);
}

SessionFailure UpgradeSession::Failure() const
{
    if (!m_approvalError.empty())
        return SessionFailure::Approval;
    if (m_history && m_history->Failed())
        return SessionFailure::History;
    return SessionFailure::None;
}

std::string UpgradeSession::Error() const
{
    if (!m_approvalError.empty())
        return m_approvalError;
    return m_history ? m_history->Error() : std::string();
}

std::string UpgradeSession::Interruption() const
{
    return m_guard ? m_guard->Caught() : std::string();
}
