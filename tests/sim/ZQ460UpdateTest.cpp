// Programming through the built library's export, and what a rescan then
// reports, as the engine sees it.
#include "BenchVariable.h"
#include "ImageFormat.h"
#include "ScratchDir.h"
#include "ZQ460API.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

const std::uint64_t kVersionA = image_format::kLayoutA.versionWord;
const std::uint64_t kVersionB = image_format::kLayoutB.versionWord;

void PutWord(std::string& bytes, std::uint64_t offset, std::uint16_t word)
{
    bytes[offset] = static_cast<char>(word & 0xFF);
    bytes[offset + 1] = static_cast<char>(word >> 8);
}

// Long enough for either layout, with different words at the two version
// offsets so that reading the wrong one shows.
std::string Image(std::uint8_t flags, std::uint64_t versionAt, std::uint16_t word)
{
    std::string bytes(std::max(kVersionA, kVersionB) + 2, '\0');
    bytes[image_format::kFlagsOffset] = static_cast<char>(flags);
    PutWord(bytes, kVersionA, 0x4444);
    PutWord(bytes, kVersionB, 0x5555);
    PutWord(bytes, versionAt, word);
    return bytes;
}

// The engine's form of an image path on each system.
std::string BinPath(const std::string& name)
{
#ifdef _WIN32
    return ".\\Bin\\" + name;
#else
    return "./Bin/" + name;
#endif
}

int32_t Program(std::uint8_t hub, const std::string& name)
{
    return RX_UpdateISP(hub, BinPath(name).c_str(), 0);
}

unsigned BcdDevice(std::size_t index)
{
    auto record = std::make_unique<EnumInfo>();
    RX_GetEnumInfo(record.get());
    return record->hubs[index].descriptor.bcdDevice;
}

const char kThreeHubs[] = "[Hub1]\nBcdDevice=0x1111\n[Hub2]\nBcdDevice=0x2222\n"
                          "[Hub3]\nBcdDevice=0x3333\n";

} // namespace

TEST(ZQ460Update, RefusesHubsBeyondTheEntriesWritten)
{
    ScratchDir dir;
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));
    EXPECT_EQ(Program(0, "A.BIN"), 1);

    // HubCount changes the count the library reports, not the hubs it has.
    dir.Write("HubBench.ini", "[Library]\nHubCount=5\n[Hub1]\n[Hub2]\n");
    EXPECT_EQ(Program(2, "A.BIN"), 1);
    EXPECT_EQ(Program(255, "A.BIN"), 1);
    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
    EXPECT_EQ(Program(1, "A.BIN"), 0);
}

TEST(ZQ460Update, AFailingHubReturnsItsResultAtOnceAndKeepsItsVersion)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\nBcdDevice=0x1111\nUpdateResult=0xFFFFFFFF\nUpdateMs=5000\n"
                              "[Hub2]\nUpdateResult=7\n");
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Program(0, "A.BIN"), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(RX_UpdateISP(1, nullptr, 0), 7);
    EXPECT_EQ(BcdDevice(0), 0x1111u);
    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
}

TEST(ZQ460Update, RefusesMissingUnreadableAndShortImages)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\nBcdDevice=0x1111\n");
    std::string shortA = Image(0x08, kVersionA, 0x9022);
    shortA.resize(kVersionA + 1);
    dir.Write("Bin/SHORTA.BIN", shortA);
    // Holds layout A's version word, but this image is of layout B.
    std::string shortB = Image(0x00, kVersionB, 0x9022);
    shortB.resize(kVersionB + 1);
    dir.Write("Bin/SHORTB.BIN", shortB);
    dir.Write("Bin/TINY.BIN", "\x0D\x12");
    fs::create_directories("Bin/FOLDER.BIN");

    EXPECT_EQ(RX_UpdateISP(0, nullptr, 0), 2);
    for (const char* name : {"NONE.BIN", "SHORTA.BIN", "SHORTB.BIN", "TINY.BIN", "FOLDER.BIN"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Program(0, name), 2);
    }
    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
    EXPECT_EQ(BcdDevice(0), 0x1111u);

    // Just long enough is enough.
    shortA.push_back('\x90');
    dir.Write("Bin/SHORTA.BIN", shortA);
    EXPECT_EQ(Program(0, "SHORTA.BIN"), 0);
    EXPECT_EQ(BcdDevice(0), 0x9022u);
}

TEST(ZQ460Update, RescanReportsTheImagesFirmwareVersionForBothLayouts)
{
    const struct {
        std::uint8_t flags;
        std::uint64_t versionAt;
        std::uint16_t word;
        unsigned expected;
    } cases[] = {
        {0x08, kVersionA, 0x9022, 0x9022}, {0x80, kVersionA, 0x9022, 0x9022},
        {0x38, kVersionA, 0xFFFE, 0x0001}, // the step wraps in 16 bits
        {0x00, kVersionB, 0x9022, 0x9022}, {0x74, kVersionB, 0x9010, 0x9017},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << unsigned(c.flags));
        ScratchDir dir;
        dir.Write("HubBench.ini", kThreeHubs);
        dir.Write("Bin/IMAGE.BIN", Image(c.flags, c.versionAt, c.word));
        ASSERT_EQ(Program(1, "IMAGE.BIN"), 0);
        EXPECT_EQ(BcdDevice(0), 0x1111u);
        EXPECT_EQ(BcdDevice(1), c.expected);
        EXPECT_EQ(BcdDevice(2), 0x3333u);
    }
}

TEST(ZQ460Update, RecordsAccumulateAcrossHubsUntilTheStateFileIsDeleted)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", kThreeHubs);
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));
    dir.Write("Bin/B.BIN", Image(0x00, kVersionB, 0x9031));
    // What an interrupted write leaves behind must not get in the way.
    dir.Write("HubBench.ini.state.new", "Hub2=0x");

    ASSERT_EQ(Program(0, "A.BIN"), 0);
    ASSERT_EQ(Program(2, "B.BIN"), 0);
    EXPECT_EQ(BcdDevice(0), 0x9022u);
    EXPECT_EQ(BcdDevice(1), 0x2222u);
    EXPECT_EQ(BcdDevice(2), 0x9031u);

    ASSERT_EQ(Program(0, "B.BIN"), 0);
    EXPECT_EQ(BcdDevice(0), 0x9031u);
    EXPECT_EQ(BcdDevice(2), 0x9031u);
    EXPECT_FALSE(fs::exists("HubBench.ini.state.new"));
    const std::string state = dir.Read("HubBench.ini.state");
    EXPECT_NE(state.find("Hub1=0x9031\n"), std::string::npos) << state;
    EXPECT_NE(state.find("Hub3=0x9031\n"), std::string::npos) << state;

    dir.Remove("HubBench.ini.state");
    EXPECT_EQ(BcdDevice(0), 0x1111u);
    EXPECT_EQ(BcdDevice(2), 0x3333u);
}

TEST(ZQ460Update, StateFileLivesBesideTheBenchTheVariableNames)
{
    ScratchDir dir;
    dir.Write("lab/Lab.ini", "[Hub1]\nBcdDevice=0x1111\n");
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));
    BenchVariable variable((dir.Path() / "lab" / "Lab.ini").string().c_str());
    ASSERT_EQ(Program(0, "A.BIN"), 0);
    EXPECT_TRUE(fs::exists("lab/Lab.ini.state"));
    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
    EXPECT_EQ(BcdDevice(0), 0x9022u);
}

TEST(ZQ460Update, MalformedStateIsReportedAndTheBenchHolds)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", kThreeHubs);
    dir.Write("HubBench.ini.state", "Hub1=0x9022\nHub2=0x90221\n");
    testing::internal::CaptureStderr();
    const unsigned first = BcdDevice(0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, 0x1111u);
    EXPECT_EQ(said, "ZQ460API (simulated): HubBench.ini.state: line 2: Hub2 0x90221 is out of range "
                    "(at most 65535)\n");

    // Programming refuses rather than write over a file somebody edited.
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9033));
    testing::internal::CaptureStderr();
    EXPECT_EQ(Program(2, "A.BIN"), 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), said);
    EXPECT_EQ(dir.Read("HubBench.ini.state"), "Hub1=0x9022\nHub2=0x90221\n");
}

TEST(ZQ460Update, AFailedWriteIsNeverSuccess)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", kThreeHubs);
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));

    // Something that is not a file where the new state file would go.
    dir.Write("HubBench.ini.state.new/keep", "x");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Program(0, "A.BIN"), 3);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(dir.Read("HubBench.ini.state.new/keep"), "x");
    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
    dir.Remove("HubBench.ini.state.new");

    // And where the state file itself is.
    dir.Write("HubBench.ini.state/keep", "x");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Program(0, "A.BIN"), 3);
    EXPECT_EQ(BcdDevice(0), 0x1111u);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(fs::exists("HubBench.ini.state.new"));
}

TEST(ZQ460Update, TakesTheHubsUpdateTime)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\nUpdateMs=50\n");
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Program(0, "A.BIN"), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(50));
    EXPECT_LT(took, std::chrono::seconds(2));
}

TEST(ZQ460Update, AHubThatFailsPartWayTakesItsTimeAndRecordsNothing)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\nBcdDevice=0x1111\nFailAfterMs=60\n"
                              "[Hub2]\nBcdDevice=0x2222\nFailAfterMs=0\nUpdateResult=0xFFFFFFF0\n"
                              "[Hub3]\nFailAfterMs=5000\n");
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Program(0, "A.BIN"), 4);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(60));
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(Program(1, "A.BIN"), -16);

    // The image is read before programming starts, so a bad one fails at once.
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Program(2, "NONE.BIN"), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
    EXPECT_EQ(BcdDevice(0), 0x1111u);
    EXPECT_EQ(BcdDevice(1), 0x2222u);
}

TEST(ZQ460Update, AHubWithNoVersionChangeReportsSuccessAndKeepsItsVersion)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Hub1]\nBcdDevice=0x1111\nNoVersionChange=1\n[Hub2]\nBcdDevice=0x2222\n"
                              "[Hub3]\nBcdDevice=0x3333\nNoVersionChange=0\n");
    dir.Write("Bin/A.BIN", Image(0x08, kVersionA, 0x9022));
    for (std::uint8_t hub = 0; hub < 3; ++hub)
        EXPECT_EQ(Program(hub, "A.BIN"), 0) << unsigned(hub);
    EXPECT_EQ(BcdDevice(0), 0x1111u);
    EXPECT_EQ(BcdDevice(1), 0x9022u);
    EXPECT_EQ(BcdDevice(2), 0x9022u);

    // A version recorded before the fault appeared stays as it was.
    dir.Write("HubBench.ini", "[Hub1]\nBcdDevice=0x1111\n[Hub2]\nBcdDevice=0x2222\nNoVersionChange=1\n");
    dir.Write("Bin/B.BIN", Image(0x08, kVersionA, 0x9033));
    EXPECT_EQ(Program(1, "B.BIN"), 0);
    EXPECT_EQ(BcdDevice(1), 0x9022u);
}
