// The bytes the checks pass are the bytes the library gets: an image renamed
// over the approved one after the check never reaches the hub, and every
// record names the bytes the library was given.
#include "ImageTake.h"
#include "Bench.h"
#include "FileDigest.h"
#include "Images.h"
#include "Platform.h"
#include "ScratchDir.h"
#include "UpgradeSession.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
const char kTakeIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

std::string Sha256Of(const std::string& path)
{
    tolvane::platform::FileDigest digest;
    std::string error;
    EXPECT_TRUE(tolvane::platform::Sha256File(path, digest, error)) << error;
    return digest.sha256;
}

// The attacker: as the engine says the library is about to program the
// hub (every watcher has had its say), another image is renamed over the
// chosen one, before the library opens anything.
class SwappingWindow : public IUpgraderWindow {
public:
    void SetLogText(const std::wstring& text) override { Look(text); }
    void AppendLogText(const std::wstring& text, std::size_t) override { Look(text); }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}

    bool swapped = false;

private:
    void Look(const std::wstring& log)
    {
        if (swapped || log.find(L"is being upgraded") == std::wstring::npos)
            return;
        fs::rename("Bin/OTHER.TMP", "Bin/GL.BIN");
        swapped = true;
    }
};

std::vector<nlohmann::json> HistoryLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

struct Swap {
    const char* name;
    bool approved;
    bool history;
    bool verify;
    bool report;             // a JSON report names each hub's bytes
    bool approvedReachesHub; // else the swapped-in image does
};

class SwapTest : public testing::TestWithParam<Swap> {
protected:
    SwapTest()
    {
        dir.Write("SpiFlash.ini", kTakeIni);
        WriteBench(dir, PlainHub(1));
        WriteImage(dir, "GL.BIN", PlainImage(0x0200));
        approvedSha = Sha256Of("Bin/GL.BIN");
        // Not a .BIN: the selection never looks at it.
        dir.Write("Bin/OTHER.TMP", ImageBytes(PlainImage(0x0666)));
        dir.Write("approved.txt", approvedSha + "  Bin/GL.BIN\n");
    }

    // The hub's firmware as a fresh scan shows it.
    unsigned HubVersion()
    {
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        EXPECT_TRUE(engine.Initialzation(nullptr));
        return engine.m_EnumInfo.hubs[0].descriptor.bcdDevice;
    }

    ScratchDir dir;
    std::string approvedSha;
};
} // namespace

TEST_P(SwapTest, AnImageRenamedOverTheCheckedOneNeverReachesTheHub)
{
    const Swap& swap = GetParam();
    SessionOptions options;
    if (swap.approved)
        options.approval.list = "approved.txt";
    if (swap.history)
        options.history = "h.jsonl";
    options.verify = swap.verify;
    options.reportsBytes = swap.report;
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    UpgradeSession session(engine, options);
    ASSERT_TRUE(session.Prepare());
    SwappingWindow window;
    session.Run(&window);
    session.Finish(session.Status());
    ASSERT_TRUE(window.swapped);

    ASSERT_EQ(session.Hubs().size(), 1u);
    const HubRecord& record = session.Hubs()[0];
    EXPECT_EQ(OutcomeName(record.Outcome()), std::string("programmed"));
    if (!swap.approvedReachesHub) {
        // Without an option that names the bytes, the library reads the
        // folder's file as it always did.
        EXPECT_EQ(HubVersion(), 0x0666u);
        return;
    }
    EXPECT_EQ(HubVersion(), 0x0200u);
    ASSERT_TRUE(record.image);
    // Hashed only for a record that names the bytes.
    ASSERT_EQ(record.image->digest.has_value(), swap.report);
    if (swap.report) {
        EXPECT_EQ(record.image->digest->sha256, approvedSha);
    }
    if (swap.verify) {
        EXPECT_EQ(record.verified, std::optional<bool>(true));
    }
    if (swap.history) {
        unsigned named = 0;
        for (const nlohmann::json& line : HistoryLines("h.jsonl")) {
            if (line["kind"] != "write-start" && line["kind"] != "result")
                continue;
            EXPECT_EQ(line["image"]["sha256"], approvedSha) << line.dump();
            ++named;
        }
        EXPECT_EQ(named, 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(Take, SwapTest,
                         testing::Values(Swap{"ApprovedList", true, false, false, true, true},
                                         Swap{"ApprovedListAndHistory", true, true, false, true, true},
                                         Swap{"HistoryAlone", false, true, false, false, true},
                                         Swap{"VerifyAlone", false, false, true, false, true},
                                         Swap{"ReportAlone", false, false, false, true, true},
                                         Swap{"NoOption", false, false, false, false, false}),
                         [](const testing::TestParamInfo<Swap>& param) { return std::string(param.param.name); });

// An image that cannot be taken whole is not written: the log and the
// history's result say why.
TEST(ImageTake, AnImageThatCannotBeReadIsNotWritten)
{
    ScratchDir dir;
    dir.Write("SpiFlash.ini", kTakeIni);
    WriteBench(dir, PlainHub(1));
    WriteImage(dir, "GL.BIN", PlainImage(0x0200));
    // Past the most the take reads: the selection reads only the header.
    fs::resize_file("Bin/GL.BIN", ImageTake::kMaxImageBytes + 1);
    SessionOptions options;
    options.history = "h.jsonl";
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    UpgradeSession session(engine, options);
    ASSERT_TRUE(session.Prepare());
    session.Run(nullptr);
    session.Finish(session.Status());
    EXPECT_EQ(session.Status(), 1);
    ASSERT_EQ(session.Hubs().size(), 1u);
    EXPECT_EQ(OutcomeName(session.Hubs()[0].Outcome()), std::string("refused"));
    const std::string log = tolvane::platform::WideToUtf8(engine.m_strLog);
    EXPECT_NE(log.find("!!!Error GL.BIN cannot be copied for the library (larger than"), std::string::npos) << log;
    EXPECT_EQ(log.find("is being upgraded"), std::string::npos) << log;
    bool resultSaysSo = false;
    for (const nlohmann::json& line : HistoryLines("h.jsonl"))
        if (line["kind"] == "result")
            resultSaysSo = line["outcome"] == "refused" &&
                           line["reason"].get<std::string>().rfind("no private copy of the image: ", 0) == 0;
    EXPECT_TRUE(resultSaysSo);
}

// The copy holds the bytes read, cannot be changed through its path, serves
// every hub of the run, and is gone when the run ends.
TEST(ImageTake, TheCopyIsTheReadAndGoesWithTheRun)
{
    ScratchDir dir;
    dir.Write("Bin/A.BIN", "the image's bytes");
    ImageTake take;
    ASSERT_EQ(take.OnImageTaking("Bin/A.BIN").kind, ImageTaking::Kind::Taken);
    const WriteDecision decision = take.OnWriteStarting("Bin/A.BIN");
    ASSERT_EQ(decision.kind, WriteDecision::Kind::Proceed) << decision.logLine;
    ASSERT_FALSE(decision.libraryPath.empty());
    dir.Write("Bin/A.BIN", "other bytes");
    std::stringstream held;
    {
        std::ifstream copy(decision.libraryPath, std::ios::binary);
        held << copy.rdbuf();
    }
    EXPECT_EQ(held.str(), "the image's bytes");
#ifndef _WIN32
    // Sealed: not even this process, as root, can change it.
    const int fd = open(decision.libraryPath.c_str(), O_WRONLY | O_APPEND);
    EXPECT_TRUE(fd < 0 || write(fd, "more", 4) < 0) << "the copy can be changed";
    if (fd >= 0)
        close(fd);
#endif

    tolvane::platform::FileDigest digest;
    std::string error;
    ASSERT_TRUE(take.DigestOf("Bin/A.BIN", digest, error)) << error;
    EXPECT_EQ(digest.size, 17u);
    EXPECT_FALSE(take.DigestOf("Bin/B.BIN", digest, error));

    take.OnLibraryResult(0, 1);
    // The hub's records may still name the bytes, until the next hub.
    EXPECT_TRUE(take.DigestOf("Bin/A.BIN", digest, error));
    take.OnHubStart(1, HubInfo{});
    EXPECT_FALSE(take.DigestOf("Bin/A.BIN", digest, error));
    // The next hub of the same image is handed the same copy, not a new read.
    ASSERT_EQ(take.OnImageTaking("Bin/A.BIN").kind, ImageTaking::Kind::Taken);
    EXPECT_EQ(take.OnWriteStarting("Bin/A.BIN").libraryPath, decision.libraryPath);
    EXPECT_TRUE(take.DigestOf("Bin/A.BIN", digest, error));
    EXPECT_EQ(digest.size, 17u);

    take.Release();
    EXPECT_TRUE(take.CopyPath().empty());
    EXPECT_FALSE(fs::exists(decision.libraryPath));
}
