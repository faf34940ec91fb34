#include "BenchFile.h"
#include "BenchVariable.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

using namespace tolvane::bench;

namespace {

Bench Parse(const std::string& text)
{
    Bench bench;
    std::string error;
    EXPECT_TRUE(ParseBench(text, bench, error)) << error;
    return bench;
}

std::string Text(const std::array<std::uint8_t, 46>& field)
{
    return std::string(field.begin(), field.end());
}

} // namespace

TEST(BenchFile, ReadsEveryHubFieldWithLooseNamesCommentsAndCrlf)
{
    const Bench bench = Parse("\xEF\xBB\xBF; bench for the lab\r\n"
                              "\r\n"
                              "  [ library ]  \r\n"
                              "VERSION = 0x01020304\r\n"
                              "[HUB1]\r\n"
                              "  ; indented comment\r\n"
                              "vid=0x2109\r\n"
                              "PID = 0X0817\r\n"
                              "BcdDevice=0xFFFF\r\n"
                              "bcdusb=768\r\n"
                              "Depth=2\r\n"
                              "PortIndex=255\r\n"
                              "ChipVersion=0x0a\r\n"
                              "HubFlags=7\r\n"
                              "UpdateResult=0xFFFFFFFF\r\n"
                              "UpdateMs=4294967295\r\n"
                              "[hub2]\r\n"
                              "Vid=1");
    EXPECT_EQ(bench.version, 0x01020304u);
    EXPECT_FALSE(bench.hubCount.has_value());
    ASSERT_EQ(bench.hubs.size(), 2u);
    const BenchHub& hub = bench.hubs[0];
    EXPECT_EQ(hub.vid, 0x2109);
    EXPECT_EQ(hub.pid, 0x0817);
    EXPECT_EQ(hub.bcdDevice, 0xFFFF);
    EXPECT_EQ(hub.bcdUsb, 0x0300);
    EXPECT_EQ(hub.depth, 2);
    EXPECT_EQ(hub.portIndex, 255);
    EXPECT_EQ(hub.chipVersion, 10);
    EXPECT_EQ(hub.hubFlags, 7);
    EXPECT_EQ(hub.updateResult, -1);
    EXPECT_EQ(hub.updateMs, 4294967295u);
    EXPECT_EQ(bench.hubs[1].vid, 1);
    EXPECT_EQ(bench.hubs[1].updateResult, 0);
}

TEST(BenchFile, StringsAreTakenByteForByteThenCutOrPadded)
{
    const Bench bench = Parse("[Hub1]\r\n"
                              "Manufacturer= Acme =Hubs \r\n"
                              "Product=" +
                              std::string(40, 'P') + "0123456789\n");
    ASSERT_EQ(bench.hubs.size(), 1u);
    EXPECT_EQ(Text(bench.hubs[0].manufacturer), " Acme =Hubs " + std::string(34, '\0'));
    EXPECT_EQ(Text(bench.hubs[0].product), std::string(40, 'P') + "012345");
}

TEST(BenchFile, HubTableEndsAtFirstMissingNumber)
{
    const Bench bench = Parse("[Hub2]\nVid=2\n[Hub1]\nVid=1\n[Hub4]\nVid=4\n");
    ASSERT_EQ(bench.hubs.size(), 2u);
    EXPECT_EQ(bench.hubs[0].vid, 1);
    EXPECT_EQ(bench.hubs[1].vid, 2);
    EXPECT_TRUE(Parse("[Hub2]\nVid=2\n").hubs.empty());
}

TEST(BenchFile, HubCountKeepsLowEightBitsOfAnyThirtyTwoBitValue)
{
    EXPECT_EQ(Parse("[Library]\nHubCount=300").hubCount, std::optional<std::uint8_t>(44));
    EXPECT_EQ(Parse("[Library]\nHubCount=0xFFFFFFFF").hubCount, std::optional<std::uint8_t>(255));
    EXPECT_EQ(Parse("[Library]\nHubCount=0").hubCount, std::optional<std::uint8_t>(0));
}

TEST(BenchFile, RegistryListsOnlyKeysWithNonZeroValues)
{
    const Bench bench = Parse("[Registry]\n"
                              " SYSTEM\\CurrentControlSet\\Services\\zq460filter = 1\n"
                              "SOFTWARE\\Absent=0\n"
                              "SOFTWARE\\Big=0x80000000\n");
    EXPECT_TRUE(bench.HasRegistryKey("system\\currentcontrolset\\SERVICES\\ZQ460FILTER"));
    EXPECT_TRUE(bench.HasRegistryKey("SOFTWARE\\Big"));
    EXPECT_FALSE(bench.HasRegistryKey("SOFTWARE\\Absent"));
    EXPECT_FALSE(bench.HasRegistryKey("SOFTWARE\\Bi"));
}

TEST(BenchFile, RejectsEachMalformedLineWithItsNumberAndLeavesBenchEmpty)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[Library]\nVersion", "line 2: expected a [section] or key=value line"},
        {"[Library\n", "line 1: expected a [section] or key=value line"},
        {"[Hub0]", "line 1: unknown section [Hub0]"},
        {"[Hub33]", "line 1: unknown section [Hub33]"},
        {"[Hub01]", "line 1: unknown section [Hub01]"},
        {"[]", "line 1: unknown section []"},
        {"Version=1", "line 1: key 'Version' outside a section"},
        {"[Library]\n = 1", "line 2: empty key name"},
        {"[Library]\nVid=1", "line 2: unknown key 'Vid' in [Library]"},
        {"[Hub1]\nSerial=x", "line 2: unknown key 'Serial' in [Hub1]"},
        {"[Hub1]\n[Hub4]\nColour=red", "line 3: unknown key 'Colour' in [Hub4]"},
        {"[Hub1]\n[hub1]", "line 2: repeated section [hub1]"},
        {"[Hub1]\nVid=1\r\nVID=2", "line 3: repeated key 'VID' in [Hub1]"},
        {"[Hub1]\nProduct=a\nproduct=b", "line 3: repeated key 'product' in [Hub1]"},
        {"[Registry]\nA\\B=1\na\\b=0", "line 3: repeated key 'a\\b' in [Registry]"},
        {"[Hub1]\nVid=", "line 2: bad number '' for Vid"},
        {"[Hub1]\nVid=0x", "line 2: bad number '0x' for Vid"},
        {"[Hub1]\nVid=-1", "line 2: bad number '-1' for Vid"},
        {"[Hub1]\nVid=+1", "line 2: bad number '+1' for Vid"},
        {"[Hub1]\nVid=12ab", "line 2: bad number '12ab' for Vid"},
        {"[Hub1]\nVid=0x12g", "line 2: bad number '0x12g' for Vid"},
        {"[Hub1]\nVid=1 2", "line 2: bad number '1 2' for Vid"},
        {"[Hub1]\nVid=0x10000", "line 2: Vid 0x10000 is out of range (at most 65535)"},
        {"[Hub1]\nDepth=256", "line 2: Depth 256 is out of range (at most 255)"},
        {"[Hub1]\nUpdateMs=4294967296", "line 2: UpdateMs 4294967296 is out of range (at most 4294967295)"},
        {"[Library]\nHubCount=99999999999999999999999",
         "line 2: HubCount 99999999999999999999999 is out of range (at most 4294967295)"},
        {"[Registry]\nX=yes", "line 2: bad number 'yes' for X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Bench bench;
        bench.version = 9;
        bench.hubs.resize(1);
        std::string error;
        EXPECT_FALSE(ParseBench(c.text, bench, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(bench.version, 0u);
        EXPECT_TRUE(bench.hubs.empty());
    }
}

TEST(BenchFile, LoadReportsMissingMalformedAndLoadedFiles)
{
    ScratchDir dir;
    Bench bench;
    std::string error = "stale";
    EXPECT_EQ(LoadBench("nothing.ini", bench, error), BenchStatus::Missing);
    EXPECT_TRUE(error.empty());

    dir.Write("bad.ini", "[Library]\r\nVersion=7\r\n[Hub1]\r\nVid=x\r\n");
    EXPECT_EQ(LoadBench("bad.ini", bench, error), BenchStatus::Malformed);
    EXPECT_EQ(error, "bad.ini: line 4: bad number 'x' for Vid");
    EXPECT_EQ(bench.version, 0u);

    dir.Write("sub/good.ini", "[Library]\nVersion=7\n[Hub1]\n");
    EXPECT_EQ(LoadBench("sub/good.ini", bench, error), BenchStatus::Loaded);
    EXPECT_EQ(bench.version, 7u);
    EXPECT_EQ(bench.hubs.size(), 1u);

    EXPECT_EQ(LoadBench("sub", bench, error), BenchStatus::Malformed);
    EXPECT_EQ(error, "sub: cannot read the file");
    EXPECT_TRUE(bench.hubs.empty());
}

TEST(BenchFile, PathComesFromEnvironmentUnlessUnsetOrEmpty)
{
    {
        BenchVariable variable("/bench/elsewhere.ini");
        EXPECT_EQ(BenchPath(), "/bench/elsewhere.ini");
    }
    EXPECT_EQ(BenchPath(), "HubBench.ini");
    BenchVariable empty("");
    EXPECT_EQ(BenchPath(), "HubBench.ini");
}

TEST(BenchState, ReadsLooseLinesAndReadsBackWhatItWrites)
{
    HubFirmware firmware;
    std::string error;
    ASSERT_TRUE(
        ParseState("\xEF\xBB\xBF; programmed\r\n\r\n  hub2 = 0x9022 \r\nHUB32=65535\r\nHub1=0", firmware, error))
        << error;
    EXPECT_EQ(firmware, (HubFirmware{{1, 0}, {2, 0x9022}, {32, 0xFFFF}}));

    HubFirmware again;
    ASSERT_TRUE(ParseState(FormatState(firmware), again, error)) << error;
    EXPECT_EQ(again, firmware);
}

TEST(BenchState, RejectsEachMalformedLineAndKeepsNoRecords)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"Hub1=1\nHub2", "line 2: expected a HubN=version line"},
        {"[Hub1]", "line 1: expected a HubN=version line"},
        {"Hub0=1", "line 1: unknown key 'Hub0'"},
        {"Hub33=1", "line 1: unknown key 'Hub33'"},
        {"Hub01=1", "line 1: unknown key 'Hub01'"},
        {"BcdDevice=1", "line 1: unknown key 'BcdDevice'"},
        {"Hub1=-1", "line 1: bad number '-1' for Hub1"},
        {"Hub1=", "line 1: bad number '' for Hub1"},
        {"Hub1=0x10000", "line 1: Hub1 0x10000 is out of range (at most 65535)"},
        {"Hub1=1\r\nhub1=1", "line 2: repeated key 'hub1'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        HubFirmware firmware{{5, 5}};
        std::string error;
        EXPECT_FALSE(ParseState(c.text, firmware, error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(firmware.empty());
    }
}

TEST(BenchState, ReplacesOnlyTheBcdDeviceOfHubsTheBenchHas)
{
    Bench bench = Parse("[Hub1]\nVid=1\nBcdDevice=0x1111\n[Hub2]\nBcdDevice=0x2222\n");
    ApplyState({{2, 0x9022}, {3, 0x9033}}, bench);
    ASSERT_EQ(bench.hubs.size(), 2u);
    EXPECT_EQ(bench.hubs[0].bcdDevice, 0x1111);
    EXPECT_EQ(bench.hubs[0].vid, 1);
    EXPECT_EQ(bench.hubs[1].bcdDevice, 0x9022);
    EXPECT_EQ(StatePath("lab/HubBench.ini"), "lab/HubBench.ini.state");
}

TEST(BenchFile, FaultKeysAreOptionalAndTakeTheirValues)
{
    const Bench plain = Parse("[Library]\nVersion=1\n[Hub1]\n");
    EXPECT_FALSE(plain.garbageFill.has_value());
    EXPECT_FALSE(plain.versionUntouched);
    EXPECT_FALSE(plain.hubs[0].failAfterMs.has_value());

    const Bench faulty = Parse("[Library]\nGarbageFill=0xA5\nVersionUntouched=1\n"
                               "[Hub1]\nFailAfterMs=0\n[Hub2]\nfailafterms=250\n");
    EXPECT_EQ(faulty.garbageFill, std::optional<std::uint8_t>(0xA5));
    EXPECT_TRUE(faulty.versionUntouched);
    EXPECT_EQ(faulty.hubs[0].failAfterMs, std::optional<std::uint32_t>(0));
    EXPECT_EQ(faulty.hubs[1].failAfterMs, std::optional<std::uint32_t>(250));
    EXPECT_FALSE(Parse("[Library]\nVersionUntouched=0\n").versionUntouched);
}

TEST(BenchFile, StringEscapesGiveAnyByteAndFillAllFortySixWithoutAZero)
{
    std::string ff;
    for (int i = 0; i < 46; ++i)
        ff += "\\xfF";
    const Bench bench = Parse("[Hub1]\nManufacturer=\\x00A\\\\x\\x7e \nProduct=" + ff + "\\x01\n");
    EXPECT_EQ(Text(bench.hubs[0].manufacturer), std::string("\0A\\x~ ", 6) + std::string(40, '\0'));
    EXPECT_EQ(Text(bench.hubs[0].product), std::string(46, '\xFF'));
}

TEST(BenchFile, RejectsBadFaultValuesAndEscapes)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[Library]\nGarbageFill=256", "line 2: GarbageFill 256 is out of range (at most 255)"},
        {"[Library]\nVersionUntouched=2", "line 2: VersionUntouched 2 is out of range (at most 1)"},
        {"[Library]\nGarbageFill=0xA5\ngarbagefill=1", "line 3: repeated key 'garbagefill' in [Library]"},
        {"[Hub1]\nFailAfterMs=-1", "line 2: bad number '-1' for FailAfterMs"},
        {"[Hub1]\nNoVersionChange=2", "line 2: NoVersionChange 2 is out of range (at most 1)"},
        {"[Hub1]\nFailAfterMs=4294967296", "line 2: FailAfterMs 4294967296 is out of range (at most 4294967295)"},
        {"[Hub1]\nProduct=a\\qb", "line 2: bad escape '\\qb' in Product (\\xNN or \\\\)"},
        {"[Hub1]\nProduct=\\x4", "line 2: bad escape '\\x4' in Product (\\xNN or \\\\)"},
        {"[Hub1]\nManufacturer=end\\", "line 2: bad escape '\\' in Manufacturer (\\xNN or \\\\)"},
        {"[Registry]\nGarbageFill=1\n[Hub1]\nGarbageFill=1", "line 4: unknown key 'GarbageFill' in [Hub1]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Bench bench;
        std::string error;
        EXPECT_FALSE(ParseBench(c.text, bench, error));
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(bench.garbageFill.has_value());
        EXPECT_TRUE(bench.hubs.empty());
    }
}
