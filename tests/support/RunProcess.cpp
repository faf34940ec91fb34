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
// Only files are read back: a device such as /dev/zero never ends.
std::string Slurp(const fs::path& file)
{
    std::error_code ignored;
    if (!fs::is_regular_file(file, ignored))
        return std::string();
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

struct Child {
    HANDLE process = nullptr;
};

Child Start(const fs::path& exe, const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
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
    Child child;
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        child.process = process.hProcess;
    }
    CloseHandle(hOut);
    CloseHandle(hErr);
    return child;
}

int Wait(const Child& child)
{
    DWORD exitCode = static_cast<DWORD>(-1);
    if (child.process != nullptr) {
        WaitForSingleObject(child.process, INFINITE);
        GetExitCodeProcess(child.process, &exitCode);
        CloseHandle(child.process);
    }
    return static_cast<int>(exitCode);
}
#else
constexpr unsigned kTimeLimitSeconds = 120;

struct Child {
    pid_t pid = -1;
};

Child Start(const fs::path& exe, const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
{
    std::vector<std::string> words{exe.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        const int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fdErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fdOut, 1);
        dup2(fdErr, 2);
        // The alarm outlives execv: a program that hangs dies and fails its
        // test instead of stalling the suite or outliving it.
        alarm(kTimeLimitSeconds);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int Wait(const Child& child)
{
    int status = 0;
    if (child.pid < 0 || waitpid(child.pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

fs::path ProgramPath(const std::string& program)
{
#ifdef _WIN32
    return ProgramFolder() / (program + ".exe");
#else
    return ProgramFolder() / program;
#endif
}

// The captured streams live beside the scratch folders, not inside the
// folder under test, so that the program never sees them.
fs::path CapturePath(const std::string& suffix)
{
    return fs::current_path().parent_path() / (fs::current_path().filename().string() + suffix);
}
} // namespace

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    return RunProgram(program, args, CapturePath(".out"));
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& out)
{
    return RunExecutable(ProgramPath(program), args, out);
}

ProcessResult RunExecutable(const std::filesystem::path& exe, const std::vector<std::string>& args,
                            const std::filesystem::path& out)
{
    const fs::path err = CapturePath(".err");
    ProcessResult result;
    result.exitCode = Wait(Start(exe, args, out, err));
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}

ProcessResult RunExecutable(const std::filesystem::path& exe, const std::vector<std::string>& args)
{
    return RunExecutable(exe, args, CapturePath(".out"));
}

std::vector<ProcessResult> RunProgramsAtOnce(const std::string& program,
                                             const std::vector<std::vector<std::string>>& argsEach)
{
    std::vector<Child> children;
    for (std::size_t i = 0; i < argsEach.size(); ++i) {
        const std::string suffix = "." + std::to_string(i);
        children.push_back(
            Start(ProgramPath(program), argsEach[i], CapturePath(suffix + ".out"), CapturePath(suffix + ".err")));
    }
    std::vector<ProcessResult> results(children.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
        const std::string suffix = "." + std::to_string(i);
        results[i].exitCode = Wait(children[i]);
        results[i].out = Slurp(CapturePath(suffix + ".out"));
        results[i].err = Slurp(CapturePath(suffix + ".err"));
    }
    return results;
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
