// Drives Tolvane.exe from another process the way an operator does: start
// it, find its dialog, press buttons, read what the window shows, answer the
// success box. Every wait is a poll with a deadline, so a hung or crashed
// program fails the test instead of stopping the run.
#ifndef TOLVANE_TESTS_WIN32_WINDOWDRIVER_H
#define TOLVANE_TESTS_WIN32_WINDOWDRIVER_H

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A started program. The destructor ends it if a failed test left it running.
class ChildProcess {
public:
    // Starts commandLine in folder; with output set, standard output and
    // error go into that file.
    ChildProcess(const std::wstring& commandLine, const std::filesystem::path& folder,
                 const std::filesystem::path& output = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD Id() const { return m_id; }
    // The exit code, or nothing when the program still runs after timeoutMs.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs);

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

bool RunsUnderWine();

// Why windows cannot be driven and their colours read here, or empty: under
// Wine an X display with at least 24 bits per pixel must be set.
std::string DisplayProblem();

// The visible main dialog of process processId (0: of any process), or null
// once timeoutMs have passed.
HWND WaitForDialog(DWORD processId, DWORD timeoutMs);

// Ends, by force, every process that still shows the main dialog: what a
// failed test leaves behind when the program was started by another one.
void EndStrayDialogs();

// The full path of the program that owns window.
std::filesystem::path ProgramOf(HWND window);

// Calls check every 50 ms until it returns true or timeoutMs have passed.
template <typename Check>
bool PollFor(DWORD timeoutMs, Check check)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (check())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
}

class DialogDriver;

// Starts Tolvane.exe from the program folder in folder and waits up to
// timeoutMs for its dialog, which shows once the start-up scan returned.
// Empty when both are there, else what went wrong.
std::string StartTolvane(const std::filesystem::path& folder, DWORD timeoutMs, std::unique_ptr<ChildProcess>& process,
                         std::unique_ptr<DialogDriver>& window, const std::wstring& args = L"");

class DialogDriver {
public:
    explicit DialogDriver(HWND dialog) : m_dialog(dialog) {}

    HWND Dialog() const { return m_dialog; }
    HWND Item(int id) const { return GetDlgItem(m_dialog, id); }

    // Clicks a button and returns once its handler has returned; false when
    // that takes longer than timeoutMs (a handler that opens a box never
    // returns while the box is open).
    bool Press(int id, DWORD timeoutMs);
    // Clicks a button and returns at once.
    void PressLater(int id);

    // The window's text through WM_GETTEXT; needs a dialog that takes
    // messages (idle, or in a message box's loop).
    std::wstring Text(int id) const;
    int ProgressPos() const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    // The colour at the middle of the lamp, as the screen shows it.
    COLORREF LampColour() const;
    // Polls until the lamp shows colour; false on timeout.
    bool WaitForLamp(COLORREF colour, DWORD timeoutMs) const;

    // The message box the dialog owns, or null once timeoutMs have passed.
    HWND WaitForOwnedBox(DWORD timeoutMs) const;
    // Answers the box with OK and waits until it is gone and the handler
    // that opened it has returned.
    bool CloseBox(HWND box, DWORD timeoutMs) const;
    // Waits until the dialog's thread takes messages again.
    bool WaitUntilResponsive(DWORD timeoutMs) const;

private:
    HWND m_dialog;
};

// The caption of a top-level window and the text of a message box.
std::wstring CaptionOf(HWND window);
std::wstring MessageBoxText(HWND box);

// A copy of what the screen shows of a window, 8-bit RGB, top row first.
struct ScreenCapture {
    int width = 0;
    int height = 0;
    RECT where{}; // screen coordinates
    std::vector<std::uint8_t> rgb;

    // The colour at a screen point inside the capture.
    COLORREF At(POINT screen) const;
};
bool CaptureWindow(HWND window, ScreenCapture& capture);

#endif
