#include "Bench.h"
#include "Images.h"
#include "ScratchDir.h"
#include "TolvaneDlg.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {
std::string ColourName(const ColourRef* colour)
{
    if (!colour)
        return "current";
    switch (*colour) {
    case kLampRed:
        return "red";
    case kLampGreen:
        return "green";
    case kLampYellow:
        return "yellow";
    default:
        return "other";
    }
}

// Records every window operation in order; the state it keeps is what a
// person would see.
class RecordingDialog : public CTolvaneDlg {
public:
    explicit RecordingDialog(CHubUpgrader& upgrader) : CTolvaneDlg(upgrader) {}

    void SetLogText(const std::wstring&) override { calls.push_back("log"); }
    void SetProgressRange(int lower, int upper) override
    {
        calls.push_back("range " + std::to_string(lower) + "-" + std::to_string(upper));
    }
    void SetProgressPos(int position) override
    {
        progress = position;
        calls.push_back("progress " + std::to_string(position));
    }
    void EnableControl(int id, bool enable) override
    {
        (id == IDC_START_UPGRADE ? startEnabled : scanEnabled) = enable;
        calls.push_back((enable ? "enable " : "disable ") + std::to_string(id));
    }
    void ShowPressed(int id, bool pressed) override
    {
        calls.push_back((pressed ? "press " : "release ") + std::to_string(id));
    }
    void FillLamp(const ColourRef* colour) override
    {
        if (colour)
            lamp = ColourName(colour);
        calls.push_back("lamp " + ColourName(colour));
    }
    void ShowCompletedMessage(const std::wstring& text) override
    {
        boxText = text;
        calls.push_back("box");
    }
    void ShowProtections(const std::wstring& text) override
    {
        line = text;
        calls.push_back("line");
    }

    // Only the calls that are not log pushes or progress moves.
    std::vector<std::string> Steps() const
    {
        std::vector<std::string> steps;
        for (const std::string& call : calls) {
            if (call != "log" && call != "line" && call.rfind("progress", 0) != 0 && call.rfind("range", 0) != 0)
                steps.push_back(call);
        }
        return steps;
    }

    std::vector<std::string> calls;
    std::string lamp = "none";
    bool startEnabled = true;
    bool scanEnabled = true;
    int progress = -1;
    std::wstring boxText;
    std::wstring line;
};

const char kIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

class DialogLogicTest : public testing::Test {
protected:
    DialogLogicTest()
    {
        bUpgradeReady = 0;
        engine->SetSettleMs(0);
        dir.Write("SpiFlash.ini", kIni);
        ImageParams image;
        image.targetId = 0x0D13;
        WriteImage(dir, "GL.BIN", image);
    }

    void Hubs(const std::string& more = "") { WriteBench(dir, PlainHub(1, 1, more)); }
    void NoHubs() { WriteBench(dir, ""); }

    ScratchDir dir;
    std::unique_ptr<CHubUpgrader> engine = std::make_unique<CHubUpgrader>();
    RecordingDialog dialog{*engine};
};

using Steps = std::vector<std::string>;

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}
} // namespace

TEST_F(DialogLogicTest, StartUpScanThatPassesMakesTheUpgradeReady)
{
    Hubs();
    dialog.InitDialogLogic();
    EXPECT_EQ(dialog.Steps(),
              (Steps{"disable 1001", "press 1000", "lamp yellow", "enable 1001", "lamp green", "release 1000"}));
    EXPECT_EQ(dialog.calls[1], "line");       // the protections line shows before the scan starts
    EXPECT_EQ(dialog.calls[3], "progress 0"); // the bar is reset before the lamp turns yellow
    EXPECT_EQ(dialog.lamp, "green");
    EXPECT_TRUE(dialog.startEnabled);
    EXPECT_EQ(bUpgradeReady, 1);
}

TEST_F(DialogLogicTest, FailedScanKeepsAnEarlierReadiness)
{
    NoHubs();
    dialog.InitDialogLogic();
    EXPECT_EQ(dialog.lamp, "red");
    EXPECT_FALSE(dialog.startEnabled);
    EXPECT_EQ(bUpgradeReady, 0);

    Hubs();
    dialog.OnScanDevice();
    NoHubs();
    dialog.calls.clear();
    dialog.OnScanDevice();
    EXPECT_EQ(dialog.Steps(), (Steps{"press 1000", "lamp yellow", "lamp red", "release 1000"}));
    EXPECT_TRUE(dialog.startEnabled);
    EXPECT_EQ(bUpgradeReady, 1);

    // The upgrade scans again first; failing there too, it ends red and off.
    dialog.OnStartUpgrade();
    EXPECT_EQ(dialog.lamp, "red");
    EXPECT_FALSE(dialog.startEnabled);
    EXPECT_TRUE(dialog.scanEnabled);
    EXPECT_EQ(bUpgradeReady, 0);
}

TEST_F(DialogLogicTest, StartUpgradeWithoutAPassingScanIsIgnoredCompletely)
{
    Hubs();
    dialog.OnStartUpgrade();
    EXPECT_TRUE(dialog.calls.empty());
    EXPECT_EQ(dialog.lamp, "none");
}

TEST_F(DialogLogicTest, SuccessfulUpgradeShowsTheBoxThenResetsTheBar)
{
    Hubs();
    dialog.InitDialogLogic();
    dialog.calls.clear();
    dialog.OnStartUpgrade();
    EXPECT_EQ(dialog.Steps(), (Steps{"press 1001", "disable 1001", "disable 1000", "lamp yellow", "lamp green", "box",
                                     "enable 1000", "release 1001", "disable 1001"}));
    EXPECT_EQ(dialog.boxText, L"Upgrade is completed.\r\nPlease power cycle the hub.");
    // The bar stands at 100 while the box is open and goes back to 0 after.
    const auto box = std::find(dialog.calls.begin(), dialog.calls.end(), "box");
    EXPECT_EQ(*(box - 3), "progress 100");
    EXPECT_EQ(*(box - 2), "line"); // how the run ended, before the box
    EXPECT_EQ(*(box - 1), "lamp green");
    EXPECT_EQ(*(box + 1), "progress 0");
    EXPECT_FALSE(dialog.startEnabled);
    EXPECT_EQ(bUpgradeReady, 0);

    dialog.calls.clear();
    dialog.OnStartUpgrade(); // a new upgrade needs a new passing scan
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(DialogLogicTest, FailedRunLeavesTheBarWhereItStopped)
{
    Hubs("UpdateResult=4\n");
    dialog.InitDialogLogic();
    dialog.calls.clear();
    dialog.OnStartUpgrade();
    EXPECT_EQ(dialog.Steps(), (Steps{"press 1001", "disable 1001", "disable 1000", "lamp yellow", "lamp red",
                                     "disable 1001", "enable 1000", "release 1001", "disable 1001"}));
    EXPECT_EQ(dialog.progress, 50);
    EXPECT_EQ(dialog.lamp, "red");
}

TEST_F(DialogLogicTest, FailedScanInsideTheUpgradeSkipsTheRun)
{
    Hubs();
    dialog.InitDialogLogic();
    NoHubs();
    dialog.calls.clear();
    dialog.OnStartUpgrade();
    EXPECT_EQ(std::count(dialog.calls.begin(), dialog.calls.end(), "range 0-100"), 0);
    EXPECT_EQ(dialog.lamp, "red");
    EXPECT_FALSE(dialog.startEnabled);
}

TEST_F(DialogLogicTest, LampStatesByNumber)
{
    dialog.SetLamp(2);
    dialog.SetLamp(0);
    dialog.SetLamp(1);
    dialog.SetLamp(7);
    dialog.RepaintLamp();
    EXPECT_EQ(dialog.calls, (Steps{"lamp yellow", "lamp red", "lamp green", "lamp current", "lamp current"}));
    EXPECT_EQ(dialog.lamp, "green");
}

TEST_F(DialogLogicTest, ASignedListIsUsedOnlyWhenItsSignatureVerifies)
{
    // openssl's keys and signature, made at build time (support/make-signed-fixtures.sh).
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(TOLVANE_SIGNED_FIXTURES)))
        std::filesystem::copy_file(entry.path(), dir.Path() / entry.path().filename());
    // As openssl computed it: the SHA-256 of the key's DER form.
    const auto Fingerprint = [this](const std::string& key) { return dir.Read(key + ".fingerprint").substr(0, 64); };
    const std::string refused = "!!!Error cannot use the approved list approved.txt: ";
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string log; // the whole log of a refused press; a part of it otherwise
        std::wstring line;
    } cases[] = {
        {"signed by the second key",
         {"--approved", "approved.txt", "--trust", "old.pub", "--trust=new.pub"},
         "!!!Error GL.BIN differs from its approved contents, not written\r\n",
         L"No history; approved list approved.txt, signed by key " + Widened(Fingerprint("new").substr(0, 16)) +
             L" (SHA-256); no verification. Last upgrade: 0 of 1 hub programmed; hub 1: refused (contents differ "
             L"from the approved list)."},
        {"signed by another key",
         {"--approved", "approved.txt", "--trust", "old.pub"},
         refused + "the signature approved.txt.sig does not verify under the trusted key old.pub: another key "
                   "signed the list, or the list or the signature changed after signing\r\n",
         L"No history; approved list approved.txt (cannot be used: the signature approved.txt.sig does not verify "
         L"under the trusted key old.pub: another key signed the list, or the list or the signature changed after "
         L"signing); no verification. Last upgrade: not started, the approved list cannot be used."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Hubs();
        dir.Remove("HubBench.ini.state");
        WindowOptions options;
        std::string error;
        ASSERT_TRUE(ParseWindowOptions(c.args, options, error)) << error;
        dialog.SetOptions(options);
        dialog.InitDialogLogic();
        dialog.boxText.clear();
        dialog.OnStartUpgrade();
        EXPECT_EQ(dialog.lamp, "red");
        EXPECT_EQ(dialog.boxText, L"");
        const std::wstring log = engine->m_strLog;
        const std::wstring expected(c.log.begin(), c.log.end());
        if (std::string(c.name) == "signed by the second key") {
            EXPECT_NE(log.find(expected), std::wstring::npos);
        } else {
            EXPECT_EQ(log, expected); // one line: no scan was made
        }
        EXPECT_EQ(dir.Read("HubBench.ini.state"), "");
        EXPECT_EQ(dialog.line, c.line);
    }
}

// Options the command line cannot give (the window refuses them before it
// starts) are still refused by the press itself, before any scan.
TEST_F(DialogLogicTest, AKeyWithoutAListIsRefusedByThePressToo)
{
    Hubs();
    WindowOptions options;
    options.trust = {"new.pub"};
    dialog.SetOptions(options);
    dialog.InitDialogLogic();
    dialog.OnStartUpgrade();
    EXPECT_EQ(engine->m_strLog, L"!!!Error --trust needs --approved\r\n");
    EXPECT_EQ(dialog.lamp, "red");
    EXPECT_EQ(dir.Read("HubBench.ini.state"), "");
    EXPECT_EQ(dialog.line, L"No history, no approved list, no verification. Last upgrade: not started, the options "
                           L"are incomplete.");
}

TEST_F(DialogLogicTest, TheProtectionsLineShowsBeforeTheScanAndTellsHowEachRunEnded)
{
    const struct {
        const char* name;
        std::string hubMore;
        std::vector<std::string> args;
        std::wstring before;
        std::wstring after;
    } cases[] = {
        {"nothing given, programmed",
         "",
         {},
         L"No history, no approved list, no verification.",
         L"No history, no approved list, no verification. Last upgrade: 1 of 1 hub programmed."},
        {"history and verification, library refuses",
         "UpdateResult=4\n",
         {"--history", "h.jsonl", "--verify"},
         L"History h.jsonl; no approved list; verification on.",
         L"History h.jsonl; no approved list; verification on. Last upgrade: 0 of 1 hub programmed; hub 1: library "
         L"result 4."},
        {"history that cannot be written",
         "",
         {"--history", "folder"},
         L"History folder; no approved list; no verification.",
         L"History folder; no approved list; no verification. Last upgrade: not started, the history cannot be "
         L"written."},
        {"list that is missing",
         "",
         {"--approved", "gone.txt"},
         L"No history; approved list gone.txt (cannot be used: ",
         L"No history; approved list gone.txt (cannot be used: "},
    };
    std::filesystem::create_directories(dir.Path() / "folder");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Hubs(c.hubMore);
        dir.Remove("HubBench.ini.state");
        RecordingDialog window{*engine};
        WindowOptions options;
        std::string error;
        ASSERT_TRUE(ParseWindowOptions(c.args, options, error)) << error;
        window.SetOptions(options);
        window.InitDialogLogic();
        // Before the start-up scan's first step.
        ASSERT_GE(window.calls.size(), 3u);
        EXPECT_EQ(window.calls[1], "line");
        EXPECT_EQ(window.line.rfind(c.before, 0), 0u) << std::string(window.line.begin(), window.line.end());
        window.OnStartUpgrade();
        EXPECT_EQ(window.line.rfind(c.after, 0), 0u) << std::string(window.line.begin(), window.line.end());
    }
}
