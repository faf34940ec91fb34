// The annotated SpiFlash.ini that the Windows kits carry: the settings reader
// has no comment syntax, so the notes must be lines it passes over. Loaded
// by the engine, the sample has to give exactly what the plain demo
// settings give, in the kit's CRLF form as well as in the checkout's.
#include "HubUpgrader.h"
#include "Images.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace {
std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    return out;
}

std::unique_ptr<CHubUpgrader> Load(const ScratchDir& dir, const std::string& settings)
{
    dir.Write("SpiFlash.ini", settings);
    auto engine = std::make_unique<CHubUpgrader>();
    EXPECT_TRUE(engine->LoadSettingFromIni()) << testing::PrintToString(engine->m_strLog);
    return engine;
}
} // namespace

TEST(SampleSettings, NotesInTheKitsSampleChangeNothingTheEngineReads)
{
    ScratchDir dir;
    const auto plain = Load(dir, ReadSource("demo/SpiFlash.ini"));
    const std::string sample = ReadSource("packaging/release/x64/SpiFlash.ini");
    for (const std::string& form : {sample, WithCrLf(sample)}) {
        const auto annotated = Load(dir, form);
        EXPECT_EQ(annotated->m_strLog, plain->m_strLog);
        EXPECT_EQ(annotated->m_IniInfo.entryCount, plain->m_IniInfo.entryCount);
        EXPECT_EQ(std::memcmp(annotated->m_IniInfo.entries, plain->m_IniInfo.entries,
                              sizeof(TargetIdEntry) * plain->m_IniInfo.entryCount),
                  0);
        EXPECT_EQ(annotated->m_nStringCompare, plain->m_nStringCompare);
        EXPECT_EQ(annotated->m_nHubNumber, plain->m_nHubNumber);
        EXPECT_EQ(annotated->m_nCheckHubFw, plain->m_nCheckHubFw);
        EXPECT_EQ(annotated->m_wFwVersion, plain->m_wFwVersion);
    }
    // The demo settings themselves are no empty match: four target IDs and
    // the firmware check are what the demo bench needs.
    EXPECT_EQ(plain->m_IniInfo.entryCount, 4);
    EXPECT_EQ(plain->m_nCheckHubFw, 1);
    EXPECT_EQ(plain->m_wFwVersion, 0x219);
}
