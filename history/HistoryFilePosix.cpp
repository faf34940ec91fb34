#include "HistoryFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string Reason(int error)
{
    return std::strerror(error);
}

// Locks the whole file against the other writers of the history. Locks of
// open file descriptions also keep apart two writers in one process (the
// tests' threads); both kinds reach the server on NFS.
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

bool EndsInNewline(int fd, off_t size, bool& ends)
{
    ends = true;
    if (size == 0)
        return true;
    char last = 0;
    if (::pread(fd, &last, 1, size - 1) != 1)
        return false;
    ends = last == '\n';
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Under the lock: what is appended, from the file's end as it is now.
bool AppendLocked(int fd, const std::string& line, std::string& error)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = Reason(errno);
        return false;
    }
    bool ends = true;
    if (!EndsInNewline(fd, status.st_size, ends)) {
        error = Reason(errno);
        return false;
    }
    const std::string text = ends ? line : "\n" + line;
    if (WriteAll(fd, text) && ::fsync(fd) == 0)
        return true;
    error = Reason(errno);
    // A line cut short would glue the next one to it: the file goes back to
    // where it was.
    if (::ftruncate(fd, status.st_size) != 0)
        error += " (and the part written could not be taken back: " + Reason(errno) + ")";
    return false;
}
bool SyncFolderOf(const std::string& path, std::string& error)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        error = "cannot sync the folder " + folder + ": " + Reason(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}
} // namespace

HistoryFile::~HistoryFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool HistoryFile::Open(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "no file name was given";
        return false;
    }
    // O_NONBLOCK: a FIFO would wait for a reader here. Read too: the last byte
    // tells whether the file ends in a newline. O_EXCL first, to learn
    // whether this open makes the file.
    const int flags = O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags | O_EXCL, 0644);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST)
        fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = S_ISREG(status.st_mode) ? Reason(errno) : "not a regular file";
        ::close(fd);
        return false;
    }
    m_fd = fd;
    // A new file's name is on stable storage only once its folder is: else
    // a power cut could lose the whole history with its first lines.
    if (created && !SyncFolderOf(path, error))
        return false;
    return true;
}

bool HistoryFile::Append(const std::string& line, std::string& error)
{
    if (m_fd < 0) {
        error = "the file is not open";
        return false;
    }
    if (!LockWhole(m_fd, F_WRLCK)) {
        error = "cannot lock the file: " + Reason(errno);
        return false;
    }
    const bool appended = AppendLocked(m_fd, line, error);
    LockWhole(m_fd, F_UNLCK);
    return appended;
}
