#include "Bench.h"
#include "CliText.h"
#include "Images.h"
#include "RunProcess.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

namespace {
const char kIni[] = "[TargetID_U3]\r\n3C5E0460=0D12\r\n[Misc]\r\nManufacturer&ProductStringCompare=0\r\n"
                    "[HUBModule]\r\nHUBNumber=1\r\n[HUBFWCheck]\r\nCheckHUBFW=1\r\nFWVersion=219\r\n";

class CliTest : public testing::Test {
protected:
    ProcessResult Cli(std::vector<std::string> args) { return RunProgram("tolvane-cli", args); }
    ScratchDir dir;
};
} // namespace

TEST_F(CliTest, ScanPrintsEngineOutputThenTheFinalLog)
{
    dir.Write("site/SpiFlash.ini", kIni);
    WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x9021, 1) + HubSection(2, 0x05E3, 0x0610, 0x0A0B, 2));
    SetEnv("TOLVANE_BENCH", (dir.Path() / "HubBench.ini").string());
    const ProcessResult result = Cli({"-C", "site", "scan", "--settle-ms", "0"});
    SetEnv("TOLVANE_BENCH", "");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, CliText("[HUBFWCheck] Found  \n\t\tFWCompare:1  \n\t\tFWVersion:537  \n\t\t"
                                  "2 devices found:\r\n"
                                  "(1)Depth1, V/PID = 3C5E/0460, FW Version = V2.19\r\n"
                                  "(2)Depth2, V/PID = 05E3/0610, FW Version = 0A0B\r\n"));
    EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, FailedScanExitsWithOneAndShowsWhereItStopped)
{
    dir.Write("SpiFlash.ini", kIni);
    WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x9021, 1), false);
    const ProcessResult result = Cli({"scan", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, CliText("[HUBFWCheck] Found  \n\t\tFWCompare:1  \n\t\tFWVersion:537  \n\t\t"
                                  "1. Initialzation()\r\n\t1.1 GetDllInfo()\tAPI Version: 0\r\n"
                                  "\t1.2 LoadSettingFromIni()\r\n\t\t[TargetID_U3] Found  \r\n"
                                  "\t\t3C5E0460=0D12 3  \r\n[Misc] Found  StringCompare:0  \r\n\t\t"
                                  "\t1.3 IsDriverInstallNeeded()!!!Error Filter Driver not found!!\r\n"));
}

TEST_F(CliTest, EmptyFolderFailsOnTheSettingsFile)
{
    const ProcessResult result = Cli({"-C", dir.Path().string(), "scan", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, CliText("1. Initialzation()\r\n\t1.1 GetDllInfo()\tAPI Version: 0\r\n"
                                  "\t1.2 LoadSettingFromIni()\r\n\t\t!!!Error SpiFlash.ini not found!\r\n"));
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndPrintNothingOnStandardOutput)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"upgrade-all"},
        {"scan", "--settle-ms"},
        {"scan", "--settle-ms", "-5"},
        {"scan", "--settle-ms", "600001"},
        {"scan", "extra"},
        {"-C"},
        {"-C", "no-such-folder", "scan"},
    };
    for (const auto& args : wrong) {
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(result.out, "") << testing::PrintToString(args);
        EXPECT_NE(result.err.find("tolvane-cli: "), std::string::npos) << testing::PrintToString(args);
    }
}

TEST_F(CliTest, HelpDescribesTheCommandLine)
{
    const ProcessResult result = Cli({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("tolvane-cli [-C DIR] scan [--settle-ms N]"), std::string::npos);
    EXPECT_EQ(result.err, "");
}

namespace {
const char kUpgradeIni[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n"
                           "[HUBFWCheck]\nCheckHUBFW=%d\nFWVersion=219\n";

std::string UpgradeIni(int check)
{
    char text[200];
    std::snprintf(text, sizeof text, kUpgradeIni, check);
    return text;
}

std::string Notes(int check)
{
    return "[HUBFWCheck] Found  \n\t\tFWCompare:" + std::to_string(check) + "  \n\t\tFWVersion:537  \n\t\t";
}

void WriteImageFile(const ScratchDir& dir, const std::string& name, std::uint16_t target, std::uint8_t flags,
                    std::uint16_t version)
{
    ImageParams params;
    params.targetId = target;
    params.imageFlags = flags;
    params.versionWord = version;
    WriteImage(dir, name, params);
}

const std::string kTwoHubs = HubSection(1, 0x3C5E, 0x0460, 0x8011, 1, "ChipVersion=0xB2\nHubFlags=0x30\n") +
                             HubSection(2, 0x05E3, 0x0610, 0x0654, 2, "ChipVersion=0x10\n");
} // namespace

TEST_F(CliTest, UpgradeProgramsEveryHubAndARescanShowsTheNewVersions)
{
    dir.Write("SpiFlash.ini", UpgradeIni(0));
    WriteBench(dir, kTwoHubs);
    WriteImageFile(dir, "HUB460.BIN", 0x0D12, 0x08, 0x9021);
    WriteImageFile(dir, "GL.BIN", 0x0D13, 0x00, 0x0655);

    ProcessResult result = Cli({"upgrade", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, CliText(Notes(0) + "2 devices found:\r\n"
                                             "(1)Depth1, V/PID = 3C5E/0460, FW Version = V1.18\r\n"
                                             "(2)Depth2, V/PID = 05E3/0610, FW Version = 0654\r\n"
                                             "ISP in device(2) is being upgraded.\r\n"
                                             "Device(2): GL.BIN\r\n   =>Upgrade successful\r\n"
                                             "ISP in device(1) is being upgraded.\r\n"
                                             "Device(1): HUB460.BIN\r\n   =>Upgrade successful\r\n"));
    EXPECT_EQ(result.err, ""); // no progress bar without a terminal

    const std::string newList = "2 devices found:\r\n"
                                "(1)Depth1, V/PID = 3C5E/0460, FW Version = V2.19\r\n"
                                "(2)Depth2, V/PID = 05E3/0610, FW Version = 0655\r\n";
    result = Cli({"scan", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, CliText(Notes(0) + newList));

    // With the check on, both hubs are now current: nothing is programmed,
    // and an upgrade that programmed nothing is not a success, though no hub
    // failed either: its own status.
    dir.Write("SpiFlash.ini", UpgradeIni(1));
    result = Cli({"upgrade", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out,
              CliText(Notes(1) + newList +
                      "Device(2) firmware version is at the same as this updater.\r\n Update is unnecessary.\n\n"
                      "Device(1) firmware version is at the same as this updater.\r\n Update is unnecessary.\n\n"));
}

TEST_F(CliTest, UpgradeWithAFailingHubExitsWithOne)
{
    dir.Write("SpiFlash.ini", UpgradeIni(0));
    WriteBench(dir, kTwoHubs + HubSection(3, 0x05E3, 0x0610, 0x0654, 2, "ChipVersion=0x10\nUpdateResult=7\n"));
    WriteImageFile(dir, "HUB460.BIN", 0x0D12, 0x08, 0x9021);
    WriteImageFile(dir, "GL.BIN", 0x0D13, 0x00, 0x0655);
    const ProcessResult result = Cli({"upgrade", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 1);
    const std::string tail = "ISP in device(3) is being upgraded.\r\n!!!Error Device(3):=> Upgrade failed\r\n"
                             "ISP in device(2) is being upgraded.\r\n";
    EXPECT_NE(result.out.find(CliText(tail)), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(CliText("Device(1): HUB460.BIN\r\n   =>Upgrade successful\r\n")), std::string::npos);
}

TEST_F(CliTest, UpgradeStopsAfterAFailedScan)
{
    dir.Write("SpiFlash.ini", UpgradeIni(0));
    WriteBench(dir, "");
    const ProcessResult result = Cli({"upgrade", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, CliText(Notes(0) + "!!!No device found!\r\n"));
}

TEST_F(CliTest, NewOptionsBelongToTheirCommands)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"scan", "--verify"},
        {"scan", "--history", "h.jsonl"},
        {"upgrade", "--explain"},
        {"upgrade", "--history"},
        {"plan", "--verify"},
        {"inspect"},
        {"inspect", "--settle-ms", "0", "A.BIN"},
        {"--hubs", "usb", "scan"},
        {"--hubs"},
        {"scan", "--json", "--json", "x"},
        {"plan", "upgrade"},
    };
    for (const auto& args : wrong) {
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(result.out, "") << testing::PrintToString(args);
        // One line: the error and where to read more.
        EXPECT_EQ(result.err.rfind("tolvane-cli: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
}

TEST_F(CliTest, EveryCommandHasItsOwnHelp)
{
    const struct {
        const char* command;
        std::vector<std::string> options;
    } cases[] = {
        {"scan", {"--settle-ms", "--json"}},
        {"upgrade", {"--settle-ms", "--json", "--verify", "--history"}},
        {"plan", {"--settle-ms", "--json", "--explain"}},
        {"inspect", {"--json", "IMAGE"}},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Cli({c.command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << c.command;
        for (const std::string& option : c.options)
            EXPECT_NE(result.out.find(option), std::string::npos) << c.command << " " << option;
    }
    const ProcessResult top = Cli({"--help"});
    for (const char* text : {"--hubs", "Exit status:", "  3  no hub failed, at least one was already current"})
        EXPECT_NE(top.out.find(text), std::string::npos) << text;
}
