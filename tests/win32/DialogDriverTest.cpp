// Tolvane.exe as the operator meets it: started in a folder with settings, a
// bench and images, worked through its dialog from this process. Every
// start waits out the real 2000 ms settle pause, so the cases are few and
// each follows a whole story.
#include "Bench.h"
#include "Images.h"
#include "LampColours.h"
#include "PngFile.h"
#include "ProgramFolder.h"
#include "ScratchDir.h"
#include "WindowDriver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <memory>

namespace fs = std::filesystem;

namespace {
// Wine's start, the settle pause and the scan; an upgrade scans again first.
constexpr DWORD kStartMs = 30000;
constexpr DWORD kUpgradeMs = 60000;
constexpr DWORD kQuickMs = 10000;

const wchar_t kCompletedText[] = L"Upgrade is completed.\r\nPlease power cycle the hub.";
const char kIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

std::string Hub(int n, unsigned depth, const std::string& more = "")
{
    return HubSection(n, 0x05E3, 0x0610, 0x0100, depth, "ChipVersion=0x10\nUpdateMs=200\n" + more);
}

void SetUserValue(const wchar_t* key, const wchar_t* name, const wchar_t* value)
{
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value, bytes);
}

// Without a window manager Wine's windows have no caption unless Wine draws
// it itself; and the dialog's Times New Roman is best stood in for by the
// font with the same metrics, so the layout matches Windows.
void PrepareWineForPictures()
{
    if (!RunsUnderWine())
        return;
    SetUserValue(L"Software\\Wine\\X11 Driver", L"Decorated", L"N");
    SetUserValue(L"Software\\Wine\\Fonts\\Replacements", L"Times New Roman", L"Liberation Serif");
}

// Sets the system DPI that Wine gives the programs started from now on,
// and takes it back when it goes out of scope.
class SystemDpi {
public:
    explicit SystemDpi(DWORD dpi) { Set(dpi); }
    ~SystemDpi() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels"); }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

private:
    static void Set(DWORD dpi) { RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi); }
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
};

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom && inner.right > inner.left && inner.bottom > inner.top;
}

class TolvaneWindowTest : public testing::Test {
protected:
    TolvaneWindowTest()
    {
        dir.Write("SpiFlash.ini", kIni);
        ImageParams image;
        image.targetId = 0x0D13;
        image.versionWord = 0x0655;
        dir.Write("Bin/GL.BIN", ImageBytes(image));
    }

    // Starts Tolvane.exe in the scratch folder and waits for its dialog,
    // which shows only once the start-up scan has returned.
    void Start(const std::wstring& args = L"")
    {
        ASSERT_EQ(StartTolvane(dir.Path(), kStartMs, process, window, args), "");
    }

    // Photographs the dialog, which must show the green lamp, into the
    // build's screenshots folder.
    void ExpectGreenLampInPicture(const char* name)
    {
        ScreenCapture capture;
        ASSERT_TRUE(CaptureWindow(window->Dialog(), capture));
        RECT lamp{};
        GetWindowRect(window->Item(IDC_LAMP), &lamp);
        EXPECT_EQ(capture.At({(lamp.left + lamp.right) / 2, (lamp.top + lamp.bottom) / 2}), kLampGreen);
        const fs::path folder = ProgramFolder().parent_path() / "screenshots";
        fs::create_directories(folder);
        EXPECT_TRUE(WritePng(folder / name, capture.width, capture.height, capture.rgb));
    }

    // Ends the dialog with message and expects the program to end with it.
    void ExpectEndsWith(UINT message, WPARAM wParam)
    {
        PostMessageW(window->Dialog(), message, wParam, 0);
        const std::optional<DWORD> code = process->WaitForExit(kQuickMs);
        ASSERT_TRUE(code.has_value()) << "the program still runs after the dialog was ended";
        EXPECT_EQ(*code, 0u);
    }

    ScratchDir dir;
    std::unique_ptr<ChildProcess> process;
    std::unique_ptr<DialogDriver> window;
};
} // namespace

TEST_F(TolvaneWindowTest, PassingStartUpScanThenASuccessfulUpgrade)
{
    WriteBench(dir, Hub(1, 1) + Hub(2, 2));
    ASSERT_NO_FATAL_FAILURE(Start());

    const std::wstring list = L"2 devices found:\r\n"
                              L"(1)Depth1, V/PID = 05E3/0610, FW Version = 0100\r\n"
                              L"(2)Depth2, V/PID = 05E3/0610, FW Version = 0100\r\n";
    EXPECT_EQ(window->Text(IDC_LOG), list);
    EXPECT_TRUE(window->Enabled(IDC_START_UPGRADE));
    EXPECT_TRUE(window->Enabled(IDC_SCAN_DEVICE));
    EXPECT_EQ(window->ProgressPos(), 0);
    EXPECT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();

    window->PressLater(IDC_START_UPGRADE);
    const HWND box = window->WaitForOwnedBox(kUpgradeMs);
    ASSERT_NE(box, nullptr) << "no success box";
    EXPECT_EQ(CaptionOf(box), L"");
    EXPECT_EQ(MessageBoxText(box), kCompletedText);
    // While the box is open the run stands finished but not yet tidied up.
    EXPECT_EQ(window->ProgressPos(), 100);
    EXPECT_FALSE(window->Enabled(IDC_SCAN_DEVICE));
    EXPECT_FALSE(window->Enabled(IDC_START_UPGRADE));
    EXPECT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();
    EXPECT_EQ(window->Text(IDC_LOG), list + L"ISP in device(2) is being upgraded.\r\n"
                                            L"Device(2): GL.BIN\r\n   =>Upgrade successful\r\n"
                                            L"ISP in device(1) is being upgraded.\r\n"
                                            L"Device(1): GL.BIN\r\n   =>Upgrade successful\r\n");

    ASSERT_TRUE(window->CloseBox(box, kQuickMs));
    EXPECT_EQ(window->ProgressPos(), 0);
    EXPECT_TRUE(window->Enabled(IDC_SCAN_DEVICE));
    EXPECT_FALSE(window->Enabled(IDC_START_UPGRADE));
    EXPECT_EQ(window->LampColour(), kLampGreen);
    const std::string state = dir.Read("HubBench.ini.state");
    EXPECT_NE(state.find("Hub1=0x0655"), std::string::npos) << state;
    EXPECT_NE(state.find("Hub2=0x0655"), std::string::npos) << state;

    ExpectEndsWith(WM_COMMAND, IDCANCEL);
}

TEST_F(TolvaneWindowTest, FailingStartUpScanThenARescanWithTheDriverInstalled)
{
    WriteBench(dir, Hub(1, 1), false);
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_NE(window->Text(IDC_LOG).find(L"!!!Error Filter Driver not found!!\r\n"), std::wstring::npos)
        << window->Text(IDC_LOG).c_str();
    EXPECT_FALSE(window->Enabled(IDC_START_UPGRADE));
    EXPECT_TRUE(window->Enabled(IDC_SCAN_DEVICE));
    EXPECT_TRUE(window->WaitForLamp(kLampRed, kQuickMs)) << std::hex << window->LampColour();

    WriteBench(dir, Hub(1, 1), true);
    ASSERT_TRUE(window->Press(IDC_SCAN_DEVICE, kStartMs));
    EXPECT_EQ(window->Text(IDC_LOG), L"1 device  found:\r\n(1)Depth1, V/PID = 05E3/0610, FW Version = 0100\r\n");
    EXPECT_TRUE(window->Enabled(IDC_START_UPGRADE));
    EXPECT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();

    ExpectEndsWith(WM_SYSCOMMAND, SC_CLOSE);
}

TEST_F(TolvaneWindowTest, FailedUpgradeOpensNoBoxAndNeedsANewScan)
{
    WriteBench(dir, Hub(1, 1, "UpdateResult=4\n"));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(window->Enabled(IDC_START_UPGRADE));

    // The handler returns on its own only when it opens no box.
    ASSERT_TRUE(window->Press(IDC_START_UPGRADE, kUpgradeMs)) << "the upgrade did not return; a box is open?";
    const std::wstring log = window->Text(IDC_LOG);
    EXPECT_NE(log.find(L"ISP in device(1) is being upgraded.\r\n!!!Error Device(1):=> Upgrade failed\r\n"),
              std::wstring::npos)
        << log.c_str();
    EXPECT_EQ(window->ProgressPos(), 50);
    EXPECT_FALSE(window->Enabled(IDC_START_UPGRADE));
    EXPECT_TRUE(window->Enabled(IDC_SCAN_DEVICE));
    EXPECT_TRUE(window->WaitForLamp(kLampRed, kQuickMs)) << std::hex << window->LampColour();
    EXPECT_EQ(dir.Read("HubBench.ini.state"), "");

    // A command that reaches the disabled button anyway changes nothing.
    ASSERT_TRUE(window->Press(IDC_START_UPGRADE, kQuickMs));
    EXPECT_EQ(window->Text(IDC_LOG), log);
    EXPECT_EQ(window->ProgressPos(), 50);

    ExpectEndsWith(WM_COMMAND, IDOK);
}

TEST_F(TolvaneWindowTest, UpgradeThroughTheButtonKeepsTheHistory)
{
    WriteBench(dir, Hub(1, 1));
    ASSERT_NO_FATAL_FAILURE(Start(L"--history h.jsonl"));
    // The protections line, under every other control.
    EXPECT_EQ(window->Text(IDC_PROTECTIONS), L"History h.jsonl; no approved list; no verification.");
    RECT line{};
    GetWindowRect(window->Item(IDC_PROTECTIONS), &line);
    for (int id : {IDC_SCAN_DEVICE, IDC_START_UPGRADE, IDC_LOG, IDC_LOGO, IDC_PROGRESS, IDC_LAMP}) {
        RECT control{};
        GetWindowRect(window->Item(id), &control);
        EXPECT_GE(line.top, control.bottom) << "control " << id;
    }
    window->PressLater(IDC_START_UPGRADE);
    const HWND box = window->WaitForOwnedBox(kUpgradeMs);
    ASSERT_NE(box, nullptr) << "no success box";
    // Told before the box opens.
    EXPECT_EQ(window->Text(IDC_PROTECTIONS),
              L"History h.jsonl; no approved list; no verification. Last upgrade: 1 of 1 hub programmed.");
    ASSERT_TRUE(window->CloseBox(box, kQuickMs));

    const std::string history = dir.Read("h.jsonl");
    std::string kinds;
    for (std::size_t at = history.find("\"kind\":\""); at != std::string::npos;
         at = history.find("\"kind\":\"", at + 1))
        kinds += history.substr(at + 8, history.find('"', at + 8) - at - 8) + " ";
    EXPECT_EQ(kinds, "run-start write-start result run-end ") << history;
    EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 4);
    EXPECT_NE(history.find("\"program\":\"Tolvane\""), std::string::npos);
    EXPECT_NE(history.find("\"outcome\":\"programmed\""), std::string::npos);
    ExpectEndsWith(WM_COMMAND, IDCANCEL);
}

TEST_F(TolvaneWindowTest, VerifyAddsItsLinesAfterTheRunAndTurnsTheLampRedForAHubWithoutItsFirmware)
{
    const struct {
        const char* name;
        const char* hubMore;
        bool passed;
        const wchar_t* verifyLine;
    } cases[] = {
        {"takes its firmware", "", true, L"Device(1): FW Version = 0655\r\n   =>Verify successful\r\n"},
        {"keeps its old firmware", "NoVersionChange=1\n", false,
         L"!!!Error Device(1):=> Verify failed, FW Version = 0100, expected 0655\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Remove("HubBench.ini.state");
        WriteBench(dir, Hub(1, 1, c.hubMore));
        ASSERT_NO_FATAL_FAILURE(Start(L"--verify"));
        if (c.passed) {
            window->PressLater(IDC_START_UPGRADE);
            const HWND box = window->WaitForOwnedBox(kUpgradeMs);
            ASSERT_NE(box, nullptr) << "no success box";
            ASSERT_TRUE(window->CloseBox(box, kQuickMs));
        } else {
            ASSERT_TRUE(window->Press(IDC_START_UPGRADE, kUpgradeMs)) << "the press did not return; a box is open?";
        }
        const std::wstring log = window->Text(IDC_LOG);
        const std::size_t run = log.find(L"   =>Upgrade successful\r\n");
        ASSERT_NE(run, std::wstring::npos) << log.c_str();
        EXPECT_EQ(log.find(c.verifyLine), log.size() - wcslen(c.verifyLine)) << log.c_str();
        EXPECT_LT(run, log.find(c.verifyLine));
        EXPECT_TRUE(window->WaitForLamp(c.passed ? kLampGreen : kLampRed, kQuickMs))
            << std::hex << window->LampColour();
        ExpectEndsWith(WM_COMMAND, IDOK);
    }
}

TEST_F(TolvaneWindowTest, AHistoryThatCannotBeOpenedEndsRedWithOneErrorLineAndNoHubTouched)
{
    WriteBench(dir, Hub(1, 1));
    fs::create_directories(dir.Path() / "folder");
    ASSERT_NO_FATAL_FAILURE(Start(L"--history folder"));
    ASSERT_TRUE(window->Press(IDC_START_UPGRADE, kUpgradeMs)) << "the press did not return; a box is open?";
    const std::wstring log = window->Text(IDC_LOG);
    EXPECT_EQ(log.rfind(L"!!!Error cannot write the history to folder: ", 0), 0u) << log.c_str();
    EXPECT_EQ(std::count(log.begin(), log.end(), L'\n'), 1) << log.c_str();
    EXPECT_TRUE(window->WaitForLamp(kLampRed, kQuickMs)) << std::hex << window->LampColour();
    EXPECT_TRUE(window->Enabled(IDC_SCAN_DEVICE));
    EXPECT_EQ(dir.Read("HubBench.ini.state"), "");
    ExpectEndsWith(WM_COMMAND, IDOK);
}

// Every message after the first is added to the box, not written anew; the
// box must still take all of it, past an edit control's usual 30000
// characters, and show it from its first line as after SetWindowText.
TEST_F(TolvaneWindowTest, LogLongerThanTheBoxLimitArrivesWholeAndShowsItsStart)
{
    constexpr int kIllegal = 800;
    for (int i = 0; i < kIllegal; ++i)
        dir.Write("Bin/BAD" + std::to_string(1000 + i) + ".BIN", std::string("\x0D\x12\x00\x00", 4));
    WriteBench(dir, Hub(1, 1, "UpdateResult=4\n"));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(window->Press(IDC_START_UPGRADE, kUpgradeMs)) << "the upgrade did not return; a box is open?";

    const std::wstring log = window->Text(IDC_LOG);
    EXPECT_GT(log.size(), 30000u);
    EXPECT_EQ(log.rfind(L"1 device  found:\r\n", 0), 0u) << log.substr(0, 200).c_str();
    std::size_t warnings = 0;
    for (std::size_t at = log.find(L" bin file is illgal...\r\n"); at != std::wstring::npos;
         at = log.find(L" bin file is illgal...\r\n", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, static_cast<std::size_t>(kIllegal));
    const std::wstring end = L"ISP in device(1) is being upgraded.\r\n!!!Error Device(1):=> Upgrade failed\r\n";
    ASSERT_GE(log.size(), end.size());
    EXPECT_EQ(log.substr(log.size() - end.size()), end);

    const HWND box = GetDlgItem(window->Dialog(), IDC_LOG);
    EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_EQ(SendMessageW(box, EM_GETSEL, 0, 0), 0) << "the caret is not at the start";
    EXPECT_EQ(SendMessageW(box, EM_GETMODIFY, 0, 0), 0);

    ExpectEndsWith(WM_COMMAND, IDOK);
}

// The picture for the README: the demo bench right after the start-up scan.
TEST_F(TolvaneWindowTest, ScreenshotOfTheDemoBench)
{
    dir.Write("SpiFlash.ini", ReadSource("demo/SpiFlash.ini"));
    dir.Write("HubBench.ini", ReadSource("demo/HubBench.ini"));
    // The demo bench names the filter driver's key for Linux; here the key
    // is the real registry's.
    SetFilterDriverKey(true);
    PrepareWineForPictures();

    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(window->Text(IDC_LOG), L"3 devices found:\r\n"
                                     L"(1)Depth1, V/PID = 3C5E/0460, FW Version = V1.18\r\n"
                                     L"(2)Depth2, V/PID = 3C5E/0460, FW Version = V2.18\r\n"
                                     L"(3)Depth2, V/PID = 05E3/0610, FW Version = 0654\r\n");
    ASSERT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();
    // Let the controls finish painting before the picture is taken.
    ASSERT_TRUE(window->WaitUntilResponsive(kQuickMs));
    Sleep(500);

    ExpectGreenLampInPicture("tolvane-windows.png");

    ExpectEndsWith(WM_COMMAND, IDCANCEL);
}

// At 144 DPI (150 %), as on many laptops: the program declares itself aware
// of the system DPI, so Windows draws it at full size rather than stretching
// a 96-DPI picture; the dialog units grow with the font and every control
// stays inside the window. The picture is for a human eye as well.
TEST_F(TolvaneWindowTest, At144DpiTheDialogGrowsAndCutsNothing)
{
    if (!RunsUnderWine())
        GTEST_SKIP() << "the system DPI is set through Wine's registry";
    dir.Write("SpiFlash.ini", ReadSource("demo/SpiFlash.ini"));
    dir.Write("HubBench.ini", ReadSource("demo/HubBench.ini"));
    SetFilterDriverKey(true);
    PrepareWineForPictures();
    SystemDpi dpi(144);

    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();
    ASSERT_TRUE(window->WaitUntilResponsive(kQuickMs));
    Sleep(500);

    RECT client{};
    GetClientRect(window->Dialog(), &client);
    MapWindowPoints(window->Dialog(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    // 172 dialog units across: at 96 DPI this font makes it some 320 pixels.
    EXPECT_GT(client.right - client.left, 430) << "the dialog did not grow with the DPI";
    for (int id : {IDC_SCAN_DEVICE, IDC_START_UPGRADE, IDC_LOG, IDC_LOGO, IDC_PROGRESS, IDC_LAMP, IDC_PROTECTIONS}) {
        RECT control{};
        GetWindowRect(window->Item(id), &control);
        EXPECT_TRUE(Inside(control, client)) << "control " << id << " is cut";
    }

    ExpectGreenLampInPicture("tolvane-windows-144dpi.png");

    ExpectEndsWith(WM_COMMAND, IDCANCEL);
}

namespace {
// The run-start lines of a history, in order, as their board numbers.
std::string BoardsOf(const std::string& history)
{
    std::string boards;
    for (std::size_t at = history.find("\"board\":"); at != std::string::npos; at = history.find("\"board\":", at + 1))
        boards += history.substr(at + 8, history.find_first_of(",}", at) - at - 8) + " ";
    return boards;
}
} // namespace

// A short shift in the loop: a board that passes and is left in, one whose
// hub fails, one more; the lamp waits blue between them, and the window
// still ends as ever.
TEST_F(TolvaneWindowTest, LoopUpgradesEachBoardOnceAndWaitsBlueBetween)
{
    WriteBench(dir, Hub(1, 1));
    ASSERT_NO_FATAL_FAILURE(Start(L"--loop --boards 3 --history h.jsonl"));
    const auto lineHas = [this](const std::wstring& text) {
        return PollFor(kUpgradeMs, [&] { return window->Text(IDC_PROTECTIONS).find(text) != std::wstring::npos; });
    };
    ASSERT_TRUE(lineHas(L"board 1: PASS 1 programmed")) << dir.Read("h.jsonl");
    EXPECT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();
    Sleep(3000);
    EXPECT_EQ(BoardsOf(dir.Read("h.jsonl")), "1 ");
    EXPECT_FALSE(window->Enabled(IDC_SCAN_DEVICE));

    WriteBench(dir, "");
    EXPECT_TRUE(window->WaitForLamp(kLampBlue, kQuickMs)) << std::hex << window->LampColour();
    dir.Remove("HubBench.ini.state");
    WriteBench(dir, Hub(1, 1, "UpdateResult=4\n"));
    ASSERT_TRUE(lineHas(L"board 2: FAIL hub 1: "));
    EXPECT_TRUE(window->WaitForLamp(kLampRed, kQuickMs)) << std::hex << window->LampColour();

    WriteBench(dir, "");
    EXPECT_TRUE(window->WaitForLamp(kLampBlue, kQuickMs)) << std::hex << window->LampColour();
    WriteBench(dir, Hub(1, 1));
    ASSERT_TRUE(lineHas(L"Loop ended: 3 boards, 2 passed, 1 failed."));
    EXPECT_EQ(BoardsOf(dir.Read("h.jsonl")), "1 2 3 ");
    EXPECT_TRUE(window->Enabled(IDC_SCAN_DEVICE));
    ExpectEndsWith(WM_COMMAND, IDCANCEL);
}
