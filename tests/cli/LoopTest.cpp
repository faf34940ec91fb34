// tolvane-cli loop on a shift at the bench: boards come and go while the loop
// runs, and every board is upgraded once, numbered, with its line.
#include "CliFixture.h"
#include "ProgramFolder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
class LoopTest : public CliFixture {
protected:
    void SetUp() override
    {
        dir.Write("SpiFlash.ini", CliIni(0));
        WriteImage("HUB460.BIN", CliImage(0x0D12, 0x08, 0x9021));
        WriteImage("GL.BIN", CliImage(0x0D13, 0x00, 0x0655));
        dir.Write("approved.txt", ReferenceSha256("Bin/HUB460.BIN") + "  Bin/HUB460.BIN\n" +
                                      ReferenceSha256("Bin/GL.BIN") + "  Bin/GL.BIN\n");
        Plug("");
    }

    // A new board: its hubs, with no record of an earlier programming. A
    // bench read half-written shows no hubs, as a board being plugged in.
    void Plug(const std::string& hubs)
    {
        dir.Remove("HubBench.ini.state");
        WriteBench(dir, hubs);
    }
    static std::string Hub460(int n, const std::string& more = "")
    {
        return HubSection(n, 0x3C5E, 0x0460, 0x8011, n, "PortIndex=1\nChipVersion=0xB2\n" + more);
    }
    static std::string Hub0610(int n, const std::string& more = "")
    {
        return HubSection(n, 0x05E3, 0x0610, 0x0654, n, "PortIndex=4\nChipVersion=0x10\n" + more);
    }
};
} // namespace

#ifndef _WIN32
namespace {
std::string ReadText(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> LinesStarting(const std::string& text, const std::string& start)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0)
            lines.push_back(line);
    return lines;
}

std::vector<json> HistoryLines(const std::string& name)
{
    std::vector<json> lines;
    std::istringstream in(ReadText(name));
    for (std::string line; std::getline(in, line);)
        lines.push_back(json::parse(line, nullptr, false));
    return lines;
}

// Waits (at most 20 s) until found says the text of the file holds what it
// looks for.
template <typename Found>
bool AwaitFile(const std::string& name, Found found)
{
    for (int i = 0; i < 4000; ++i) {
        if (found(ReadText(name)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool AwaitBoards(std::size_t boards)
{
    return AwaitFile("out.txt",
                     [boards](const std::string& text) { return LinesStarting(text, "board ").size() >= boards; });
}

struct Loop {
    pid_t pid = -1;
};

Loop StartLoop(std::vector<std::string> args)
{
    args.insert(args.begin(), {(ProgramFolder() / "tolvane-cli").string(), "loop", "--settle-ms", "100"});
    std::vector<char*> argv;
    for (std::string& word : args)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    Loop child{fork()};
    if (child.pid == 0) {
        dup2(open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (int held : {SIGINT, SIGTERM, SIGHUP})
            std::signal(held, SIG_DFL);
        alarm(60);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int WaitFor(const Loop& child)
{
    int status = 0;
    if (waitpid(child.pid, &status, 0) != child.pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The run-start lines of the history, each with the lines of its run.
std::vector<std::vector<json>> Runs(const std::string& history)
{
    std::vector<std::vector<json>> runs;
    for (const json& line : HistoryLines(history)) {
        if (line.value("kind", "") == "run-start")
            runs.emplace_back();
        if (!runs.empty())
            runs.back().push_back(line);
    }
    return runs;
}

bool HasWriteStart(const std::vector<json>& run)
{
    for (const json& line : run)
        if (line.value("kind", "") == "write-start")
            return true;
    return false;
}
} // namespace

TEST_F(LoopTest, AShiftOfBoardsEachUpgradedOnceInOrder)
{
    const Loop loop = StartLoop({"--boards", "5", "--history", "h.jsonl", "--approved", "approved.txt"});
    // 1: three hubs that pass.
    Plug(Hub460(1) + Hub460(2) + Hub0610(3));
    ASSERT_TRUE(AwaitBoards(1)) << ReadText("err.txt");
    Plug("");
    // 2: a board whose hub the library fails.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Plug(Hub0610(1, "UpdateResult=5\n"));
    ASSERT_TRUE(AwaitBoards(2)) << ReadText("err.txt");
    // 3: left plugged in over many looks: written once only.
    Plug("");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Plug(Hub460(1));
    ASSERT_TRUE(AwaitBoards(3)) << ReadText("err.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Runs("h.jsonl").size(), 3u);
    Plug("");
    // 4: pulled out while its first hub (the last of the table) is written.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Plug(Hub460(1) + Hub460(2, "UpdateMs=1500\n"));
    ASSERT_TRUE(AwaitFile("h.jsonl", [](const std::string&) {
        const auto runs = Runs("h.jsonl");
        return runs.size() == 4 && HasWriteStart(runs[3]);
    }));
    Plug("");
    ASSERT_TRUE(AwaitBoards(4)) << ReadText("err.txt");
    // 5: an image that is not on the approved list.
    WriteImage("GL.BIN", CliImage(0x0D13, 0x00, 0x0656));
    Plug(Hub0610(1));
    EXPECT_EQ(WaitFor(loop), 1) << ReadText("err.txt");

    const std::vector<std::string> lines = LinesStarting(ReadText("out.txt"), "board ");
    ASSERT_EQ(lines.size(), 5u) << ReadText("out.txt");
    EXPECT_EQ(lines[0].rfind("board 1: PASS 3 programmed, ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "board 2: FAIL hub 1: the library returned 5");
    EXPECT_EQ(lines[2].rfind("board 3: PASS 1 programmed, ", 0), 0u) << lines[2];
    // Whether the slow hub's record outlives the pull is the library's
    // affair; the hub not yet written was gone.
    EXPECT_EQ(lines[3].rfind("board 4: FAIL ", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find("hub 1: "), std::string::npos) << lines[3];
    EXPECT_EQ(lines[4].rfind("board 5: FAIL hub 1: ", 0), 0u) << lines[4];
    EXPECT_NE(lines[4].find("approved"), std::string::npos) << lines[4];
    EXPECT_NE(ReadText("err.txt").find("tolvane-cli: loop ended: 5 boards, 2 passed, 3 failed\n"), std::string::npos)
        << ReadText("err.txt");

    const auto runs = Runs("h.jsonl");
    ASSERT_EQ(runs.size(), 5u);
    for (unsigned board = 1; board <= 5; ++board) {
        const std::vector<json>& run = runs[board - 1];
        EXPECT_EQ(run.front()["board"], board);
        EXPECT_EQ(run.back()["kind"], "run-end") << run.back().dump();
    }
    EXPECT_EQ(runs[3].back()["exitStatus"], 1);
}

TEST_F(LoopTest, JsonGivesOneReportPerBoardOnALine)
{
    Plug(Hub460(1) + Hub0610(2));
    const Loop loop = StartLoop({"--boards", "1", "--json"});
    EXPECT_EQ(WaitFor(loop), 0) << ReadText("err.txt");
    const std::vector<std::string> lines = LinesStarting(ReadText("out.txt"), "{");
    ASSERT_EQ(lines.size(), 1u) << ReadText("out.txt");
    const json report = json::parse(lines[0], nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << lines[0];
    EXPECT_EQ(report["board"], 1);
    EXPECT_EQ(report["command"], "upgrade");
    EXPECT_EQ(report["exitStatus"], 0);
    EXPECT_EQ(report["results"].size(), 2u);
    EXPECT_EQ(ReadText("out.txt"), lines[0] + "\n");
}

// Hubs that do not make whole sets are no board: nothing is written, and a
// stop ends the wait with the status of the boards so far.
TEST_F(LoopTest, StopsBetweenBoardsAndWritesNothingWhileWaiting)
{
    dir.Write("SpiFlash.ini", CliIni(0, 2));
    Plug(Hub460(1));
    const Loop loop = StartLoop({"--history", "h.jsonl"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    kill(loop.pid, SIGTERM);
    EXPECT_EQ(WaitFor(loop), 0);
    EXPECT_EQ(ReadText("out.txt"), "");
    EXPECT_FALSE(fs::exists("h.jsonl") && !ReadText("h.jsonl").empty());
    EXPECT_EQ(ReadText("err.txt"), "tolvane-cli: loop ended (SIGTERM): 0 boards, 0 passed, 0 failed\n");
}
#endif

// The loop takes upgrade's options and refuses what upgrade refuses.
TEST_F(LoopTest, RefusesWhatUpgradeRefuses)
{
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"loop", "--boards", "0"}, "--boards"},
        {{"loop", "--boards", "x"}, "--boards"},
        {{"loop", "--trust", "k.pem"}, "--trust needs --approved"},
        {{"loop", "--history", ""}, "--history"},
        {{"upgrade", "--boards", "1"}, "--boards"},
    };
    for (const Case& c : cases) {
        const ProcessResult result = Cli(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.args.back();
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
    }
}
