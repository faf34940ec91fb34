// The upgrade session's faults, mended: signals around a write and during
// the waits, the exit status the history records, the approved list's
// identity in every record, and the read-only system mode's hubs.
#include "CliFixture.h"
#include "HistoryWriter.h"

#include <chrono>
#include <fstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using nlohmann::json;
namespace fs = std::filesystem;

namespace {
std::vector<json> LinesOf(const std::string& path)
{
    std::ifstream in(path);
    std::vector<json> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(json::parse(line, nullptr, false));
    return lines;
}

std::vector<json> LinesOfKind(const std::string& path, const std::string& kind)
{
    std::vector<json> found;
    for (const json& line : LinesOf(path))
        if (line.is_object() && line.value("kind", "") == kind)
            found.push_back(line);
    return found;
}

class SessionFaultTest : public CliFixture {};
} // namespace

TEST_F(SessionFaultTest, RunEndRecordsTheStatusTheProgramExitsWith)
{
    WriteDemo(0);
#ifdef _WIN32
    GTEST_SKIP() << "no /dev/full on Windows";
#else
    const ProcessResult result =
        RunProgram("tolvane-cli", {"upgrade", "--settle-ms", "0", "--history", "h.jsonl"}, "/dev/full");
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<json> ends = LinesOfKind("h.jsonl", "run-end");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0]["exitStatus"], 1);
#endif
}

TEST_F(SessionFaultTest, EveryRecordNamesTheApprovedList)
{
    WriteDemo(0);
    dir.Write("approved.txt", ReferenceSha256("Bin/HUB460.BIN") + "  Bin/HUB460.BIN\n" + ReferenceSha256("Bin/GL.BIN") +
                                  "  Bin/GL.BIN\n");
    const json expected = {{"path", "approved.txt"}, {"sha256", ReferenceSha256("approved.txt")}};
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {{{"plan"}, 0}, {{"upgrade", "--history", "h.jsonl"}, 0}};
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--settle-ms", "0", "--approved", "approved.txt"});
        int status = -1;
        const json doc = CliJson(args, status);
        EXPECT_EQ(status, c.status) << args[0];
        EXPECT_EQ(doc["approvedList"], expected) << args[0];
    }
    const std::vector<json> starts = LinesOfKind("h.jsonl", "run-start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0]["approvedList"], expected);

    // Without a list, no record names one.
    int status = -1;
    EXPECT_FALSE(CliJson({"plan", "--settle-ms", "0"}, status).contains("approvedList"));
}

// What the read-only system mode's library returns for every write is a hub
// left untouched, not a write that failed: the history's report is clean.
TEST_F(SessionFaultTest, AHubTheLibraryCannotWriteIsRecordedAsNotWritten)
{
    const struct {
        const char* name;
        bool readOnly;
        const char* outcome;
        int historyStatus;
    } cases[] = {{"read-only library", true, "not-written", 0}, {"writing library", false, "failed", 1}};
    for (const auto& c : cases) {
        fs::remove("h.jsonl");
        {
            HistoryWriter writer("tests", "1");
            if (c.readOnly)
                writer.SetReadOnlyRefusal(82);
            ASSERT_TRUE(writer.Start("h.jsonl")) << writer.Error();
            writer.OnHubStart(0, HubInfo{});
            writer.OnImageChosen("GL.BIN", 'B', 0x0200);
            EXPECT_EQ(writer.OnWriteStarting("no such image").kind, WriteDecision::Kind::Proceed);
            writer.OnLibraryResult(82, 3);
            writer.Finish(std::string(), 1);
        }
        const std::vector<json> results = LinesOfKind("h.jsonl", "result");
        ASSERT_EQ(results.size(), 1u) << c.name;
        EXPECT_EQ(results[0]["outcome"], c.outcome) << c.name;
        EXPECT_EQ(Cli({"history", "h.jsonl"}).exitCode, c.historyStatus) << c.name;
    }
}

#ifndef _WIN32
namespace {
// tolvane-cli started in the background, its output in out.txt and err.txt.
class BackgroundCli {
public:
    explicit BackgroundCli(std::vector<std::string> args)
    {
        args.insert(args.begin(), (ProgramFolder() / "tolvane-cli").string());
        m_pid = fork();
        if (m_pid == 0) {
            dup2(open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char*> argv;
            for (std::string& word : args)
                argv.push_back(word.data());
            argv.push_back(nullptr);
            // The signals these tests send reach the program whatever ignored them
            // in the shell that started the tests (a background job ignores SIGINT).
            for (int held : {SIGINT, SIGTERM, SIGHUP})
                std::signal(held, SIG_DFL);
            alarm(60);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~BackgroundCli()
    {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    void Signal(int number) { kill(m_pid, number); }
    // The exit status, or 128 and the signal that ended it.
    int Wait()
    {
        int status = 0;
        m_reaped = waitpid(m_pid, &status, 0) == m_pid;
        if (!m_reaped)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    static fs::path ProgramFolder() { return fs::canonical("/proc/self/exe").parent_path(); }
    pid_t m_pid = -1;
    bool m_reaped = false;
};

// Waits until the history holds count lines of kind.
bool AwaitLines(const std::string& path, const std::string& kind, std::size_t count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        if (LinesOfKind(path, kind).size() >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::string TextOf(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}
} // namespace

// A signal during a wait ends it at once: during the scan's settle time no
// hub is touched; during the verification's, the verification is skipped.
TEST_F(SessionFaultTest, ASignalDuringAWaitEndsItAtOnce)
{
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* kind; // the history line that shows the wait has begun
        std::size_t count;
        int signal;
        const char* notStarted;
    } cases[] = {
        {"settle", {"upgrade", "--settle-ms", "20000"}, "run-start", 1, SIGINT, "hubs not started: 3, 2, 1"},
        {"verification",
         {"upgrade", "--settle-ms", "3000", "--verify"},
         "result",
         3,
         SIGTERM,
         "every hub had its turn"},
    };
    for (const auto& c : cases) {
        WriteDemo(0);
        fs::remove("h.jsonl");
        fs::remove("HubBench.ini.state");
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--history", "h.jsonl"});
        BackgroundCli cli(args);
        ASSERT_TRUE(AwaitLines("h.jsonl", c.kind, c.count)) << c.name;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Clock::time_point signalled = Clock::now();
        cli.Signal(c.signal);
        EXPECT_EQ(cli.Wait(), 128 + c.signal) << c.name;
        EXPECT_LT(MsSince(signalled), 1500) << c.name << ": the wait was not cut short";
        EXPECT_NE(TextOf("err.txt").find(c.notStarted), std::string::npos) << c.name << ": " << TextOf("err.txt");
        const std::string out = TextOf("out.txt");
        EXPECT_EQ(out.find("Upgrade failed"), std::string::npos) << c.name << ": " << out;
        EXPECT_EQ(out.find("Verify"), std::string::npos) << c.name << ": " << out;
        EXPECT_TRUE(LinesOfKind("h.jsonl", "verify").empty()) << c.name;
        const std::vector<json> ends = LinesOfKind("h.jsonl", "run-end");
        ASSERT_EQ(ends.size(), 1u) << c.name;
        EXPECT_EQ(ends[0]["exitStatus"], 128 + c.signal) << c.name;
    }
}

// A signal that arrives while the line written ahead of a write is being
// written (here: while the history's lock is held elsewhere) is held like
// one during the write: the hub is written and recorded, then the run ends.
TEST_F(SessionFaultTest, ASignalWhileTheWriteIsRecordedAheadStillWritesTheHub)
{
    WriteDemo(0);
    BackgroundCli cli({"upgrade", "--settle-ms", "300", "--history", "h.jsonl"});
    ASSERT_TRUE(AwaitLines("h.jsonl", "run-start", 1));
    const int fd = open("h.jsonl", O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLKW, &lock), 0);
    // Past the settle time: the run now waits for the lock to record hub 3.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    cli.Signal(SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lock.l_type = F_UNLCK;
    fcntl(fd, F_OFD_SETLK, &lock);
    close(fd);

    EXPECT_EQ(cli.Wait(), 128 + SIGTERM);
    const std::vector<json> starts = LinesOfKind("h.jsonl", "write-start");
    const std::vector<json> results = LinesOfKind("h.jsonl", "result");
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]["hub"]["number"], 3);
    EXPECT_EQ(results[0]["outcome"], "programmed");
    EXPECT_EQ(TextOf("out.txt").find("Upgrade failed"), std::string::npos) << TextOf("out.txt");
    EXPECT_NE(TextOf("err.txt").find("hubs not started: 2, 1"), std::string::npos) << TextOf("err.txt");
    const std::vector<json> ends = LinesOfKind("h.jsonl", "run-end");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0]["notStarted"], json::array({2, 1}));
}
#endif
