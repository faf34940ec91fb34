#include "FileHandle.h"

#include "SystemError.h"

#include <algorithm>
#include <filesystem>

#include <windows.h>

namespace tolvane::platform {
namespace {
std::string LastErrorText()
{
    return SystemErrorText(::GetLastError());
}

HANDLE AsHandle(void* handle)
{
    return static_cast<HANDLE>(handle);
}

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

// The lock is one byte far beyond any data: every holder waits its turn,
// and no read or write of the file itself is ever kept out.
OVERLAPPED LockPlace()
{
    return At(0x7FFFFFFFFFFFFFFEull);
}

DWORD Disposition(const FileOpenOptions& options)
{
    if (options.exclusive)
        return CREATE_NEW;
    return options.create ? OPEN_ALWAYS : OPEN_EXISTING;
}

HANDLE OpenPath(const std::string& path, const FileOpenOptions& options)
{
    const DWORD access = GENERIC_READ | (options.write ? GENERIC_WRITE : 0);
    // Full sharing: a file may still be open in the tool that produced it,
    // and nothing here should stop it being replaced or removed meanwhile.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (options.noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    if (options.form == PathForm::Utf8)
        return ::CreateFileW(std::filesystem::u8path(path).c_str(), access, share, nullptr, Disposition(options), flags,
                             nullptr);
    return ::CreateFileA(path.c_str(), access, share, nullptr, Disposition(options), flags, nullptr);
}
} // namespace

FileHandle::~FileHandle()
{
    std::string ignored;
    Close(ignored);
}

FileHandle::FileHandle(FileHandle&& other) noexcept : m_handle(other.m_handle)
{
    other.m_handle = nullptr;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        std::string ignored;
        Close(ignored);
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

OpenStatus FileHandle::Open(const std::string& path, const FileOpenOptions& options, std::string& error)
{
    Close(error);
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS, so what
    // opens is a file, a pipe or a device; the type check keeps files only.
    const HANDLE handle = OpenPath(path, options);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD failure = ::GetLastError();
        error = SystemErrorText(failure);
        return failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND ? OpenStatus::Missing
                                                                                  : OpenStatus::Refused;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        error = "not a regular file";
        return OpenStatus::Refused;
    }
    m_handle = handle;
    return OpenStatus::Opened;
}

bool FileHandle::IsOpen() const
{
    return m_handle != nullptr;
}

bool FileHandle::Close(std::string& error)
{
    if (m_handle == nullptr)
        return true;
    const BOOL closed = ::CloseHandle(AsHandle(m_handle));
    m_handle = nullptr;
    if (closed)
        return true;
    error = LastErrorText();
    return false;
}

ReadResult FileHandle::Read(std::uint64_t offset, void* buffer, std::size_t length)
{
    auto* out = static_cast<unsigned char*>(buffer);
    ReadResult result;
    while (m_handle != nullptr && result.count < length) {
        const std::uint64_t at = offset + result.count;
        if (at < offset || at > 0x7FFFFFFFFFFFFFFFull)
            break;
        OVERLAPPED where = At(at);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length - result.count, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(AsHandle(m_handle), out + result.count, want, &got, &where)) {
            const DWORD failure = ::GetLastError();
            if (failure != ERROR_HANDLE_EOF) {
                result.failed = true;
                result.error = SystemErrorText(failure);
            }
            break;
        }
        if (got == 0)
            break;
        result.count += got;
    }
    if (m_handle == nullptr) {
        result.failed = true;
        result.error = SystemErrorText(ERROR_INVALID_HANDLE);
    }
    return result;
}

bool FileHandle::WriteAll(const void* data, std::size_t length, std::string& error)
{
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < length) {
        // Both offsets all ones: at the end of the file, as it is at the write.
        OVERLAPPED end = At(~0ull);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length - done, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(AsHandle(m_handle), in + done, want, &put, &end)) {
            error = LastErrorText();
            return false;
        }
        if (put == 0) {
            error = SystemErrorText(ERROR_DISK_FULL);
            return false;
        }
        done += put;
    }
    return true;
}

bool FileHandle::OpenedSize(std::uint64_t& size, std::string& error)
{
    return Size(size, error);
}

bool FileHandle::Size(std::uint64_t& size, std::string& error)
{
    LARGE_INTEGER now{};
    if (!::GetFileSizeEx(AsHandle(m_handle), &now)) {
        error = LastErrorText();
        return false;
    }
    size = static_cast<std::uint64_t>(now.QuadPart);
    return true;
}

bool FileHandle::Truncate(std::uint64_t size, std::string& error)
{
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFilePointerEx(AsHandle(m_handle), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(AsHandle(m_handle)))
        return true;
    error = LastErrorText();
    return false;
}

bool FileHandle::Sync(std::string& error)
{
    if (::FlushFileBuffers(AsHandle(m_handle)))
        return true;
    error = LastErrorText();
    return false;
}

bool FileHandle::Lock(std::string& error)
{
    OVERLAPPED place = LockPlace();
    if (::LockFileEx(AsHandle(m_handle), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place))
        return true;
    error = LastErrorText();
    return false;
}

void FileHandle::Unlock()
{
    OVERLAPPED place = LockPlace();
    ::UnlockFileEx(AsHandle(m_handle), 0, 1, 0, &place);
}

bool SyncFolderOf(const std::string& /*path*/, std::string& /*error*/)
{
    return true;
}

} // namespace tolvane::platform
