// The loop's own rules: its lines, and the hub sets it waits for, which must
// be those the scan would take.
#include "BoardLoop.h"
#include "Bench.h"
#include "HubPoll.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

TEST(BoardLoop, LinesNameTheBoardAndWhyItFailed)
{
    BoardResult passed;
    passed.board = 12;
    passed.status = 0;
    passed.programmed = 3;
    passed.seconds = 41.24;
    BoardResult current = passed;
    current.status = 3;
    current.programmed = 1;
    current.current = 2;
    BoardResult failed;
    failed.board = 13;
    failed.failures = {{3, "the library returned 5"}, {1, "image \x1b"}};
    BoardResult stopped;
    stopped.board = 2;
    stopped.status = 130;
    stopped.interruption = "SIGINT";
    stopped.notStarted = {2, 1};
    BoardResult scan;
    scan.board = 4;
    scan.scanFailed = true;
    const struct {
        const BoardResult& result;
        const char* line;
    } cases[] = {
        {passed, "board 12: PASS 3 programmed, 41.2 s"},
        {current, "board 12: PASS 1 programmed, 2 current, 41.2 s"},
        {failed, "board 13: FAIL hub 3: the library returned 5; hub 1: image \\x1B"},
        {stopped, "board 2: FAIL interrupted (SIGINT), hubs not started: 2, 1"},
        {scan, "board 4: FAIL the scan failed"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BoardLine(c.result), c.line);
    EXPECT_EQ(BoardCounts(1, 0), "1 board, 1 passed, 0 failed");
    EXPECT_EQ(BoardCounts(2, 1), "3 boards, 2 passed, 1 failed");
}

TEST(BoardLoop, HubSetsAreWholeMultiplesOfHubNumber)
{
    const struct {
        unsigned count, perSet;
        bool board;
    } cases[] = {
        {0, 1, false}, {1, 1, true}, {3, 2, false}, {4, 2, true}, {33, 1, false}, {32, 0, true}, {0, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HubCountMakesSets(c.count, c.perSet), c.board) << c.count << "/" << c.perSet;
}

// The loop reads HUBNumber before any scan; it must read what the scan reads.
TEST(BoardLoop, ReadsHubNumberAsTheScanDoes)
{
    const char* const chains[] = {
        "HUBNumber=2\n",
        "HUBNumber=1\nHUBNumber=3\n",
        "HUBNumber=x\n",
        "HUBNumber=2\nNO.1WantUpdateBinFile=A.BIN\nNO.2HUBDepth=2\nNO.2ConnectionPortIndex=1\n"
        "NO.2WantUpdateBinFile=A.BIN\nHUBNumber=3\n",
        "",
    };
    for (const char* chain : chains) {
        ScratchDir dir;
        dir.Write("SpiFlash.ini", std::string("[TargetID_U3]\n05E30610=0D13\n[HUBModule]\n") + chain);
        WriteBench(dir, "");
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        engine.Initialzation(nullptr);
        EXPECT_EQ(ReadHubNumber(0), engine.m_nHubNumber) << chain;
    }
}
