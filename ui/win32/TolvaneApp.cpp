#include "TolvaneApp.h"

#include "ExitStatus.h"
#include "Interruption.h"
#include "Platform.h"
#include "ProtectionsLine.h"
#include "TolvaneWinDlg.h"

#include <commctrl.h>

#include <shellapi.h>

#include <string>
#include <vector>

CTolvaneApp theApp;

namespace {
// Scans and upgrades keep the window's thread busy by design; after 5 s
// Windows would cover the window with a "Not Responding" ghost, and with it
// the yellow lamp that tells the operator the tool is at work.
void KeepWindowVisibleWhileBusy()
{
    DisableProcessWindowsGhosting();
}

// Without its window the program can do nothing: the operator, and a.bat or
// the launcher through the exit status, must learn that it did not run.
void ReportNoWindow(DWORD error)
{
    const std::wstring text = L"Tolvane cannot open its window (error " + std::to_wstring(error) +
                              L").\r\nNo hub has been scanned or upgraded.";
    MessageBoxW(nullptr, text.c_str(), L"Tolvane", MB_OK | MB_ICONERROR);
}

// A command line the window does not understand: told on standard error,
// when whoever started the program gave it one, and in a box. Nothing has
// been scanned.
int RefuseCommandLine(const std::string& error)
{
    std::wstring text;
    for (const wchar_t c : WideFromUtf8(RefusedCommandLineText(error))) {
        if (c == L'\n')
            text += L'\r';
        text += c;
    }
    const HANDLE stderrHandle = GetStdHandle(STD_ERROR_HANDLE);
    if (stderrHandle != nullptr && stderrHandle != INVALID_HANDLE_VALUE) {
        const std::string bytes = tolvane::platform::WideToUtf8(text);
        DWORD written = 0;
        WriteFile(stderrHandle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    MessageBoxW(nullptr, text.c_str(), L"Tolvane", MB_OK | MB_ICONERROR);
    return kExitUsage;
}

// The words after the program's name, as 8-bit paths; a word with no 8-bit
// form stays empty, and is refused as a name.
std::vector<std::string> CommandLineWords()
{
    std::vector<std::string> words;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return words;
    for (int i = 1; i < count; ++i) {
        std::string word;
        if (!tolvane::platform::NarrowName(wide[i], word))
            word.clear();
        words.push_back(word);
    }
    LocalFree(wide);
    return words;
}
} // namespace

BOOL CTolvaneApp::InitInstance()
{
    KeepWindowVisibleWhileBusy();
    // The progress bar's class lives in the common controls; the version 6
    // manifest gives the buttons and the bar the current visual style.
    INITCOMMONCONTROLSEX InitCtrls;
    InitCtrls.dwSize = sizeof(InitCtrls);
    InitCtrls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&InitCtrls);

    CTolvaneWinDlg dlg(m_hInstance);
    dlg.SetOptions(m_options);
    // Whether the operator left with Enter, Escape or the close box makes no
    // difference: every upgrade is finished before a button can end it. Only
    // a dialog that never opened counts.
    SetLastError(ERROR_SUCCESS);
    if (dlg.DoModal() <= 0) {
        const DWORD error = GetLastError();
        m_nExitCode = 1;
        ReportNoWindow(error);
    }
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int)
{
    IgnoreFileSizeLimitSignal();
    theApp.m_hInstance = hInstance;
    std::string error;
    if (!ParseWindowOptions(CommandLineWords(), theApp.m_options, error))
        return RefuseCommandLine(error);
    theApp.InitInstance();
    return theApp.m_nExitCode;
}
