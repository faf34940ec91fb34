// Every hub that failed, found no image or was refused carries its reason,
// the same in the run's records and in the history's result line.
#include "Bench.h"
#include "Explain.h"
#include "Images.h"
#include "ScratchDir.h"
#include "UpgradeSession.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>

namespace {
struct Failure {
    const char* name;
    const char* ini;
    const char* hubMore; // bench keys of the one hub
    bool image;          // Bin/GL.BIN holds PlainImage
    std::uint64_t cutTo; // when nonzero, the image's size
    const char* outcome;
    const char* reason;
};

class FailureReasonTest : public testing::TestWithParam<Failure> {};

std::string HistoryReason(const std::string& path)
{
    std::ifstream in(path);
    std::string reason = "(no result line)";
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json parsed = nlohmann::json::parse(line);
        if (parsed["kind"] == "result")
            reason = parsed.value("reason", "(none)");
    }
    return reason;
}
} // namespace

TEST_P(FailureReasonTest, TheRecordsSayWhy)
{
    const Failure& c = GetParam();
    ScratchDir dir;
    dir.Write("SpiFlash.ini", c.ini);
    WriteBench(dir, PlainHub(1, 1, c.hubMore));
    std::filesystem::create_directories("Bin");
    if (c.image) {
        ImageParams params = PlainImage(0x0200);
        if (c.cutTo != 0)
            params.size = c.cutTo;
        WriteImage(dir, "GL.BIN", params);
    }
    ImageParams other = PlainImage(0x0200);
    other.targetId = 0x0D14;
    WriteImage(dir, "AA.BIN", other);

    SessionOptions options;
    options.history = "h.jsonl";
    CHubUpgrader engine;
    engine.SetSettleMs(0);
    UpgradeSession session(engine, options);
    ASSERT_TRUE(session.Prepare());
    session.Run(nullptr);
    session.Finish(session.Status());
    ASSERT_EQ(session.Hubs().size(), 1u);
    EXPECT_EQ(OutcomeName(session.Hubs()[0].Outcome()), std::string(c.outcome));
    EXPECT_EQ(FailureReason(session.Hubs()[0]), c.reason);
    EXPECT_EQ(HistoryReason("h.jsonl"), c.reason);
}

constexpr char kFits[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

INSTANTIATE_TEST_SUITE_P(
    Reasons, FailureReasonTest,
    testing::Values(
        Failure{"NearestImage", kFits, "", false, 0, "no-image",
                "no image fits; the nearest, AA.BIN: target identifier 0D14, hub needs 0D13 ([TargetID_U3] "
                "05E30610=0D13)"},
        Failure{"NearerOfTwo", kFits, "HubFlags=0x30\n", true, 0, "no-image",
                "no image fits; the nearest, GL.BIN: image flags 00 do not suit chip version 10 with hub flags 30"},
        Failure{"Unsupported", "[TargetID_U3]\n05E30611=0D13\n[HUBModule]\nHUBNumber=1\n", "", true, 0, "no-image",
                "05E3/0610 is in no [TargetID_U3] or [TargetID_U2] entry"},
        Failure{"LibraryResult", kFits, "UpdateResult=5\n", true, 0, "failed", "the library returned 5"},
        Failure{"CutShort", kFits, "", true, 0x1F00, "failed",
                "the chosen image GL.BIN ends before its version word at 1F6C (layout B), file has 7936 bytes"}),
    [](const testing::TestParamInfo<Failure>& param) { return std::string(param.param.name); });
