#include "FileHandle.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvane::platform {
namespace {
std::string Reason(int error)
{
    return std::strerror(error);
}

int OpenFlags(const FileOpenOptions& options)
{
    // O_NONBLOCK: a FIFO would wait for its other end here; on the regular
    // files that pass the check below it changes nothing.
    int flags = (options.write ? O_RDWR | O_APPEND : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (options.create || options.exclusive)
        flags |= O_CREAT;
    // With O_CREAT, O_EXCL never follows a link; O_NOFOLLOW says so once
    // more for systems that read it alone.
    if (options.exclusive)
        flags |= O_EXCL | O_NOFOLLOW;
    if (options.noFollow)
        flags |= O_NOFOLLOW;
    return flags;
}

// Locks of open file descriptions also keep apart two handles of one
// process (the tests' threads); they reach the server on NFS.
bool LockWhole(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
#ifdef F_OFD_SETLKW
    const int command = F_OFD_SETLKW;
#else
    const int command = F_SETLKW;
#endif
    int result = 0;
    do
        result = ::fcntl(fd, command, &lock);
    while (result != 0 && errno == EINTR);
    return result == 0;
}
} // namespace

FileHandle::~FileHandle()
{
    std::string ignored;
    Close(ignored);
}

FileHandle::FileHandle(FileHandle&& other) noexcept : m_fd(other.m_fd), m_openedSize(other.m_openedSize)
{
    other.m_fd = -1;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        std::string ignored;
        Close(ignored);
        m_fd = other.m_fd;
        m_openedSize = other.m_openedSize;
        other.m_fd = -1;
    }
    return *this;
}

OpenStatus FileHandle::Open(const std::string& path, const FileOpenOptions& options, std::string& error)
{
    Close(error);
    int fd = -1;
    do {
        fd = ::open(path.c_str(), OpenFlags(options), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = Reason(errno);
        return errno == ENOENT || errno == ENOTDIR ? OpenStatus::Missing : OpenStatus::Refused;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? Reason(EISDIR) : "not a regular file";
        ::close(fd);
        return OpenStatus::Refused;
    }
    m_fd = fd;
    m_openedSize = static_cast<std::uint64_t>(info.st_size);
    return OpenStatus::Opened;
}

bool FileHandle::IsOpen() const
{
    return m_fd >= 0;
}

bool FileHandle::Close(std::string& error)
{
    if (m_fd < 0)
        return true;
    // The descriptor is gone whatever close says, EINTR included.
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed == 0)
        return true;
    error = Reason(errno);
    return false;
}

ReadResult FileHandle::Read(std::uint64_t offset, void* buffer, std::size_t length)
{
    auto* out = static_cast<unsigned char*>(buffer);
    ReadResult result;
    while (m_fd >= 0 && result.count < length) {
        const std::uint64_t at = offset + result.count;
        if (at < offset || at > static_cast<std::uint64_t>(INT64_MAX))
            break;
        const std::size_t want = std::min<std::size_t>(length - result.count, 1u << 30);
        const ssize_t got = ::pread(m_fd, out + result.count, want, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.failed = true;
            result.error = Reason(errno);
        }
        if (got <= 0)
            break;
        result.count += static_cast<std::size_t>(got);
    }
    if (m_fd < 0) {
        result.failed = true;
        result.error = Reason(EBADF);
    }
    return result;
}

bool FileHandle::WriteAll(const void* data, std::size_t length, std::string& error)
{
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(m_fd, in + done, length - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // Nothing more taken, yet no error: the disk or the file's
            // allowed size is full.
            error = Reason(put == 0 ? ENOSPC : errno);
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool FileHandle::OpenedSize(std::uint64_t& size, std::string& /*error*/)
{
    size = m_openedSize;
    return true;
}

bool FileHandle::Size(std::uint64_t& size, std::string& error)
{
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        error = Reason(errno);
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool FileHandle::Truncate(std::uint64_t size, std::string& error)
{
    int result = 0;
    do
        result = ::ftruncate(m_fd, static_cast<off_t>(size));
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return true;
    error = Reason(errno);
    return false;
}

bool FileHandle::Sync(std::string& error)
{
    if (::fsync(m_fd) == 0)
        return true;
    error = Reason(errno);
    return false;
}

bool FileHandle::Lock(std::string& error)
{
    if (LockWhole(m_fd, F_WRLCK))
        return true;
    error = Reason(errno);
    return false;
}

void FileHandle::Unlock()
{
    LockWhole(m_fd, F_UNLCK);
}

bool SyncFolderOf(const std::string& path, std::string& error)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (!synced)
        error = "cannot sync the folder " + folder + ": " + Reason(errno);
    if (fd >= 0)
        ::close(fd);
    return synced;
}

} // namespace tolvane::platform
