#include "EngineFixture.h"

namespace {
const char kIni[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

class UpgradeTest : public EngineTest {
protected:
    // A passing scan, as the button runs it first; the run starts from there.
    void Scan()
    {
        ASSERT_TRUE(engine->Initialzation(&window));
        listing = Log();
        window.pushes.clear();
    }

    std::string listing;
};
} // namespace

TEST_F(UpgradeTest, OneHubMovesTheBarByHalvesAndEndsAtHundred)
{
    WriteIni(kIni);
    WriteBench(dir, PlainHub(1));
    WriteImage("GL.BIN", PlainImage());
    Scan();
    EXPECT_TRUE(engine->RunUpgrade(&window));
    EXPECT_EQ(Log(), listing + "ISP in device(1) is being upgraded.\r\n"
                               "Device(1): GL.BIN\r\n   =>Upgrade successful\r\n");
    EXPECT_EQ(window.ranges, (std::vector<std::pair<int, int>>{{0, 100}}));
    EXPECT_EQ(window.positions, (std::vector<int>{0, 50, 100, 100}));
}

TEST_F(UpgradeTest, HubsAreProgrammedFromTheLastEntryToTheFirst)
{
    WriteIni(kIni);
    WriteBench(dir, PlainHub(1) + PlainHub(2) + PlainHub(3));
    WriteImage("GL.BIN", PlainImage());
    Scan();
    EXPECT_TRUE(engine->RunUpgrade(&window));
    std::string expected = listing;
    for (int k = 3; k >= 1; --k)
        expected += "ISP in device(" + std::to_string(k) + ") is being upgraded.\r\nDevice(" + std::to_string(k) +
                    "): GL.BIN\r\n   =>Upgrade successful\r\n";
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(window.positions, (std::vector<int>{0, 16, 32, 48, 64, 80, 96, 100}));
}

TEST_F(UpgradeTest, FullTableMovesOneStepAtATime)
{
    WriteIni(kIni);
    std::string bench;
    for (int n = 1; n <= 32; ++n)
        bench += PlainHub(n);
    WriteBench(dir, bench);
    WriteImage("GL.BIN", PlainImage());
    Scan();
    EXPECT_TRUE(engine->RunUpgrade(&window));
    std::vector<int> expected{0};
    for (int p = 1; p <= 64; ++p)
        expected.push_back(p);
    expected.push_back(100);
    EXPECT_EQ(window.positions, expected);
}

TEST_F(UpgradeTest, FailingHubsAreLoggedAndTheOthersStillProgrammed)
{
    WriteIni(kIni);
    WriteBench(dir, HubSection(1, 0x1A40, 0x0801, 0x0100, 1) + PlainHub(2) +
                        HubSection(3, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\nUpdateResult=5\n"));
    WriteImage("GL.BIN", PlainImage());
    Scan();
    EXPECT_FALSE(engine->RunUpgrade(&window));
    EXPECT_EQ(Log(), listing + "ISP in device(3) is being upgraded.\r\n"
                               "!!!Error Device(3):=> Upgrade failed\r\n"
                               "ISP in device(2) is being upgraded.\r\n"
                               "Device(2): GL.BIN\r\n   =>Upgrade successful\r\n"
                               "This Firmware update tool is not support this HUB_Vid[1A40]_Pid[801]\r\n"
                               "Please add this HUB info to SpiFlash.ini file\r\n"
                               "  !!!Error. Either the FW not found\r\n"
                               "  Or FW is incorrect for HUB chip version\r\n"
                               "!!!Error Device(1):=> Upgrade failed\r\n");
    // Step 16: one move before each library call, one after each success;
    // the bar stays where a failed run left it.
    EXPECT_EQ(window.positions, (std::vector<int>{0, 16, 32, 48}));
}

TEST_F(UpgradeTest, CurrentFirmwareIsSkippedAndTheRunReportsFalse)
{
    WriteIni(std::string(kIni) + "[HUBFWCheck]\nCheckHUBFW=1\nFWVersion=219\n");
    WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x9021, 1) + HubSection(2, 0x3C5E, 0x0460, 0x9F21, 1) +
                        HubSection(3, 0x05E3, 0x0610, 0x1235, 1, "ChipVersion=0x10\n"));
    WriteImage("GL.BIN", PlainImage(0x1234, 0x10)); // version word + step 1 = the hub's
    testing::internal::CaptureStdout();
    Scan();
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(engine->RunUpgrade(&window));
    std::string expected = listing;
    for (int k = 3; k >= 1; --k)
        expected += "Device(" + std::to_string(k) +
                    ") firmware version is at the same as this updater.\r\n Update is unnecessary.\n\n";
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(window.positions, (std::vector<int>{0}));

    // Without the step the image is older than the hub: it is programmed.
    WriteImage("GL.BIN", PlainImage(0x1234, 0x00));
    testing::internal::CaptureStdout();
    Scan();
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(engine->RunUpgrade(&window));
    EXPECT_NE(Log().find("Device(3): GL.BIN\r\n   =>Upgrade successful\r\n"), std::string::npos);
}

TEST_F(UpgradeTest, WithoutTheCheckEveryHubGoesToTheLibrary)
{
    WriteIni(std::string(kIni) + "[HUBFWCheck]\nCheckHUBFW=0\nFWVersion=219\n");
    WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x9021, 1, "ChipVersion=0xB2\nHubFlags=0x30\n"));
    ImageParams special;
    special.imageFlags = 0x08;
    WriteImage("HUB.BIN", special);
    testing::internal::CaptureStdout();
    Scan();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(engine->RunUpgrade(&window));
}

TEST_F(UpgradeTest, ImageWhoseVersionCannotBeReadIsNotProgrammed)
{
    WriteIni(std::string(kIni) + "[HUBFWCheck]\nCheckHUBFW=1\n");
    WriteBench(dir, PlainHub(1));
    ImageParams shortImage = PlainImage();
    shortImage.size = 100; // legal for its target, but ends before the version word
    WriteImage("GL.BIN", shortImage);
    testing::internal::CaptureStdout();
    Scan();
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(engine->RunUpgrade(&window));
    EXPECT_EQ(Log(), listing + "!!!Error Device(1):=> Upgrade failed\r\n");
    EXPECT_EQ(window.positions, (std::vector<int>{0}));
}

TEST_F(UpgradeTest, RunWithoutAPassingScanRefusesToStart)
{
    EXPECT_FALSE(engine->RunUpgrade(&window));
    EXPECT_EQ(Log(), "!!!Error no hub table to upgrade, scan first!\r\n");
}
