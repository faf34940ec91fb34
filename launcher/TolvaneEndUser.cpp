// TolvaneEndUser: the end users' launcher. Started with administrator rights
// from the folder that holds the upgrade kit, it runs the kit's a.bat from
// x64\ on 64-bit Windows and from x86\ on 32-bit Windows.
//
// The program stays off the C runtime so that it imports from KERNEL32.dll
// alone and runs on any Windows without a runtime to install: no static
// initialisers, no library calls, its own entry point.
//
// Exit status: 0 when a.bat ran and returned 0; a.bat's own exit status when
// that is not 0; otherwise one of the launcher's failures below. Every non-zero
// status is also printed as "UpdateFW failed! (N)". Started by a double click,
// the console window is the launcher's own and would close with it, so after
// a failure it then waits for a key; started from a console, it never waits.

#include <windows.h>

#include "LaunchFailure.h"

namespace {

// The launcher's buffers keep the classic ANSI path limit; a path that does
// not fit is refused, never cut, since a cut path names another folder.
constexpr DWORD kPathBytes = MAX_PATH;

// Appends text to the NUL-terminated string in buf; false when it would not
// fit, which leaves buf as it was.
bool Append(char* buf, DWORD size, const char* text)
{
    DWORD used = 0;
    while (buf[used] != '\0')
        ++used;
    DWORD extra = 0;
    while (text[extra] != '\0')
        ++extra;
    if (used + extra >= size)
        return false;
    for (DWORD i = 0; i <= extra; ++i)
        buf[used + i] = text[i];
    return true;
}

void WriteOut(const char* text, DWORD length)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(out, text, length, &written, nullptr) || written == 0)
            return;
        text += written;
        length -= written;
    }
}

// Writes the line that printf("UpdateFW failed! (%d)\n", code) writes to a
// text-mode standard output, which ends it with CR LF.
void ReportFailure(int code)
{
    char line[40];
    DWORD length = 0;
    for (const char* text = "UpdateFW failed! ("; *text != '\0'; ++text)
        line[length++] = *text;
    // The magnitude as unsigned, so that INT_MIN prints too.
    unsigned magnitude = code < 0 ? 0u - static_cast<unsigned>(code) : static_cast<unsigned>(code);
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (code < 0)
        line[length++] = '-';
    while (count > 0)
        line[length++] = digits[--count];
    line[length++] = ')';
    line[length++] = '\r';
    line[length++] = '\n';
    WriteOut(line, length);
}

// "C:\..." or "\\server\...": a path that names the same file whatever the
// current folder. "\cmd.exe", "C:cmd.exe" and "cmd.exe" all depend on it.
bool IsAbsolutePath(const char* path)
{
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' &&
                       (path[2] == '\\' || path[2] == '/');
    const bool unc = (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    return drive || unc;
}

// The interpreter named by COMSPEC when that is an absolute path, else the
// cmd.exe of the system folder. A bare or relative name would be looked for
// in the working directory first, and an elevated launcher must not run
// whatever cmd.exe lies in the kit's folder.
bool FindInterpreter(char* interpreter)
{
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, kPathBytes);
    if (length > 0 && length < kPathBytes && IsAbsolutePath(interpreter))
        return true;
    interpreter[0] = '\0';
    length = GetSystemDirectoryA(interpreter, kPathBytes);
    if (length == 0 || length >= kPathBytes)
        return false;
    return Append(interpreter, kPathBytes, "\\cmd.exe");
}

// Runs a command as the C library's system() does, through the command
// interpreter, and waits for it.
bool RunCommand(const char* command, DWORD* status)
{
    char interpreter[kPathBytes];
    if (!FindInterpreter(interpreter))
        return false;

    char commandLine[3 * kPathBytes];
    commandLine[0] = '\0';
    if (!Append(commandLine, sizeof commandLine, "\"") || !Append(commandLine, sizeof commandLine, interpreter) ||
        !Append(commandLine, sizeof commandLine, "\" /c ") || !Append(commandLine, sizeof commandLine, command)) {
        return false;
    }

    STARTUPINFOA startup;
    SecureZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    SecureZeroMemory(&process, sizeof process);
    if (!CreateProcessA(interpreter, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process.hProcess, status);
    CloseHandle(process.hProcess);
    return ended;
}

// IsWow64Process is looked up rather than imported so that the launcher still
// loads on Windows versions whose kernel32 lacks it; those are all 32-bit.
bool IsWindows64()
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (kernel == nullptr)
        return false;
    FARPROC found = GetProcAddress(kernel, "IsWow64Process");
    if (found == nullptr)
        return false;
    auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(found));
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
}

int Launch()
{
    DWORD ignored = 0;
    RunCommand("cls", &ignored);

    char current[kPathBytes];
    DWORD length = GetCurrentDirectoryA(kPathBytes, current);
    if (length == 0 || length >= kPathBytes)
        return kLaunchPathTooLong;

    // A drive root already ends in a backslash, so this yields "C:\\x64\",
    // which Windows takes as "C:\x64\".
    char target[kPathBytes];
    target[0] = '\0';
    if (!Append(target, kPathBytes, current) || !Append(target, kPathBytes, IsWindows64() ? "\\x64\\" : "\\x86\\")) {
        return kLaunchPathTooLong;
    }

    // Going on from the start folder, or with an a.bat that cmd.exe finds on
    // the PATH, would run some other script with administrator rights. So the
    // script checked here is the one run, by its full path: by a bare name,
    // cmd.exe may search the PATH alone (NoDefaultCurrentDirectoryInExePath).
    // The ANSI file functions take no longer path than the buffer holds.
    char script[kPathBytes];
    script[0] = '\0';
    if (!Append(script, kPathBytes, target) || !Append(script, kPathBytes, "a.bat")) {
        return kLaunchPathTooLong;
    }
    if (!SetCurrentDirectoryA(target))
        return kLaunchNoSubdirectory;
    DWORD attributes = GetFileAttributesA(script);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return kLaunchNoScript;
    }

    // cmd.exe takes off the outer pair of quotes and keeps the inner, so a
    // path with blanks, "&" or "(" stays one path.
    char command[kPathBytes + 16];
    command[0] = '\0';
    if (!Append(command, sizeof command, "\"\"") || !Append(command, sizeof command, script) ||
        !Append(command, sizeof command, "\"\"")) {
        return kLaunchPathTooLong;
    }
    DWORD status = 0;
    if (!RunCommand(command, &status))
        return kLaunchNoInterpreter;
    return static_cast<int>(status);
}

// True when no other process shares the console: the launcher was started
// by a double click (or from anything without a console of its own), and its
// console window closes the moment it exits.
bool OwnsItsConsole()
{
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

// Keeps the console open until the user presses a key, so that the report
// above can be read.
void WaitForKey()
{
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE)
        return;
    const char prompt[] = "Press any key to close this window.\r\n";
    WriteOut(prompt, sizeof prompt - 1);
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputA(input, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            break;
    }
    CloseHandle(input);
}

} // namespace

// The wide console entry point, in place of the C runtime's own. Arguments
// are not read: the launcher takes none and ignores any it is given.
extern "C" void __cdecl wmainCRTStartup()
{
    // Asked before the first command runs, which shares the console too.
    const bool ownConsole = OwnsItsConsole();
    int code = Launch();
    if (code != 0) {
        ReportFailure(code);
        if (ownConsole)
            WaitForKey();
    }
    ExitProcess(static_cast<UINT>(code));
}
