// The one file handle: what each way of opening takes and refuses, and that
// writes append whole, reads are positioned, and a cut takes data back.
#include "FileHandle.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace tolvane::platform;

namespace {
FileOpenOptions Options(bool write, bool create, bool exclusive, bool noFollow)
{
    FileOpenOptions options;
    options.write = write;
    options.create = create;
    options.exclusive = exclusive;
    options.noFollow = noFollow;
    return options;
}

std::string ReadBack(FileHandle& file, std::uint64_t offset, std::size_t length)
{
    std::string text(length, '\0');
    bool failed = false;
    text.resize(file.ReadAt(offset, &text[0], length, failed));
    EXPECT_FALSE(failed);
    return text;
}
} // namespace

TEST(FileHandle, OpensWhatItsOptionsAllowAndNothingElse)
{
    const ScratchDir dir;
    dir.Write("file.txt", "old");
    fs::create_directory(dir.Path() / "folder");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir.Path() / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir.Path() / "file.txt", dir.Path() / "link");
    fs::create_symlink(dir.Path() / "planted", dir.Path() / "dangling");
#endif
    const struct {
        const char* name;
        const char* path;
        FileOpenOptions options;
        OpenStatus status;
        bool existsAfter; // something is at the path afterwards
    } cases[] = {
        {"read a file", "file.txt", Options(false, false, false, false), OpenStatus::Opened, true},
        {"read nothing", "absent.txt", Options(false, false, false, false), OpenStatus::Missing, false},
        {"folder on the way", "absent/x.txt", Options(true, true, false, false), OpenStatus::Missing, false},
        {"read a folder", "folder", Options(false, false, false, false), OpenStatus::Refused, true},
        {"create a new file", "new.txt", Options(true, true, false, false), OpenStatus::Opened, true},
        {"create over a file", "file.txt", Options(true, true, false, false), OpenStatus::Opened, true},
        {"exclusive over a file", "file.txt", Options(true, false, true, false), OpenStatus::Refused, true},
        {"exclusive where nothing is", "fresh.txt", Options(true, false, true, false), OpenStatus::Opened, true},
#ifndef _WIN32
        // Without waiting for a writer that never comes.
        {"read a FIFO", "fifo", Options(false, false, false, false), OpenStatus::Refused, true},
        {"append to a FIFO", "fifo", Options(true, true, false, false), OpenStatus::Refused, true},
        {"follow a link", "link", Options(false, false, false, false), OpenStatus::Opened, true},
        {"no link followed", "link", Options(true, true, false, true), OpenStatus::Refused, true},
        // The link's target must not be created through it.
        {"exclusive over a dangling link", "dangling", Options(true, false, true, false), OpenStatus::Refused, false},
#endif
    };
    for (const auto& c : cases) {
        FileHandle file;
        std::string error;
        EXPECT_EQ(file.Open((dir.Path() / c.path).string(), c.options, error), c.status) << c.name;
        EXPECT_EQ(file.IsOpen(), c.status == OpenStatus::Opened) << c.name;
        EXPECT_EQ(error.empty(), c.status == OpenStatus::Opened) << c.name << ": " << error;
        EXPECT_EQ(fs::exists(dir.Path() / c.path), c.existsAfter) << c.name;
    }
#ifndef _WIN32
    EXPECT_FALSE(fs::exists(dir.Path() / "planted"));
#endif
    EXPECT_EQ(dir.Read("file.txt"), "old");
}

TEST(FileHandle, AppendsWholeReadsAtAnyPlaceAndCutsBack)
{
    const ScratchDir dir;
    dir.Write("log.txt", "first\n");
    FileHandle file;
    std::string error;
    ASSERT_EQ(file.Open((dir.Path() / "log.txt").string(), Options(true, true, false, false), error),
              OpenStatus::Opened)
        << error;
    const std::string line = "second\n";
    ASSERT_TRUE(file.WriteAll(line.data(), line.size(), error)) << error;
    ASSERT_TRUE(file.Sync(error)) << error;
    std::uint64_t size = 0;
    ASSERT_TRUE(file.Size(size, error)) << error;
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(ReadBack(file, 6, 100), "second\n");
    EXPECT_EQ(ReadBack(file, 13, 10), "");
    ASSERT_TRUE(file.Lock(error)) << error;
    ASSERT_TRUE(file.Truncate(6, error)) << error;
    ASSERT_TRUE(file.WriteAll("third\n", 6, error)) << error;
    file.Unlock();
    // Moved, the file stays open in its new owner alone.
    FileHandle moved(std::move(file));
    EXPECT_FALSE(file.IsOpen());
    ASSERT_TRUE(moved.Close(error)) << error;
    EXPECT_EQ(dir.Read("log.txt"), "first\nthird\n");
}

// A read that fails says so, with the reason, whatever the system's error
// variable holds; the end of the file is no failure.
TEST(FileHandle, AFailedReadIsToldApartFromTheEnd)
{
    const ScratchDir dir;
    dir.Write("data.txt", "0123456789");
    const std::string path = (dir.Path() / "data.txt").string();
    char buffer[32];
    FileHandle file;
    std::string error;
    ASSERT_EQ(file.Open(path, Options(false, false, false, false), error), OpenStatus::Opened) << error;
    const ReadResult whole = file.Read(0, buffer, sizeof buffer);
    EXPECT_EQ(whole.count, 10u);
    EXPECT_FALSE(whole.failed) << whole.error;
    const ReadResult beyond = file.Read(100, buffer, sizeof buffer);
    EXPECT_EQ(beyond.count, 0u);
    EXPECT_FALSE(beyond.failed) << beyond.error;
    ASSERT_TRUE(file.Close(error)) << error;
    const ReadResult closed = file.Read(0, buffer, sizeof buffer);
    EXPECT_EQ(closed.count, 0u);
    EXPECT_TRUE(closed.failed);
    EXPECT_FALSE(closed.error.empty());
    bool failed = false;
    EXPECT_EQ(file.ReadAt(0, buffer, sizeof buffer, failed), 0u);
    EXPECT_TRUE(failed);
}
