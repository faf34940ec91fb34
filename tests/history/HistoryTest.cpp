// The history's file and lines, and reading a history back.
#include "CountedAllocation.h"
#include "HistoryFile.h"
#include "HistoryLines.h"
#include "HistoryReader.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using nlohmann::json;

namespace {
HubInfo LongHub()
{
    HubInfo hub{};
    // Strings long enough that a torn write would show.
    for (std::size_t i = 0; i < sizeof hub.product; ++i) {
        hub.manufacturer[i] = static_cast<std::uint8_t>(0x80 + i);
        hub.product[i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    return hub;
}

std::string LongLine(unsigned entry)
{
    json line = history::Line({"bench", "run"}, "result");
    line["hub"] = history::HubJson(entry, LongHub());
    line["image"] = history::ImageJson({"HUB" + std::to_string(entry) + ".BIN", 0x9021, std::nullopt, std::nullopt});
    line["outcome"] = "programmed";
    return history::Dump(line);
}

bool Append(const std::string& path, const std::string& line, std::string& error)
{
    HistoryFile file;
    return file.Open(path, error) && file.Append(line, error);
}
} // namespace

TEST(History, ConcurrentRunsLeaveOnlyWholeLines)
{
    ScratchDir dir;
    constexpr unsigned kWriters = 8;
    constexpr unsigned kRuns = 4; // every line waits for the disk
    std::vector<std::thread> writers;
    for (unsigned w = 0; w < kWriters; ++w) {
        writers.emplace_back([w] {
            for (unsigned run = 0; run < kRuns; ++run) {
                HistoryFile file;
                std::string error;
                ASSERT_TRUE(file.Open("history.jsonl", error)) << error;
                for (unsigned hub = 0; hub < 32; ++hub)
                    EXPECT_TRUE(file.Append(LongLine(w * 32 + hub), error)) << error;
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();

    std::istringstream text(dir.Read("history.jsonl"));
    unsigned lines = 0;
    for (std::string line; std::getline(text, line); ++lines) {
        const json record = json::parse(line, nullptr, false);
        ASSERT_FALSE(record.is_discarded()) << line;
        EXPECT_EQ(record["hub"]["product"], "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRST");
        EXPECT_EQ(record["image"]["name"], "HUB" + std::to_string(record["hub"]["index"].get<unsigned>()) + ".BIN");
    }
    EXPECT_EQ(lines, kWriters * kRuns * 32);
}

TEST(History, LinesRecordTheHubAndTheOutcome)
{
    HubInfo hub = LongHub();
    hub.depth = 2;
    hub.descriptor.idVendor = 0x05E3;
    const json line = history::Line({"bench-7", "00ff"}, "write-start");
    EXPECT_EQ(line["host"], "bench-7");
    EXPECT_EQ(line["run"], "00ff");
    EXPECT_EQ(line["kind"], "write-start");
    const std::string time = line["time"];
    ASSERT_EQ(time.size(), 24u) << time; // 2026-12-08T15:04:05.123Z
    EXPECT_EQ(time[19], '.');
    EXPECT_EQ(time.back(), 'Z');
    const json hubJson = history::HubJson(4, hub);
    EXPECT_EQ(hubJson["number"], 5);
    EXPECT_EQ(hubJson["vid"], "05E3");
    EXPECT_EQ(hubJson["manufacturer"].get<std::string>().substr(0, 8), "\\x80\\x81");
    EXPECT_EQ(
        history::ImageJson({"HUB4.BIN", 0x9021, 28801, std::string(64, 'a')}),
        json({{"name", "HUB4.BIN"}, {"firmwareVersion", "9021"}, {"size", 28801}, {"sha256", std::string(64, 'a')}}));
    EXPECT_EQ(history::Dump(line).back(), '\n');
    EXPECT_NE(history::NewRunId(), history::NewRunId());
}

TEST(History, UnwritableFileIsReported)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "folder");
    const char* const paths[] = {"folder",
                                 "no-such-folder/history.jsonl",
                                 ""
#ifndef _WIN32
                                 ,
                                 "/dev/full",
                                 "/dev/null",
                                 "fifo"
#endif
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
#endif
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        std::string error;
        HistoryFile file;
        EXPECT_FALSE(file.Open(path, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(History, AnAppendToALineWithoutItsEndStartsANewLine)
{
    ScratchDir dir;
    dir.Write("history.jsonl", "{\"half\":");
    std::string error;
    ASSERT_TRUE(Append("history.jsonl", "{}\n", error)) << error;
    ASSERT_TRUE(Append("history.jsonl", "[]\n", error)) << error;
    EXPECT_EQ(dir.Read("history.jsonl"), "{\"half\":\n{}\n[]\n");
}

#ifndef _WIN32
// A file that may not grow past a limit, as on a full disk: the line that
// does not fit is taken back whole. Runs in a child, whose limit ends with it.
TEST(History, ALineThatDoesNotFitIsTakenBack)
{
    ScratchDir dir;
    dir.Write("history.jsonl", "{\"first\":1}\n");
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20, 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool appended = Append("history.jsonl", std::string(40, ' ') + "{}\n", error);
        _exit(appended ? 0 : error.empty() ? 2 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(dir.Read("history.jsonl"), "{\"first\":1}\n");
}
#endif

namespace {
std::string L(const std::string& kind, const std::string& more = "", const std::string& run = "r1")
{
    return R"({"time":"2026-12-09T06:00:00.000Z","host":"h","run":")" + run + R"(","kind":")" + kind + "\"" + more +
           "}\n";
}

// line at its own moment, the n-th millisecond of the hour: no run writes
// the same line twice, and the reader takes a repeat for one delivered twice.
std::string At(std::string line, unsigned n)
{
    char moment[16];
    std::snprintf(moment, sizeof moment, "%02u:%02u.%03uZ", n / 60000 % 60, n / 1000 % 60, n % 1000);
    line.replace(line.find("00:00.000Z"), 10, moment);
    return line;
}

std::string Hub(unsigned index)
{
    return R"(,"hub":{"index":)" + std::to_string(index) + R"(,"number":)" + std::to_string(index + 1) + "}";
}

struct ReadCase {
    const char* name;
    std::string text;
    bool open; // some hub may hold incomplete or unverified firmware
    std::size_t interrupted, failed, unverified, problems, runs;
};
} // namespace

TEST(History, ReaderFindsTheHubsThatMayHoldIncompleteFirmware)
{
    const std::string start = L("run-start");
    const std::string write0 = L("write-start", Hub(0));
    const std::string done0 = L("result", Hub(0) + R"(,"outcome":"programmed","libraryResult":0)");
    const std::string failed0 = L("result", Hub(0) + R"(,"outcome":"failed","libraryResult":5)");
    const ReadCase cases[] = {
        {"whole run", start + write0 + done0 + L("run-end"), false, 0, 0, 0, 0, 1},
        {"cut during a write",
         start + L("write-start", Hub(1)) + L("result", Hub(1) + R"(,"outcome":"programmed")") + write0, true, 1, 0, 0,
         0, 1},
        {"library failed", start + write0 + L("result", Hub(0) + R"(,"outcome":"failed","libraryResult":5)"), true, 0,
         1, 0, 0, 1},
        {"verify failed", start + write0 + done0 + L("verify", Hub(0) + R"(,"verified":false,"versionAfter":"0100")"),
         true, 0, 0, 1, 0, 1},
        {"earlier version's line, unverified",
         R"({"time":"2026-12-08T15:04:05Z","host":"h","run":"old","hub":{"index":0},"outcome":"programmed","verified":false})"
         "\n",
         true, 0, 0, 1, 0, 1},
        {"torn and foreign lines", start + "{\"time\":\"x\",\"ru\n" + "[1,2]\n" + L("dance") + "\n\n" + done0, false, 0,
         0, 0, 3, 1},
        {"two runs interleaved",
         L("run-start", "", "a") + L("run-start", "", "b") + L("write-start", Hub(0), "a") +
             L("write-start", Hub(0), "b") + L("result", Hub(0) + R"(,"outcome":"programmed")", "b"),
         true, 1, 0, 0, 0, 2},
        {"last line without its end", start + write0 + done0.substr(0, done0.size() - 1), false, 0, 0, 0, 0, 1},
        {"empty", "", false, 0, 0, 0, 0, 0},
        // The parser stops at a NUL: the line is not one JSON object.
        {"a NUL and more after a line's object",
         start + failed0.substr(0, failed0.size() - 1) + std::string("\0garbage\n", 9) + L("run-end"), false, 0, 0, 0,
         1, 1},
        {"a NUL at a line's end", start + write0.substr(0, write0.size() - 1) + std::string("\0\n", 2) + L("run-end"),
         false, 0, 0, 0, 1, 1},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.text);
        HistoryReader reader;
        reader.Read(in);
        EXPECT_EQ(reader.AnythingOpen(), c.open);
        EXPECT_EQ(reader.ProblemCount(), c.problems);
        ASSERT_EQ(reader.Runs().size(), c.runs);
        std::size_t interrupted = 0, failed = 0, unverified = 0;
        for (const RunSummary& run : reader.Runs()) {
            interrupted += run.interruptedWrites.size();
            failed += run.failedWrites.size();
            unverified += run.unverified.size();
        }
        EXPECT_EQ(interrupted, c.interrupted);
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(unverified, c.unverified);
    }
}

TEST(History, ReaderNamesProblemLinesByNumberAndSkipsOverlongOnes)
{
    std::istringstream in(L("run-start") + "not json\n" + std::string(HistoryReader::kMaxLine + 10, '{') + "\n" +
                          L("run-end"));
    HistoryReader reader;
    reader.Read(in);
    ASSERT_EQ(reader.Problems().size(), 2u);
    EXPECT_EQ(reader.Problems()[0].line, 2u);
    EXPECT_EQ(reader.Problems()[1].line, 3u);
    EXPECT_EQ(reader.Problems()[1].problem, "too long for a history line");
    EXPECT_EQ(reader.Lines(), 4u);
    ASSERT_EQ(reader.Runs().size(), 1u);
    EXPECT_TRUE(reader.Runs()[0].ended);
}

// However many hubs a run puts at risk, the reader keeps the first of each
// kind and counts the rest: its memory per run does not grow with the file.
TEST(History, ReaderKeepsABoundedNumberOfEntriesPerRun)
{
    constexpr unsigned kEach = 2000; // twenty times what is listed
    std::string text = L("run-start");
    for (unsigned i = 0; i < kEach; ++i) {
        text += At(L("write-start", Hub(i % 32)), 4 * i);
        text += At(L("write-start", Hub(i % 32)), 4 * i + 1); // the first of the two never ended
        text += At(L("result", Hub(i % 32) + R"(,"outcome":"failed","libraryResult":-1)"), 4 * i + 2);
        text += At(L("verify", Hub(i % 32) + R"(,"verified":false,"versionAfter":null)"), 4 * i + 3);
    }
    text += L("write-start", Hub(5));
    const struct {
        const char* name;
        std::size_t piece; // bytes fed at a time; 0: read from a stream
    } cases[] = {{"stream", 0}, {"one byte at a time", 1}, {"odd pieces", 4093}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryReader reader;
        if (c.piece == 0) {
            std::istringstream in(text);
            reader.Read(in);
        } else {
            for (std::size_t at = 0; at < text.size(); at += c.piece)
                reader.Feed(text.data() + at, std::min(c.piece, text.size() - at));
            reader.End();
        }
        ASSERT_EQ(reader.Runs().size(), 1u);
        const RunSummary& run = reader.Runs()[0];
        EXPECT_EQ(run.interruptedCount, kEach + 1);
        EXPECT_EQ(run.failedCount, kEach);
        EXPECT_EQ(run.unverifiedCount, kEach);
        EXPECT_EQ(run.interruptedWrites.size(), HistoryReader::kListedPerRun);
        EXPECT_EQ(run.failedWrites.size(), HistoryReader::kListedPerRun);
        EXPECT_EQ(run.unverified.size(), HistoryReader::kListedPerRun);
        EXPECT_EQ(run.counts.at("failed"), kEach);
        EXPECT_EQ(reader.Lines(), 4 * kEach + 2);
        EXPECT_EQ(reader.ProblemCount(), 0u);
        EXPECT_TRUE(reader.AnythingOpen());
    }
}

// What the reader keeps of a line is the fields it knows, each of its type:
// a hub's other fields and a line's extras are dropped.
TEST(History, ReaderKeepsOnlyTheFieldsItKnows)
{
    std::istringstream in(L("write-start", R"(,"hub":{"index":3,"number":4,"vid":"05E3","junk":[1,2,3]})"
                                           R"(,"image":{"name":"A.BIN","size":28801,"extra":{"deep":true}})"));
    HistoryReader reader;
    reader.Read(in);
    ASSERT_EQ(reader.Runs().size(), 1u);
    ASSERT_EQ(reader.Runs()[0].interruptedWrites.size(), 1u);
    const json& entry = reader.Runs()[0].interruptedWrites[0];
    EXPECT_EQ(entry["hub"], json({{"index", 3}, {"number", 4}, {"vid", "05E3"}}));
    EXPECT_EQ(entry["image"], json({{"name", "A.BIN"}, {"size", 28801}}));
    EXPECT_EQ(HubText(entry["hub"]), "hub 4 (05E3:?, depth ?, port ?)");
}

namespace {
// The runs a reader reports, as "id:number of the line read when it came".
struct Reported {
    std::vector<std::string> runs;
    std::uint64_t linesFed = 0;
};

void FeedLines(HistoryReader& reader, Reported& reported, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        ++reported.linesFed;
        reader.Feed(line.data(), line.size());
    }
    reported.linesFed = 0; // what End reports
    reader.End();
}
} // namespace

// Each run is handed over once it ended and every run begun before it was
// handed over: the order of the runs' first lines, as ever, and no later.
TEST(History, ReaderReportsEachRunOnceItAndTheRunsBeforeItEnded)
{
    const auto start = [](const char* run) { return L("run-start", "", run); };
    const auto end = [](const char* run) { return L("run-end", "", run); };
    const auto write = [](const char* run) { return L("write-start", Hub(2), run); };
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::string> reported; // run:line fed when reported (0: at the end)
    } cases[] = {
        {"in order", {start("a"), end("a"), start("b"), write("b"), end("b")}, {"a:2", "b:5"}},
        {"interleaved, the later ends first", {start("a"), start("b"), end("b"), end("a")}, {"a:4", "b:4"}},
        {"a run cut short holds the later ones back", {start("a"), start("b"), end("b")}, {"a:0", "b:0"}},
        {"a run's id again after its end is a run of its own",
         {start("a"), end("a"), write("a"), start("b"), end("b")},
         {"a:2", "a:0", "b:0"}},
        {"lines without a kind never end their run",
         {L("result", Hub(0) + R"(,"outcome":"programmed")", "old")},
         {"old:0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reported reported;
        HistoryReader reader([&reported](const RunSummary& run) {
            reported.runs.push_back(run.run + ":" + std::to_string(reported.linesFed));
        });
        FeedLines(reader, reported, c.lines);
        EXPECT_EQ(reported.runs, c.reported);
        EXPECT_EQ(reader.RunCount(), c.reported.size());
        EXPECT_EQ(reader.RunsReportedEarly(), 0u);
        EXPECT_TRUE(reader.Runs().empty());
    }
}

// A run that never ends holds back no more than kHeldRuns others: then it
// is reported as it stands, marked and counted, and its later lines make a
// run of their own. Nothing it held is lost: its open write is reported.
TEST(History, ReaderReportsTheEarliestRunWhenTooManyWait)
{
    std::vector<std::string> lines = {L("run-start", "", "stuck"), L("write-start", Hub(1), "stuck")};
    for (std::size_t i = 0; i < HistoryReader::kHeldRuns; ++i) {
        const std::string id = "r" + std::to_string(i);
        lines.push_back(L("run-start", "", id));
        lines.push_back(L("run-end", "", id));
    }
    lines.push_back(L("result", Hub(1) + R"(,"outcome":"failed","libraryResult":7)", "stuck"));
    Reported reported;
    std::vector<RunSummary> runs;
    HistoryReader reader([&](const RunSummary& run) {
        reported.runs.push_back(run.run + ":" + std::to_string(reported.linesFed));
        runs.push_back(run);
    });
    FeedLines(reader, reported, lines);
    ASSERT_EQ(runs.size(), HistoryReader::kHeldRuns + 2);
    // Reported with the line that made one run too many wait.
    EXPECT_EQ(reported.runs.front(), "stuck:" + std::to_string(2 + 2 * HistoryReader::kHeldRuns - 1));
    EXPECT_TRUE(runs.front().reportedEarly);
    EXPECT_EQ(runs.front().interruptedCount, 1u);
    EXPECT_EQ(runs.back().run, "stuck");
    EXPECT_FALSE(runs.back().reportedEarly);
    EXPECT_EQ(runs.back().failedCount, 1u);
    EXPECT_EQ(reader.RunsReportedEarly(), 1u);
    EXPECT_TRUE(reader.AnythingOpen());
}

// However many runs a history holds, the reader holds those still waiting
// and no more: a counted peak of what it allocates, on histories generated
// line by line, never held whole. A reader that keeps its runs shows that
// the count would see them.
TEST(History, ReaderMemoryIsBoundedByTheRunsThatWait)
{
    constexpr unsigned kRuns = 10000;
    constexpr std::size_t kBound = std::size_t{4} << 20;
    const auto id = [](unsigned run) { return "run" + std::to_string(run); };
    const auto write = [&](unsigned run) {
        return L("write-start", Hub(run % 32) + R"(,"image":{"name":"HUB460.BIN","firmwareVersion":"9021"})", id(run));
    };
    const auto result = [&](unsigned run) {
        return L("result", Hub(run % 32) + R"(,"outcome":"failed","libraryResult":5)", id(run));
    };
    const struct {
        const char* name;
        unsigned together; // runs whose lines interleave
        bool ends;         // each run has its run-end
        bool keeps;        // the reader keeps every run
    } cases[] = {{"one run after another", 1, true, false},
                 {"500 writers at once", 500, true, false},
                 {"no run ends, each with a write open", 1, false, false},
                 {"every run kept", 1, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint64_t reported = 0, interrupted = 0;
        const auto count = [&](const RunSummary& run) {
            ++reported;
            interrupted += run.interruptedCount;
        };
        std::optional<HistoryReader> reader;
        if (c.keeps)
            reader.emplace();
        else
            reader.emplace(count);
        const auto feed = [&reader](const std::string& line) { reader->Feed(line.data(), line.size()); };
        counted::ResetPeak();
        const std::size_t before = counted::Live();
        for (unsigned first = 0; first < kRuns; first += c.together) {
            const unsigned last = std::min(kRuns, first + c.together);
            for (unsigned run = first; run < last; ++run)
                feed(L("run-start", "", id(run)) + write(run));
            for (unsigned run = first; run < last; ++run)
                feed(c.ends ? result(run) + L("run-end", "", id(run)) : std::string());
        }
        reader->End();
        EXPECT_EQ(reader->RunCount(), kRuns);
        EXPECT_TRUE(reader->AnythingOpen());
        if (c.keeps) {
            EXPECT_GT(counted::Peak() - before, kBound);
            continue;
        }
        EXPECT_LT(counted::Peak() - before, kBound);
        EXPECT_EQ(reported, kRuns);
        EXPECT_EQ(interrupted, c.ends ? 0u : kRuns);
        EXPECT_EQ(reader->RunsReportedEarly(), c.ends ? 0u : kRuns - HistoryReader::kHeldRuns);
    }
}
