// The private copy an image is handed to the library as, and the wait that
// an interruption cuts short.
#include "PrivateCopy.h"
#include "StopFlag.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace tolvane::platform;

namespace {
std::string ContentsOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

TEST(PrivateCopy, HoldsTheBytesUnderTheImagesNameUntilRemoved)
{
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {{"GL.BIN", "image"}, {"empty.bin", ""}, {"big.BIN", std::string(3 << 20, '\xA5')}};
    for (const auto& c : cases) {
        PrivateCopy copy;
        std::string error;
        ASSERT_TRUE(copy.Make(c.name, c.bytes, error)) << c.name << ": " << error;
        EXPECT_EQ(ContentsOf(copy.Path()), c.bytes) << c.name;
        const std::string path = copy.Path();
        copy.Remove();
        EXPECT_TRUE(copy.Path().empty());
        EXPECT_FALSE(std::filesystem::exists(path)) << c.name;
    }
}

TEST(PrivateCopy, ANameWithAFolderIsRefused)
{
    for (const char* name : {"", "..", ".", "Bin/GL.BIN", "../GL.BIN"}) {
        PrivateCopy copy;
        std::string error;
        EXPECT_FALSE(copy.Make(name, "x", error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_TRUE(copy.Path().empty()) << name;
    }
}

TEST(PrivateCopy, GoesWithItsOwner)
{
    std::string path;
    {
        PrivateCopy copy;
        std::string error;
        ASSERT_TRUE(copy.Make("GL.BIN", "x", error)) << error;
        path = copy.Path();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(StopFlag, AStopEndsAWaitAtOnce)
{
    const struct {
        const char* name;
        int stopAfterMs; // -1: never
        bool completes;
        long atMostMs;
    } cases[] = {{"no stop", -1, true, 2000}, {"stop during", 50, false, 1000}, {"stopped before", 0, false, 100}};
    for (const auto& c : cases) {
        ClearStop();
        if (c.stopAfterMs == 0)
            RequestStop();
        std::thread stopper([&c] {
            if (c.stopAfterMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(c.stopAfterMs));
                RequestStop();
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const bool completed = WaitMs(c.completes ? 150 : 5000);
        const auto taken =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        stopper.join();
        EXPECT_EQ(completed, c.completes) << c.name;
        EXPECT_LE(taken, c.atMostMs) << c.name;
        if (c.completes) {
            EXPECT_GE(taken, 150) << c.name;
        }
    }
    ClearStop();
}
