#include "RunProcess.h"

#include "ProgramFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string Slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32
std::wstring QuoteArg(const std::wstring& arg)
{
    std::wstring quoted = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"')
            quoted += L'\\';
        quoted += c;
    }
    return quoted + L"\"";
}

int Spawn(const fs::path& exe, const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE hOut = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE hErr = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::wstring command = QuoteArg(exe.wstring());
    for (const std::string& arg : args)
        command += L" " + QuoteArg(fs::u8path(arg).wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = hOut;
    startup.hStdError = hErr;
    PROCESS_INFORMATION process{};
    DWORD exitCode = static_cast<DWORD>(-1);
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(hOut);
    CloseHandle(hErr);
    return static_cast<int>(exitCode);
}
#else
int Spawn(const fs::path& exe, const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
{
    std::vector<std::string> words{exe.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fdErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fdOut, 1);
        dup2(fdErr, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif
} // namespace

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
#ifdef _WIN32
    return RunExecutable(ProgramFolder() / (program + ".exe"), args);
#else
    return RunExecutable(ProgramFolder() / program, args);
#endif
}

ProcessResult RunExecutable(const std::filesystem::path& exe, const std::vector<std::string>& args)
{
    // The captured streams live beside the scratch folders, not inside the
    // folder under test, so that the program never sees them.
    const fs::path out = fs::current_path().parent_path() / (fs::current_path().filename().string() + ".out");
    const fs::path err = fs::current_path().parent_path() / (fs::current_path().filename().string() + ".err");
    ProcessResult result;
    result.exitCode = Spawn(exe, args, out, err);
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}

void SetEnv(const std::string& name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), value.c_str());
#else
    if (value.empty())
        unsetenv(name.c_str());
    else
        setenv(name.c_str(), value.c_str(), 1);
#endif
}
