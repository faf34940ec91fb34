#include "HistoryFile.h"

#include "Platform.h"

#include <windows.h>

namespace {
std::string LastErrorText()
{
    return "Windows error " + std::to_string(::GetLastError());
}

// A lock on one byte far beyond any data makes every appender wait its
// turn, and never touches what is written.
OVERLAPPED LockPlace()
{
    OVERLAPPED place{};
    place.Offset = 0xFFFFFFFEu;
    place.OffsetHigh = 0x7FFFFFFFu;
    return place;
}

OVERLAPPED At(LONGLONG offset)
{
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

bool EndsInNewline(HANDLE file, LONGLONG size, bool& ends)
{
    ends = true;
    if (size == 0)
        return true;
    char last = 0;
    DWORD read = 0;
    OVERLAPPED place = At(size - 1);
    if (!::ReadFile(file, &last, 1, &read, &place) || read != 1)
        return false;
    ends = last == '\n';
    return true;
}

bool CutBack(HANDLE file, LONGLONG size)
{
    LARGE_INTEGER end;
    end.QuadPart = size;
    return ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

bool AppendLocked(HANDLE file, const std::string& line, std::string& error)
{
    LARGE_INTEGER size{};
    bool ends = true;
    if (!::GetFileSizeEx(file, &size) || !EndsInNewline(file, size.QuadPart, ends)) {
        error = LastErrorText();
        return false;
    }
    const std::string text = ends ? line : "\n" + line;
    // Written at the end found under the lock; every writer holds it.
    OVERLAPPED place = At(size.QuadPart);
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, &place);
    if (wrote && written == text.size() && ::FlushFileBuffers(file))
        return true;
    error = wrote && written != text.size() ? std::string("the disk is full") : LastErrorText();
    if (!CutBack(file, size.QuadPart))
        error += " (and the part written could not be taken back: " + LastErrorText() + ")";
    return false;
}
} // namespace

HistoryFile::~HistoryFile()
{
    if (m_handle != nullptr)
        ::CloseHandle(m_handle);
}

bool HistoryFile::Open(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "no file name was given";
        return false;
    }
    const std::wstring widePath = tolvane::platform::WidenAnsi(path);
    HANDLE file = ::CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return false;
    }
    // Pipes, consoles and devices are not a record that lasts.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        error = "not a regular file";
        return false;
    }
    // A new file's name needs no sync of its folder here, unlike POSIX: NTFS
    // journals the name, and FlushFileBuffers after each line flushes the
    // file's metadata with it.
    m_handle = file;
    return true;
}

bool HistoryFile::Append(const std::string& line, std::string& error)
{
    if (m_handle == nullptr) {
        error = "the file is not open";
        return false;
    }
    OVERLAPPED lockAt = LockPlace();
    if (!::LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt)) {
        error = "cannot lock the file: " + LastErrorText();
        return false;
    }
    const bool appended = AppendLocked(m_handle, line, error);
    lockAt = LockPlace();
    ::UnlockFileEx(m_handle, 0, 1, 0, &lockAt);
    return appended;
}
