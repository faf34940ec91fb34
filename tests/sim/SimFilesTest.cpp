// The simulated library's own files when something other than what it
// expects sits at their names: links, pipes, devices, files too large to be
// a bench, and images far larger than the bytes it needs.
#include "BenchFile.h"
#include "BenchVariable.h"
#include "Deadline.h"
#include "ImageFormat.h"
#include "ScratchDir.h"
#include "ZQ460API.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using tolvane::bench::BenchStatus;
using tolvane::bench::LoadBench;
using tolvane::bench::LoadState;

namespace {

const char kHubs[] = "[Hub1]\nBcdDevice=0x1111\n[Hub2]\nBcdDevice=0x2222\n";
const std::string kTooLarge = "cannot read the file: larger than 16 MiB";

// Layout A (flags 0x08), its version word at its offset, zeros elsewhere.
std::string ImageA(std::uint16_t word)
{
    std::string bytes(image_format::kLayoutA.versionWord + 2, '\0');
    bytes[image_format::kFlagsOffset] = '\x08';
    bytes[image_format::kLayoutA.versionWord] = static_cast<char>(word & 0xFF);
    bytes[image_format::kLayoutA.versionWord + 1] = static_cast<char>(word >> 8);
    return bytes;
}

std::uint16_t VersionOfImageA(std::uint16_t word)
{
    return image_format::FirmwareVersion(word, 0x08);
}

int32_t ProgramA(std::uint8_t hub)
{
#ifdef _WIN32
    return RX_UpdateISP(hub, ".\\Bin\\A.BIN", 0);
#else
    return RX_UpdateISP(hub, "./Bin/A.BIN", 0);
#endif
}

struct Listed {
    unsigned hubCount = 0;
    unsigned firstBcd = 0;
    std::string said; // on standard error
};

Listed List()
{
    auto record = std::make_unique<EnumInfo>();
    testing::internal::CaptureStderr();
    RX_GetEnumInfo(record.get());
    Listed listed;
    listed.said = testing::internal::GetCapturedStderr();
    listed.hubCount = record->hubCount;
    listed.firstBcd = record->hubs[0].descriptor.bcdDevice;
    return listed;
}

// text, then a comment that brings the file to exactly size bytes.
std::string PaddedTo(const std::string& text, std::size_t size)
{
    return text + ";" + std::string(size - text.size() - 1, 'x');
}

} // namespace

TEST(SimFiles, BenchAndStateFilesAreReadUpToSixteenMebibytes)
{
    ScratchDir dir;
    const std::size_t limit = std::size_t{16} << 20;
    tolvane::bench::Bench bench;
    tolvane::bench::HubFirmware firmware;
    std::string error;

    dir.Write("at.ini", PaddedTo(kHubs, limit));
    EXPECT_EQ(LoadBench("at.ini", bench, error), BenchStatus::Loaded) << error;
    EXPECT_EQ(bench.hubs.size(), 2u);
    dir.Write("over.ini", PaddedTo(kHubs, limit + 1));
    EXPECT_EQ(LoadBench("over.ini", bench, error), BenchStatus::Malformed);
    EXPECT_EQ(error, "over.ini: " + kTooLarge);
    EXPECT_TRUE(bench.hubs.empty());

    dir.Write("at.state", PaddedTo("Hub1=0x9022\n", limit));
    EXPECT_EQ(LoadState("at.state", firmware, error), BenchStatus::Loaded) << error;
    EXPECT_EQ(firmware.size(), 1u);
    dir.Write("over.state", PaddedTo("Hub1=0x9022\n", limit + 1));
    EXPECT_EQ(LoadState("over.state", firmware, error), BenchStatus::Malformed);
    EXPECT_EQ(error, "over.state: " + kTooLarge);

    // Through the library: one line, and the bench's own values hold.
    dir.Write("HubBench.ini", kHubs);
    dir.Write("HubBench.ini.state", PaddedTo("Hub1=0x9022\n", limit + 1));
    const Listed listed = List();
    EXPECT_EQ(listed.said, "ZQ460API (simulated): HubBench.ini.state: " + kTooLarge + "\n");
    EXPECT_EQ(listed.hubCount, 2u);
    EXPECT_EQ(listed.firstBcd, 0x1111u);
    dir.Remove("HubBench.ini.state");
    dir.Write("HubBench.ini", PaddedTo(kHubs, limit + 1));
    EXPECT_EQ(List().said, "ZQ460API (simulated): HubBench.ini: " + kTooLarge + "\n");
}

TEST(SimFiles, ProgrammingReadsOnlyTheVersionWordOfAHugeImage)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", kHubs);
    dir.Write("Bin/A.BIN", ImageA(0x9023));
    std::error_code failure;
    fs::resize_file("Bin/A.BIN", std::uint64_t{3} << 30, failure); // sparse where the system allows
    if (failure)
        GTEST_SKIP() << "cannot make a 3 GiB file here: " << failure.message();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProgramA(0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(List().firstBcd, VersionOfImageA(0x9023));
}

#ifndef _WIN32

TEST(SimFiles, PipesAndDevicesAreRefusedWithoutWaiting)
{
    ScratchDir dir;
    const Deadline deadline(20); // opening a pipe for reading would wait for a writer
    const struct {
        const char* what;
        void (*make)(const char* name);
    } kinds[] = {
        {"a pipe", [](const char* name) { ASSERT_EQ(mkfifo(name, 0600), 0); }},
        {"a link to /dev/zero", [](const char* name) { fs::create_symlink("/dev/zero", name); }},
        {"a link to a pipe",
         [](const char* name) {
             ASSERT_EQ(mkfifo("pipe", 0600), 0);
             fs::create_symlink("pipe", name);
         }},
    };
    dir.Write("Bin/keep.txt", "");
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.what);
        fs::remove("pipe");

        fs::remove("HubBench.ini");
        kind.make("HubBench.ini");
        Listed listed = List();
        EXPECT_EQ(listed.said, "ZQ460API (simulated): HubBench.ini: cannot read the file\n");
        EXPECT_EQ(listed.hubCount, 0u);
        fs::remove("HubBench.ini");
        fs::remove("pipe");

        dir.Write("HubBench.ini", kHubs);
        kind.make("HubBench.ini.state");
        listed = List();
        EXPECT_EQ(listed.said, "ZQ460API (simulated): HubBench.ini.state: cannot read the file\n");
        EXPECT_EQ(listed.firstBcd, 0x1111u);
        testing::internal::CaptureStderr();
        dir.Write("Bin/A.BIN", ImageA(0x9022));
        EXPECT_EQ(ProgramA(0), 3) << "a state that does not read is never written over";
        testing::internal::GetCapturedStderr();
        fs::remove("HubBench.ini.state");
        fs::remove("pipe");

        fs::remove("Bin/A.BIN");
        kind.make("Bin/A.BIN");
        EXPECT_EQ(ProgramA(0), 2);
        fs::remove("Bin/A.BIN");
    }
    EXPECT_FALSE(fs::exists("HubBench.ini.state"));
}

TEST(SimFiles, LinksAtTheStateFilesNamesAreNeverWrittenThrough)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", kHubs);
    dir.Write("Bin/A.BIN", ImageA(0x9022));
    dir.Write("victim", "keep");

    // A link where the new state file is made: its target stays as it was.
    fs::create_symlink("victim", "HubBench.ini.state.new");
    ASSERT_EQ(ProgramA(0), 0);
    EXPECT_EQ(dir.Read("victim"), "keep");
    EXPECT_FALSE(fs::is_symlink("HubBench.ini.state.new") || fs::exists("HubBench.ini.state.new"));
    EXPECT_EQ(List().firstBcd, VersionOfImageA(0x9022));

    // The state file itself a link: it is read through, and replaced.
    dir.Write("victim", "Hub2=0x2345\n");
    fs::remove("HubBench.ini.state");
    fs::create_symlink("victim", "HubBench.ini.state");
    ASSERT_EQ(ProgramA(0), 0);
    EXPECT_EQ(dir.Read("victim"), "Hub2=0x2345\n");
    EXPECT_FALSE(fs::is_symlink("HubBench.ini.state"));
    const std::string state = dir.Read("HubBench.ini.state");
    EXPECT_NE(state.find("Hub2=0x2345\n"), std::string::npos) << state;
    EXPECT_NE(state.find("Hub1=0x"), std::string::npos) << state;

    // The lock file a link: nothing is created where it points.
    fs::remove("HubBench.ini.state.lock");
    fs::create_symlink("elsewhere", "HubBench.ini.state.lock");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ProgramA(1), 3);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("HubBench.ini.state.lock: cannot open the lock file"),
              std::string::npos);
    EXPECT_FALSE(fs::exists("elsewhere"));
    EXPECT_EQ(dir.Read("HubBench.ini.state"), state);
}

#endif
