// The private copy on POSIX, each way it is made: no name in a folder that
// another user may write leads to it, a folder renamed in the place of the
// one made is refused, and every descriptor is closed exactly once, even
// when close fails.
#include "PrivateCopy.h"
#include "PrivateCopyHooks.h"

#include "RunProcess.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using tolvane::platform::PrivateCopy;
using tolvane::platform::PrivateCopyHooks;
using tolvane::platform::SetPrivateCopyHooks;

namespace {
unsigned g_closes = 0;
unsigned g_closesOfNothing = 0; // of a number no file held: a second close

// close(2) that frees the descriptor, as Linux does, and then says it failed.
int FailingClose(int fd)
{
    ++g_closes;
    if (::fcntl(fd, F_GETFD) < 0)
        ++g_closesOfNothing;
    ::close(fd);
    errno = EIO;
    return -1;
}

std::string g_swappedAway;

// Another user's move: the folder just made is renamed away and a folder
// that everyone may write takes its name.
void SwapFolder(const char* path)
{
    g_swappedAway = std::string(path) + ".away";
    fs::rename(path, g_swappedAway);
    fs::create_directory(path);
    fs::permissions(path, fs::perms::all);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd")) {
        static_cast<void>(entry);
        ++count;
    }
    return count;
}

struct Way {
    const char* name;
    bool withoutSealing;
    bool withoutUnnamedFiles;
};

// A temporary folder that every user may write, without the sticky bit: any
// of them may rename anything in it.
class SharedTemporaryFolder : public testing::Test {
protected:
    SharedTemporaryFolder()
    {
        fs::create_directory("shared");
        fs::permissions("shared", fs::perms::all);
        shared = fs::absolute("shared").string();
        const char* previous = std::getenv("TMPDIR");
        previousTmpdir = previous ? previous : "";
        SetEnv("TMPDIR", shared);
        dir.Write("evil", "unapproved");
    }
    ~SharedTemporaryFolder() override
    {
        SetPrivateCopyHooks(previousHooks);
        SetEnv("TMPDIR", previousTmpdir);
        g_closes = 0;
        g_closesOfNothing = 0;
    }

    void Use(const PrivateCopyHooks& hooks) { previousHooks = SetPrivateCopyHooks(hooks); }

    // Renames the unapproved file over every file below the shared folder;
    // the names found.
    std::vector<std::string> RenameOverEverything()
    {
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(shared)) {
            found.push_back(entry.path().string());
            if (entry.is_regular_file()) {
                dir.Write("evil", "unapproved");
                fs::rename("evil", entry.path());
            }
        }
        return found;
    }

    ScratchDir dir;
    std::string shared;
    std::string previousTmpdir;
    PrivateCopyHooks previousHooks;
};

class CopyWay : public SharedTemporaryFolder, public testing::WithParamInterface<Way> {
protected:
    PrivateCopyHooks Hooks() const
    {
        PrivateCopyHooks hooks;
        hooks.withoutSealing = GetParam().withoutSealing;
        hooks.withoutUnnamedFiles = GetParam().withoutUnnamedFiles;
        return hooks;
    }
};
} // namespace

TEST_P(CopyWay, NoNameInASharedFolderLeadsToTheCopy)
{
    Use(Hooks());
    PrivateCopy copy;
    std::string error;
    ASSERT_TRUE(copy.Make("GL.BIN", "approved", error)) << error;
    EXPECT_EQ(copy.Path().rfind("/proc/self/fd/", 0), 0u) << copy.Path();
    EXPECT_EQ(copy.Path().find(shared), std::string::npos) << copy.Path();
    const std::vector<std::string> found = RenameOverEverything();
    EXPECT_TRUE(found.empty()) << "left in the shared folder: " << found.front();
    for (int read = 0; read < 3; ++read)
        EXPECT_EQ(ReadAll(copy.Path()), "approved");
}

TEST_P(CopyWay, EveryDescriptorIsClosedOnceThoughCloseFails)
{
    PrivateCopyHooks hooks = Hooks();
    hooks.close = &FailingClose;
    Use(hooks);
    const std::size_t before = OpenDescriptors();
    {
        PrivateCopy copy;
        std::string error;
        ASSERT_TRUE(copy.Make("GL.BIN", "approved", error)) << error;
        PrivateCopy moved(std::move(copy));
        copy = std::move(moved);                                   // back again: still one copy to close
        ASSERT_TRUE(copy.Make("GL.BIN", "again", error)) << error; // closes the first
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_GE(g_closes, 2u);
    EXPECT_EQ(g_closesOfNothing, 0u);
}

INSTANTIATE_TEST_SUITE_P(Copy, CopyWay,
                         testing::Values(Way{"Sealed", false, false}, Way{"Unnamed", true, false},
                                         Way{"InAPrivateFolder", true, true}),
                         [](const testing::TestParamInfo<Way>& param) { return std::string(param.param.name); });

TEST_F(SharedTemporaryFolder, AFolderRenamedInThePlaceOfTheOneMadeIsRefused)
{
    PrivateCopyHooks hooks;
    hooks.withoutSealing = true;
    hooks.withoutUnnamedFiles = true;
    hooks.folderMade = &SwapFolder;
    hooks.close = &FailingClose;
    Use(hooks);
    const std::size_t before = OpenDescriptors();
    PrivateCopy copy;
    std::string error;
    EXPECT_FALSE(copy.Make("GL.BIN", "approved", error));
    EXPECT_TRUE(copy.Path().empty());
    EXPECT_NE(error.find("the temporary folder " + shared + " keeps no folder private"), std::string::npos) << error;
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_GE(g_closes, 1u);
    EXPECT_EQ(g_closesOfNothing, 0u);
    // The other user's folder stays as it was, empty; ours is found by them.
    const std::string theirs = g_swappedAway.substr(0, g_swappedAway.size() - 5);
    EXPECT_TRUE(fs::is_directory(theirs));
    EXPECT_TRUE(fs::is_empty(theirs));
}

TEST_F(SharedTemporaryFolder, AMissingTemporaryFolderIsNamed)
{
    PrivateCopyHooks hooks;
    hooks.withoutSealing = true;
    Use(hooks);
    SetEnv("TMPDIR", shared + "/missing\x1b");
    PrivateCopy copy;
    std::string error;
    EXPECT_FALSE(copy.Make("GL.BIN", "approved", error));
    EXPECT_TRUE(copy.Path().empty());
    // Escaped: the folder comes from the environment.
    EXPECT_EQ(error, "cannot make a private folder in " + shared + "/missing\\x1B: No such file or directory");
}
