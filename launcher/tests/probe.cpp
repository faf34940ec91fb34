// tolvane-launch-probe: starts a program in a chosen folder and environment
// and prints its exit status in full on standard error as "exit code: N".
// Wine hands a Windows program's status to the Unix shell cut to 8 bits, and
// the launcher's statuses are wider than that.
//
//   tolvane-launch-probe [--cd DIR] [--set NAME=VALUE] [--unset NAME]
//                        [--console own|shared]... PROGRAM [ARG]...
//
// --console own starts the program with a console of its own, as a double
// click does; it is then watched: once it runs on alone in its console for a
// while, it is taken to wait for a key, "waited for a key" is printed and a
// key is typed into that console. --console shared starts it from a console
// that the probe holds (a copy of the probe in a console of its own), as from
// a command prompt or a script. Without --console the program shares the
// probe's console, if any.
//
// The program inherits the probe's standard handles. Exits 0 when the program
// ran, 2 for a usage error, 3 when it could not be started, 4 when it still
// ran after a minute (it is then ended).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kLimitMs = 60000;
// How long the program must run alone in its console to count as waiting:
// longer than any command it starts takes to come and go under Wine.
constexpr DWORD kAloneMs = 2000;

int Usage()
{
    std::fputs("usage: tolvane-launch-probe [--cd DIR] [--set NAME=VALUE] [--unset NAME] "
               "[--console own|shared]... PROGRAM [ARG]...\n",
               stderr);
    return 2;
}

void AppendQuoted(std::wstring& line, const wchar_t* arg)
{
    if (!line.empty())
        line += L' ';
    if (*arg != L'\0' && std::wcspbrk(arg, L" \t\"") == nullptr) {
        line += arg;
        return;
    }
    line += L'"';
    for (; *arg != L'\0'; ++arg) {
        if (*arg == L'"')
            line += L'\\';
        line += *arg;
    }
    line += L'"';
}

HANDLE Start(const wchar_t* program, std::wstring line, const wchar_t* folder, DWORD flags, DWORD* id)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, line.data(), nullptr, nullptr, TRUE, flags, nullptr, folder, &startup, &process)) {
        std::fprintf(stderr, "tolvane-launch-probe: cannot start %ls (error %lu)\n", program, GetLastError());
        return nullptr;
    }
    CloseHandle(process.hThread);
    *id = process.dwProcessId;
    return process.hProcess;
}

// True while the program with this id is the only process in the console
// the probe is attached to (the probe itself aside).
bool AloneInConsole(DWORD id)
{
    DWORD processes[8];
    const DWORD count = GetConsoleProcessList(processes, 8);
    DWORD others = 0;
    bool found = false;
    for (DWORD i = 0; i < count && i < 8; ++i) {
        if (processes[i] == id)
            found = true;
        else if (processes[i] != GetCurrentProcessId())
            ++others;
    }
    return found && others == 0 && count <= 8;
}

void TypeKey()
{
    HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    INPUT_RECORD key[2]{};
    for (int i = 0; i < 2; ++i) {
        key[i].EventType = KEY_EVENT;
        key[i].Event.KeyEvent.bKeyDown = i == 0;
        key[i].Event.KeyEvent.wRepeatCount = 1;
        key[i].Event.KeyEvent.wVirtualKeyCode = VK_SPACE;
        key[i].Event.KeyEvent.uChar.UnicodeChar = L' ';
    }
    DWORD written = 0;
    WriteConsoleInputW(input, key, 2, &written);
    CloseHandle(input);
}

// Watches a program in a console of its own until it ends; types a key once
// it has run alone there for kAloneMs.
void WatchForKeyWait(HANDLE process, DWORD id)
{
    FreeConsole();
    ULONGLONG aloneSince = 0;
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT) {
        if (!AttachConsole(id))
            continue;
        const bool alone = AloneInConsole(id);
        const ULONGLONG now = GetTickCount64();
        if (!alone)
            aloneSince = 0;
        else if (aloneSince == 0)
            aloneSince = now;
        if (alone && now - aloneSince >= kAloneMs) {
            std::fputs("waited for a key\n", stderr);
            TypeKey();
            FreeConsole();
            return;
        }
        FreeConsole();
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* folder = nullptr;
    std::wstring console;
    std::wstring passOn; // the options a copy of the probe needs
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        std::wstring option = argv[i];
        if (option == L"--cd") {
            folder = argv[i + 1];
        } else if (option == L"--set") {
            std::wstring assignment = argv[i + 1];
            auto equals = assignment.find(L'=');
            if (equals == std::wstring::npos || equals == 0)
                return Usage();
            SetEnvironmentVariableW(assignment.substr(0, equals).c_str(), assignment.c_str() + equals + 1);
        } else if (option == L"--unset") {
            SetEnvironmentVariableW(argv[i + 1], nullptr);
        } else if (option == L"--console") {
            console = argv[i + 1];
            if (console != L"own" && console != L"shared")
                return Usage();
            continue;
        } else {
            break;
        }
        AppendQuoted(passOn, argv[i]);
        AppendQuoted(passOn, argv[i + 1]);
    }
    if (i >= argc)
        return Usage();

    std::wstring line;
    for (int k = i; k < argc; ++k)
        AppendQuoted(line, argv[k]);

    DWORD id = 0;
    HANDLE process = nullptr;
    if (console == L"shared") {
        // A copy of the probe in a console of its own (hidden: no display
        // needed) runs the program there and reports its status itself.
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring copy;
        AppendQuoted(copy, self);
        process = Start(self, copy + L" " + passOn + L" " + line, nullptr, CREATE_NO_WINDOW, &id);
        if (process == nullptr)
            return 3;
        DWORD status = 4;
        if (WaitForSingleObject(process, 2 * kLimitMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process, &status);
        CloseHandle(process);
        return static_cast<int>(status);
    }

    process = Start(argv[i], line, folder, console == L"own" ? CREATE_NO_WINDOW : 0, &id);
    if (process == nullptr)
        return 3;
    if (console == L"own")
        WatchForKeyWait(process, id);
    if (WaitForSingleObject(process, kLimitMs) == WAIT_TIMEOUT) {
        std::fputs("tolvane-launch-probe: the program still runs after a minute; ended\n", stderr);
        TerminateProcess(process, 99);
        CloseHandle(process);
        return 4;
    }
    DWORD status = 0;
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    std::fprintf(stderr, "exit code: %ld\n", static_cast<long>(static_cast<LONG>(status)));
    return 0;
}
