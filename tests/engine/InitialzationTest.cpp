#include "EngineFixture.h"

#include <algorithm>

namespace {
const char kIni[] = "[TargetID_U3]\n3C5E0460=0D12\n[HUBModule]\nHUBNumber=1\n";
const char kStepsUpToDriver[] = "1. Initialzation()\r\n"
                                "\t1.1 GetDllInfo()\tAPI Version: 1a2b\r\n"
                                "\t1.2 LoadSettingFromIni()\r\n\t\t[TargetID_U3] Found  \r\n"
                                "\t\t3C5E0460=0D12 3  \r\n"
                                "\t1.3 IsDriverInstallNeeded()";
const char kOneHub[] = "[Library]\nVersion=0x1A2B\n";
} // namespace

TEST_F(EngineTest, PassingScanLeavesOnlyTheDeviceList)
{
    WriteIni(kIni);
    WriteBench(dir, kOneHub + HubSection(1, 0x3C5E, 0x0460, 0x9021, 1));
    EXPECT_TRUE(engine->Initialzation(&window));
    EXPECT_EQ(engine->m_pDlg, &window);
    EXPECT_EQ(window.Last(), "1 device  found:\r\n(1)Depth1, V/PID = 3C5E/0460, FW Version = V2.19\r\n");
    EXPECT_EQ(Log(), window.Last());

    // The step lines were shown before the search replaced them.
    const std::string steps = std::string(kStepsUpToDriver) + "\t Success\r\n";
    EXPECT_NE(std::find(window.pushes.begin(), window.pushes.end(), steps), window.pushes.end());
    const std::string searching = "1. Initialzation()  Success\r\nStart Search HUB\r\n";
    EXPECT_NE(std::find(window.pushes.begin(), window.pushes.end(), searching), window.pushes.end());
}

TEST_F(EngineTest, MissingFilterDriverStopsBeforeTheSearch)
{
    WriteIni(kIni);
    WriteBench(dir, kOneHub + HubSection(1, 0x3C5E, 0x0460, 0x9021, 1), false);
    engine->m_EnumInfo.hubCount = 0xAB;
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), std::string(kStepsUpToDriver) + "!!!Error Filter Driver not found!!\r\n");
    EXPECT_EQ(engine->m_EnumInfo.hubCount, 0xAB); // no enumeration
}

TEST_F(EngineTest, MissingSettingsStopsAfterTheirStep)
{
    WriteBench(dir, kOneHub);
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), "1. Initialzation()\r\n\t1.1 GetDllInfo()\tAPI Version: 1a2b\r\n"
                             "\t1.2 LoadSettingFromIni()\r\n\t\t!!!Error SpiFlash.ini not found!\r\n");
}

TEST_F(EngineTest, LibraryVersionPrintsAsBareLowercaseHex)
{
    WriteBench(dir, "[Library]\nVersion=0xDEADBEEF\n");
    engine->GetDllInfo();
    EXPECT_EQ(Log(), "\t1.1 GetDllInfo()\tAPI Version: deadbeef\r\n");

    engine->m_strLog.clear();
    WriteBench(dir, "");
    engine->GetDllInfo();
    EXPECT_EQ(Log(), "\t1.1 GetDllInfo()\tAPI Version: 0\r\n");
}

TEST_F(EngineTest, RepeatedScanGivesTheSameLog)
{
    WriteIni(kIni);
    WriteBench(dir, kOneHub, false);
    engine->m_strLog = L"typed by the operator";
    EXPECT_FALSE(engine->Initialzation(&window));
    const std::string first = window.Last();
    EXPECT_FALSE(engine->Initialzation(&window));
    EXPECT_EQ(window.Last(), first);
    EXPECT_EQ(first.rfind("1. Initialzation()\r\n", 0), 0u);
}
