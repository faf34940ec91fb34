// loop: the production line's upgrade, board after board, with no press per
// board. The loop itself is run/BoardLoop; this file only shows its results.
#include "BoardLoop.h"
#include "Commands.h"
#include "StdoutStatus.h"
#include "StopFlag.h"

#include <cstdio>

namespace {
LoopOptions LoopOptionsOf(const CliOptions& options)
{
    LoopOptions loop;
    if (options.boards > 0)
        loop.boards = options.boards;
    loop.settleMs = options.settleMs;
    return loop;
}
} // namespace

int RunLoopCommand(const CliOptions& options)
{
    BoardLoop loop(theHubUpgrader, LoopOptionsOf(options));
    for (;;) {
        const BoardLoop::Step step = loop.Poll();
        if (step == BoardLoop::Step::Done)
            break;
        if (step == BoardLoop::Step::Waiting) {
            tolvane::platform::WaitMs(loop.PollMs());
            continue;
        }
        const unsigned board = loop.NextBoard();
        const BoardResult result = loop.RunBoard(
            SessionOptionsOf(options), [&](UpgradeSession& session) { return DriveUpgrade(session, options, board); });
        if (!options.json)
            WriteOut(BoardLine(result) + "\n");
        // Each board's output is out before the next board is awaited.
        FinishStdout(stdout, stderr);
    }
    const std::string stopped = loop.Interruption().empty() ? "" : " (" + loop.Interruption() + ")";
    std::fprintf(stderr, "tolvane-cli: loop ended%s: %s\n", stopped.c_str(),
                 BoardCounts(loop.Passed(), loop.Failed()).c_str());
    return loop.Status();
}
