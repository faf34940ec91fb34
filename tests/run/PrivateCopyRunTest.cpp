// A protected upgrade on the machines where the private copy cannot take
// its first way: on Linux without sealed memfds, with a temporary folder
// that every user may write, an image renamed there never reaches the hub;
// on Windows, a temporary folder without an 8-bit name refuses no hub, and
// the copies a killed run left go when the next protected run starts.
#include "Bench.h"
#include "FileDigest.h"
#include "Images.h"
#include "PrivateCopy.h"
#include "ScratchDir.h"
#include "UpgradeSession.h"
#include "ZQ460API.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include "PrivateCopyHooks.h"
#include "RunProcess.h"
#endif

namespace fs = std::filesystem;

namespace {
const char kRunIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

// One hub, an approved image of firmware 0x0200 and, beside it, an image of
// 0x0666 that is not approved.
class ProtectedRun {
public:
    explicit ProtectedRun(ScratchDir& dir)
    {
        dir.Write("SpiFlash.ini", kRunIni);
        WriteBench(dir, PlainHub(1));
        WriteImage(dir, "GL.BIN", PlainImage(0x0200));
        tolvane::platform::FileDigest digest;
        std::string error;
        EXPECT_TRUE(tolvane::platform::Sha256File("Bin/GL.BIN", digest, error)) << error;
        approvedSha = digest.sha256;
        dir.Write("approved.txt", approvedSha + "  Bin/GL.BIN\n");
        dir.Write("unapproved.img", ImageBytes(PlainImage(0x0666)));
    }

    // Runs the upgrade with the approved list and a history; the one hub's
    // record.
    HubRecord Run(IUpgraderWindow* window)
    {
        SessionOptions options;
        options.approval.list = "approved.txt";
        options.history = "h.jsonl";
        // The report's records name the bytes the library was given.
        options.reportsBytes = true;
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        UpgradeSession session(engine, options);
        EXPECT_TRUE(session.Prepare());
        session.Run(window);
        session.Finish(session.Status());
        EXPECT_EQ(session.Hubs().size(), 1u);
        return session.Hubs().empty() ? HubRecord{} : session.Hubs()[0];
    }

    // The hub's firmware as a fresh scan shows it.
    static unsigned HubVersion()
    {
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        EXPECT_TRUE(engine.Initialzation(nullptr));
        return engine.m_EnumInfo.hubs[0].descriptor.bcdDevice;
    }

    std::string approvedSha;
};

void ExpectApprovedProgrammed(const HubRecord& record, const std::string& approvedSha)
{
    EXPECT_EQ(OutcomeName(record.Outcome()), std::string("programmed"));
    ASSERT_TRUE(record.image && record.image->digest);
    EXPECT_EQ(record.image->digest->sha256, approvedSha);
    EXPECT_EQ(ProtectedRun::HubVersion(), 0x0200u);
}
} // namespace

// The session that keeps an image's copy for the whole run hands the one
// copy to the library hub after hub: each time the library opens, reads and
// closes it, and the copy stays.
TEST(PrivateCopyRun, OneCopyProgramsHubAfterHub)
{
    ScratchDir dir;
    dir.Write("SpiFlash.ini", kRunIni);
    WriteBench(dir, PlainHub(1) + PlainHub(2) + PlainHub(3));
    tolvane::platform::PrivateCopy copy;
    std::string error;
    ASSERT_TRUE(copy.Make("GL.BIN", ImageBytes(PlainImage(0x0200)), error)) << error;
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    ASSERT_TRUE(engine.Initialzation(nullptr));
    for (std::uint8_t hub = 0; hub < 3; ++hub)
        EXPECT_EQ(RX_UpdateISP(hub, copy.Path().c_str(), 0), 0) << "hub " << unsigned(hub);
    ASSERT_TRUE(engine.Initialzation(nullptr));
    for (unsigned hub = 0; hub < 3; ++hub) {
        // Copied out of the packed record: a reference to it would be misaligned.
        const unsigned version = engine.m_EnumInfo.hubs[hub].descriptor.bcdDevice;
        EXPECT_EQ(version, 0x0200u) << "hub " << hub;
    }
}

#ifndef _WIN32
namespace {
// Another user: as the library is about to read the copy, the unapproved
// image is renamed over every file below the shared temporary folder.
class SharedFolderAttacker : public IUpgraderWindow {
public:
    explicit SharedFolderAttacker(std::string shared) : m_shared(std::move(shared)) {}
    void SetLogText(const std::wstring& text) override { Look(text); }
    void AppendLogText(const std::wstring& text, std::size_t) override { Look(text); }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}

    bool looked = false;
    unsigned renamed = 0;

private:
    void Look(const std::wstring& log)
    {
        if (looked || log.find(L"is being upgraded") == std::wstring::npos)
            return;
        looked = true;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_shared)) {
            if (!entry.is_regular_file())
                continue;
            fs::copy_file("unapproved.img", "swap.tmp", fs::copy_options::overwrite_existing);
            fs::rename("swap.tmp", entry.path());
            ++renamed;
        }
    }

    std::string m_shared;
};

class SharedTemporaryFolderRun : public testing::TestWithParam<bool> {};
} // namespace

TEST_P(SharedTemporaryFolderRun, AnImageRenamedThereNeverReachesTheHub)
{
    ScratchDir dir;
    ProtectedRun run(dir);
    // Every user may write it, and without the sticky bit rename anything.
    fs::create_directory("shared");
    fs::permissions("shared", fs::perms::all);
    const std::string shared = fs::absolute("shared").string();
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string previousTmpdir = tmpdir ? tmpdir : "";
    SetEnv("TMPDIR", shared);
    tolvane::platform::PrivateCopyHooks hooks;
    hooks.withoutSealing = true;
    hooks.withoutUnnamedFiles = GetParam();
    const tolvane::platform::PrivateCopyHooks previous = tolvane::platform::SetPrivateCopyHooks(hooks);

    SharedFolderAttacker attacker(shared);
    const HubRecord record = run.Run(&attacker);
    tolvane::platform::SetPrivateCopyHooks(previous);
    SetEnv("TMPDIR", previousTmpdir);

    EXPECT_TRUE(attacker.looked);
    EXPECT_EQ(attacker.renamed, 0u) << "the copy had a name in the shared folder";
    ExpectApprovedProgrammed(record, run.approvedSha);
}

INSTANTIATE_TEST_SUITE_P(Take, SharedTemporaryFolderRun, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& param) {
                             return std::string(param.param ? "InAPrivateFolder" : "Unnamed");
                         });
#else
TEST(PrivateCopyRun, ATemporaryFolderWithoutAn8BitNameRefusesNoHub)
{
    ScratchDir dir;
    ProtectedRun run(dir);
    // Cyrillic has no form in Wine's ANSI code page 1252.
    const fs::path temporary = dir.Path() / L"\u0422\u0435\u043c\u043f";
    fs::create_directory(temporary);
    wchar_t previous[2][MAX_PATH + 1] = {};
    const wchar_t* names[] = {L"TEMP", L"TMP"};
    for (int i = 0; i < 2; ++i) {
        ::GetEnvironmentVariableW(names[i], previous[i], MAX_PATH + 1);
        ::SetEnvironmentVariableW(names[i], temporary.wstring().c_str());
    }
    const HubRecord record = run.Run(nullptr);
    for (int i = 0; i < 2; ++i)
        ::SetEnvironmentVariableW(names[i], previous[i][0] ? previous[i] : nullptr);
    ExpectApprovedProgrammed(record, run.approvedSha);
}

TEST(PrivateCopyRun, ACopyAKilledRunLeftGoesWhenTheNextProtectedRunStarts)
{
    ScratchDir dir;
    ProtectedRun run(dir);
    const std::string left = "TolvaneCopies/5f3a0c1e9b7d24680acefdb975312468/GL.BIN";
    dir.Write(left, "left by a killed run");
    {
        // A run that neither checks nor records the bytes makes no copy and
        // leaves the folder alone.
        CHubUpgrader engine;
        UpgradeSession session(engine, SessionOptions{});
        ASSERT_TRUE(session.Prepare());
        EXPECT_TRUE(fs::exists(left));
    }
    const HubRecord record = run.Run(nullptr);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_FALSE(fs::exists("TolvaneCopies"));
    ExpectApprovedProgrammed(record, run.approvedSha);
}
#endif
