// The list a run works under is named in the records by the SHA-256 of the
// very bytes that were parsed.
#include "Approval.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {
const std::string kHash = "2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a";
} // namespace

TEST(Approval, NamesTheParsedBytesOrSaysWhyNot)
{
    const ScratchDir dir;
    dir.Write("good.txt", kHash + "  A.BIN\n");
    dir.Write("bad.txt", "not a list\n");
    std::filesystem::create_directory(dir.Path() / "folder.txt");
    const struct {
        const char* file;
        bool loads;
        const char* sha256OrError; // the list's digest, or a part of the error
    } cases[] = {
        // sha256sum of the same 72 bytes
        {"good.txt", true, "66228387596c71b2436ff64a72abbc130400ab6b3ed8174794e924e055e40803"},
        {"bad.txt", false, "line 1: "},
        {"folder.txt", false, ""},
        {"missing.txt", false, ""},
    };
    for (const auto& c : cases) {
        ApprovalOptions options;
        options.list = (dir.Path() / c.file).string();
        Approval approval;
        std::string error;
        ASSERT_EQ(LoadApproval(options, approval, error), c.loads) << c.file << ": " << error;
        if (c.loads) {
            EXPECT_EQ(approval.sha256, c.sha256OrError) << c.file;
            EXPECT_EQ(approval.path, options.list);
            EXPECT_TRUE(approval.signer.empty());
            EXPECT_NE(approval.list.HashOf("A.BIN"), nullptr);
        } else {
            EXPECT_NE(error.find(c.sha256OrError), std::string::npos) << c.file << ": " << error;
            EXPECT_FALSE(error.empty()) << c.file;
        }
    }
}
