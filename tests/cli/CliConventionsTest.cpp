// tolvane-cli as a command-line tool: its version, what it says of a
// mistyped command, its help, its line ends, its progress bar, the failed
// scan's report and the paths its messages name.
#include "CliFixture.h"
#include "CliText.h"
#include "CommandSuggestion.h"
#include "HelpFormat.h"

#include <functional>
#include <sstream>

using nlohmann::json;

namespace {
class CliConventionsTest : public CliFixture {};

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
} // namespace

TEST_F(CliConventionsTest, VersionNamesProgramLibraryAndBuild)
{
    WriteDemo(0);
    for (const char* flag : {"--version", "-V"}) {
        const ProcessResult result = Cli({flag});
        EXPECT_EQ(result.exitCode, 0) << flag << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), 3u) << result.out;
        EXPECT_EQ(lines[0].rfind("tolvane-cli ", 0), 0u) << lines[0];
        // The simulated library reports the bench's version, 1 unless set.
        EXPECT_NE(lines[1].find("ZQ460API, version "), std::string::npos) << lines[1];
        EXPECT_EQ(lines[2].rfind("built with ", 0), 0u) << lines[2];
    }
    dir.Write("HubBench.ini", "[Library]\nVersion=0x2A7\n");
    EXPECT_NE(Cli({"-V"}).out.find("ZQ460API, version 2a7\n"), std::string::npos);
}

TEST(CommandSuggestion, EditDistanceCountsSingleCharacterChanges)
{
    const struct {
        const char* from;
        const char* to;
        std::size_t distance;
    } cases[] = {
        {"upgrade", "upgrade", 0}, {"updgrade", "upgrade", 1}, {"sacn", "scan", 2},      {"", "plan", 4},
        {"plan", "", 4},           {"hubs", "hub", 1},         {"kitten", "sitting", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditDistance(c.from, c.to), c.distance) << c.from << " " << c.to;
}

namespace {
// A usage error: exit 2, nothing on the standard output, and one line that
// says said.
void ExpectOneLineRefusal(const std::vector<std::string>& args, const std::string& said)
{
    const ProcessResult result = RunProgram("tolvane-cli", args);
    EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
    EXPECT_EQ(Count(result.err, "\n"), 1u) << result.err;
}
} // namespace

TEST_F(CliConventionsTest, AnUnknownCommandSuggestsTheNearest)
{
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"updgrade"}, "unknown command \"updgrade\"; did you mean \"upgrade\"?"},
        {{"-C", ".", "sacn", "--json"}, "unknown command \"sacn\"; did you mean \"scan\"?"},
        {{"--hubs", "bench", "aproved", "x"}, "unknown command \"aproved\"; did you mean \"approved\"?"},
        {{"--hubs=bench", "histroy"}, "did you mean \"history\"?"},
        {{"xyzzy"}, "unknown command \"xyzzy\"; the commands are scan, upgrade, plan, inspect, hubs, history"},
    };
    for (const auto& c : cases)
        ExpectOneLineRefusal(c.args, c.said);
    // The value of -C is no command, however it is spelt.
    EXPECT_EQ(Cli({"-C", "upgrad"}).err.find("did you mean"), std::string::npos);
}

TEST_F(CliConventionsTest, AnUnknownOptionSuggestsTheNearestOfItsCommand)
{
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"upgrade", "--histroy", "h.jsonl"}, "unknown option \"--histroy\" of upgrade; did you mean \"--history\"?"},
        {{"--hbus", "bench", "scan"}, "unknown option \"--hbus\"; did you mean \"--hubs\"? ("},
        {{"report", "--sinc=2026", "a.jsonl"}, "unknown option \"--sinc\" of report; did you mean \"--since\"?"},
        // A value that starts with a dash is its option's, not an option.
        {{"upgrade", "--station", "-x", "--jsn"}, "unknown option \"--jsn\" of upgrade; did you mean \"--json\"?"},
        {{"-C.", "upgrade", "--verfy"}, "unknown option \"--verfy\" of upgrade; did you mean \"--verify\"?"},
        {{"scan", "--xyzzy"}, "unknown option \"--xyzzy\" of scan (see"},
        // Before its command, the word that names none is the error.
        {{"-C", ".", "sacn", "--jsn"}, "unknown command \"sacn\"; did you mean \"scan\"?"},
    };
    for (const auto& c : cases)
        ExpectOneLineRefusal(c.args, c.said);
}

TEST_F(CliConventionsTest, HelpHasOneUsageBlockNoParserHintsAndEachCommandItsOwnExits)
{
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> exits;   // statuses the help must list
        std::vector<std::string> foreign; // ones it must not
    } cases[] = {
        {{"--help"}, {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  128+N  "}, {}},
        {{"scan", "--help"}, {"  0  the scan passed", "  1  ", "  2  "}, {"  3  ", "  4  ", "128+N"}},
        {{"upgrade", "--help"}, {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  128+N  "}, {"approved: "}},
        {{"plan", "--help"}, {"  0  ", "  1  ", "  2  ", "  3  "}, {"  4  ", "128+N"}},
        {{"inspect", "--help"}, {"  0  every image is legal", "  1  "}, {"  3  ", "  4  "}},
        {{"hubs", "--help"}, {"  0  the hubs were listed"}, {"  3  ", "  4  "}},
        {{"history", "--help"}, {"  2  usage error, or the file cannot be read"}, {"  3  ", "  4  "}},
        {{"approved", "--help"}, {"  0  the list can be used", "--bin DIR"}, {"  3  ", "  4  ", "  1  the scan"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult result = Cli(c.args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(Count(result.out, "Usage:"), 1u) << result.out;
        EXPECT_EQ(Count(result.out, "Exit status:"), 1u) << result.out;
        for (const char* hint : {"[OPTIONS]", "SUBCOMMAND", ":{", "UINT", "TEXT", "REQUIRED", "[0 - 600000]"})
            EXPECT_EQ(result.out.find(hint), std::string::npos) << hint << "\n" << result.out;
        for (const std::string& text : c.exits)
            EXPECT_NE(result.out.find(text), std::string::npos) << text << "\n" << result.out;
        for (const std::string& text : c.foreign)
            EXPECT_EQ(result.out.find(text), std::string::npos) << text << "\n" << result.out;
    }
}

TEST(HelpFormat, ACommandsUsageIsItsLinesOfTheSynopsis)
{
    const std::string synopsis = "Usage: tolvane-cli [-C DIR] COMMAND ...\n"
                                 "       tolvane-cli [-C DIR] scan [--json]\n"
                                 "       tolvane-cli [-C DIR] plan [--json]\n"
                                 "                                  [--approved FILE]\n"
                                 "       tolvane-cli [COMMAND] --help\n"
                                 "\n"
                                 "       tolvane-cli scan in a description\n";
    EXPECT_EQ(CommandUsage(synopsis, "scan"), "Usage: tolvane-cli [-C DIR] scan [--json]\n");
    EXPECT_EQ(CommandUsage(synopsis, "plan"), "Usage: tolvane-cli [-C DIR] plan [--json]\n"
                                              "                                  [--approved FILE]\n");
    EXPECT_EQ(CommandUsage(synopsis, "hubs"), "");
}

TEST_F(CliConventionsTest, TextEndsLinesAsTheSystemDoesWhileJsonKeepsTheLog)
{
    WriteDemo(0);
    const ProcessResult result = Cli({"scan", "--settle-ms", "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::size_t endingIn0654 = 0;
    for (const std::string& line : Lines(result.out))
        endingIn0654 += line.size() >= 4 && line.compare(line.size() - 4, 4, "0654") == 0;
#ifdef _WIN32
    // The Windows build's standard output is the log's own text.
    EXPECT_EQ(endingIn0654, 0u);
    EXPECT_NE(result.out.find("FW Version = 0654\r\n"), std::string::npos);
#else
    EXPECT_EQ(endingIn0654, 1u) << result.out; // what grep -c '0654$' counts
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
#endif
    int status = 0;
    const json document = CliJson({"scan", "--settle-ms", "0"}, status);
    EXPECT_NE(document["log"].get<std::string>().find("FW Version = 0654\r\n"), std::string::npos);
}

TEST_F(CliConventionsTest, TheProgressBarIsNotDrawnIntoAPipe)
{
    WriteDemo(0);
    const ProcessResult result = Cli({"upgrade", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
}

TEST_F(CliConventionsTest, AFailedScanNamesItsStepAndStatusInEveryReport)
{
    const struct {
        const char* name;
        std::function<void()> prepare;
        const char* step;
    } cases[] = {
        {"no settings", [] {}, "LoadSettingFromIni"},
        {"no filter driver",
         [this] {
             dir.Write("SpiFlash.ini", CliIni(0));
             WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x8011, 1), false);
         },
         "IsDriverInstallNeeded"},
        {"no hub",
         [this] {
             dir.Write("SpiFlash.ini", CliIni(0));
             WriteBench(dir, "");
         },
         "SearchHub"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        for (const char* command : {"scan", "plan", "upgrade"}) {
            int status = 0;
            const json document = CliJson({command, "--settle-ms", "0"}, status);
            EXPECT_EQ(status, 1) << command;
            EXPECT_EQ(document.value("exitStatus", -1), 1) << command;
            EXPECT_EQ(document.value("failedStep", ""), c.step) << command;
        }
        dir.Remove("SpiFlash.ini");
        dir.Remove("HubBench.ini");
    }
    WriteDemo(0);
    int status = 0;
    const json passed = CliJson({"scan", "--settle-ms", "0"}, status);
    EXPECT_EQ(passed.value("exitStatus", -1), 0);
    EXPECT_FALSE(passed.contains("failedStep"));
}

TEST_F(CliConventionsTest, APathIsShownAsItWasTried)
{
    dir.Write("my bench/SpiFlash.ini", CliIni(0));
    const ProcessResult inDir = Cli({"-C", "my bench", "upgrade", "--history", "my bench/h h.jsonl"});
    EXPECT_EQ(inDir.exitCode, 1);
#ifdef _WIN32
    const std::string tried = "my bench\\my bench/h h.jsonl";
#else
    const std::string tried = "my bench/my bench/h h.jsonl";
#endif
    EXPECT_NE(inDir.err.find("cannot write the history to " + tried + ": "), std::string::npos) << inDir.err;

    // A backslash separates a Windows path's parts: it is shown as it is,
    // while a control character is still escaped.
    const ProcessResult slashed = Cli({"upgrade", "--history", "no\\such/h\x01.jsonl"});
    EXPECT_EQ(slashed.exitCode, 1);
    EXPECT_NE(slashed.err.find("cannot write the history to no\\such/h\\x01.jsonl: "), std::string::npos)
        << slashed.err;
#ifdef _WIN32
    const ProcessResult absolute = Cli({"-C", "my bench", "upgrade", "--history", "C:\\no\\such\\h.jsonl"});
    EXPECT_NE(absolute.err.find("cannot write the history to C:\\no\\such\\h.jsonl: "), std::string::npos)
        << absolute.err;
#endif
}

TEST_F(CliConventionsTest, ApprovedNamesTheEntriesThatMatchNoImage)
{
    WriteDemo(0);
    const std::string hub460 = ReferenceSha256("Bin/HUB460.BIN");
    const std::string other(64, 'a');
    dir.Write("approved.txt", hub460 + "  Bin/HUB460.BIN\n" + other + "  Bin/GL.BIN\n" + other + "  GONE.BIN\n");
    const ProcessResult text = Cli({"approved", "approved.txt"});
    // Still usable: the listed images that are there are written.
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("matches no image: line 2: Bin/GL.BIN: "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("GL.BIN has other contents (sha256 " + ReferenceSha256("Bin/GL.BIN") + ")"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("matches no image: line 3: GONE.BIN: no such image in Bin\n"), std::string::npos)
        << text.out;
    EXPECT_EQ(Count(text.out, "matches no image: "), 2u) << text.out;
    EXPECT_NE(text.out.find("usable, but 2 entries match no image"), std::string::npos) << text.out;

    int status = -1;
    const json document = CliJson({"approved", "approved.txt"}, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(document["unmatched"].size(), 2u) << document.dump();
    EXPECT_EQ(document["unmatched"][0]["line"], 2);
    EXPECT_EQ(document["unmatched"][1]["name"], "GONE.BIN");
    EXPECT_TRUE(document["usable"].get<bool>());

    // Another folder, in -C DIR, holds all three.
    dir.Write("site/other/GONE.BIN", "");
    dir.Write("site/approved.txt", dir.Read("approved.txt"));
    dir.Write("site/other/HUB460.BIN", dir.Read("Bin/HUB460.BIN"));
    const ProcessResult elsewhere = Cli({"-C", "site", "approved", "--bin", "other", "approved.txt"});
    EXPECT_EQ(elsewhere.exitCode, 0);
    EXPECT_EQ(Count(elsewhere.out, "matches no image: "), 2u) << elsewhere.out;
    EXPECT_NE(elsewhere.out.find("line 2: Bin/GL.BIN: no such image in other"), std::string::npos) << elsewhere.out;
    EXPECT_NE(elsewhere.out.find("line 3: GONE.BIN: other"), std::string::npos) << elsewhere.out;

    // A list whose every entry matches says nothing of the kind.
    dir.Write("approved.txt", hub460 + "  Bin/HUB460.BIN\n");
    const ProcessResult clean = Cli({"approved", "approved.txt"});
    EXPECT_EQ(clean.out.find("matches no image"), std::string::npos) << clean.out;
    EXPECT_NE(clean.out.find("\nusable\n"), std::string::npos) << clean.out;
}

TEST_F(CliConventionsTest, PlanWarnsOfTheEntriesThatMatchNoImage)
{
    WriteDemo(0);
    dir.Write("approved.txt",
              ReferenceSha256("Bin/HUB460.BIN") + "  Bin/HUB460.BIN\n" + std::string(64, 'b') + "  Bin/GL.BIN\n");
    const ProcessResult result = Cli({"plan", "--settle-ms", "0", "--approved", "approved.txt"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.err.rfind("tolvane-cli: --approved approved.txt: matches no image: line 2: Bin/GL.BIN: ", 0), 0u)
        << result.err;
    EXPECT_EQ(Count(result.err, "matches no image"), 1u) << result.err;
}
