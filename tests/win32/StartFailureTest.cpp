// Tolvane.exe when its window cannot be made: the program code linked with
// resources that lack the dialog template (tolvane-without-dialog.exe). The
// operator must be told, and a.bat and the launcher must see a failure.
#include "ProgramFolder.h"
#include "ScratchDir.h"
#include "WindowDriver.h"

#include <gtest/gtest.h>

namespace {
constexpr DWORD kStartMs = 30000;
constexpr DWORD kQuickMs = 10000;

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
} // namespace

TEST(TolvaneStart, WithoutItsDialogTheProgramSaysSoAndFails)
{
    ASSERT_EQ(DisplayProblem(), "");
    ScratchDir dir;
    const std::filesystem::path exe = ProgramFolder() / "tolvane-without-dialog.exe";
    ChildProcess process(L"\"" + exe.wstring() + L"\"", dir.Path());
    ASSERT_TRUE(process.Started()) << "cannot start " << exe.string();

    const HWND box = WaitForTopLevelBox(process.Id(), L"Tolvane", kStartMs);
    ASSERT_NE(box, nullptr) << "no message box";
    // ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND: the
    // number tells the technician that the template is what is missing.
    const std::wstring text = MessageBoxText(box);
    const std::wstring tail = L").\r\nNo hub has been scanned or upgraded.";
    EXPECT_TRUE(text == L"Tolvane cannot open its window (error 1813" + tail ||
                text == L"Tolvane cannot open its window (error 1814" + tail)
        << text.c_str();
    EXPECT_FALSE(process.WaitForExit(0).has_value()) << "the program ended before the box was answered";
    EXPECT_EQ(WaitForDialog(process.Id(), 0), nullptr);

    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    const std::optional<DWORD> code = process.WaitForExit(kQuickMs);
    ASSERT_TRUE(code.has_value()) << "the program still runs after the box was answered";
    EXPECT_EQ(*code, 1u);
}
