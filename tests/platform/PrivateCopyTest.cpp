// The private copy on every system: the library may read it as often as it
// likes until it is removed, and a moved copy is removed once, by its new
// holder.
#include "PrivateCopy.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

using tolvane::platform::PrivateCopy;

namespace {
// As the library reads it: open, read to the end, close. False when the
// path does not open.
bool ReadAsLibrary(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

std::string Bytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131) >> 3);
    return bytes;
}

struct Content {
    const char* name;
    std::string bytes;
};

class CopyContent : public testing::TestWithParam<Content> {};
} // namespace

TEST_P(CopyContent, TheLibraryReadsTheSameBytesEveryTimeUntilRemoved)
{
    ScratchDir dir;
    PrivateCopy copy;
    std::string error;
    ASSERT_TRUE(copy.Make("GL.BIN", GetParam().bytes, error)) << error;
    const std::string path = copy.Path();
    for (int read = 0; read < 3; ++read) {
        std::string bytes;
        ASSERT_TRUE(ReadAsLibrary(path, bytes)) << path << ", read " << read;
        EXPECT_TRUE(bytes == GetParam().bytes) << "read " << read << " gave " << bytes.size() << " bytes";
    }
    copy.Remove();
    EXPECT_TRUE(copy.Path().empty());
    std::string bytes;
    EXPECT_FALSE(ReadAsLibrary(path, bytes)) << path;
    copy.Remove(); // a second time: nothing left to do
}

INSTANTIATE_TEST_SUITE_P(Copy, CopyContent,
                         testing::Values(Content{"Empty", ""}, Content{"ZeroBytes", std::string(5, '\0') + "end"},
                                         // Past one write of the Windows copy.
                                         Content{"LargerThanOneWrite", Bytes((1u << 20) + 4097)}),
                         [](const testing::TestParamInfo<Content>& param) { return std::string(param.param.name); });

TEST(PrivateCopy, AMoveTakesTheCopyAndLeavesTheSourceEmpty)
{
    ScratchDir dir;
    std::string error;
    PrivateCopy moved;
    std::string path;
    {
        PrivateCopy source;
        ASSERT_TRUE(source.Make("A.BIN", "first", error)) << error;
        path = source.Path();
        moved = std::move(source);
        EXPECT_TRUE(source.Path().empty());
        source.Remove(); // the source has nothing to remove
    }                    // nor has its destructor
    EXPECT_EQ(moved.Path(), path);
    std::string bytes;
    ASSERT_TRUE(ReadAsLibrary(path, bytes));
    EXPECT_EQ(bytes, "first");

    PrivateCopy constructed(std::move(moved));
    EXPECT_TRUE(moved.Path().empty());
    ASSERT_TRUE(ReadAsLibrary(constructed.Path(), bytes));
    EXPECT_EQ(bytes, "first");

    // Assigned over, a copy goes; the one assigned stays.
    PrivateCopy other;
    ASSERT_TRUE(other.Make("B.BIN", "second", error)) << error;
    const std::string otherPath = other.Path();
    constructed = std::move(other);
    EXPECT_EQ(constructed.Path(), otherPath);
    ASSERT_TRUE(ReadAsLibrary(otherPath, bytes));
    EXPECT_EQ(bytes, "second");
    EXPECT_FALSE(ReadAsLibrary(path, bytes)) << path;

    PrivateCopy& self = constructed;
    constructed = std::move(self);
    ASSERT_TRUE(ReadAsLibrary(otherPath, bytes));
    EXPECT_EQ(bytes, "second");
}

TEST(PrivateCopy, TwoCopiesOfOneImageHaveTwoPaths)
{
    ScratchDir dir;
    std::string error;
    PrivateCopy first;
    PrivateCopy second;
    ASSERT_TRUE(first.Make("GL.BIN", "one", error)) << error;
    ASSERT_TRUE(second.Make("GL.BIN", "two", error)) << error;
    EXPECT_NE(first.Path(), second.Path());
    std::string bytes;
    ASSERT_TRUE(ReadAsLibrary(first.Path(), bytes));
    EXPECT_EQ(bytes, "one");
    ASSERT_TRUE(ReadAsLibrary(second.Path(), bytes));
    EXPECT_EQ(bytes, "two");
}

TEST(PrivateCopy, WhatIsNoFileNameIsRefused)
{
    ScratchDir dir;
    for (const std::string name : {"", ".", "..", "Bin/GL.BIN"}) {
        PrivateCopy copy;
        std::string error;
        EXPECT_FALSE(copy.Make(name, "bytes", error)) << name;
        EXPECT_EQ(error, "not a file name: " + name);
        EXPECT_TRUE(copy.Path().empty());
    }
}
