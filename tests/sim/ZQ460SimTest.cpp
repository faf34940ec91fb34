// Drives the built shared library through its exports, as the engine does.
#include "BenchVariable.h"
#include "ScratchDir.h"
#include "ZQ460API.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

constexpr std::uint8_t kPattern = 0xA5;

std::unique_ptr<EnumInfo> PatternRecord()
{
    auto record = std::make_unique<EnumInfo>();
    std::memset(record.get(), kPattern, sizeof(EnumInfo));
    return record;
}

const std::uint8_t* EntryBytes(const EnumInfo& record, std::size_t index)
{
    return reinterpret_cast<const std::uint8_t*>(&record) + 1 + index * sizeof(HubInfo);
}

unsigned Word(const std::uint8_t* bytes, std::size_t offset)
{
    return bytes[offset] | static_cast<unsigned>(bytes[offset + 1] << 8);
}

// Every byte from the end of the written entries to the end of the record.
std::size_t UntouchedAfter(const EnumInfo& record, std::size_t entries)
{
    const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    std::size_t untouched = 0;
    for (std::size_t i = 1 + entries * sizeof(HubInfo); i < sizeof(EnumInfo); ++i)
        untouched += bytes[i] == kPattern ? 1u : 0u;
    return untouched;
}

std::uint32_t Version()
{
    std::uint32_t version = 0xDEADBEEF;
    EXPECT_EQ(RX_GetDllVersion(&version), 0);
    return version;
}

} // namespace

TEST(ZQ460Sim, WithoutBenchReportsNoHubsAndVersionZero)
{
    ScratchDir dir;
    EXPECT_EQ(Version(), 0u);
    auto record = PatternRecord();
    EXPECT_EQ(RX_GetEnumInfo(record.get()), 0);
    EXPECT_EQ(record->hubCount, 0);
    EXPECT_EQ(UntouchedAfter(*record, 0), sizeof(EnumInfo) - 1);
}

TEST(ZQ460Sim, WritesEachFieldAtItsOffsetAndLeavesTheRestOfTheRecord)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\r\nVid=0x2109\r\nPid=0x0817\r\nBcdDevice=0x9123\r\n"
                              "BcdUSB=0x0320\r\nPortIndex=3\r\nDepth=4\r\nChipVersion=5\r\n"
                              "HubFlags=6\r\nManufacturer=Acme\r\nProduct=" +
                                  std::string(50, 'Q') + "\r\n[Hub2]\r\nVid=0x1234\r\n");
    auto record = PatternRecord();
    ASSERT_EQ(RX_GetEnumInfo(record.get()), 0);
    EXPECT_EQ(record->hubCount, 2);

    const std::uint8_t* entry = EntryBytes(*record, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(entry), "SIM\\HUB1");
    EXPECT_EQ(entry[255], 18);
    EXPECT_EQ(entry[256], 1);
    EXPECT_EQ(Word(entry, 257), 0x0320u);
    EXPECT_EQ(Word(entry, 263), 0x2109u);
    EXPECT_EQ(Word(entry, 265), 0x0817u);
    EXPECT_EQ(Word(entry, 267), 0x9123u);
    EXPECT_EQ(entry[529], 3);
    EXPECT_EQ(entry[530], 4);
    EXPECT_EQ(entry[531], 5);
    EXPECT_EQ(entry[532], 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 533), 46), "Acme" + std::string(42, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 579), 46), std::string(46, 'Q'));
    // Everything else in the entry is zero: library text padding, the other
    // descriptor bytes and both library data blocks.
    std::size_t nonZero = 0;
    for (std::size_t i = 9; i < sizeof(HubInfo); ++i) {
        const bool field =
            i == 255 || i == 256 || (i >= 257 && i < 259) || (i >= 263 && i < 269) || (i >= 529 && i < 625);
        nonZero += !field && entry[i] != 0 ? 1u : 0u;
    }
    EXPECT_EQ(nonZero, 0u);

    EXPECT_STREQ(reinterpret_cast<const char*>(EntryBytes(*record, 1)), "SIM\\HUB2");
    EXPECT_EQ(Word(EntryBytes(*record, 1), 263), 0x1234u);
    EXPECT_EQ(UntouchedAfter(*record, 2), sizeof(EnumInfo) - 1 - 2 * sizeof(HubInfo));
}

TEST(ZQ460Sim, HubCountOverridesTheCountButNotTheEntriesWritten)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Library]\nHubCount=300\n[Hub1]\n[Hub2]\n[Hub3]\n");
    auto record = PatternRecord();
    ASSERT_EQ(RX_GetEnumInfo(record.get()), 0);
    EXPECT_EQ(record->hubCount, 44);
    EXPECT_STREQ(reinterpret_cast<const char*>(EntryBytes(*record, 2)), "SIM\\HUB3");
    EXPECT_EQ(UntouchedAfter(*record, 3), sizeof(EnumInfo) - 1 - 3 * sizeof(HubInfo));

    std::string full = "[Library]\nHubCount=0\n";
    for (int i = 1; i <= 32; ++i)
        full += "[Hub" + std::to_string(i) + "]\nPid=" + std::to_string(i) + "\n";
    dir.Write("HubBench.ini", full);
    record = PatternRecord();
    ASSERT_EQ(RX_GetEnumInfo(record.get()), 0);
    EXPECT_EQ(record->hubCount, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(EntryBytes(*record, 31)), "SIM\\HUB32");
    EXPECT_EQ(Word(EntryBytes(*record, 31), 265), 32u);
}

TEST(ZQ460Sim, RereadsTheBenchOnEveryCallAndHonoursTheVariable)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Library]\nVersion=0x10203\n");
    EXPECT_EQ(Version(), 0x10203u);
    dir.Write("HubBench.ini", "[Library]\nVersion=7\n");
    EXPECT_EQ(Version(), 7u);

    dir.Write("other/Lab.ini", "[Library]\nVersion=8\n[Hub1]\n");
    BenchVariable variable((dir.Path() / "other" / "Lab.ini").string().c_str());
    EXPECT_EQ(Version(), 8u);
    auto record = PatternRecord();
    RX_GetEnumInfo(record.get());
    EXPECT_EQ(record->hubCount, 1);
}

TEST(ZQ460Sim, MalformedBenchIsReportedAndActsAsNoBench)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Library]\nVersion=3\n[Hub1]\nVid=0x12345\n");
    auto record = PatternRecord();
    testing::internal::CaptureStderr();
    const std::uint32_t version = Version();
    EXPECT_EQ(RX_GetEnumInfo(record.get()), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(record->hubCount, 0);
    const std::string line = "ZQ460API (simulated): HubBench.ini: line 4: Vid 0x12345 is out of "
                             "range (at most 65535)\n";
    EXPECT_EQ(said, line + line);
    EXPECT_EQ(UntouchedAfter(*record, 0), sizeof(EnumInfo) - 1);
}

TEST(ZQ460Sim, RefusesNullPointers)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\n");
    EXPECT_NE(RX_GetDllVersion(nullptr), 0);
    EXPECT_NE(RX_SetIniInfo(nullptr), 0);
    EXPECT_NE(RX_GetEnumInfo(nullptr), 0);
    IniInfo ini{};
    EXPECT_EQ(RX_SetIniInfo(&ini), 0);
}

TEST(ZQ460Sim, GarbageFillTakesEveryByteTheEngineDoesNotRead)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Library]\nGarbageFill=0x5C\n[Hub1]\nVid=0x2109\nPid=0x0817\nBcdDevice=0x9123\n"
                              "BcdUSB=0x0320\nPortIndex=3\nDepth=4\nChipVersion=5\nHubFlags=6\n"
                              "Manufacturer=Acme\nProduct=\\x00\n");
    auto record = PatternRecord();
    ASSERT_EQ(RX_GetEnumInfo(record.get()), 0);
    ASSERT_EQ(record->hubCount, 1);
    const std::uint8_t* entry = EntryBytes(*record, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(entry), "SIM\\HUB1");
    EXPECT_EQ(entry[255], 18);
    EXPECT_EQ(Word(entry, 263), 0x2109u);
    EXPECT_EQ(entry[532], 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 533), 46), "Acme" + std::string(42, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 579), 46), std::string(46, '\0'));
    std::size_t garbage = 0;
    std::size_t expected = 0;
    for (std::size_t i = 9; i < sizeof(HubInfo); ++i) {
        const bool field =
            i == 255 || i == 256 || (i >= 257 && i < 259) || (i >= 263 && i < 269) || (i >= 529 && i < 625);
        expected += field ? 0u : 1u;
        garbage += !field && entry[i] == 0x5C ? 1u : 0u;
    }
    EXPECT_EQ(garbage, expected);
    EXPECT_EQ(UntouchedAfter(*record, 1), sizeof(EnumInfo) - 1 - sizeof(HubInfo));
}

TEST(ZQ460Sim, VersionUntouchedLeavesTheCallersVariable)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Library]\nVersion=7\nVersionUntouched=1\n");
    std::uint32_t version = 0xDEADBEEF;
    EXPECT_EQ(RX_GetDllVersion(&version), 0);
    EXPECT_EQ(version, 0xDEADBEEFu);
}
