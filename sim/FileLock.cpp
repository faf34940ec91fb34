#include "FileLock.h"

#ifdef _WIN32
#include <filesystem>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tolvane::bench {

#ifdef _WIN32

FileLock::~FileLock()
{
    // Closing the handle releases the lock.
    if (m_handle != nullptr)
        CloseHandle(m_handle);
}

bool FileLock::Acquire(const std::string& path, std::string& error)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileW(std::filesystem::u8path(path).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = path + ": cannot open the lock file";
        return false;
    }
    OVERLAPPED whole{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        CloseHandle(handle);
        error = path + ": cannot lock the file";
        return false;
    }
    m_handle = handle;
    return true;
}

#else

FileLock::~FileLock()
{
    // Closing the descriptor releases the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileLock::Acquire(const std::string& path, std::string& error)
{
    // O_NOFOLLOW: a link planted here must not make the library create or
    // touch a file elsewhere; O_NONBLOCK: a FIFO here must not stall it.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = path + ": cannot open the lock file: " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = path + ": cannot open the lock file: not a regular file";
        return false;
    }
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        error = path + ": cannot lock the file: " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

#endif

} // namespace tolvane::bench
