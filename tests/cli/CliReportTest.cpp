// The report for scripts: the JSON document, the exit statuses, the
// verification and the history of an upgrade.
#include "CliFixture.h"
#include "CliText.h"

#include <sstream>

using nlohmann::json;

namespace {
class CliReportTest : public CliFixture {
protected:
    // The history's lines of one kind.
    std::vector<json> HistoryLines(const std::string& name, const char* kind = "result")
    {
        std::vector<json> lines;
        std::istringstream text(dir.Read(name));
        for (std::string line; std::getline(text, line);) {
            const json parsed = json::parse(line, nullptr, false);
            EXPECT_FALSE(parsed.is_discarded()) << line;
            if (parsed.value("kind", "") == kind)
                lines.push_back(parsed);
        }
        return lines;
    }
};

void ExpectImage(const json& image, const char* name, const char* layout, const char* version)
{
    ASSERT_TRUE(image.is_object()) << image;
    EXPECT_EQ(image["name"], name);
    EXPECT_EQ(image["layout"], layout);
    EXPECT_EQ(image["firmwareVersion"], version);
}
} // namespace

TEST_F(CliReportTest, UpgradeWithVerifyAndHistoryReportsEveryField)
{
    WriteDemo(1);
    int status = -1;
    const json doc = CliJson({"upgrade", "--settle-ms", "0", "--verify", "--history", "runs.jsonl"}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(doc["command"], "upgrade");
    EXPECT_EQ(doc["program"]["name"], "tolvane-cli");
    EXPECT_TRUE(doc["program"]["version"].is_string());
    EXPECT_EQ(doc["library"]["version"], 0);
    EXPECT_EQ(doc["scanPassed"], true);
    EXPECT_EQ(doc["exitStatus"], 0);
    EXPECT_EQ(doc["notes"], "[HUBFWCheck] Found  \n\t\tFWCompare:1  \n\t\tFWVersion:537  \n\t\t");

    const json& settings = doc["settings"];
    ASSERT_EQ(settings["targetIds"].size(), 2u);
    EXPECT_EQ(settings["targetIds"][1], json({{"vid", "05E3"}, {"pid", "0610"}, {"targetId", "0D13"}, {"usb", 3}}));
    EXPECT_EQ(settings["stringCompare"], 0);
    EXPECT_EQ(settings["hubNumber"], 1);
    EXPECT_EQ(settings["firmwareCheck"], 1);
    EXPECT_EQ(settings["firmwareVersion"], "0219");

    const json& hubs = doc["hubs"];
    ASSERT_EQ(hubs.size(), 3u);
    EXPECT_EQ(hubs[0], json({{"index", 0},
                             {"number", 1},
                             {"depth", 1},
                             {"port", 1},
                             {"vid", "3C5E"},
                             {"pid", "0460"},
                             {"bcdUSB", "0320"},
                             {"firmwareVersion", "8011"},
                             {"firmwareVersionText", "V1.18"},
                             {"chipVersion", "B2"},
                             {"hubFlags", "30"},
                             {"manufacturer", "Tolvane Demo"},
                             {"product", "USB3.2 Hub"}}));
    EXPECT_EQ(hubs[2]["firmwareVersionText"], "0654");
    EXPECT_EQ(hubs[2]["chipVersion"], "10");

    // Results in the order of the run: the last hub first.
    const json& results = doc["results"];
    ASSERT_EQ(results.size(), 3u);
    const char* names[] = {"GL.BIN", "HUB460.BIN", "HUB460.BIN"};
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(results[i]["index"], 2 - i);
        EXPECT_EQ(results[i]["number"], 3 - i);
        EXPECT_EQ(results[i]["outcome"], "programmed");
        ExpectImage(results[i]["image"], names[i], i == 0 ? "B" : "A", i == 0 ? "0655" : "9021");
        EXPECT_EQ(results[i]["libraryResult"], 0);
        EXPECT_EQ(results[i]["verified"], true);
        EXPECT_EQ(results[i]["versionAfter"], i == 0 ? "0655" : "9021");
    }
    EXPECT_GE(results[2]["libraryMs"].get<int>(), 30); // hub 1 takes UpdateMs
    EXPECT_NE(doc["log"].get<std::string>().find("Device(1): HUB460.BIN\r\n   =>Upgrade successful\r\n"),
              std::string::npos);
    EXPECT_EQ(doc["verifyLog"], "Device(3): FW Version = 0655\r\n   =>Verify successful\r\n"
                                "Device(2): FW Version = 9021\r\n   =>Verify successful\r\n"
                                "Device(1): FW Version = 9021\r\n   =>Verify successful\r\n");

    const std::vector<json> lines = HistoryLines("runs.jsonl");
    const std::vector<json> verified = HistoryLines("runs.jsonl", "verify");
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_EQ(verified.size(), 3u);
    for (unsigned i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i]["run"], lines[0]["run"]);
        EXPECT_EQ(lines[i]["time"].get<std::string>().size(), 24u);
        EXPECT_EQ(lines[i]["time"].get<std::string>().back(), 'Z');
        EXPECT_TRUE(lines[i]["host"].is_string());
        EXPECT_EQ(lines[i]["hub"]["number"], 3 - i);
        EXPECT_EQ(lines[i]["outcome"], "programmed");
        EXPECT_EQ(lines[i]["libraryResult"], 0);
        EXPECT_EQ(lines[i]["verified"], nullptr); // the verification comes later
        EXPECT_EQ(verified[i]["verified"], true);
        EXPECT_EQ(verified[i]["hub"]["number"], 3 - i);
        EXPECT_EQ(lines[i]["image"]["name"], names[i]);
    }
    EXPECT_EQ(lines[2]["hub"], json({{"index", 0},
                                     {"number", 1},
                                     {"depth", 1},
                                     {"port", 1},
                                     {"vid", "3C5E"},
                                     {"pid", "0460"},
                                     {"manufacturer", "Tolvane Demo"},
                                     {"product", "USB3.2 Hub"}}));
    EXPECT_EQ(lines[2]["oldVersion"], "8011");

    // A second run appends to the same file under its own run id.
    CliJson({"upgrade", "--settle-ms", "0", "--history", "runs.jsonl"}, status);
    EXPECT_EQ(status, 3);
    const std::vector<json> again = HistoryLines("runs.jsonl");
    ASSERT_EQ(again.size(), 6u);
    EXPECT_NE(again[3]["run"], again[0]["run"]);
    EXPECT_EQ(again[3]["outcome"], "current");
    EXPECT_EQ(again[3]["verified"], nullptr);
}

TEST_F(CliReportTest, ExitStatusTellsFailedCurrentAndUnverifiedApart)
{
    const struct {
        const char* name;
        int check;
        std::string hub3; // more keys for the third hub
        unsigned vid3, version3;
        bool verify;
        int status;
        const char* outcome3;
        json verified3;
    } cases[] = {
        {"all programmed", 0, "", 0x05E3, 0x0654, true, 0, "programmed", true},
        {"library fails", 0, "UpdateResult=7\n", 0x05E3, 0x0654, true, 1, "failed", nullptr},
        {"breaks off", 0, "FailAfterMs=1\n", 0x05E3, 0x0654, false, 1, "failed", nullptr},
        {"no image", 0, "", 0x1A40, 0x0654, false, 1, "no-image", nullptr},
        {"already current", 1, "", 0x05E3, 0x0655, true, 3, "current", nullptr},
        {"keeps its version", 0, "NoVersionChange=1\n", 0x05E3, 0x0654, true, 4, "programmed", false},
        {"keeps it, unverified", 0, "NoVersionChange=1\n", 0x05E3, 0x0654, false, 0, "programmed", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"upgrade", "--settle-ms", "0"};
        if (c.verify)
            args.push_back("--verify");
        WriteDemo(c.check, c.hub3, c.vid3, c.version3);
        dir.Remove("HubBench.ini.state");
        int status = -1;
        const json doc = CliJson(args, status);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(doc["exitStatus"], c.status);
        ASSERT_EQ(doc["results"].size(), 3u);
        EXPECT_EQ(doc["results"][0]["outcome"], c.outcome3);
        EXPECT_EQ(doc["results"][0].value("verified", json(nullptr)), c.verified3);
        EXPECT_EQ(doc["results"][1]["outcome"], "programmed");

        // Without --json the same status, and the verification's own line.
        dir.Remove("HubBench.ini.state");
        const ProcessResult text = Cli(args);
        EXPECT_EQ(text.exitCode, c.status);
        if (c.status == 4) {
            EXPECT_NE(text.out.find(
                          CliText("=>Upgrade successful\r\n!!!Error Device(3):=> Verify failed, FW Version = "
                                  "0654, expected 0655\r\nDevice(2): FW Version = 9021\r\n   =>Verify successful\r\n")),
                      std::string::npos)
                << text.out;
        }
    }
}

TEST_F(CliReportTest, ScanJsonCarriesTheLogAndEscapesUndecodableBytes)
{
    dir.Write("SpiFlash.ini", CliIni(0));
    WriteBench(dir,
               HubSection(1, 0x05E3, 0x0610, 0x0A0B, 2, "Manufacturer=Caf\xC3\xA9 \\xFF\\x80\\\\\nProduct=\\x01ok\n"));
    int status = -1;
    const json doc = CliJson({"scan", "--settle-ms", "0"}, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(doc["hubs"].size(), 1u);
    EXPECT_EQ(doc["hubs"][0]["manufacturer"], "Caf\xC3\xA9 \\xFF\\x80\\\\");
    EXPECT_EQ(doc["hubs"][0]["product"], "\\x01ok");
    EXPECT_FALSE(doc.contains("results"));
    const ProcessResult text = Cli({"scan", "--settle-ms", "0"});
    // The JSON keeps the log's own line ends; the text ends lines as the system does.
    EXPECT_EQ(CliText(doc["notes"].get<std::string>() + doc["log"].get<std::string>()), text.out);

    // A failed scan: no hubs, the log says why, status 1.
    WriteBench(dir, "");
    const json failed = CliJson({"scan", "--settle-ms", "0"}, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(failed["scanPassed"], false);
    EXPECT_EQ(failed["hubs"], json::array());
    EXPECT_EQ(failed["log"], "!!!No device found!\r\n");
}

TEST_F(CliReportTest, AHistoryThatCannotBeWrittenFailsTheRunBeforeTheUpgrade)
{
    WriteDemo(0);
    std::filesystem::create_directories(dir.Path() / "history-is-a-folder");
    const ProcessResult result = Cli({"upgrade", "--settle-ms", "0", "--history", "history-is-a-folder"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("tolvane-cli: cannot write the history to history-is-a-folder: "), std::string::npos)
        << result.err;
    EXPECT_EQ(result.out.find("Upgrade successful"), std::string::npos);
}
