// The window's production loop (--loop): the loop itself is run/BoardLoop;
// here the window only shows it. Between boards nothing blocks: the
// toolkit's timer calls OnLoopTick, and the window paints and takes input.
#include "BoardLoop.h"
#include "ExitStatus.h"
#include "TolvaneDlg.h"
#include "UpgradeSession.h"
#include "resource.h"

namespace {
std::string LoopCounts(const BoardLoop& loop)
{
    return BoardCounts(loop.Passed(), loop.Failed());
}
} // namespace

std::uint32_t CTolvaneDlg::LoopPollMs() const
{
    return m_loop ? m_loop->PollMs() : kLoopPollMs;
}

void CTolvaneDlg::StartLoop()
{
    LoopOptions options;
    if (m_options.boards > 0)
        options.boards = m_options.boards;
    options.settleMs = m_upgrader.SettleMs();
    m_loop = std::make_unique<BoardLoop>(m_upgrader, options);
    // The loop presses for the operator: the buttons wait until it ends.
    EnableControl(IDC_SCAN_DEVICE, false);
    EnableControl(IDC_START_UPGRADE, false);
    m_loopWaitShown = false;
    m_loopLine = "Loop: waiting for a board; " + LoopCounts(*m_loop) + ".";
    ShowProtectionsLine();
    RunLoopTimer(true);
}

void CTolvaneDlg::OnLoopTick()
{
    if (!m_loop)
        return;
    switch (m_loop->Poll()) {
    case BoardLoop::Step::Done:
        EndLoop();
        return;
    case BoardLoop::Step::BoardDue:
        RunDueBoard();
        return;
    case BoardLoop::Step::Waiting:
        break;
    }
    // The board's lamp stays until its hubs are gone; then the lamp says
    // that the loop waits for the next.
    if (m_loop->AwaitingArrival() && !m_loopWaitShown) {
        FillLampWith(kLampBlue);
        m_loopWaitShown = true;
    }
}

void CTolvaneDlg::RunDueBoard()
{
    // As a press of "Start Upgrade", but for the message box, which would
    // stop the line until somebody answers it.
    RunLoopTimer(false);
    m_loopWaitShown = false;
    m_upgrader.m_strLog.clear();
    m_upgrader.m_strMsg.clear();
    SetProgressPos(0);
    FillLampWith(kLampYellow);
    bool passed = false;
    const BoardResult result =
        m_loop->RunBoard(WindowSessionOptions(m_options), [this, &passed](UpgradeSession& session) {
            return OptionsUsable() ? DriveSession(session, passed) : static_cast<int>(kExitUsage);
        });
    FillLampWith(result.Passed() ? kLampGreen : kLampRed);
    m_loopLine = "Loop: " + BoardLine(result) + "; " + LoopCounts(*m_loop) + ".";
    ShowProtectionsLine();
    if (m_loop->Done())
        EndLoop();
    else
        RunLoopTimer(true);
}

void CTolvaneDlg::OnStopLoop()
{
    if (!m_loop)
        return;
    m_loop->Stop();
    EndLoop();
}

void CTolvaneDlg::EndLoop()
{
    RunLoopTimer(false);
    const std::string stopped = m_loop->Interruption();
    m_loopLine = "Loop ended: " + LoopCounts(*m_loop) + ".";
    // The loop's guard gives the interruptions back here.
    const std::unique_ptr<BoardLoop> loop = std::move(m_loop);
    EnableControl(IDC_SCAN_DEVICE, true);
    ShowProtectionsLine();
    if (!stopped.empty())
        EndAsInterrupted(loop->Guard());
}
