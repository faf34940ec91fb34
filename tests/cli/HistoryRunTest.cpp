// The history as an upgrade run keeps it: refused before any hub when it
// cannot be written, written ahead of every write, whole on a full disk and
// under concurrent runs, and complete when a run is interrupted.
#include "CliFixture.h"
#include "ProgramFolder.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using nlohmann::json;
namespace fs = std::filesystem;

namespace {
class HistoryRunTest : public CliFixture {
protected:
    // Every line of the file; each must be whole JSON.
    std::vector<json> Lines(const std::string& name)
    {
        std::vector<json> lines;
        std::istringstream text(dir.Read(name));
        for (std::string line; std::getline(text, line);) {
            lines.push_back(json::parse(line, nullptr, false));
            EXPECT_FALSE(lines.back().is_discarded()) << "torn line: " << line;
        }
        return lines;
    }

    static std::vector<std::string> Kinds(const std::vector<json>& lines)
    {
        std::vector<std::string> kinds;
        for (const json& line : lines)
            kinds.push_back(line.value("kind", "?") + (line.contains("hub") ? line["hub"]["number"].dump() : ""));
        return kinds;
    }

    // No hub has been programmed: the simulated library keeps no state yet.
    void ExpectNoHubProgrammed()
    {
        std::error_code ignored;
        EXPECT_FALSE(fs::exists(dir.Path() / "HubBench.ini.state", ignored)) << dir.Read("HubBench.ini.state");
    }
};

struct RefusedCase {
    const char* name;
    std::string path;
    int exitCode;
    const char* err;
};
} // namespace

TEST_F(HistoryRunTest, AHistoryThatCannotBeWrittenIsRefusedBeforeAnyHub)
{
    WriteDemo(0);
    fs::create_directories(dir.Path() / "folder");
    std::vector<RefusedCase> cases = {
        {"a folder", "folder", 1, "tolvane-cli: cannot write the history to folder: "},
        {"a missing folder", "missing/h.jsonl", 1, "tolvane-cli: cannot write the history to missing/h.jsonl: "},
        {"no name", "", 2, "tolvane-cli: --history: the history needs a file name (see tolvane-cli --help)"},
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    cases.push_back({"a FIFO", "fifo", 1, "tolvane-cli: cannot write the history to fifo: not a regular file"});
    cases.push_back(
        {"/dev/full", "/dev/full", 1, "tolvane-cli: cannot write the history to /dev/full: not a regular file"});
#endif
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = std::chrono::steady_clock::now();
        const ProcessResult result = Cli({"upgrade", "--settle-ms", "0", "--history", c.path});
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.err.substr(0, std::strlen(c.err)), c.err) << result.err;
        EXPECT_EQ(result.out, "");
        ExpectNoHubProgrammed();
    }
    // The rescan shows the versions the hubs had.
    int status = 0;
    const json scan = CliJson({"scan", "--settle-ms", "0"}, status);
    EXPECT_EQ(scan["hubs"][2]["firmwareVersion"], "0654") << scan["hubs"];
}

TEST_F(HistoryRunTest, EveryHubHasItsWriteStartResultAndVerification)
{
    WriteDemo(0);
    int status = 0;
    CliJson({"upgrade", "--settle-ms", "0", "--verify", "--history", "h.jsonl"}, status);
    EXPECT_EQ(status, 0);
    const std::vector<json> lines = Lines("h.jsonl");
    EXPECT_EQ(Kinds(lines),
              (std::vector<std::string>{"run-start", "write-start3", "result3", "write-start2", "result2",
                                        "write-start1", "result1", "verify3", "verify2", "verify1", "run-end"}));
    for (const json& line : lines) {
        EXPECT_EQ(line["run"], lines[0]["run"]);
        EXPECT_EQ(line["time"].get<std::string>().size(), 24u);
    }
    EXPECT_EQ(lines[1]["image"]["size"], lines[2]["image"]["size"]);
    EXPECT_EQ(lines[1]["image"]["sha256"].get<std::string>().size(), 64u);
    EXPECT_GE(lines[6]["libraryMs"].get<int>(), 30); // hub 1 takes UpdateMs
    EXPECT_LE(lines[5]["time"], lines[6]["time"]);
    EXPECT_EQ(lines[7]["verified"], true);
    EXPECT_EQ(lines.back()["counts"], json({{"programmed", 3}}));
    EXPECT_EQ(lines.back()["exitStatus"], 0);

    const ProcessResult read = Cli({"history", "h.jsonl"});
    EXPECT_EQ(read.exitCode, 0) << read.out;
    EXPECT_NE(read.out.find(": 3 programmed\n"), std::string::npos) << read.out;
}

// A hub that is not written says why, in the history and as it is read back.
TEST_F(HistoryRunTest, TheHistoryKeepsWhyAHubWasNotWritten)
{
    WriteDemo(0);
    fs::remove("Bin/GL.BIN");
    int status = 0;
    CliJson({"upgrade", "--settle-ms", "0", "--history", "h.jsonl"}, status);
    EXPECT_EQ(status, 1);
    std::string recorded;
    for (const json& line : Lines("h.jsonl"))
        if (line["kind"] == "result" && line["outcome"] == "no-image")
            recorded = line.value("reason", "");
    EXPECT_EQ(recorded.rfind("no image fits; the nearest, HUB460.BIN: target identifier 0D12, hub needs 0D13", 0), 0u)
        << recorded;

    const ProcessResult read = Cli({"history", "h.jsonl"});
    EXPECT_EQ(read.exitCode, 0) << read.out;
    EXPECT_NE(read.out.find(": no-image: " + recorded + "\n"), std::string::npos) << read.out;
    const json document = CliJson({"history", "--json", "h.jsonl"}, status);
    ASSERT_EQ(document["runs"].size(), 1u);
    EXPECT_EQ(document["runs"][0]["failureCount"], 1);
    EXPECT_EQ(document["runs"][0]["failures"][0]["reason"], recorded);
}

TEST_F(HistoryRunTest, EightConcurrentRunsShareOneHistory)
{
    WriteDemo(0);
    const fs::path shared = dir.Path() / "shared.jsonl";
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < 8; ++i) {
        const fs::path bench = dir.Path() / ("bench" + std::to_string(i));
        fs::create_directories(bench);
        for (const char* name : {"SpiFlash.ini", "HubBench.ini", "Bin"})
            fs::copy(dir.Path() / name, bench / name, fs::copy_options::recursive);
        runs.push_back({"-C", bench.string(), "upgrade", "--settle-ms", "0", "--history", shared.string()});
    }
    for (const ProcessResult& result : RunProgramsAtOnce("tolvane-cli", runs))
        EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<json> lines = Lines("shared.jsonl");
    EXPECT_EQ(lines.size(), 8u * 8u);
    const ProcessResult read = Cli({"history", "shared.jsonl"});
    EXPECT_EQ(read.exitCode, 0) << read.out;
    EXPECT_NE(read.out.find("64 lines, 8 runs\n"), std::string::npos) << read.out;
}

#ifndef _WIN32
namespace {
struct Spawned {
    pid_t pid = -1;
};

// tolvane-cli with its output in out.txt and err.txt and its temporary files
// in tmp/; limitBytes: the most a file may grow to; closedStdout: the
// standard output is a pipe nobody reads.
Spawned StartCli(const std::vector<std::string>& args, rlim_t limitBytes = RLIM_INFINITY, bool closedStdout = false)
{
    std::vector<std::string> words{(ProgramFolder() / "tolvane-cli").string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    if (closedStdout && pipe(pipeEnds) != 0)
        return {};
    fs::create_directories("tmp");
    const std::string temporary = fs::absolute("tmp").string();
    Spawned child{fork()};
    if (child.pid == 0) {
        const int out = closedStdout ? pipeEnds[1] : open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (closedStdout)
            close(pipeEnds[0]);
        dup2(out, 1);
        dup2(open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        setenv("TMPDIR", temporary.c_str(), 1);
        const rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        // The signals these tests send reach the program whatever ignored them
        // in the shell that started the tests (a background job ignores SIGINT).
        for (int held : {SIGINT, SIGTERM, SIGHUP})
            std::signal(held, SIG_DFL);
        alarm(60);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (closedStdout) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
    }
    return child;
}

// The exit status, or 128 and the signal that ended the program.
int WaitFor(const Spawned& child)
{
    int status = 0;
    if (waitpid(child.pid, &status, 0) != child.pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Once the line is there, the library is given a moment to begin the write.
bool WaitForText(const std::string& name, const std::string& text)
{
    for (int i = 0; i < 2000; ++i) {
        if (ReadFile(name).find(text) != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

struct SignalCase {
    int signal;
    int exitCode;
    const char* name;
};
} // namespace

TEST_F(HistoryRunTest, KillDuringASlowWriteLeavesItsWriteStartForTheReader)
{
    WriteDemo(0, "UpdateMs=3000\n");
    const Spawned run = StartCli({"upgrade", "--settle-ms", "0", "--history", "h.jsonl"});
    ASSERT_TRUE(WaitForText("h.jsonl", "\"write-start\""));
    kill(run.pid, SIGKILL);
    EXPECT_EQ(WaitFor(run), 128 + SIGKILL);

    const std::vector<json> lines = Lines("h.jsonl");
    EXPECT_EQ(Kinds(lines), (std::vector<std::string>{"run-start", "write-start3"}));
    const ProcessResult read = Cli({"history", "h.jsonl"});
    EXPECT_EQ(read.exitCode, 1);
    EXPECT_NE(read.out.find("hub 3 (05E3:0610, depth 2, port 4), image GL.BIN, line 2: interrupted while writing: this "
                            "hub may hold incomplete firmware\n"),
              std::string::npos)
        << read.out;
    int status = 0;
    const json report = CliJson({"history", "h.jsonl"}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(report["runs"][0]["interruptedWrites"][0]["hub"]["number"], 3);
}

TEST_F(HistoryRunTest, AnInterruptionDuringASlowWriteRecordsItsResultAndStartsNoOtherHub)
{
    const SignalCase cases[] = {{SIGINT, 130, "SIGINT"}, {SIGTERM, 143, "SIGTERM"}, {SIGHUP, 129, "SIGHUP"}};
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Remove("HubBench.ini.state");
        dir.Remove("h.jsonl");
        WriteDemo(0, "UpdateMs=1500\n");
        const Spawned run = StartCli({"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl"});
        ASSERT_TRUE(WaitForText("h.jsonl", "\"write-start\""));
        kill(run.pid, c.signal);
        EXPECT_EQ(WaitFor(run), c.exitCode);
        EXPECT_EQ(ReadFile("err.txt"),
                  std::string("tolvane-cli: interrupted (") + c.name + "); hubs not started: 2, 1\n");
        const json report = json::parse(ReadFile("out.txt"), nullptr, false);
        EXPECT_EQ(report["interrupted"], c.name);
        EXPECT_EQ(report["exitStatus"], c.exitCode);
        EXPECT_TRUE(fs::is_empty("tmp")) << "the --json capture was left behind";

        const std::vector<json> lines = Lines("h.jsonl");
        ASSERT_EQ(Kinds(lines), (std::vector<std::string>{"run-start", "write-start3", "result3", "run-end"}));
        EXPECT_EQ(lines[2]["outcome"], "programmed");
        EXPECT_GE(lines[2]["libraryMs"].get<int>(), 1500);
        EXPECT_EQ(lines[3]["interruption"], c.name);
        EXPECT_EQ(lines[3]["notStarted"], json({2, 1}));
        EXPECT_EQ(dir.Read("HubBench.ini.state").find("Hub2"), std::string::npos);
        EXPECT_NE(dir.Read("HubBench.ini.state").find("Hub3=0x0655"), std::string::npos);
        EXPECT_EQ(Cli({"history", "h.jsonl"}).exitCode, 0);
    }
}

TEST_F(HistoryRunTest, AClosedOutputPipeIsExit1WithItsMessage)
{
    WriteDemo(0);
    for (const char* command : {"scan", "upgrade"}) {
        SCOPED_TRACE(command);
        const Spawned run = StartCli({command, "--settle-ms", "0"}, RLIM_INFINITY, true);
        EXPECT_EQ(WaitFor(run), 1);
        EXPECT_EQ(ReadFile("err.txt"), "tolvane-cli: cannot write the standard output: Broken pipe\n");
    }
}

namespace {
enum class FullBy { SmallFileSystem, FileSizeLimit };

// A tmpfs of 16 KiB with 12 KiB taken by ballast, or a limit on the size of
// files; either way the history, half full already, fills up during the run.
class FullDiskTest : public HistoryRunTest, public testing::WithParamInterface<FullBy> {
protected:
    ~FullDiskTest() override
    {
        if (m_mounted)
            umount2("fs", MNT_DETACH);
    }
    bool Mount()
    {
        fs::create_directories("fs");
        m_mounted = mount("tmpfs", "fs", "tmpfs", 0, "size=16k") == 0;
        return m_mounted;
    }

private:
    bool m_mounted = false;
};
} // namespace

TEST_P(FullDiskTest, AFullDiskThenANormalRunLeavesOnlyWholeLines)
{
    WriteDemo(0);
    std::string history = "h.jsonl";
    // The limit leaves room for the private copy of each image (28 KiB), so
    // that it is the history that does not fit.
    rlim_t limit = 40960;
    std::uint64_t room = limit;
    if (GetParam() == FullBy::SmallFileSystem) {
        if (!Mount())
            GTEST_SKIP() << "no tmpfs may be mounted here: " << std::strerror(errno);
        dir.Write("fs/ballast", std::string(12 * 1024, 'b'));
        history = "fs/h.jsonl";
        limit = RLIM_INFINITY;
        room = 4096;
    }
    dir.Write(history, "{\"filler\":\"" + std::string(room - 2062, 'x') + "\"}\n");
    const Spawned full = StartCli({"upgrade", "--settle-ms", "0", "--history", history}, limit);
    EXPECT_EQ(WaitFor(full), 1);
    EXPECT_NE(ReadFile("err.txt").find("tolvane-cli: cannot write the history to " + history + ": "), std::string::npos)
        << ReadFile("err.txt");
    EXPECT_NE(ReadFile("out.txt").find("!!!Error the history cannot be written: "), std::string::npos);
    const std::size_t size = fs::file_size(history);
    EXPECT_GT(size, 0u);
    EXPECT_LE(size, room);
    if (GetParam() == FullBy::SmallFileSystem)
        fs::remove("fs/ballast");

    const Spawned normal = StartCli({"upgrade", "--settle-ms", "0", "--history", history});
    EXPECT_EQ(WaitFor(normal), 0) << ReadFile("err.txt");
    const std::string text = ReadFile(history);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        ASSERT_FALSE(json::parse(line, nullptr, false).is_discarded()) << "torn line: " << line;
    EXPECT_EQ(text.back(), '\n');
    // The hub whose line could not be written ahead was not written either.
    int status = 0;
    const json read = CliJson({"history", history}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read["problemCount"], 1); // the filler
    EXPECT_EQ(read["runs"].size(), 2u);
}

// The report of a run the history cut short lists the hubs it never started,
// as the history's own last line does.
TEST_F(HistoryRunTest, TheReportListsTheHubsAFullHistoryLeftUnstarted)
{
    WriteDemo(0);
    // Room for the first line and about one more: the first hub's lines fill it.
    dir.Write("h.jsonl", "{\"filler\":\"" + std::string(40960 - 600, 'x') + "\"}\n");
    const Spawned full = StartCli({"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl"}, 40960);
    EXPECT_EQ(WaitFor(full), 1);
    const json report = json::parse(ReadFile("out.txt"), nullptr, false);
    ASSERT_TRUE(report.is_object()) << ReadFile("out.txt");
    ASSERT_TRUE(report.contains("notStarted")) << report.dump();
    EXPECT_FALSE(report["notStarted"].empty());
    EXPECT_EQ(report["results"].size() + report["notStarted"].size(), 3u) << report.dump();
    EXPECT_EQ(report["notStarted"].back(), 1);
}

INSTANTIATE_TEST_SUITE_P(History, FullDiskTest, testing::Values(FullBy::SmallFileSystem, FullBy::FileSizeLimit),
                         [](const testing::TestParamInfo<FullBy>& param) {
                             return param.param == FullBy::SmallFileSystem ? "SmallFileSystem" : "FileSizeLimit";
                         });
#endif
