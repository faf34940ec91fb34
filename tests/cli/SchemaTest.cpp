// The published JSON Schemas hold for what the programs really write: a
// renamed or retyped field fails here. Validated by python3-jsonschema.
#include "CliFixture.h"

#include <filesystem>

#ifndef _WIN32
namespace {
const std::string kSchemas = TOLVANE_SOURCE_DIR "/docs/schema/";

class SchemaTest : public CliFixture {
protected:
    // The program's standard output, kept in name for the validator.
    void Keep(const std::string& name, const std::vector<std::string>& args, int exitCode)
    {
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        dir.Write(name, result.out);
    }

    void ExpectValid(const std::string& schema, const std::vector<std::string>& files)
    {
        std::vector<std::string> args{TOLVANE_SOURCE_DIR "/tests/schema/validate.py", kSchemas + schema};
        args.insert(args.end(), files.begin(), files.end());
        const ProcessResult result = RunExecutable("/usr/bin/python3", args);
        EXPECT_EQ(result.exitCode, 0) << schema << ":\n" << result.out << result.err;
    }
};
} // namespace

TEST_F(SchemaTest, ReportsHistoryLinesAndHistoryReportsMatchTheirSchemas)
{
    WriteDemo(0);
    dir.Write("SpiFlash.ini", CliIni(1));
    Keep("scan.json", {"scan", "--settle-ms", "0", "--json"}, 0);
    Keep("plan.json", {"plan", "--settle-ms", "0", "--explain", "--json"}, 0);
    Keep("upgrade.json", {"upgrade", "--settle-ms", "0", "--verify", "--json", "--history", "h.jsonl"}, 0);
    Keep("again.json", {"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl"}, 3);
    // Under an approved list, whose identity the report and the run's first
    // line carry.
    dir.Write("approved.txt", ReferenceSha256("Bin/HUB460.BIN") + "  Bin/HUB460.BIN\n" + ReferenceSha256("Bin/GL.BIN") +
                                  "  Bin/GL.BIN\n");
    Keep("approvedplan.json", {"plan", "--settle-ms", "0", "--json", "--approved", "approved.txt"}, 3);
    Keep("approved.json",
         {"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl", "--approved", "approved.txt"}, 3);
    // A failed write, and a scan that fails.
    WriteDemo(0, "UpdateResult=4\n");
    Keep("failed.json", {"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl"}, 1);
    // Hubs refused by the list, and one that finds no image: each with its reason.
    dir.Write("other.txt",
              std::string(64, 'a') + "  Bin/HUB460.BIN\n" + ReferenceSha256("Bin/GL.BIN") + "  Bin/GL.BIN\n");
    Keep("refused.json", {"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl", "--approved", "other.txt"},
         1);
    std::filesystem::remove("Bin/GL.BIN");
    Keep("noimage.json", {"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl"}, 1);
    dir.Write("HubBench.ini", "[Library]\nVersion=1\n");
    Keep("noscan.json", {"upgrade", "--settle-ms", "0", "--json", "--history", "h.jsonl"}, 1);
    // An earlier version's line, and one that is not the history's.
    dir.Write("h.jsonl", dir.Read("h.jsonl") +
                             "{\"time\":\"2026-12-08T15:04:05Z\",\"host\":\"h\",\"run\":\"00000000000000ff\","
                             "\"hub\":{\"index\":0,\"number\":1,\"depth\":1,\"port\":1,\"vid\":\"3C5E\",\"pid\":"
                             "\"0460\",\"manufacturer\":\"\",\"product\":\"\"},\"oldVersion\":\"8011\",\"image\":"
                             "null,\"outcome\":\"no-image\",\"libraryResult\":null,\"verified\":null}\n");
    dir.Write("lines.jsonl", dir.Read("h.jsonl"));
    Keep("history.json", {"history", "--json", "h.jsonl"}, 1);
    dir.Write("h.jsonl", dir.Read("h.jsonl") + "not a line\n");
    Keep("problems.json", {"history", "--json", "h.jsonl"}, 1);

    ExpectValid("report.schema.json", {"scan.json", "plan.json", "upgrade.json", "again.json", "approvedplan.json",
                                       "approved.json", "failed.json", "refused.json", "noimage.json", "noscan.json"});
    ExpectValid("history-line.schema.json", {"lines.jsonl"});
    ExpectValid("history-report.schema.json", {"history.json", "problems.json"});
}

TEST_F(SchemaTest, TheSchemasRejectARenamedOrRetypedField)
{
    dir.Write("renamed.jsonl", "{\"time\":\"2026-12-09T06:00:00.000Z\",\"host\":\"h\",\"run\":\"00000000000000ff\","
                               "\"kind\":\"verify\",\"hub\":{\"index\":0,\"number\":1},\"verifed\":true,"
                               "\"versionAfter\":null}\n");
    dir.Write("retyped.json", "{\"file\":\"h\",\"lines\":\"3\",\"runs\":[],\"problems\":[],\"problemCount\":0,"
                              "\"exitStatus\":0}");
    const struct {
        const char* schema;
        const char* file;
    } cases[] = {{"history-line.schema.json", "renamed.jsonl"}, {"history-report.schema.json", "retyped.json"}};
    for (const auto& c : cases) {
        const ProcessResult result = RunExecutable(
            "/usr/bin/python3", {TOLVANE_SOURCE_DIR "/tests/schema/validate.py", kSchemas + c.schema, c.file});
        EXPECT_EQ(result.exitCode, 1) << c.file << result.out << result.err;
    }
}
#endif
