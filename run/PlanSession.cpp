#include "PlanSession.h"

#include "ExitStatus.h"
#include "ObserverChain.h"
#include "ReadOnlyNote.h"
#include "SessionWatching.h"

#include <algorithm>
#include <utility>

PlanSession::PlanSession(CHubUpgrader& upgrader, PlanOptions options)
    : m_upgrader(upgrader), m_options(std::move(options)), m_recorder(m_options.explain)
{}

bool PlanSession::TakesImages() const
{
    return m_options.approval.Given() || m_options.reportsBytes || m_options.explain;
}

bool PlanSession::Prepare()
{
    if (!m_options.approval.Given())
        return true;
    Approval approval;
    if (!LoadApproval(m_options.approval, approval, m_error))
        return false;
    m_approval = std::move(approval);
    m_gate = std::make_unique<ApprovalGate>(m_approval->list, m_take.Digests());
    return true;
}

void PlanSession::Run(IUpgraderWindow* window, const std::function<void()>& afterScan)
{
    if (TakesImages())
        m_recorder.TakeDigestsFrom(m_take.Digests());
    // The upgrade's order, without the watchers that guard or record a write.
    ObserverChain watchers;
    watchers.Add(TakesImages() ? &m_take : nullptr);
    watchers.Add(m_gate.get());
    watchers.Add(&m_recorder);
    {
        const SessionWatching watching(m_upgrader, watchers);
        m_scanned = m_upgrader.Scan(window);
        if (afterScan)
            afterScan();
        if (m_scanned)
            m_upgrader.PlanUpgrade(window);
    }
    m_take.Release();
}

int PlanSession::Status() const
{
    if (!m_scanned)
        return kExitFailed;
    if (std::any_of(Hubs().begin(), Hubs().end(), WouldBeRefused))
        return kExitFailed;
    return RunExitStatus(Hubs());
}

bool WouldBeRefused(const HubRecord& record)
{
    return record.Outcome() == HubOutcome::Program && ProgrammingRefused();
}
