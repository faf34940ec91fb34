// Tolvane.exe's command line and what it shows while a run holds its thread:
// a word it does not understand stops it before any scan, with a box that
// names the word and the exit status of a usage error; the log box shows
// the log in the middle of a slow write as it would once the run is over.
#include "Bench.h"
#include "Images.h"
#include "ProgramFolder.h"
#include "ScratchDir.h"
#include "WindowDriver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

namespace fs = std::filesystem;

namespace {
constexpr DWORD kStartMs = 30000;
constexpr DWORD kUpgradeMs = 60000;
constexpr DWORD kQuickMs = 10000;

const char kIni[] = "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";

std::string Hub(int n, unsigned depth, unsigned updateMs)
{
    return HubSection(n, 0x05E3, 0x0610, 0x0100, depth,
                      "ChipVersion=0x10\nUpdateMs=" + std::to_string(updateMs) + "\n");
}

// The visible top-level box of process id captioned title, or null.
HWND WaitForTopLevelBox(DWORD processId, const wchar_t* title, DWORD timeoutMs)
{
    HWND found = nullptr;
    PollFor(timeoutMs, [&] {
        for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", title));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == processId && IsWindowVisible(box) && !GetWindow(box, GW_OWNER)) {
                found = box;
                return true;
            }
        }
        return false;
    });
    return found;
}

// Pixels that differ between two captures of one size, and the pixels of b
// that are not its commonest colour (its text, bars and frame).
struct Difference {
    std::size_t differing = 0;
    std::size_t inked = 0;
};

Difference Compare(const ScreenCapture& a, const ScreenCapture& b)
{
    Difference d;
    std::map<std::uint32_t, std::size_t> colours;
    const auto at = [](const ScreenCapture& c, std::size_t i) {
        return (std::uint32_t{c.rgb[i * 3]} << 16) | (std::uint32_t{c.rgb[i * 3 + 1]} << 8) | c.rgb[i * 3 + 2];
    };
    const std::size_t pixels = b.rgb.size() / 3;
    for (std::size_t i = 0; i < pixels; ++i) {
        ++colours[at(b, i)];
        if (i < a.rgb.size() / 3 && at(a, i) != at(b, i))
            ++d.differing;
    }
    std::size_t commonest = 0;
    for (const auto& [colour, count] : colours)
        commonest = std::max(commonest, count);
    d.inked = pixels - commonest;
    return d;
}

class WindowLineTest : public testing::Test {
protected:
    WindowLineTest()
    {
        dir.Write("SpiFlash.ini", kIni);
        ImageParams image;
        image.targetId = 0x0D13;
        image.versionWord = 0x0655;
        dir.Write("Bin/GL.BIN", ImageBytes(image));
    }

    ScratchDir dir;
};
} // namespace

TEST_F(WindowLineTest, ACommandLineItDoesNotUnderstandStopsTheProgramBeforeAnyScan)
{
    ASSERT_EQ(DisplayProblem(), "");
    WriteBench(dir, Hub(1, 1, 200));
    const struct {
        const wchar_t* args;
        const wchar_t* named;
    } cases[] = {
        {L"--histroy h.jsonl --aproved approved.txt", L"unknown option \"--histroy\""},
        {L"--history h.jsonl --history g.jsonl", L"--history is given more than once"},
        {L"--history h.jsonl --approved ok.txt --signature ok.sig", L"--signature needs --trust"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.args)));
        const fs::path exe = ProgramFolder() / "Tolvane.exe";
        ChildProcess process(L"\"" + exe.wstring() + L"\" " + c.args, dir.Path(), dir.Path() / "stderr.txt");
        ASSERT_TRUE(process.Started());
        const HWND box = WaitForTopLevelBox(process.Id(), L"Tolvane", kStartMs);
        ASSERT_NE(box, nullptr) << "no message box";
        const std::wstring text = MessageBoxText(box);
        EXPECT_NE(text.find(std::wstring(L"command line: ") + c.named + L".\r\n"), std::wstring::npos) << text.c_str();
        EXPECT_NE(text.find(L"\r\n  --trust KEY "), std::wstring::npos) << text.c_str();
        EXPECT_EQ(WaitForDialog(process.Id(), 0), nullptr);

        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        const std::optional<DWORD> code = process.WaitForExit(kQuickMs);
        ASSERT_TRUE(code.has_value()) << "the program still runs after the box was answered";
        EXPECT_EQ(*code, 2u);
        EXPECT_FALSE(fs::exists(dir.Path() / "h.jsonl"));
        const std::string err = dir.Read("stderr.txt");
        EXPECT_EQ(err.rfind("Tolvane does not understand its command line: ", 0), 0u) << err;
    }
}

TEST_F(WindowLineTest, TheLogOnScreenInTheMiddleOfASlowWriteIsTheLogOfThatMoment)
{
    // The run goes from hub 3 to hub 1; hub 2's write holds the thread long
    // past the 4 and 8.5 seconds after which Wine's screen went wrong.
    constexpr unsigned kSlowMs = 14000;
    WriteBench(dir, Hub(1, 1, 200) + Hub(2, 2, kSlowMs) + Hub(3, 2, 200));
    std::unique_ptr<ChildProcess> process;
    std::unique_ptr<DialogDriver> window;
    ASSERT_EQ(StartTolvane(dir.Path(), kStartMs, process, window, L"--verify"), "");
    EXPECT_EQ(window->Text(IDC_PROTECTIONS), L"No history; no approved list; verification on.");

    window->PressLater(IDC_START_UPGRADE);
    ASSERT_TRUE(PollFor(kUpgradeMs, [&] { return dir.Read("HubBench.ini.state").find("Hub3=") != std::string::npos; }))
        << "hub 3 was not programmed";
    std::vector<ScreenCapture> during(2);
    for (ScreenCapture& capture : during) {
        Sleep(5000);
        ASSERT_TRUE(CaptureWindow(window->Item(IDC_LOG), capture));
    }
    const HWND box = window->WaitForOwnedBox(kUpgradeMs);
    ASSERT_NE(box, nullptr) << "no success box";
    ASSERT_TRUE(window->CloseBox(box, kQuickMs));
    EXPECT_EQ(window->Text(IDC_PROTECTIONS),
              L"No history; no approved list; verification on. Last upgrade: 3 of 3 hubs programmed.");

    // The log during hub 2's write: all up to the line that announced it.
    const std::wstring log = window->Text(IDC_LOG);
    const std::wstring announced = L"ISP in device(2) is being upgraded.\r\n";
    const std::size_t at = log.find(announced);
    ASSERT_NE(at, std::wstring::npos) << log.c_str();
    const std::wstring then = log.substr(0, at + announced.size());
    // The box itself renders that text, idle, for the reference.
    SendMessageW(window->Item(IDC_LOG), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(then.c_str()));
    ASSERT_TRUE(window->WaitUntilResponsive(kQuickMs));
    Sleep(500);
    ScreenCapture reference;
    ASSERT_TRUE(CaptureWindow(window->Item(IDC_LOG), reference));
    for (std::size_t i = 0; i < during.size(); ++i) {
        SCOPED_TRACE("photo " + std::to_string(i + 1));
        ASSERT_EQ(during[i].rgb.size(), reference.rgb.size());
        const Difference d = Compare(during[i], reference);
        EXPECT_GT(d.inked, reference.rgb.size() / 3 / 50) << "the reference shows no text";
        // A caret's column at most; text that is smeared or gone differs by
        // most of its ink.
        EXPECT_LT(d.differing, d.inked / 10) << d.differing << " of " << reference.rgb.size() / 3 << " pixels differ";
    }
    PostMessageW(window->Dialog(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(process->WaitForExit(kQuickMs).has_value());
}
