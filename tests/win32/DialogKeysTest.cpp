// The keys of Tolvane.exe's dialog, pressed for real: the dialog in the
// foreground, the focus where the operator would have put it, and the keys
// through SendInput, so they pass the edit control and the dialog manager
// as on a desk. Windows ends a dialog on Enter unless a push button has the
// focus; these cases hold Wine (and any other host) to that.
#include "Bench.h"
#include "ImageWriter.h"
#include "KeyInput.h"
#include "LampColours.h"
#include "ScratchDir.h"
#include "WindowDriver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
constexpr DWORD kStartMs = 30000;
constexpr DWORD kQuickMs = 10000;
// How long a key that must change nothing is given to change something.
constexpr DWORD kSettleMs = 1500;

class DialogKeysTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("SpiFlash.ini", "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n");
        WriteBench(dir, HubSection(1, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\n"));
        ASSERT_EQ(StartTolvane(dir.Path(), kStartMs, process, window), "");
        ASSERT_TRUE(window->WaitForLamp(kLampGreen, kQuickMs)) << std::hex << window->LampColour();
    }

    void Focus(int id) { ASSERT_TRUE(FocusDialogControl(window->Dialog(), window->Item(id), kQuickMs)) << id; }

    void Press(std::initializer_list<WORD> keys) { ASSERT_TRUE(PressKeys(window->Dialog(), keys)); }

    // The program ended by the keys just pressed, as by the dialog's own
    // OK or Cancel: with status 0.
    void ExpectProgramEnded()
    {
        const std::optional<DWORD> code = process->WaitForExit(kQuickMs);
        ASSERT_TRUE(code.has_value()) << "the dialog is still open";
        EXPECT_EQ(*code, 0u);
    }

    bool StillRuns() { return !process->WaitForExit(0).has_value(); }

    ScratchDir dir;
    std::unique_ptr<ChildProcess> process;
    std::unique_ptr<DialogDriver> window;
};
} // namespace

TEST_F(DialogKeysTest, EnterInTheLogBoxEndsTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(Focus(IDC_LOG));
    ASSERT_NO_FATAL_FAILURE(Press({VK_RETURN}));
    ExpectProgramEnded();
}

TEST_F(DialogKeysTest, LogBoxTakesTypingButNoLineFromCtrlEnterAndEscapeEndsTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(Focus(IDC_LOG));
    const std::wstring before = window->Text(IDC_LOG);
    // A letter at the end first: it shows that keys reach the box at all,
    // so that the unchanged text after Ctrl+Enter means something. (The
    // focus came with the whole text selected, as in any dialog.)
    ASSERT_NO_FATAL_FAILURE(Press({VK_CONTROL, VK_END}));
    ASSERT_NO_FATAL_FAILURE(Press({'X'}));
    const std::wstring typed = before + L"x";
    ASSERT_TRUE(PollFor(kQuickMs, [&] { return window->Text(IDC_LOG) == typed; }))
        << "the typed letter did not arrive: " << window->Text(IDC_LOG).c_str();

    ASSERT_NO_FATAL_FAILURE(Press({VK_CONTROL, VK_RETURN}));
    Sleep(kSettleMs);
    ASSERT_TRUE(StillRuns()) << "Ctrl+Enter ended the program";
    EXPECT_EQ(window->Text(IDC_LOG), typed);
    EXPECT_EQ(FocusOf(window->Dialog()), window->Item(IDC_LOG));

    ASSERT_NO_FATAL_FAILURE(Press({VK_ESCAPE}));
    ExpectProgramEnded();
}

TEST_F(DialogKeysTest, EnterOnAFocusedButtonPressesItInsteadOfEndingTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(Focus(IDC_SCAN_DEVICE));
    // The rescan finds the filter driver gone: a new log and a red lamp
    // show that the button ran.
    WriteBench(dir, HubSection(1, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\n"), false);
    ASSERT_NO_FATAL_FAILURE(Press({VK_RETURN}));
    EXPECT_TRUE(window->WaitForLamp(kLampRed, kStartMs)) << std::hex << window->LampColour();
    ASSERT_TRUE(window->WaitUntilResponsive(kQuickMs));
    EXPECT_NE(window->Text(IDC_LOG).find(L"!!!Error Filter Driver not found!!\r\n"), std::wstring::npos);
    EXPECT_TRUE(StillRuns()) << "Enter on the button ended the program";
    EXPECT_EQ(FocusOf(window->Dialog()), window->Item(IDC_SCAN_DEVICE));

    ASSERT_NO_FATAL_FAILURE(Press({VK_ESCAPE}));
    ExpectProgramEnded();
}
