// What the engine tells its watcher, and the dry run that shares the
// upgrade's decisions but never calls the library.
#include "EngineFixture.h"
#include "ObserverChain.h"

#include <filesystem>

namespace {
const char kIni[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n"
                    "[HUBFWCheck]\nCheckHUBFW=1\nFWVersion=219\n";

class Events : public IUpgradeObserver {
public:
    void OnDllVersion(std::uint32_t version) override { Add("version " + std::to_string(version)); }
    void OnHubStart(unsigned entry, const HubInfo&) override { Add("hub " + std::to_string(entry)); }
    void OnHubCurrent(CurrentCheck check, std::uint16_t hub, std::uint16_t compared) override
    {
        Add(CHubUpgrader::Format("current %s %04X %04X", check == CurrentCheck::ImageVersion ? "image" : "FWVersion",
                                 hub, compared));
    }
    void OnHubUnsupported(std::uint32_t vidPid) override { Add(CHubUpgrader::Format("unsupported %08X", vidPid)); }
    void OnTargetFound(const TargetIdEntry& target) override
    {
        Add(CHubUpgrader::Format("target %04X", target.targetId));
    }
    void OnImageConsidered(const ImageVerdict& verdict, bool afterChoice) override
    {
        Add("image " + verdict.name8 + " " + std::to_string(static_cast<int>(verdict.test)) +
            (afterChoice ? " after" : ""));
    }
    bool WantsEveryImage() const override { return every; }
    void OnNoImage() override { Add("no image"); }
    void OnImageChosen(const std::string& name, char layout, std::uint16_t version) override
    {
        Add(CHubUpgrader::Format("chosen %s %c %04X", name.c_str(), layout, version));
    }
    void OnImageUnreadable() override { Add("unreadable"); }
    void OnLibraryResult(std::int32_t result, std::uint64_t) override { Add("result " + std::to_string(result)); }
    void OnProgress(int position) override { Add("at " + std::to_string(position)); }

    void Add(const std::string& event) { events.push_back(event); }
    std::vector<std::string> events;
    bool every = false;
};

class ObserverTest : public EngineTest {
protected:
    ObserverTest() { engine->SetObserver(&events); }

    void Prepare()
    {
        WriteIni(kIni);
        WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x9021, 1) + HubSection(2, 0x1A40, 0x0801, 0x0100, 1) +
                            HubSection(3, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\nUpdateResult=6\n") +
                            HubSection(4, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\n"));
        ImageParams fits;
        fits.targetId = 0x0D13;
        fits.versionWord = 0x0200;
        WriteImage("A.BIN", fits); // listed first: the others are never judged
        ImageParams other = fits;
        other.targetId = 0x0D12;
        WriteImage("B.BIN", other);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(engine->Initialzation(&window));
        testing::internal::GetCapturedStdout();
        events.events.clear();
    }

    Events events;
};
} // namespace

TEST_F(ObserverTest, EveryDecisionOfTheRunIsReportedInItsOrder)
{
    Prepare();
    EXPECT_FALSE(engine->RunUpgrade(&window));
    EXPECT_EQ(events.events, (std::vector<std::string>{
                                 "at 0",
                                 "hub 3",
                                 "target 0D13",
                                 "image A.BIN 0",
                                 "chosen A.BIN B 0200",
                                 "at 12",
                                 "result 0",
                                 "at 24",
                                 "hub 2",
                                 "target 0D13",
                                 "image A.BIN 0",
                                 "chosen A.BIN B 0200",
                                 "at 36",
                                 "result 6",
                                 "hub 1",
                                 "unsupported 1A400801",
                                 "no image",
                                 "hub 0",
                                 "current FWVersion 9021 0219",
                             }));
}

TEST_F(ObserverTest, PlanDecidesLikeTheRunButProgramsNothing)
{
    Prepare();
    const std::string listing = Log();
    events.every = true;
    EXPECT_TRUE(engine->PlanUpgrade(&window));
    EXPECT_EQ(events.events, (std::vector<std::string>{
                                 "hub 3",
                                 "target 0D13",
                                 "image A.BIN 0",
                                 "image B.BIN 3 after",
                                 "chosen A.BIN B 0200",
                                 "hub 2",
                                 "target 0D13",
                                 "image A.BIN 0",
                                 "image B.BIN 3 after",
                                 "chosen A.BIN B 0200",
                                 "hub 1",
                                 "unsupported 1A400801",
                                 "no image",
                                 "hub 0",
                                 "current FWVersion 9021 0219",
                             }));
    EXPECT_FALSE(std::filesystem::exists("HubBench.ini.state"));
    EXPECT_EQ(Log().find("being upgraded"), std::string::npos);
    EXPECT_EQ(Log().find("successful"), std::string::npos);
    EXPECT_TRUE(window.positions.empty());

    // The plan leaves the table to the run that follows it.
    events.every = false;
    events.events.clear();
    EXPECT_FALSE(engine->RunUpgrade(&window));
    EXPECT_TRUE(std::filesystem::exists("HubBench.ini.state"));
    EXPECT_FALSE(engine->PlanUpgrade(&window));
    EXPECT_NE(Log().find("!!!Error no hub table to upgrade, scan first!\r\n"), std::string::npos);
}

namespace {
// A watcher that holds the write of the n-th hub the run reaches, or ends
// the run before it; the chain puts it ahead of the recording watcher, as a
// front end puts its checks ahead of its records.
class Gate : public IUpgradeObserver {
public:
    WriteDecision OnWriteStarting(const std::string& imagePath) override
    {
        paths.push_back(imagePath);
        if (++writes != holdAt)
            return {};
        return {kind, kind == WriteDecision::Kind::Proceed ? "" : "  !!!Error held\r\n", "held", {}};
    }
    bool ContinueRun() override { return ++turns != stopAt; }

    int writes = 0, turns = 0, holdAt = 0, stopAt = 0;
    WriteDecision::Kind kind = WriteDecision::Kind::Proceed;
    std::vector<std::string> paths;
};

class RecordingEvents : public Events {
public:
    void OnWriteHeld(const WriteDecision& decision) override { Add("held " + std::to_string(int(decision.kind))); }
    void OnRunStopped(unsigned next) override { Add("stopped before " + std::to_string(next)); }
};

struct GateCase {
    const char* name;
    int holdAt, stopAt;
    WriteDecision::Kind kind;
    std::vector<std::string> results; // the library's calls and the watchers' events, in order
    bool heldLine;
};

class WriteGateTest : public EngineTest, public testing::WithParamInterface<GateCase> {};
} // namespace

TEST_P(WriteGateTest, AWatcherHoldsAWriteOrEndsTheRun)
{
    const GateCase& test = GetParam();
    WriteIni(kIni);
    std::string bench;
    for (int hub = 1; hub <= 3; ++hub)
        bench += HubSection(hub, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\n");
    WriteBench(dir, bench);
    ImageParams fits;
    fits.targetId = 0x0D13;
    fits.versionWord = 0x0200;
    WriteImage("A.BIN", fits);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(engine->Initialzation(&window));
    testing::internal::GetCapturedStdout();

    Gate gate;
    gate.holdAt = test.holdAt;
    gate.stopAt = test.stopAt;
    gate.kind = test.kind;
    RecordingEvents events;
    ObserverChain chain{&gate, &events};
    engine->SetObserver(&chain);
    engine->RunUpgrade(&window);
    engine->SetObserver(nullptr);

    std::vector<std::string> seen;
    for (const std::string& event : events.events)
        if (event.rfind("result", 0) == 0 || event.rfind("held", 0) == 0 || event.rfind("stopped", 0) == 0)
            seen.push_back(event);
    EXPECT_EQ(seen, test.results);
    for (const std::string& path : gate.paths)
        EXPECT_EQ(path, std::string(tolvane::platform::kImageFolder) + "A.BIN");
    EXPECT_EQ(Log().find("  !!!Error held\r\n!!!Error Device(") != std::string::npos, test.heldLine) << Log();
    if (test.kind == WriteDecision::Kind::NotStarted) {
        EXPECT_EQ(Log().find("Upgrade failed"), std::string::npos) << Log();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decisions, WriteGateTest,
    testing::Values(
        GateCase{"NoneHeld", 0, 0, WriteDecision::Kind::Proceed, {"result 0", "result 0", "result 0"}, false},
        GateCase{
            "RefusedHubOnlyIsSkipped", 2, 0, WriteDecision::Kind::Refuse, {"result 0", "held 1", "result 0"}, true},
        GateCase{"StopEndsTheRunAtTheHeldHub",
                 2,
                 0,
                 WriteDecision::Kind::StopRun,
                 {"result 0", "held 2", "stopped before 0"},
                 true},
        GateCase{"StopOnTheLastHubNamesNoneAfterIt",
                 3,
                 0,
                 WriteDecision::Kind::StopRun,
                 {"result 0", "result 0", "held 2"},
                 true},
        GateCase{"NoContinueEndsTheRunBeforeAHubStarts",
                 0,
                 2,
                 WriteDecision::Kind::Proceed,
                 {"result 0", "stopped before 1"},
                 false},
        // A write that never began: no failure, and the hub itself is the
        // first one not started.
        GateCase{"NotStartedEndsTheRunWithTheHeldHubNotStarted",
                 2,
                 0,
                 WriteDecision::Kind::NotStarted,
                 {"result 0", "stopped before 1"},
                 false}),
    [](const testing::TestParamInfo<GateCase>& param) { return param.param.name; });
