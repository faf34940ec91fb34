// The production loop, the same for the command line and both windows: wait
// for a board's hubs, upgrade them with one session as a press does, show the
// board's result, wait until its hubs are gone, again, until a stop or the
// number of boards asked for. The loop never blocks: a front end calls Poll
// every PollMs (a sleep on the command line, a timer in a window) and runs
// the board through RunBoard when Poll says one is due.
#ifndef TOLVANE_RUN_BOARDLOOP_H
#define TOLVANE_RUN_BOARDLOOP_H

#include "HubUpgrader.h"
#include "Interruption.h"
#include "UpgradeSession.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Often enough that a board starts well within a second of its settle time,
// seldom enough that the wait costs nothing.
inline constexpr std::uint32_t kLoopPollMs = 250;

struct LoopOptions {
    std::optional<unsigned> boards; // stop after this many; unset: until stopped
    // How long a board's hubs must stay before its upgrade starts.
    std::uint32_t settleMs = CHubUpgrader::kDefaultSettleMs;
    std::uint32_t pollMs = kLoopPollMs;
};

// What one board's session ended with, for its line and the loop's counts.
struct BoardResult {
    unsigned board = 0;
    int status = 1;
    unsigned programmed = 0;
    unsigned current = 0;
    double seconds = 0;
    std::vector<std::pair<unsigned, std::string>> failures; // hub number, why
    bool scanFailed = false;
    std::string interruption; // "SIGINT" when one cut the board short
    std::vector<unsigned> notStarted;
    bool notRun = false; // the session could not start: nothing scanned
    std::string error;   // why it could not start, or lost its history

    // As upgrade counts: every hub programmed, or none failed and some current.
    bool Passed() const;
};

// The board's line: "board 12: PASS 3 programmed, 41.2 s",
// "board 13: FAIL hub 3: library returned 5". Names are escaped.
std::string BoardLine(const BoardResult& result);

// The loop's counts: "3 boards, 2 passed, 1 failed".
std::string BoardCounts(unsigned passed, unsigned failed);

class BoardLoop {
public:
    enum class Step { Waiting, BoardDue, Done };

    // Interruptions are held from here to the loop's end.
    BoardLoop(CHubUpgrader& upgrader, LoopOptions options);

    // One look at the hubs, without waiting: BoardDue when a board's hubs
    // have stayed for the settle time; Done once the loop has ended.
    Step Poll();
    // The due board through one session. drive puts the session through its
    // front end's press (Prepare, Run, Finish) and returns its exit status;
    // the session carries the board's number. The board's scan skips the
    // engine's pause: the loop has already seen the hubs stay that long.
    BoardResult RunBoard(SessionOptions options, const std::function<int(UpgradeSession&)>& drive);
    // The stop control: no board starts after it.
    void Stop() { m_stopped = true; }

    bool Done() const { return m_step == Step::Done; }
    // Waiting for a new board's hubs, rather than for the last board's to go.
    bool AwaitingArrival() const { return m_phase == Phase::Arriving && m_step != Step::Done; }
    // The number the next board's run will carry.
    unsigned NextBoard() const { return m_boards + 1; }
    unsigned Passed() const { return m_passed; }
    unsigned Failed() const { return m_failed; }
    // 0 when every board passed, 1 when any failed; the status of a board
    // that was interrupted or could not start, which ended the loop.
    int Status() const;
    // What interrupted the loop ("SIGTERM"); empty when nothing did.
    std::string Interruption() const { return m_guard.Caught(); }
    const InterruptionGuard& Guard() const { return m_guard; }
    std::uint32_t PollMs() const { return m_options.pollMs; }

private:
    enum class Phase { Arriving, Leaving };
    void Record(const BoardResult& result);
    bool StopAsked() const;

    CHubUpgrader& m_upgrader;
    LoopOptions m_options;
    InterruptionGuard m_guard;
    Phase m_phase = Phase::Arriving;
    Step m_step = Step::Waiting;
    bool m_stopped = false;
    // The count the hubs have shown since when; unset while there is none.
    std::optional<std::pair<unsigned, std::chrono::steady_clock::time_point>> m_seen;
    unsigned m_boards = 0;
    unsigned m_passed = 0;
    unsigned m_failed = 0;
    std::optional<int> m_endStatus;
    // HUBNumber, by which the hubs must come in whole sets to make a board.
    unsigned m_hubNumber = 0;
};

#endif
