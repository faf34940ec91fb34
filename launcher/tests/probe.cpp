// tolvane-launch-probe: starts a program in a chosen folder and environment
// and prints its exit status in full on standard error as "exit code: N".
// Wine hands a Windows program's status to the Unix shell cut to 8 bits, and
// the launcher's statuses are wider than that.
//
//   tolvane-launch-probe [--cd DIR] [--set NAME=VALUE] [--unset NAME]... PROGRAM [ARG]...
//
// The program inherits the probe's standard handles. Exits 0 when the program
// ran, 2 for a usage error, 3 when it could not be started.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

int Usage()
{
    std::fputs("usage: tolvane-launch-probe [--cd DIR] [--set NAME=VALUE] [--unset NAME]... "
               "PROGRAM [ARG]...\n",
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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* folder = nullptr;
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
        } else {
            break;
        }
    }
    if (i >= argc)
        return Usage();

    std::wstring line;
    for (int k = i; k < argc; ++k)
        AppendQuoted(line, argv[k]);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[i], line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder, &startup, &process)) {
        std::fprintf(stderr, "tolvane-launch-probe: cannot start %ls (error %lu)\n", argv[i], GetLastError());
        return 3;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    std::fprintf(stderr, "exit code: %ld\n", static_cast<long>(static_cast<LONG>(status)));
    return 0;
}
