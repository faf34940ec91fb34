#include "EngineFixture.h"

#include <cstring>

namespace {
const char kFullIni[] = "[TargetID_U2]\n"
                        "3C5E0461=0D13\n"
                        "[TargetID_U3]\r\n"
                        "3C5E0460=0D12\r\n"
                        "0x05E30610=12345\r\n"
                        "[Misc]\n"
                        "Manufacturer&ProductStringCompare=1\n"
                        "[Misc]\n"
                        "Manufacturer&ProductStringCompare=5\n"
                        "[HUBModule]\n"
                        "HUBNumber=3\n"
                        "NO.1HUBWantUpdateBinFile=ROOT.BIN extra\n"
                        "NO.2HUBDepth=1\n"
                        "XNO.2HUBConnectionPortIndex=2\n"
                        "NO.2HUBConnectionPortIndex=9\n"
                        "NO.2HUBWantUpdateBinFile=H2.BIN\n"
                        "NO.3HUBDepth=300\n"
                        "NO.3HUBConnectionPortIndex=4\n"
                        "NO.3HUBWantUpdateBinFile=H3.BIN\n"
                        "[HUBFWCheck]\n"
                        "CheckHUBFW=1\n"
                        "FWVersion=139\n";

} // namespace

TEST_F(EngineTest, FullSettingsFileFillsEveryValueAndLogsWhatItRead)
{
    WriteIni(kFullIni);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Load());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[HUBFWCheck] Found  \n\t\tFWCompare:1  \n\t\tFWVersion:313  \n\t\t");

    EXPECT_EQ(Log(), "\t1.2 LoadSettingFromIni()\r\n\t\t"
                     "[TargetID_U3] Found  [TargetID_U2] Found  \r\n"
                     "\t\t3C5E0460=0D12 3  05E30610=2345 3  3C5E0461=0D13 2  \r\n"
                     "[Misc] Found  StringCompare:1  \r\n\t\t"
                     "NO.1HUBWantUpdateBinFile: ROOT.BIN\r\n"
                     "NO.2HUBDepth: 1\r\n"
                     "NO.2HUBConnectionPortIndex: 2\r\n"
                     "NO.2HUBWantUpdateBinFile: H2.BIN\r\n"
                     "NO.3HUBDepth: 44\r\n"
                     "NO.3HUBConnectionPortIndex: 4\r\n"
                     "NO.3HUBWantUpdateBinFile: H3.BIN\r\n");
    EXPECT_EQ(window.Last(), Log());

    const IniInfo& ini = engine->m_IniInfo;
    ASSERT_EQ(ini.entryCount, 3);
    EXPECT_EQ(+ini.entries[0].vidPid, 0x3C5E0460u);
    EXPECT_EQ(+ini.entries[1].targetId, 0x2345);
    EXPECT_EQ(ini.entries[1].usbPart, 3);
    EXPECT_EQ(+ini.entries[2].vidPid, 0x3C5E0461u);
    EXPECT_EQ(ini.entries[2].usbPart, 2);
    EXPECT_EQ(engine->m_nStringCompare, 1);
    EXPECT_EQ(engine->m_nHubNumber, 3);
    EXPECT_EQ(engine->m_nCheckHubFw, 1);
    EXPECT_EQ(engine->m_wFwVersion, 0x139);

    const auto nodes = Chain(*engine);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->depth, 0);
    EXPECT_EQ(nodes[0]->portIndex, 0);
    EXPECT_STREQ(nodes[0]->binFile, "ROOT.BIN");
    EXPECT_EQ(nodes[1]->depth, 1);
    EXPECT_EQ(nodes[1]->portIndex, 2);
    EXPECT_STREQ(nodes[2]->binFile, "H3.BIN");
    EXPECT_EQ(nodes[2]->depth, 44);
}

TEST_F(EngineTest, MissingSettingsFileFailsWithItsName)
{
    EXPECT_FALSE(Load());
    EXPECT_EQ(Log(), "\t1.2 LoadSettingFromIni()\r\n\t\t!!!Error SpiFlash.ini not found!\r\n");
    EXPECT_EQ(engine->m_IniInfo.entryCount, 0);
}

TEST_F(EngineTest, MissingPerHubKeyEndsTheLoadEarlyButSuccessfully)
{
    WriteIni("[HUBModule]\nHUBNumber=3\nNO.1HUBWantUpdateBinFile=A.BIN\n"
             "NO.2HUBDepth=1\nNO.2HUBConnectionPortIndex=1\nNO.2HUBWantUpdateBinFile=B.BIN\n"
             "NO.3HUBConnectionPortIndex=2\n"
             "[HUBFWCheck]\nCheckHUBFW=1\n");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Load());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(engine->m_nCheckHubFw, 0);
    const auto nodes = Chain(*engine);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_STREQ(nodes[1]->binFile, "B.BIN");
    EXPECT_EQ(nodes[2]->depth, 0);
    EXPECT_EQ(nodes[2]->portIndex, 0);
    EXPECT_STREQ(nodes[2]->binFile, "");
}

TEST_F(EngineTest, HubNumberOneZeroAndWrapping)
{
    WriteIni("[HUBModule]\nHUBNumber=1\nNO.1HUBWantUpdateBinFile=A.BIN\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nHubNumber, 1);
    ASSERT_EQ(Chain(*engine).size(), 1u);
    EXPECT_STREQ(engine->m_pHubModule->binFile, ""); // no per-hub key for a single hub
    EXPECT_EQ(Log().find("NO.1HUB"), std::string::npos);

    const HubModule* before = engine->m_pHubModule;
    WriteIni("[HUBModule]\nHUBNumber=0\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nHubNumber, 0);
    EXPECT_EQ(engine->m_pHubModule, before); // 0 keeps the earlier chain

    WriteIni("[HUBModule]\nHUBNumber=300\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nHubNumber, 44);
    EXPECT_EQ(Chain(*engine).size(), 44u);
}

TEST_F(EngineTest, EveryHubNumberLineRebuildsTheChain)
{
    WriteIni("[HUBModule]\nHUBNumber=2\nNO.1HUBWantUpdateBinFile=A.BIN\nNO.2HUBDepth=1\n"
             "NO.2HUBConnectionPortIndex=3\nNO.2HUBWantUpdateBinFile=B.BIN\nHUBNumber=1\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nHubNumber, 1);
    ASSERT_EQ(Chain(*engine).size(), 1u);
    EXPECT_STREQ(engine->m_pHubModule->binFile, "");
}

TEST_F(EngineTest, SettingsAbsentFromTheFileKeepEarlierValues)
{
    WriteIni(kFullIni);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(Load());
    WriteIni("[TargetID_U3]\n11112222=3333\n[Misc]\nManufacturer&ProductStringCompare=abc\n");
    EXPECT_TRUE(Load());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].vidPid, 0x11112222u);
    EXPECT_EQ(engine->m_nStringCompare, 1); // "abc" does not scan
    EXPECT_NE(Log().find("StringCompare:1  "), std::string::npos);
    EXPECT_EQ(engine->m_nHubNumber, 3);
    EXPECT_EQ(engine->m_wFwVersion, 0x139);
}

TEST_F(EngineTest, BracketAnywhereEndsASection)
{
    WriteIni("[TargetID_U3]\n3C5E0460=0D12\n3C5E0461=0D13 [x]\n3C5E0462=0D14\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_IniInfo.entryCount, 1);
}

TEST_F(EngineTest, KeyInTheSecondPieceOfALongLineIsFound)
{
    WriteIni("[Misc]\n" + std::string(199, 'x') + "Manufacturer&ProductStringCompare=3\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nStringCompare, 3);
}

TEST_F(EngineTest, HubModuleKeysStartAtTheFirstMentionOfHubModule)
{
    WriteIni("[Misc]\nNote=HUBModule keys follow\nNO.1HUBWantUpdateBinFile=EARLY.BIN\n"
             "[HUBModule]\nHUBNumber=2\nNO.1HUBWantUpdateBinFile=LATE.BIN\n");
    EXPECT_TRUE(Load());
    EXPECT_STREQ(engine->m_pHubModule->binFile, "EARLY.BIN");
}

TEST_F(EngineTest, OneLineCanSetBothFirmwareCheckKeys)
{
    WriteIni("[HUBFWCheck]\nCheckHUBFW_FWVersion=19\nFWVersion=zz\n");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Load());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[HUBFWCheck] Found  \n\t\tFWCompare:19  \n\t\tFWVersion:25  \n\t\tFWVersion:25  \n\t\t");
    EXPECT_EQ(engine->m_nCheckHubFw, 19);
    EXPECT_EQ(engine->m_wFwVersion, 0x19);
}

TEST_F(EngineTest, TargetIdTableKeepsItsFirstHundredEntries)
{
    std::string ini = "[TargetID_U3]\n";
    for (int i = 0; i < 103; ++i)
        ini += CHubUpgrader::Format("%08X=%04X\n", 0x10000000 + i, i);
    WriteIni(ini);
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_IniInfo.entryCount, 100);
    EXPECT_EQ(+engine->m_IniInfo.entries[99].vidPid, 0x10000063u);
    const std::string log = Log();
    const std::string warning =
        "\r\n\t\tWarning !!! more than 100 target IDs in SpiFlash.ini, the rest are ignored\r\n\t\t";
    ASSERT_NE(log.find(warning), std::string::npos);
    EXPECT_EQ(log.find(warning), log.rfind(warning)); // reported once
}

TEST_F(EngineTest, TargetIdLineThatDoesNotScanTakesNoEntry)
{
    WriteIni("[TargetID_U3]\nVIDPID=TargetID\n3C5E0460 = 0D12\n3C5E0461=0D13\n");
    EXPECT_TRUE(Load());
    ASSERT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].vidPid, 0x3C5E0461u);
    EXPECT_EQ(Log(), "\t1.2 LoadSettingFromIni()\r\n\t\t[TargetID_U3] Found  "
                     "\r\n\t\tWarning !!! [TargetID_U3] line ignored, not two hexadecimal numbers: "
                     "VIDPID=TargetID\r\n\t\t"
                     "\r\n\t\tWarning !!! [TargetID_U3] line ignored, not two hexadecimal numbers: "
                     "3C5E0460 = 0D12\r\n\t\t"
                     "\r\n\t\t3C5E0461=0D13 3  \r\n");
}
