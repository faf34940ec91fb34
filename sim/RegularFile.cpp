#include "RegularFile.h"

#include <algorithm>

#ifdef _WIN32
#include <filesystem>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tolvane::bench {

RegularFile::~RegularFile()
{
    Close();
}

ReadAllResult RegularFile::ReadAll(std::size_t limit, std::string& text)
{
    text.clear();
    char chunk[65536];
    for (;;) {
        const std::size_t got = ReadAt(text.size(), chunk, sizeof chunk);
        if (got == 0)
            return m_failed ? ReadAllResult::Failed : ReadAllResult::Read;
        if (got > limit - text.size())
            return ReadAllResult::TooLarge;
        text.append(chunk, got);
    }
}

#ifdef _WIN32

void RegularFile::Close()
{
    if (m_handle != nullptr)
        CloseHandle(m_handle);
    m_handle = nullptr;
}

OpenResult RegularFile::Open(const std::string& path, PathForm form)
{
    Close();
    m_failed = false;
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS, so what
    // opens is a file, a pipe or a device; the type check keeps files only.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (form == PathForm::Utf8)
        handle = CreateFileW(std::filesystem::u8path(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    else
        handle = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        return failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND ? OpenResult::Missing
                                                                                  : OpenResult::Refused;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return OpenResult::Refused;
    }
    m_handle = handle;
    return OpenResult::Opened;
}

std::size_t RegularFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (m_handle != nullptr && done < length) {
        const std::uint64_t at = offset + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(m_handle, out + done, want, &got, &where)) {
            m_failed = m_failed || GetLastError() != ERROR_HANDLE_EOF;
            break;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

#else

void RegularFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

OpenResult RegularFile::Open(const std::string& path, PathForm form)
{
    static_cast<void>(form); // paths are bytes here, whatever wrote them
    Close();
    m_failed = false;
    // Without O_NONBLOCK a FIFO would wait in open for a writer that may
    // never come; on a regular file the flag changes nothing.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? OpenResult::Missing : OpenResult::Refused;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return OpenResult::Refused;
    }
    m_fd = fd;
    return OpenResult::Opened;
}

std::size_t RegularFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (m_fd >= 0 && done < length) {
        const std::uint64_t at = offset + done;
        if (at > static_cast<std::uint64_t>(INT64_MAX))
            break;
        const std::size_t want = std::min<std::size_t>(length - done, 1u << 30);
        const ssize_t got = ::pread(m_fd, out + done, want, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        m_failed = m_failed || got < 0;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

#endif

} // namespace tolvane::bench
