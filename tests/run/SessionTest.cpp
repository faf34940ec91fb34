// One press through the session, as the command line and the windows make
// it: for the same bench each front end shows the same outcomes, the same
// log and the same verdict (exit status, lamp).
#include "Bench.h"
#include "FileDigest.h"
#include "Images.h"
#include "Platform.h"
#include "RunProcess.h"
#include "ScratchDir.h"
#include "TolvaneDlg.h"
#include "UpgradeSession.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace {
const char kSessionIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

// The window as the operator sees it: the log box and the lamp.
class ShownDialog : public CTolvaneDlg {
public:
    explicit ShownDialog(CHubUpgrader& upgrader) : CTolvaneDlg(upgrader) {}

    void SetLogText(const std::wstring& text) override { log = text; }
    void AppendLogText(const std::wstring& text, std::size_t shownLength) override { log += text.substr(shownLength); }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    void EnableControl(int, bool) override {}
    void ShowPressed(int, bool) override {}
    void FillLamp(const ColourRef* colour) override
    {
        if (colour)
            lamp = *colour == kLampGreen ? "green" : *colour == kLampRed ? "red" : "yellow";
    }
    void ShowCompletedMessage(const std::wstring&) override {}
    void ShowProtections(const std::wstring&) override {}

    std::wstring log;
    std::string lamp;
};

class QuietWindow : public IUpgraderWindow {
public:
    void SetLogText(const std::wstring& text) override { log = text; }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
    std::wstring log;
};

enum class List { None, Good, Wrong };

struct Press {
    const char* name;
    const char* hubMore; // bench keys of the one hub
    bool verify;
    List list;
    bool history;
    bool historyUnusable; // the history's name is a folder
    std::vector<std::string> outcomes;
    int status;
    const char* lamp;
    const char* verifyWord; // in the verification's lines; "" for none
};

// What one front end showed.
struct Shown {
    std::vector<std::string> outcomes;
    int status = -1;
    std::string log; // the run's log and the verification's lines
};

class SessionTest : public testing::TestWithParam<Press> {
protected:
    void SetUp() override
    {
        dir.Write("SpiFlash.ini", kSessionIni);
        WriteImage(dir, "GL.BIN", PlainImage(0x0200));
        const Press& press = GetParam();
        if (press.list != List::None) {
            tolvane::platform::FileDigest digest;
            std::string error;
            ASSERT_TRUE(tolvane::platform::Sha256File("Bin/GL.BIN", digest, error)) << error;
            const std::string sha = press.list == List::Good ? digest.sha256 : std::string(64, '0');
            dir.Write("approved.txt", sha + "  Bin/GL.BIN\n");
        }
        if (press.historyUnusable)
            std::filesystem::create_directories("h.jsonl");
    }

    // A fresh bench: every hub at its old firmware.
    void FreshBench()
    {
        std::filesystem::remove("HubBench.ini.state");
        WriteBench(dir, PlainHub(1, 1, GetParam().hubMore));
    }

    Shown ThroughSession()
    {
        FreshBench();
        const Press& press = GetParam();
        SessionOptions options;
        options.program = "tests";
        options.verify = press.verify;
        if (press.list != List::None)
            options.approval.list = "approved.txt";
        if (press.history || press.historyUnusable)
            options.history = "h.jsonl";
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        UpgradeSession session(engine, options);
        Shown shown;
        if (!session.Prepare()) {
            shown.status = 1;
            return shown;
        }
        QuietWindow window;
        session.Run(&window);
        shown.status = session.Status();
        session.Finish(shown.status);
        for (const HubRecord& record : session.Hubs())
            shown.outcomes.push_back(OutcomeName(record.Outcome()));
        shown.log = tolvane::platform::WideToUtf8(engine.m_strLog) + session.VerifyLines();
        return shown;
    }

    Shown ThroughCommandLine()
    {
        FreshBench();
        const Press& press = GetParam();
        std::vector<std::string> args{"upgrade", "--settle-ms", "0", "--json"};
        if (press.verify)
            args.push_back("--verify");
        if (press.list != List::None)
            args.insert(args.end(), {"--approved", "approved.txt"});
        if (press.history || press.historyUnusable)
            args.insert(args.end(), {"--history", "h.jsonl"});
        const ProcessResult result = RunProgram("tolvane-cli", args);
        Shown shown;
        shown.status = result.exitCode;
        const nlohmann::json doc = nlohmann::json::parse(result.out, nullptr, false);
        if (doc.is_discarded())
            return shown;
        for (const nlohmann::json& hub : doc["results"])
            shown.outcomes.push_back(hub["outcome"]);
        shown.log = doc["log"].get<std::string>() + doc["verifyLog"].get<std::string>();
        return shown;
    }

    std::string ThroughWindow(std::string& log)
    {
        FreshBench();
        const Press& press = GetParam();
        WindowOptions options;
        options.verify = press.verify;
        if (press.list != List::None)
            options.approved = "approved.txt";
        if (press.history || press.historyUnusable)
            options.history = "h.jsonl";
        CHubUpgrader engine;
        engine.SetSettleMs(0);
        ShownDialog dialog(engine);
        dialog.SetOptions(options);
        dialog.InitDialogLogic();
        dialog.OnStartUpgrade();
        log = tolvane::platform::WideToUtf8(dialog.log);
        return dialog.lamp;
    }

    ScratchDir dir;
};
} // namespace

TEST_P(SessionTest, EveryFrontEndShowsTheSameOutcomes)
{
    const Press& press = GetParam();
    const Shown session = ThroughSession();
    EXPECT_EQ(session.outcomes, press.outcomes);
    EXPECT_EQ(session.status, press.status);
    if (*press.verifyWord) {
        EXPECT_NE(session.log.find(press.verifyWord), std::string::npos) << session.log;
    } else {
        EXPECT_EQ(session.log.find("Verify"), std::string::npos) << session.log;
    }

    const Shown line = ThroughCommandLine();
    EXPECT_EQ(line.outcomes, session.outcomes);
    EXPECT_EQ(line.status, session.status);
    if (!press.historyUnusable) {
        EXPECT_EQ(line.log, session.log);
    }

    std::string windowLog;
    EXPECT_EQ(ThroughWindow(windowLog), press.lamp);
    // The window's log starts with its own scan; the press's log replaces it.
    if (!press.historyUnusable) {
        EXPECT_EQ(windowLog, session.log);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Session, SessionTest,
    testing::Values(
        Press{"Programmed", "", false, List::None, false, false, {"programmed"}, 0, "green", ""},
        Press{"LibraryFails", "UpdateResult=4\n", false, List::None, false, false, {"failed"}, 1, "red", ""},
        Press{"Verified", "", true, List::None, false, false, {"programmed"}, 0, "green", "=>Verify successful"},
        Press{"Unverified",
              "NoVersionChange=1\n",
              true,
              List::None,
              true,
              false,
              {"programmed"},
              4,
              "red",
              "Verify failed"},
        Press{"Approved", "", false, List::Good, true, false, {"programmed"}, 0, "green", ""},
        Press{"NotApproved", "", true, List::Wrong, false, false, {"refused"}, 1, "red", ""},
        Press{"HistoryUnusable", "", false, List::None, false, true, {}, 1, "red", ""}),
    [](const testing::TestParamInfo<Press>& param) { return std::string(param.param.name); });
