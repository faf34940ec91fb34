// tolvane-fake-interpreter: stands in for cmd.exe through COMSPEC. It appends
// its own command line, as UTF-8, to interpreter.log in its working folder,
// so a test sees what was run and where, and exits with the number in
// TOLVANE_FAKE_STATUS (0 without it).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int wmain()
{
    const wchar_t* line = GetCommandLineW();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    char* text = static_cast<char*>(std::malloc(static_cast<size_t>(bytes)));
    if (text == nullptr)
        return 100;
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text, bytes, nullptr, nullptr);
    FILE* log = std::fopen("interpreter.log", "ab");
    if (log == nullptr)
        return 101;
    std::fprintf(log, "%s\n", text);
    std::fclose(log);
    std::free(text);
    const char* status = std::getenv("TOLVANE_FAKE_STATUS");
    return status != nullptr ? std::atoi(status) : 0;
}
