#include "AppendFile.h"

#include "Platform.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#ifdef _WIN32
namespace {
std::string LastErrorText()
{
    return "Windows error " + std::to_string(::GetLastError());
}
} // namespace

bool AppendWhole(const std::string& path, const std::string& text, std::string& error)
{
    const std::wstring widePath = tolvane::platform::WidenAnsi(path);
    // FILE_APPEND_DATA alone: every write goes to the end of the file,
    // atomically with respect to other appenders.
    HANDLE file = ::CreateFileW(widePath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return false;
    }
    // Appends are whole on Windows file systems; Wine finds the end and then
    // writes. A lock on one byte far beyond any data makes every appender
    // wait its turn there too, and never touches what is written.
    OVERLAPPED lockAt{};
    lockAt.Offset = 0xFFFFFFFEu;
    lockAt.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt) != 0;
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (!wrote)
        error = LastErrorText();
    else if (written != text.size())
        error = "the line was cut short";
    if (locked)
        ::UnlockFileEx(file, 0, 1, 0, &lockAt);
    const bool closed = ::CloseHandle(file) != 0;
    if (wrote && written == text.size() && !closed)
        error = LastErrorText();
    return error.empty();
}

std::string HostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size))
        return std::string();
    return tolvane::platform::WideToUtf8(std::wstring(name, size));
}

static bool UtcTime(std::time_t now, std::tm& parts)
{
    return gmtime_s(&parts, &now) == 0;
}
#else
bool AppendWhole(const std::string& path, const std::string& text, std::string& error)
{
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (file < 0) {
        error = std::strerror(errno);
        return false;
    }
    const ssize_t written = ::write(file, text.data(), text.size());
    if (written < 0)
        error = std::strerror(errno);
    else if (static_cast<std::size_t>(written) != text.size())
        error = "the line was cut short";
    if (::close(file) != 0 && error.empty())
        error = std::strerror(errno);
    return error.empty();
}

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::string();
    return name;
}

static bool UtcTime(std::time_t now, std::tm& parts)
{
    return ::gmtime_r(&now, &parts) != nullptr;
}
#endif

std::string UtcNow()
{
    std::tm parts{};
    if (!UtcTime(std::time(nullptr), parts))
        return std::string();
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}
