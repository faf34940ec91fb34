// upgrade and plan with an approved list: the listed images are written,
// a changed or unlisted one never reaches the library, and a list that
// cannot be used stops everything before the scan.
#include "CliFixture.h"

#include <sstream>
#include <vector>

using nlohmann::json;

namespace {
class ApprovedCliTest : public CliFixture {
protected:
    // The list as `sha256sum Bin/HUB460.BIN Bin/GL.BIN > approved.txt`
    // writes it.
    void WriteList()
    {
#ifdef _WIN32
        dir.Write("approved.txt", ReferenceSha256("Bin/HUB460.BIN") + "  Bin/HUB460.BIN\n" +
                                      ReferenceSha256("Bin/GL.BIN") + "  Bin/GL.BIN\n");
#else
        const ProcessResult made =
            RunExecutable("/usr/bin/sha256sum", {"Bin/HUB460.BIN", "Bin/GL.BIN"}, dir.Path() / "approved.txt");
        ASSERT_EQ(made.exitCode, 0) << made.err;
#endif
    }

    // Hub 3's firmware as a fresh scan shows it.
    std::string Hub3Version()
    {
        int status = -1;
        const json scan = CliJson({"scan", "--settle-ms", "0"}, status);
        return scan["hubs"][2]["firmwareVersion"].get<std::string>();
    }
};
} // namespace

TEST_F(ApprovedCliTest, TheListedImagesAreWritten)
{
    WriteDemo(0);
    WriteList();
    int status = -1;
    const json doc = CliJson({"upgrade", "--settle-ms", "0", "--approved", "approved.txt"}, status);
    EXPECT_EQ(status, 0);
    for (const json& result : doc["results"]) {
        EXPECT_EQ(result["outcome"], "programmed");
        const std::string name = result["image"]["name"];
        EXPECT_EQ(result["image"]["sha256"], ReferenceSha256("Bin/" + name));
    }
    EXPECT_EQ(Hub3Version(), "0655");
}

TEST_F(ApprovedCliTest, AChangedOrUnlistedImageIsRefusedWithoutALibraryCall)
{
    const struct {
        const char* name;
        const char* logLine;
        const char* reason;
    } cases[] = {
        {"changed", "!!!Error GL.BIN differs from its approved contents, not written\r\n",
         "contents differ from the approved list"},
        {"unlisted", "!!!Error GL.BIN is not in the approved list, not written\r\n", "not in the approved list"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDemo(0);
        dir.Remove("HubBench.ini.state");
        WriteList();
        if (std::string(c.name) == "changed")
            WriteImage("GL.BIN", CliImage(0x0D13, 0x00, 0x0656));
        else
            dir.Write("approved.txt", dir.Read("approved.txt").substr(0, dir.Read("approved.txt").find('\n') + 1));

        const ProcessResult plan = Cli({"plan", "--settle-ms", "0", "--approved", "approved.txt"});
        EXPECT_EQ(plan.exitCode, 1);
        EXPECT_NE(plan.out.find("FW Version = 0654: would be refused: GL.BIN " + std::string(c.reason)),
                  std::string::npos)
            << plan.out;

        int status = -1;
        const json doc =
            CliJson({"upgrade", "--settle-ms", "0", "--approved", "approved.txt", "--history", "runs.jsonl"}, status);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(doc["exitStatus"], 1);
        const json& hub3 = doc["results"][0];
        EXPECT_EQ(hub3["outcome"], "refused");
        EXPECT_EQ(hub3["reason"].get<std::string>().rfind(c.reason, 0), 0u) << hub3["reason"];
        EXPECT_EQ(hub3["libraryResult"], nullptr);
        EXPECT_EQ(doc["results"][1]["outcome"], "programmed");
        EXPECT_NE(
            doc["log"].get<std::string>().find(std::string(c.logLine) + "!!!Error Device(3):=> Upgrade failed\r\n"),
            std::string::npos)
            << doc["log"];
        // The history holds the refusal as hub 3's result, and no write of it started.
        std::istringstream history(dir.Read("runs.jsonl"));
        std::vector<json> hub3Lines;
        for (std::string line; std::getline(history, line);) {
            const json record = json::parse(line);
            if (record.contains("hub") && record["hub"]["number"] == 3)
                hub3Lines.push_back(record);
        }
        ASSERT_EQ(hub3Lines.size(), 1u) << dir.Read("runs.jsonl");
        EXPECT_EQ(hub3Lines[0]["kind"], "result");
        EXPECT_EQ(hub3Lines[0]["outcome"], "refused");
        EXPECT_EQ(hub3Lines[0]["reason"].get<std::string>().rfind(c.reason, 0), 0u) << hub3Lines[0];
        EXPECT_EQ(hub3Lines[0]["image"]["name"], "GL.BIN");
        // The library was never asked: the hub keeps its firmware.
        EXPECT_EQ(Hub3Version(), "0654");
        dir.Remove("runs.jsonl");
    }
}

TEST_F(ApprovedCliTest, AListThatCannotBeUsedStopsBeforeTheScan)
{
    const std::string hash(64, 'a');
    const struct {
        const char* name;
        const char* list; // null: no file
        const char* error;
    } cases[] = {
        {"missing", nullptr, "tolvane-cli: --approved approved.txt: "},
        {"malformed", "not a list line\n", "tolvane-cli: --approved approved.txt: line 1: "},
        {"two hashes", nullptr, "tolvane-cli: --approved approved.txt: line 3: GL.BIN has another hash on line 2"},
        {"UTF-16",
         "\xFF\xFE"
         "a",
         "tolvane-cli: --approved approved.txt: the list is in UTF-16 (little-endian); save it "
         "as UTF-8"},
    };
    WriteDemo(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Remove("approved.txt");
        if (c.list)
            dir.Write("approved.txt", c.list);
        if (std::string(c.name) == "two hashes")
            dir.Write("approved.txt",
                      hash + "  HUB460.BIN\r\n" + hash + "  GL.BIN\r\n" + std::string(64, 'b') + " *Bin/GL.BIN\r\n");
        for (const std::vector<std::string>& more : {std::vector<std::string>{"upgrade", "--history", "runs.jsonl"},
                                                     std::vector<std::string>{"plan", "--explain"}}) {
            const std::string command = more[0];
            std::vector<std::string> args = more;
            for (const char* word : {"--settle-ms", "0", "--json", "--approved", "approved.txt"})
                args.push_back(word);
            dir.Remove("HubBench.ini.state");
            const ProcessResult result = Cli(args);
            EXPECT_EQ(result.exitCode, 2) << command;
            EXPECT_EQ(result.out, "") << command;
            EXPECT_EQ(result.err.rfind(c.error, 0), 0u) << result.err;
            EXPECT_FALSE(std::filesystem::exists(dir.Path() / "runs.jsonl"));
            EXPECT_FALSE(std::filesystem::exists(dir.Path() / "HubBench.ini.state"));
        }
    }
    EXPECT_EQ(Hub3Version(), "0654");
}
