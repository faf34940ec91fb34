#include "BoardLoop.h"

#include "ExitStatus.h"
#include "Explain.h"
#include "HubPoll.h"
#include "StopFlag.h"
#include "TextEscape.h"

#include <cstdio>

namespace {
using Clock = std::chrono::steady_clock;

// The engine's pause, given back however the board's run ends.
class SettleSkip {
public:
    explicit SettleSkip(CHubUpgrader& upgrader) : m_upgrader(upgrader), m_settleMs(upgrader.SettleMs())
    {
        m_upgrader.SetSettleMs(0);
    }
    ~SettleSkip() { m_upgrader.SetSettleMs(m_settleMs); }
    SettleSkip(const SettleSkip&) = delete;
    SettleSkip& operator=(const SettleSkip&) = delete;

private:
    CHubUpgrader& m_upgrader;
    std::uint32_t m_settleMs;
};

void TakeHubs(const UpgradeSession& session, BoardResult& result)
{
    for (const HubRecord& record : session.Hubs()) {
        const HubOutcome outcome = record.Outcome();
        if (outcome == HubOutcome::Programmed)
            ++result.programmed;
        else if (outcome == HubOutcome::Current)
            ++result.current;
        const std::string reason = FailureReason(record);
        if (!reason.empty())
            result.failures.emplace_back(record.entry + 1, reason);
    }
    result.notStarted = session.Recorder().notStarted;
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::string HubList(const std::vector<unsigned>& hubs)
{
    std::string list;
    for (unsigned hub : hubs)
        list += (list.empty() ? "" : ", ") + std::to_string(hub);
    return list;
}

// Why a board failed, in the words of its records.
std::string FailText(const BoardResult& result)
{
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (result.notRun)
        add("not started: " + EscapeBytes(result.error));
    if (result.scanFailed)
        add("the scan failed");
    for (const auto& [hub, reason] : result.failures)
        add("hub " + std::to_string(hub) + ": " + EscapeBytes(reason));
    if (!result.interruption.empty()) {
        std::string stopped = "interrupted (" + result.interruption + ")";
        if (!result.notStarted.empty())
            stopped += ", hubs not started: " + HubList(result.notStarted);
        add(stopped);
    }
    if (!result.notRun && !result.error.empty())
        add("history: " + EscapeBytes(result.error));
    if (result.status == kExitUnverified)
        add("a programmed hub does not show its new firmware");
    if (text.empty())
        add("exit status " + std::to_string(result.status));
    return text;
}
} // namespace

bool BoardResult::Passed() const
{
    return status == kExitDone || status == kExitCurrent;
}

std::string BoardLine(const BoardResult& result)
{
    const std::string head = "board " + std::to_string(result.board) + ": ";
    if (!result.Passed())
        return head + "FAIL " + FailText(result);
    std::string line = head + "PASS " + std::to_string(result.programmed) + " programmed";
    if (result.current > 0)
        line += ", " + std::to_string(result.current) + " current";
    return line + ", " + Seconds(result.seconds);
}

std::string BoardCounts(unsigned passed, unsigned failed)
{
    const unsigned boards = passed + failed;
    return std::to_string(boards) + (boards == 1 ? " board, " : " boards, ") + std::to_string(passed) + " passed, " +
           std::to_string(failed) + " failed";
}

BoardLoop::BoardLoop(CHubUpgrader& upgrader, LoopOptions options)
    : m_upgrader(upgrader), m_options(options), m_hubNumber(ReadHubNumber(upgrader.m_nHubNumber))
{}

bool BoardLoop::StopAsked() const
{
    return m_stopped || tolvane::platform::StopRequested() || !m_guard.Caught().empty() ||
           (m_options.boards && m_boards >= *m_options.boards);
}

BoardLoop::Step BoardLoop::Poll()
{
    if (m_step == Step::Done || StopAsked()) {
        m_step = Step::Done;
        return m_step;
    }
    unsigned count = 0;
    // A library that refuses the enumeration shows no board.
    PollHubCount(count);
    if (m_phase == Phase::Leaving) {
        // The board stays until the scan would find none: never written twice.
        if (count == 0)
            m_phase = Phase::Arriving;
        m_seen.reset();
        return m_step = Step::Waiting;
    }
    if (!HubCountMakesSets(count, m_hubNumber)) {
        m_seen.reset();
        return m_step = Step::Waiting;
    }
    const Clock::time_point now = Clock::now();
    // Hubs still arriving: the settle time starts again with every change.
    if (!m_seen || m_seen->first != count)
        m_seen = std::make_pair(count, now);
    const bool settled = now - m_seen->second >= std::chrono::milliseconds(m_options.settleMs);
    return m_step = settled ? Step::BoardDue : Step::Waiting;
}

BoardResult BoardLoop::RunBoard(SessionOptions options, const std::function<int(UpgradeSession&)>& drive)
{
    BoardResult result;
    result.board = m_boards + 1;
    options.board = result.board;
    const Clock::time_point start = Clock::now();
    {
        const SettleSkip skip(m_upgrader);
        UpgradeSession session(m_upgrader, std::move(options));
        result.status = drive(session);
        result.notRun = session.Guard() == nullptr;
        result.scanFailed = !result.notRun && !session.Scanned();
        result.interruption = session.Interruption();
        if (result.notRun || session.Failure() == SessionFailure::History)
            result.error = session.Error();
        TakeHubs(session, result);
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Record(result);
    return result;
}

void BoardLoop::Record(const BoardResult& result)
{
    ++m_boards;
    if (result.Passed())
        ++m_passed;
    else
        ++m_failed;
    // A board cut short, or one that could not start, ends the loop: the
    // next would fare no better.
    if (!result.interruption.empty() || result.notRun)
        m_endStatus = result.status;
    m_phase = Phase::Leaving;
    m_seen.reset();
    // The board's scan read the settings anew.
    m_hubNumber = m_upgrader.m_nHubNumber;
    m_step = StopAsked() || m_endStatus ? Step::Done : Step::Waiting;
}

int BoardLoop::Status() const
{
    if (m_endStatus)
        return *m_endStatus;
    return m_failed > 0 ? kExitFailed : kExitDone;
}
