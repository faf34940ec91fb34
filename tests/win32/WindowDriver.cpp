#include "WindowDriver.h"

#include "DialogTable.h"
#include "ProgramFolder.h"
#include "resource.h"

#include <commctrl.h>

namespace fs = std::filesystem;

namespace {
// Generous for one message: a dialog that is merely idle answers at once.
constexpr UINT kMessageTimeoutMs = 10000;

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kMessageTimeoutMs, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                             kMessageTimeoutMs, &copied))
        return L"<no answer>";
    text.resize(copied);
    return text;
}
} // namespace

ChildProcess::ChildProcess(const std::wstring& commandLine, const fs::path& folder, const fs::path& output)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = out;
    }
    std::wstring command = commandLine;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0, nullptr,
                       folder.c_str(), &startup, &process)) {
        CloseHandle(process.hThread);
        m_process = process.hProcess;
        m_id = process.dwProcessId;
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
}

ChildProcess::~ChildProcess()
{
    if (!m_process)
        return;
    if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process, 99);
        WaitForSingleObject(m_process, 5000);
    }
    CloseHandle(m_process);
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs)
{
    DWORD code = 0;
    if (!m_process || WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(m_process, &code))
        return std::nullopt;
    return code;
}

bool RunsUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::string DisplayProblem()
{
    if (RunsUnderWine() && GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0)
        return "no X display: run under xvfb-run -a -s \"-screen 0 1024x768x24\"";
    HDC screen = GetDC(nullptr);
    const int depth = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    if (depth < 24)
        return "the display has " + std::to_string(depth) + " bits per pixel; the lamp colours need 24";
    return std::string();
}

HWND WaitForDialog(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    PollFor(timeoutMs, [&] {
        // Other programs' dialogs may carry the same title: the owner decides.
        for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", dialog_table::kCaption));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if ((processId == 0 || owner == processId) && IsWindowVisible(window)) {
                found = window;
                return true;
            }
        }
        return false;
    });
    return found;
}

void EndStrayDialogs()
{
    while (const HWND dialog = FindWindowExW(nullptr, nullptr, L"#32770", dialog_table::kCaption)) {
        DWORD id = 0;
        GetWindowThreadProcessId(dialog, &id);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process)
            return;
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

fs::path ProgramOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process)
        return fs::path();
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = MAX_PATH * 2;
    const BOOL found = QueryFullProcessImageNameW(process, 0, path, &length);
    CloseHandle(process);
    return found ? fs::path(std::wstring(path, length)) : fs::path();
}

bool DialogDriver::Press(int id, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)),
                               SMTO_NORMAL, timeoutMs, &result) != 0;
}

void DialogDriver::PressLater(int id)
{
    PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

std::wstring DialogDriver::Text(int id) const
{
    // The length first, under a deadline: GetDlgItemTextW itself would wait
    // for ever on a dialog that is busy.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(Item(id), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kMessageTimeoutMs, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    const UINT copied = GetDlgItemTextW(m_dialog, id, text.data(), static_cast<int>(text.size()));
    text.resize(copied);
    return text;
}

int DialogDriver::ProgressPos() const
{
    DWORD_PTR position = 0;
    if (!SendMessageTimeoutW(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0, SMTO_NORMAL, kMessageTimeoutMs, &position))
        return -1;
    return static_cast<int>(position);
}

COLORREF DialogDriver::LampColour() const
{
    // Read from the screen: Wine gives no pixels through the device context
    // of another process's window.
    RECT lamp{};
    GetWindowRect(Item(IDC_LAMP), &lamp);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, (lamp.left + lamp.right) / 2, (lamp.top + lamp.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool DialogDriver::WaitForLamp(COLORREF colour, DWORD timeoutMs) const
{
    // The program draws into its own copy of the window; the screen shows it
    // when that copy is next flushed.
    return PollFor(timeoutMs, [&] { return LampColour() == colour; });
}

HWND DialogDriver::WaitForOwnedBox(DWORD timeoutMs) const
{
    struct Search {
        HWND owner;
        HWND box;
    } search{m_dialog, nullptr};
    PollFor(timeoutMs, [&] {
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window) &&
                    ClassOf(window) == L"#32770") {
                    s->box = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.box != nullptr;
    });
    return search.box;
}

bool DialogDriver::WaitUntilResponsive(DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(m_dialog, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool DialogDriver::CloseBox(HWND box, DWORD timeoutMs) const
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    // Once the box is destroyed its handler runs on without taking messages,
    // so the next message the dialog answers comes after the handler.
    return PollFor(timeoutMs, [&] { return !IsWindow(box); }) && WaitUntilResponsive(timeoutMs);
}

std::wstring CaptionOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring MessageBoxText(HWND box)
{
    struct Search {
        std::wstring text;
    } search;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (ClassOf(child) != L"Static")
                return TRUE;
            s->text = TextOf(child);
            // The icon is a static without text; the message is the other.
            return s->text.empty();
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

COLORREF ScreenCapture::At(POINT screen) const
{
    const int x = screen.x - where.left;
    const int y = screen.y - where.top;
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return RGB(rgb[at], rgb[at + 1], rgb[at + 2]);
}

bool CaptureWindow(HWND window, ScreenCapture& capture)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return false;
    capture.where = rect;
    capture.width = rect.right - rect.left;
    capture.height = rect.bottom - rect.top;
    if (capture.width <= 0 || capture.height <= 0)
        return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory && bitmap && bits) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, capture.width, capture.height, screen, rect.left, rect.top,
                        SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        const auto* bgrx = static_cast<const std::uint8_t*>(bits);
        const std::size_t pixels = static_cast<std::size_t>(capture.width) * static_cast<std::size_t>(capture.height);
        capture.rgb.resize(pixels * 3);
        for (std::size_t i = 0; i < pixels; ++i) {
            capture.rgb[i * 3] = bgrx[i * 4 + 2];
            capture.rgb[i * 3 + 1] = bgrx[i * 4 + 1];
            capture.rgb[i * 3 + 2] = bgrx[i * 4];
        }
        SelectObject(memory, previous);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied;
}

std::string StartTolvane(const fs::path& folder, DWORD timeoutMs, std::unique_ptr<ChildProcess>& process,
                         std::unique_ptr<DialogDriver>& window, const std::wstring& args)
{
    std::string problem = DisplayProblem();
    if (!problem.empty())
        return problem;
    const fs::path exe = ProgramFolder() / "Tolvane.exe";
    process =
        std::make_unique<ChildProcess>(L"\"" + exe.wstring() + L"\"" + (args.empty() ? L"" : L" " + args), folder);
    if (!process->Started())
        return "cannot start " + exe.string();
    const HWND dialog = WaitForDialog(process->Id(), timeoutMs);
    if (dialog == nullptr)
        return "no dialog within " + std::to_string(timeoutMs) + " ms";
    window = std::make_unique<DialogDriver>(dialog);
    return std::string();
}
