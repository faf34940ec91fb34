// tolvane-cli report over histories that real runs of the simulated hubs
// wrote at several stations and lots, and over hand-made ones for the edges:
// its figures against counts made from the lines themselves, copies counted
// once, torn and endless runs, the time window, and its three formats.
#include "CliFixture.h"
#include "ProgramFolder.h"

#include <sstream>

using nlohmann::json;
namespace fs = std::filesystem;

namespace {
const char kRun[] = "{\"time\":\"%T\",\"host\":\"h\",\"run\":\"%R\",";

class LineReportTest : public CliFixture {
protected:
    void TearDown() override
    {
        SetEnv("TOLVANE_STATION", "");
        SetEnv("TOLVANE_LOT", "");
    }

    // One upgrade of the demo bench from its old firmware.
    void Upgrade(const std::string& history, std::vector<std::string> more, int exitCode)
    {
        std::error_code ignored;
        fs::remove(dir.Path() / "HubBench.ini.state", ignored);
        std::vector<std::string> args{"upgrade", "--settle-ms", "0", "--history", history};
        args.insert(args.end(), more.begin(), more.end());
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, exitCode) << result.out << result.err;
    }

    json Report(std::vector<std::string> args, int exitCode)
    {
        args.insert(args.begin(), "report");
        int code = 0;
        const json document = CliJson(args, code);
        EXPECT_EQ(code, exitCode) << document.dump(2);
        return document;
    }

    // The result lines of histories, counted by outcome without the reader.
    std::map<std::string, int> Outcomes(const std::vector<std::string>& files)
    {
        std::map<std::string, int> counts;
        for (const std::string& file : files) {
            std::istringstream text(dir.Read(file));
            for (std::string line; std::getline(text, line);) {
                const json parsed = json::parse(line, nullptr, false);
                if (!parsed.is_discarded() && parsed.value("kind", "") == "result")
                    ++counts[parsed["outcome"].get<std::string>()];
            }
        }
        return counts;
    }

    // A hand-made line of run id at time.
    static std::string Line(const std::string& time, const std::string& run, const std::string& rest)
    {
        std::string line = kRun;
        line.replace(line.find("%T"), 2, time);
        line.replace(line.find("%R"), 2, run);
        return line + rest + "}\n";
    }

    static std::string HandRun(const std::string& time, const std::string& run, const std::string& station,
                               bool ended = true)
    {
        const std::string hub = "\"hub\":{\"index\":0,\"number\":1,\"depth\":1,\"port\":1,\"vid\":\"3C5E\","
                                "\"pid\":\"0460\",\"manufacturer\":\"\",\"product\":\"\"},\"oldVersion\":\"8011\","
                                "\"image\":{\"name\":\"HUB460.BIN\",\"firmwareVersion\":\"9021\"}";
        std::string text = Line(time, run,
                                "\"kind\":\"run-start\",\"program\":\"tolvane-cli\",\"programVersion\":\"1\","
                                "\"station\":" +
                                    json(station).dump()) +
                           Line(time, run, "\"kind\":\"write-start\"," + hub) +
                           Line(time, run,
                                "\"kind\":\"result\"," + hub +
                                    ",\"outcome\":\"programmed\",\"libraryResult\":0,\"libraryMs\":40,"
                                    "\"verified\":null");
        if (ended)
            text += Line(time, run,
                         "\"kind\":\"run-end\",\"counts\":{\"programmed\":1},\"notStarted\":[],"
                         "\"interruption\":null,\"historyError\":null");
        return text;
    }

    // Three stations' histories of real runs: a passing board with --verify,
    // a failing write, a board without verification, a refusal by list.
    void WriteLine()
    {
        WriteDemo(0);
        Upgrade("a.jsonl", {"--verify", "--station", "A", "--lot", "L1"}, 0);
        Upgrade("a.jsonl", {"--verify", "--station", "A", "--lot", "L2"}, 0);
        SetEnv("TOLVANE_STATION", "B");
        SetEnv("TOLVANE_LOT", "L1");
        Upgrade("b.jsonl", {}, 0);
        WriteDemo(0, "UpdateResult=4\n");
        Upgrade("b.jsonl", {"--verify"}, 1);
        SetEnv("TOLVANE_STATION", "");
        SetEnv("TOLVANE_LOT", "");
        WriteDemo(0);
        dir.Write("approved.txt", ReferenceSha256("Bin/HUB460.BIN") + "  Bin/HUB460.BIN\n");
        Upgrade("c.jsonl", {"--station", "C", "--approved", "approved.txt"}, 1);
    }
};

json Find(const json& list, const char* key, const json& value)
{
    for (const json& item : list)
        if (item[key] == value)
            return item;
    return json();
}
} // namespace

TEST_F(LineReportTest, TheFiguresMatchTheLinesOfRealRuns)
{
    WriteLine();
    const json report = Report({"c.jsonl", "a.jsonl", "b.jsonl"}, 1);
    const std::map<std::string, int> outcomes = Outcomes({"a.jsonl", "b.jsonl", "c.jsonl"});
    const json& totals = report["totals"];
    EXPECT_EQ(totals["boards"], 5);
    EXPECT_EQ(totals["hubs"], 15);
    EXPECT_EQ(totals["programmed"], outcomes.at("programmed"));
    EXPECT_EQ(totals["failed"], outcomes.at("failed"));
    EXPECT_EQ(totals["refused"], outcomes.at("refused"));
    // Only station A's boards were verified, and every hub of them programmed.
    EXPECT_EQ(totals["boardsPassed"], 2);
    const struct {
        const char* station;
        int boards;
        int passed;
    } stations[] = {{"A", 2, 2}, {"B", 2, 0}, {"C", 1, 0}};
    for (const auto& s : stations) {
        SCOPED_TRACE(s.station);
        const json row = Find(report["byStation"], "station", s.station);
        EXPECT_EQ(row["boards"], s.boards);
        EXPECT_EQ(row["boardsPassed"], s.passed);
    }
    // A's first board and both of B's, whose lot came from the environment.
    EXPECT_EQ(Find(report["byLot"], "lot", "L1")["boards"], 3);
    EXPECT_EQ(Find(report["byLot"], "lot", nullptr)["boards"], 1);
    EXPECT_EQ(report["period"], "hour");
    // The boards come merged by time, whatever the order of the files.
    std::vector<std::string> times;
    for (const json& board : report["boards"])
        times.push_back(board["time"]);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    // The third hub's write failed once, at B's second board.
    EXPECT_EQ(Find(report["failures"], "cause", "library result 4")["count"], 1);
    EXPECT_EQ(report["atRiskCount"], outcomes.at("failed"));
    // The first hub was programmed on every board.
    EXPECT_EQ(Find(report["transitions"], "transition", "3C5E/0460 8011 -> 9021")["count"], 5);
    EXPECT_EQ(report["hubTime"]["count"], outcomes.at("programmed") + outcomes.at("failed"));
}

TEST_F(LineReportTest, ACopiedHistoryCountsOnce)
{
    WriteLine();
    dir.Write("copy.jsonl", dir.Read("a.jsonl"));
    const json once = Report({"a.jsonl"}, 0);
    const json thrice = Report({"a.jsonl", "copy.jsonl", "a.jsonl"}, 0);
    EXPECT_EQ(thrice["totals"], once["totals"]);
    EXPECT_EQ(thrice["boards"], once["boards"]);
    EXPECT_EQ(thrice["duplicateRuns"], 4);
}

TEST_F(LineReportTest, TornAndEndlessRunsAreCountedNeverFatal)
{
    dir.Write("h.jsonl", HandRun("2026-12-08T10:00:00.000Z", "0000000000000001", "A") +
                             HandRun("2026-12-08T11:00:00.000Z", "0000000000000002", "A", false) +
                             "{\"time\":\"2026-12-08T12:00:00.000Z\",\"run\":\"00");
    const json report = Report({"h.jsonl"}, 0);
    EXPECT_EQ(report["totals"]["boards"], 2);
    EXPECT_EQ(report["files"][0]["problemCount"], 1);
    EXPECT_EQ(report["boards"][1]["endTime"], nullptr);
    EXPECT_NE(report["boards"][1]["causes"].get<std::string>().find("no end line"), std::string::npos);
}

TEST_F(LineReportTest, TheTimeWindowTakesItsStartAndLeavesItsEnd)
{
    dir.Write("h.jsonl", HandRun("2026-12-08T09:59:59.999Z", "0000000000000001", "A") +
                             HandRun("2026-12-08T10:00:00.000Z", "0000000000000002", "A") +
                             HandRun("2026-12-08T10:59:59.999Z", "0000000000000003", "A") +
                             HandRun("2026-12-08T11:00:00.000Z", "0000000000000004", "A") +
                             HandRun("2026-12-09T11:00:00.000Z", "0000000000000005", "B"));
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> runs;
    } cases[] = {
        {{"--since", "2026-12-08T10"},
         {"0000000000000002", "0000000000000003", "0000000000000004", "0000000000000005"}},
        {{"--since", "2026-12-08T10:00", "--until", "2026-12-08T11:00:00Z"}, {"0000000000000002", "0000000000000003"}},
        {{"--until", "2026-12-08"}, {}},
        {{"--since", "2026-12-09", "--station", "A"}, {}},
        {{"--station", "B", "--station", "A", "--since", "2026-12-09"}, {"0000000000000005"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("h.jsonl");
        const json report = Report(args, 0);
        std::vector<std::string> runs;
        for (const json& board : report["boards"])
            runs.push_back(board["run"]);
        EXPECT_EQ(runs, c.runs) << report["since"] << report["until"];
    }
    EXPECT_EQ(Report({"h.jsonl"}, 0)["period"], "day");
    const ProcessResult bad = Cli({"report", "--since", "2026-02-30", "h.jsonl"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--since"), std::string::npos) << bad.err;
}

#ifndef _WIN32
TEST_F(LineReportTest, JsonMatchesItsSchemaAndCsvHasTheJsonsBoards)
{
    WriteLine();
    dir.Write("h.jsonl", HandRun("2026-12-08T10:00:00.000Z", "0000000000000001", "=HYPERLINK(\"x\"),\n<b>"));
    const std::vector<std::string> files{"a.jsonl", "b.jsonl", "c.jsonl", "h.jsonl"};
    std::vector<std::string> args{"report", "--json"};
    args.insert(args.end(), files.begin(), files.end());
    dir.Write("report.json", Cli(args).out);
    args[1] = "--csv";
    dir.Write("report.csv", Cli(args).out);
    const ProcessResult valid = RunExecutable(
        "/usr/bin/python3", {TOLVANE_SOURCE_DIR "/tests/schema/validate.py",
                             TOLVANE_SOURCE_DIR "/docs/schema/report-summary.schema.json", "report.json"});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    // The spreadsheet's reading of each row against the JSON's board, a
    // formula kept as text by its prefix.
    const char* compare = "import csv, json, sys\n"
                          "rows = list(csv.DictReader(open('report.csv', newline='')))\n"
                          "boards = json.load(open('report.json'))['boards']\n"
                          "def cell(v):\n"
                          "    s = '' if v is None else (str(v).lower() if isinstance(v, bool) else str(v))\n"
                          "    return \"'\" + s if s[:1] in ('=', '+', '-', '@') else s\n"
                          "want = [{k: cell(v) for k, v in b.items()} for b in boards]\n"
                          "sys.exit(0 if rows == want and len(rows) == 6 else print(rows, want) or 1)\n";
    const ProcessResult same = RunExecutable("/usr/bin/python3", {"-c", compare});
    EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
}

// One station's bad hour by real runs: a hub that ignores its new firmware,
// the board tried again and passing, a run killed while it writes.
TEST_F(LineReportTest, VerificationFailuresRetriesAndKilledRunsAreCountedAsTheLinesSayThem)
{
    WriteDemo(0, "NoVersionChange=1\n");
    Upgrade("d.jsonl", {"--verify", "--station", "D", "--lot", "L9"}, 4);
    WriteDemo(0);
    Upgrade("d.jsonl", {"--verify", "--station", "D", "--lot", "L9"}, 0);
    WriteDemo(0, "UpdateMs=20000\n");
    std::error_code ignored;
    fs::remove(dir.Path() / "HubBench.ini.state", ignored);
    const ProcessResult killed = RunExecutable(
        "/usr/bin/timeout", {"-s", "KILL", "3", (ProgramFolder() / "tolvane-cli").string(), "upgrade", "--settle-ms",
                             "0", "--verify", "--station", "D", "--lot", "L9", "--history", "d.jsonl"});
    // timeout passes the kill on to itself.
    ASSERT_NE(killed.exitCode, 0) << killed.err;
    const std::string lines = dir.Read("d.jsonl");
    ASSERT_NE(lines.rfind("\"kind\":\"write-start\""), std::string::npos);
    ASSERT_GT(lines.rfind("\"kind\":\"write-start\""), lines.rfind("\"kind\":\"run-start\"")) << lines;

    const json report = Report({"d.jsonl"}, 1);
    const std::map<std::string, int> outcomes = Outcomes({"d.jsonl"});
    const json& totals = report["totals"];
    const struct {
        const char* field;
        int expected;
    } figures[] = {
        {"boards", 3},
        {"boardsPassed", 1},
        {"unverified", 1},
        {"interrupted", 1},
        {"programmed", outcomes.at("programmed")},
        {"hubs", outcomes.at("programmed") + 1},
    };
    for (const auto& f : figures)
        EXPECT_EQ(totals[f.field], f.expected) << f.field << "\n" << totals.dump(2);
    EXPECT_EQ(Find(report["failures"], "cause", "verification failed")["count"], 1);
    EXPECT_EQ(Find(report["failures"], "cause", "interrupted while writing")["count"], 1);
    EXPECT_EQ(Find(report["failures"], "cause", "no end line")["count"], 1);
    EXPECT_EQ(report["atRiskCount"], 2);
    EXPECT_EQ(Find(report["byLot"], "lot", "L9")["boards"], 3);
}

// What a person sees in a real browser: every figure of the page, found by
// its row's label and column's header, against the JSON of the same lines;
// a page drawn, no sideways scroll at 1280 x 800, and a printout. The
// screenshot stays in the build's screenshots folder.
TEST_F(LineReportTest, ThePageInABrowserShowsTheJsonsFigures)
{
    WriteLine();
    dir.Write("h.jsonl", HandRun("2026-12-08T10:00:00.000Z", "0000000000000001", "=HYPERLINK(\"x\"),\n<b>\\") +
                             HandRun("2026-12-08T11:00:00.000Z", "0000000000000002", "A", false));
    // A copy and a window, for the page's opening line.
    std::vector<std::string> args{"report",  "--json",  "--since", "2026-12-01", "a.jsonl",
                                  "b.jsonl", "c.jsonl", "h.jsonl", "a.jsonl"};
    dir.Write("report.json", Cli(args).out);
    const json report = json::parse(dir.Read("report.json"));
    ASSERT_EQ(report["duplicateRuns"], 2);
    ASSERT_EQ(report["totals"]["boards"], 7);
    args[1] = "--html";
    args.insert(args.begin() + 2, "page.html");
    ASSERT_EQ(Cli(args).exitCode, 1);
    const fs::path folder = ProgramFolder().parent_path() / "screenshots";
    fs::create_directories(folder);
    const ProcessResult seen =
        RunExecutable("/usr/bin/python3", {TOLVANE_SOURCE_DIR "/tests/cli/check_report_page.py", "page.html",
                                           "report.json", (folder / "line-report-test.png").string()});
    EXPECT_EQ(seen.exitCode, 0) << seen.out << seen.err;
}
#endif

TEST_F(LineReportTest, ThePageEscapesEveryTextAndStandsAlone)
{
    dir.Write("h.jsonl", HandRun("2026-12-08T10:00:00.000Z", "0000000000000001", "<script>alert(1)</script>\"'&"));
    const ProcessResult result = Cli({"report", "--html", "page.html", "h.jsonl"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string page = dir.Read("page.html");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;"), std::string::npos);
    EXPECT_EQ(page.find("http"),
              page.find("http://www.w3.org/2000/svg") == std::string::npos ? std::string::npos : page.find("http"));
    EXPECT_NE(page.find("<svg"), std::string::npos);
}

TEST_F(LineReportTest, ABarsNameIsCutBetweenCharacters)
{
    std::string e19;
    for (int i = 0; i < 19; ++i)
        e19 += "\xC3\xA9";
    // "refused: " and 19 two-byte letters are 47 bytes; the 20th would be split.
    dir.Write("h.jsonl", Line("2026-12-08T10:00:00.000Z", "0000000000000001",
                              "\"kind\":\"result\",\"hub\":{\"index\":0,\"number\":1},\"outcome\":\"refused\","
                              "\"reason\":\"" +
                                  e19 + "\xC3\xA9\xC3\xA9\""));
    ASSERT_EQ(Cli({"report", "--html", "page.html", "h.jsonl"}).exitCode, 0);
    const std::string page = dir.Read("page.html");
    EXPECT_NE(page.find(">refused: " + e19 + "</text>"), std::string::npos) << page;
    EXPECT_EQ(page.find("\\xC3"), std::string::npos);
}

TEST_F(LineReportTest, TheStationAndLotReachTheHistoryAndTheReport)
{
    WriteDemo(0);
    SetEnv("TOLVANE_STATION", "from-env");
    const struct {
        std::vector<std::string> args;
        json station;
        json lot;
    } cases[] = {
        {{}, "from-env", nullptr},
        {{"--station", "S\x1b[2J", "--lot", "L 7"}, "S\x1b[2J", "L 7"},
    };
    for (const auto& c : cases) {
        std::error_code ignored;
        fs::remove(dir.Path() / "HubBench.ini.state", ignored);
        fs::remove(dir.Path() / "h.jsonl", ignored);
        std::vector<std::string> args{"upgrade", "--settle-ms", "0", "--history", "h.jsonl"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        int code = 0;
        const json document = CliJson(args, code);
        EXPECT_EQ(document["station"], c.station);
        EXPECT_EQ(document["lot"], c.lot);
        const json first = json::parse(dir.Read("h.jsonl").substr(0, dir.Read("h.jsonl").find('\n')));
        EXPECT_EQ(first["station"], c.station);
        EXPECT_EQ(first.value("lot", json()), c.lot);
    }
    // Shown to a person, the station's control bytes are escaped.
    const ProcessResult text = Cli({"report", "h.jsonl"});
    EXPECT_NE(text.out.find("S\\x1B[2J"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(Cli({"upgrade", "--station", "", "--history", "h.jsonl"}).exitCode, 2);
}
