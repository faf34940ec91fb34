// The bytes whose fit is judged are the bytes written: an image changed
// between its choice and its one read is never written, every record says
// why, and a plan judges the bytes as the upgrade does.
#include "Bench.h"
#include "Images.h"
#include "PlanSession.h"
#include "Platform.h"
#include "ScratchDir.h"
#include "UpgradeSession.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifdef __linux__
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
const char kChoiceIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

// Another model's image: it fits no hub of the bench.
ImageParams OtherModel()
{
    ImageParams params = PlainImage(0x0666);
    params.targetId = 0x0D14;
    return params;
}

unsigned HubVersionNow(unsigned entry = 0)
{
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    EXPECT_TRUE(engine.Initialzation(nullptr));
    return engine.m_EnumInfo.hubs[entry].descriptor.bcdDevice;
}

std::vector<nlohmann::json> ChoiceHistoryLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

enum class SwapIn { Nothing, OtherModel, NewerVersion };

struct ChoiceSwap {
    const char* name;
    SwapIn swapIn;
    bool approved, history, report, verify;
    const char* outcome;
    unsigned hubAfter; // the hub's version word after the run
};

class ChoiceSwapTest : public testing::TestWithParam<ChoiceSwap> {
protected:
    ChoiceSwapTest()
    {
        dir.Write("SpiFlash.ini", kChoiceIni);
        WriteBench(dir, PlainHub(1));
        WriteImage(dir, "GL.BIN", PlainImage(0x0200));
        const ImageParams in = GetParam().swapIn == SwapIn::OtherModel ? OtherModel() : PlainImage(0x0333);
        // Not a .BIN: the selection never looks at it.
        dir.Write("Bin/OTHER.TMP", ImageBytes(in));
        // The bytes the read will find are approved under the chosen name, so
        // that only the fit can keep the swap out.
        const bool swapped = GetParam().swapIn != SwapIn::Nothing;
        dir.Write("approved.txt", Sha256OfBytes(ImageBytes(swapped ? in : PlainImage(0x0200))) + "  Bin/GL.BIN\n");
    }

    static std::string Sha256OfBytes(const std::string& bytes)
    {
        tolvane::platform::FileDigest digest;
        std::string error;
        EXPECT_TRUE(tolvane::platform::Sha256Bytes(bytes, digest, error)) << error;
        return digest.sha256;
    }

    ScratchDir dir;
};
} // namespace

TEST_P(ChoiceSwapTest, TheFitIsJudgedOnTheBytesWritten)
{
    const ChoiceSwap& swap = GetParam();
    SessionOptions options;
    if (swap.approved)
        options.approval.list = "approved.txt";
    if (swap.history)
        options.history = "h.jsonl";
    options.reportsBytes = swap.report;
    options.verify = swap.verify;
    unsigned reads = 0;
    options.beforeImageRead = [&](const std::string& path) {
        EXPECT_EQ(path, tolvane::platform::kImageFolder + std::string("GL.BIN"));
        if (swap.swapIn != SwapIn::Nothing)
            fs::rename("Bin/OTHER.TMP", "Bin/GL.BIN");
        ++reads;
    };
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    UpgradeSession session(engine, options);
    ASSERT_TRUE(session.Prepare());
    session.Run(nullptr);
    session.Finish(session.Status());

    const bool protectedRun = swap.approved || swap.history || swap.report || swap.verify;
    EXPECT_EQ(reads, protectedRun ? 1u : 0u);
    ASSERT_EQ(session.Hubs().size(), 1u);
    const HubRecord& record = session.Hubs()[0];
    EXPECT_EQ(OutcomeName(record.Outcome()), std::string(swap.outcome));
    EXPECT_EQ(HubVersionNow(), swap.hubAfter);
    const std::string log = tolvane::platform::WideToUtf8(engine.m_strLog);
    const bool refused = std::string(swap.outcome) == "refused";
    EXPECT_EQ(log.find("!!!Error GL.BIN changed after it was chosen, not written\r\n!!!Error Device(1):=> Upgrade "
                       "failed\r\n") != std::string::npos,
              refused)
        << log;
    if (refused) {
        ASSERT_TRUE(record.refused);
        EXPECT_EQ(*record.refused, "GL.BIN changed after it was chosen: it no longer fits the hub");
    } else if (protectedRun) {
        // The records name the version of the bytes read, not of the file judged.
        ASSERT_TRUE(record.image);
        EXPECT_EQ(record.image->version, swap.hubAfter);
    }
    if (!swap.history)
        return;
    unsigned writeStarts = 0;
    bool resultSaysWhy = false;
    for (const nlohmann::json& line : ChoiceHistoryLines("h.jsonl")) {
        writeStarts += line["kind"] == "write-start";
        if (line["kind"] == "result" && line["outcome"] == "refused")
            resultSaysWhy = line["reason"] == *record.refused;
    }
    EXPECT_EQ(writeStarts, refused ? 0u : 1u);
    EXPECT_EQ(resultSaysWhy, refused);
}

INSTANTIATE_TEST_SUITE_P(
    Take, ChoiceSwapTest,
    testing::Values(
        ChoiceSwap{"OtherModelApproved", SwapIn::OtherModel, true, false, false, false, "refused", 0x0100},
        ChoiceSwap{"OtherModelHistory", SwapIn::OtherModel, false, true, false, false, "refused", 0x0100},
        ChoiceSwap{"OtherModelReport", SwapIn::OtherModel, false, false, true, false, "refused", 0x0100},
        ChoiceSwap{"OtherModelVerify", SwapIn::OtherModel, false, false, false, true, "refused", 0x0100},
        ChoiceSwap{"NewerVersionHistory", SwapIn::NewerVersion, true, true, true, false, "programmed", 0x0333},
        ChoiceSwap{"NothingSwapped", SwapIn::Nothing, true, true, true, true, "programmed", 0x0200},
        ChoiceSwap{"NoOptionReadsNothing", SwapIn::OtherModel, false, false, false, false, "programmed", 0x0200}),
    [](const testing::TestParamInfo<ChoiceSwap>& param) { return std::string(param.param.name); });

// Three hubs take one image: it is read once for the run, and each record
// names the same bytes.
TEST(ChoiceTake, AnImageIsReadOncePerRun)
{
    ScratchDir dir;
    dir.Write("SpiFlash.ini", kChoiceIni);
    WriteBench(dir, PlainHub(1, 1) + PlainHub(2, 1) + PlainHub(3, 1));
    WriteImage(dir, "GL.BIN", PlainImage(0x0200));
    SessionOptions options;
    options.history = "h.jsonl";
    options.reportsBytes = true;
    unsigned reads = 0;
    options.beforeImageRead = [&reads](const std::string&) { ++reads; };
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    UpgradeSession session(engine, options);
    ASSERT_TRUE(session.Prepare());
    session.Run(nullptr);
    EXPECT_EQ(session.Status(), 0);
    EXPECT_EQ(reads, 1u);
    ASSERT_EQ(session.Hubs().size(), 3u);
    for (const HubRecord& record : session.Hubs()) {
        ASSERT_TRUE(record.image && record.image->digest);
        EXPECT_EQ(record.image->digest->sha256, session.Hubs()[0].image->digest->sha256);
    }
}

struct Agreement {
    const char* name;
    bool oversized; // past the most the take reads
    bool listed;    // the approved list names the image
    bool report;
    const char* outcome; // of plan and upgrade alike
};

class PlanAgreementTest : public testing::TestWithParam<Agreement> {};

TEST_P(PlanAgreementTest, PlanAndUpgradeAgree)
{
    const Agreement& c = GetParam();
    ScratchDir dir;
    dir.Write("SpiFlash.ini", kChoiceIni);
    WriteBench(dir, PlainHub(1));
    WriteImage(dir, "GL.BIN", PlainImage(0x0200));
    if (c.oversized)
        fs::resize_file("Bin/GL.BIN", ImageTake::kMaxImageBytes + 1);
    const std::string listed = c.listed ? "GL.BIN" : "NOT.BIN";
    dir.Write("approved.txt", std::string(64, 'a') + "  Bin/" + listed + "\n");
    ApprovalOptions approval;
    if (!c.listed)
        approval.list = "approved.txt";

    CHubUpgrader planner;
    planner.SetSettleMs(0);
    PlanSession plan(planner, PlanOptions{approval, false, c.report});
    ASSERT_TRUE(plan.Prepare()) << plan.Error();
    plan.Run(nullptr);
    ASSERT_EQ(plan.Hubs().size(), 1u);
    const std::string planned = OutcomeName(plan.Hubs()[0].Outcome());
    EXPECT_EQ(planned == "program" ? "programmed" : planned, std::string(c.outcome));

    SessionOptions options;
    options.approval = approval;
    options.reportsBytes = c.report;
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    UpgradeSession session(engine, options);
    ASSERT_TRUE(session.Prepare());
    session.Run(nullptr);
    ASSERT_EQ(session.Hubs().size(), 1u);
    EXPECT_EQ(OutcomeName(session.Hubs()[0].Outcome()), std::string(c.outcome));
    EXPECT_EQ(plan.Status(), session.Status());
}

INSTANTIATE_TEST_SUITE_P(Take, PlanAgreementTest,
                         testing::Values(Agreement{"OversizedReported", true, true, true, "refused"},
                                         Agreement{"NotApproved", false, false, false, "refused"},
                                         Agreement{"Reported", false, true, true, "programmed"},
                                         Agreement{"Plain", false, true, false, "programmed"}),
                         [](const testing::TestParamInfo<Agreement>& param) { return std::string(param.param.name); });

#ifdef __linux__
namespace {
// Renames the other model's image over GL.BIN as soon as anything opens
// GL.BIN: within the selection, with no hook in the run.
class RenameOnFirstOpen {
public:
    RenameOnFirstOpen() : m_fd(inotify_init1(IN_NONBLOCK))
    {
        if (m_fd >= 0)
            inotify_add_watch(m_fd, "Bin", IN_OPEN);
        m_thread = std::thread([this] { Watch(); });
    }
    ~RenameOnFirstOpen()
    {
        m_stop = true;
        m_thread.join();
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Ready() const { return m_fd >= 0; }

private:
    void Watch()
    {
        alignas(inotify_event) char buffer[4096];
        while (!m_stop && m_fd >= 0) {
            pollfd ready{m_fd, POLLIN, 0};
            if (poll(&ready, 1, 10) <= 0)
                continue;
            const ssize_t got = read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::string(event->name) == "GL.BIN") {
                    fs::rename("Bin/OTHER.TMP", "Bin/GL.BIN");
                    return;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int m_fd;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
} // namespace

TEST(ChoiceTake, ARenameRacingTheSelectionNeverWritesTheWrongImage)
{
    ScratchDir dir;
    dir.Write("SpiFlash.ini", kChoiceIni);
    for (int run = 0; run < 30; ++run) {
        WriteBench(dir, PlainHub(1));
        fs::remove("HubBench.ini.state");
        WriteImage(dir, "GL.BIN", PlainImage(0x0200));
        dir.Write("Bin/OTHER.TMP", ImageBytes(OtherModel()));
        SessionOptions options;
        options.history = "h.jsonl";
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        UpgradeSession session(engine, options);
        ASSERT_TRUE(session.Prepare());
        {
            const RenameOnFirstOpen attacker;
            ASSERT_TRUE(attacker.Ready());
            session.Run(nullptr);
        }
        ASSERT_EQ(session.Hubs().size(), 1u);
        const std::string outcome = OutcomeName(session.Hubs()[0].Outcome());
        const unsigned version = HubVersionNow();
        EXPECT_NE(version, 0x0666u) << "run " << run << ": the other model's image was written";
        EXPECT_TRUE((outcome == "refused" && version == 0x0100) || (outcome == "programmed" && version == 0x0200))
            << "run " << run << ": " << outcome << ", hub at " << std::hex << version;
    }
}
#endif
