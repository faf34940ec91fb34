// The Win32 side of the platform layer; PlatformPosix.cpp is its twin on
// purpose, each written in its own system's terms.
#include "Platform.h"
#include "PlatformListing.h"
#include "SystemError.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <new>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace tolvane::platform {

bool MachineKeyExists(const std::wstring& subKey)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

std::string HostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size))
        return std::string();
    return WideToUtf8(std::wstring(name, size));
}

// Read wide, so that a value outside the ANSI code page keeps its letters.
std::optional<std::string> EnvironmentValue(const std::string& name)
{
    const std::wstring wide = WidenAnsi(name);
    const DWORD size = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>(std::string());
    std::wstring value(size, L'\0');
    const DWORD got = ::GetEnvironmentVariableW(wide.c_str(), value.data(), size);
    if (got == 0 || got >= size)
        return std::string();
    value.resize(got);
    return WideToUtf8(value);
}

void SetEnvironment(const std::string& name, const std::string& value)
{
    _putenv_s(name.c_str(), value.c_str());
}

void SleepMs(std::uint32_t milliseconds)
{
    if (milliseconds != 0)
        ::Sleep(milliseconds);
}

std::wstring WidenAnsi(const std::string& text)
{
    // The conversion APIs count in int; text that long is no path or name.
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX))
        return std::wstring();
    const int inLength = static_cast<int>(text.size());
    const int outLength = ::MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, nullptr, 0);
    if (outLength <= 0)
        return std::wstring();
    try {
        std::wstring out(static_cast<std::size_t>(outLength), L'\0');
        const int written = ::MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, out.data(), outLength);
        out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return out;
    } catch (const std::bad_alloc&) {
        return std::wstring();
    }
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX))
        return std::string();
    const int inLength = static_cast<int>(text.size());
    // Without WC_ERR_INVALID_CHARS an unpaired surrogate turns into U+FFFD
    // instead of failing the whole string.
    const int outLength = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0)
        return std::string();
    try {
        std::string out(static_cast<std::size_t>(outLength), '\0');
        const int written =
            ::WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, out.data(), outLength, nullptr, nullptr);
        out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return out;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

void SetStdoutBinary()
{
    // Text already buffered was meant for text mode; it goes out first.
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool IsStderrTerminal()
{
    // Only a console has a console mode; files, pipes and NUL do not.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

const char kImageFolder[] = ".\\Bin\\";
const char kPathSeparator = '\\';

bool ListFolderHere(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names)
{
    names.clear();
    const std::wstring pattern = WidenAnsi(folder + "*" + extension);
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    try {
        do {
            names.emplace_back(entry.cFileName);
        } while (::FindNextFileW(search, &entry));
    } catch (const std::bad_alloc&) {
        names.clear();
    }
    ::FindClose(search);
    return !names.empty();
}

std::string NameForShow(const std::string& name)
{
    return WideToUtf8(WidenAnsi(name));
}

std::string NameForShow(const std::wstring& name)
{
    return WideToUtf8(name);
}

bool NarrowName(const std::wstring& name, std::string& narrow)
{
    narrow.clear();
    if (name.empty() || name.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    const int inLength = static_cast<int>(name.size());
    // File names go to CreateFileA, which reads them in the ANSI code page: a
    // character without an exact form there would name another file or none.
    // The UTF-8 code page takes no default-character check, but fails on
    // characters it cannot encode instead.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* checkDefault = utf8 ? nullptr : &usedDefault;
    const int outLength =
        ::WideCharToMultiByte(CP_ACP, flags, name.data(), inLength, nullptr, 0, nullptr, checkDefault);
    if (outLength <= 0 || usedDefault)
        return false;
    try {
        narrow.assign(static_cast<std::size_t>(outLength), '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int written =
        ::WideCharToMultiByte(CP_ACP, flags, name.data(), inLength, narrow.data(), outLength, nullptr, checkDefault);
    if (written != outLength || usedDefault || narrow.find('\0') != std::string::npos) {
        narrow.clear();
        return false;
    }
    return true;
}

} // namespace tolvane::platform
