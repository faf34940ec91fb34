// Image digests against the published SHA-256 test vectors, across the
// reader's block boundary, and the files that must not be hashed.
#include "FileDigest.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace tolvane::platform;

namespace {
struct DigestCase {
    const char* name;
    std::string contents;
    const char* sha256;
};

class FileDigestTest : public testing::TestWithParam<DigestCase> {};
} // namespace

TEST_P(FileDigestTest, MatchesThePublishedVector)
{
    const ScratchDir dir;
    dir.Write("image.bin", GetParam().contents);
    FileDigest digest;
    std::string error;
    ASSERT_TRUE(Sha256File((dir.Path() / "image.bin").string(), digest, error)) << error;
    EXPECT_EQ(digest.sha256, GetParam().sha256);
    EXPECT_EQ(digest.size, GetParam().contents.size());
    FileDigest inMemory;
    ASSERT_TRUE(Sha256Bytes(GetParam().contents, inMemory, error)) << error;
    EXPECT_EQ(inMemory.sha256, GetParam().sha256);
    EXPECT_EQ(inMemory.size, GetParam().contents.size());
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, FileDigestTest,
    testing::Values(DigestCase{"Empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
                    DigestCase{"Abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                    // Sixteen blocks of the reader and a part of one more.
                    DigestCase{"MillionA", std::string(1000000, 'a'),
                               "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}),
    [](const testing::TestParamInfo<DigestCase>& param) { return std::string(param.param.name); });

TEST(FileDigestRefusal, NoDigestOfAMissingFileOrAFolder)
{
    const ScratchDir dir;
    std::filesystem::create_directory(dir.Path() / "folder.bin");
    for (const char* name : {"missing.bin", "folder.bin"}) {
        FileDigest digest;
        std::string error;
        EXPECT_FALSE(Sha256File((dir.Path() / name).string(), digest, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_TRUE(digest.sha256.empty()) << name;
    }
}
