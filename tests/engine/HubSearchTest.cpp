#include "EngineFixture.h"

#include <cstring>

namespace {
std::string IniWithHubNumber(int hubNumber)
{
    return "[HUBModule]\nHUBNumber=" + std::to_string(hubNumber) + "\n";
}

std::string Hubs(int count)
{
    std::string bench;
    for (int i = 1; i <= count; ++i)
        bench += HubSection(i, 0x05E3, 0x0610, 0x1234, static_cast<unsigned>(i));
    return bench;
}
} // namespace

TEST_F(EngineTest, NoHubMeansNoDeviceFound)
{
    WriteIni(IniWithHubNumber(1));
    WriteBench(dir, "");
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "!!!No device found!\r\n");
}

TEST_F(EngineTest, HubCountMustBeAWholeMultipleOfHubNumber)
{
    WriteIni(IniWithHubNumber(2));
    WriteBench(dir, Hubs(3));
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "!!!No device found!\r\n");

    WriteBench(dir, Hubs(4));
    EXPECT_TRUE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "4 devices found:\r\n"
                             "(1)Depth1, V/PID = 05E3/0610, FW Version = 1234\r\n"
                             "(2)Depth2, V/PID = 05E3/0610, FW Version = 1234\r\n"
                             "(3)Depth3, V/PID = 05E3/0610, FW Version = 1234\r\n"
                             "(4)Depth4, V/PID = 05E3/0610, FW Version = 1234\r\n");
}

TEST_F(EngineTest, DeviceListFormatsVersionsByProductId)
{
    WriteIni(IniWithHubNumber(1));
    WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x9021, 0) + HubSection(2, 0x3C5E, 0x0777, 0x9021, 12) +
                        HubSection(3, 0x0001, 0x0461, 0xABCD, 255) + HubSection(4, 0x0BDA, 0x0411, 0x0000, 3));
    EXPECT_TRUE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "4 devices found:\r\n"
                             "(1)Depth0, V/PID = 3C5E/0460, FW Version = V2.19\r\n"
                             "(2)Depth12, V/PID = 3C5E/0777, FW Version = 9021\r\n"
                             "(3)Depth255, V/PID = 0001/0461, FW Version = VC.DA\r\n"
                             "(4)Depth3, V/PID = 0BDA/0411, FW Version = 0000\r\n");
}

TEST_F(EngineTest, OneHubHeaderKeepsItsTwoBlanks)
{
    WriteIni(IniWithHubNumber(1));
    WriteBench(dir, Hubs(1));
    EXPECT_TRUE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last().substr(0, 18), "1 device  found:\r\n");
}

TEST_F(EngineTest, HubNumberZeroIsReportedNotDividedBy)
{
    WriteIni("[TargetID_U3]\n3C5E0460=0D12\n");
    WriteBench(dir, Hubs(2));
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "!!!Error HUBNumber of [HUBModule] in SpiFlash.ini is 0 or missing!\r\n");

    WriteBench(dir, "");
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "!!!No device found!\r\n");
}

TEST_F(EngineTest, MoreThanThirtyTwoHubsAreRefused)
{
    WriteIni(IniWithHubNumber(1));
    WriteBench(dir, "[Library]\nHubCount=33\n" + Hubs(32));
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "!!!Error ISP library reported 33 hubs, more than the 32 it can list!\r\n");

    WriteBench(dir, "[Library]\nHubCount=32\n" + Hubs(32));
    EXPECT_TRUE(engine->Initialzation(&window));
    EXPECT_NE(window.Last().find("(32)Depth32, V/PID = 05E3/0610"), std::string::npos);
}

TEST_F(EngineTest, SearchDoesNotClearTheTableBeforeTheLibraryFillsIt)
{
    WriteIni(IniWithHubNumber(1));
    WriteBench(dir, Hubs(1));
    std::memset(&engine->m_EnumInfo.hubs[1], 0x5A, sizeof(HubInfo));
    EXPECT_TRUE(engine->Initialzation(&window));
    EXPECT_EQ(engine->m_EnumInfo.hubs[1].depth, 0x5A);
    EXPECT_EQ(engine->m_EnumInfo.hubs[0].depth, 1);
}
