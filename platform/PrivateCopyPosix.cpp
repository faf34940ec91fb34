#include "PrivateCopy.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvane::platform {
namespace {
bool WriteCopyBytes(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
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

std::string CopyTemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && folder[0] == '/' ? folder : "/tmp";
}
} // namespace

bool PrivateCopy::Make(const std::string& name, const std::string& bytes, std::string& error)
{
    Remove();
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        error = "not a file name: " + name;
        return false;
    }
    return MakeSealed(name, bytes, error) || MakeInFolder(name, bytes, error);
}

// A file in memory whose contents nobody, this process included, can change
// once sealed; the library opens it by its /proc/self/fd path.
bool PrivateCopy::MakeSealed(const std::string& name, const std::string& bytes, std::string& /*error*/)
{
#ifdef MFD_ALLOW_SEALING
    const int fd = ::memfd_create(name.c_str(), MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return false; // an older kernel: the private folder serves
    const int seals = F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;
    if (!WriteCopyBytes(fd, bytes) || ::fcntl(fd, F_ADD_SEALS, seals) != 0 ||
        ::access(("/proc/self/fd/" + std::to_string(fd)).c_str(), R_OK) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = "/proc/self/fd/" + std::to_string(fd);
    return true;
#else
    static_cast<void>(name);
    static_cast<void>(bytes);
    return false;
#endif
}

bool PrivateCopy::MakeInFolder(const std::string& name, const std::string& bytes, std::string& error)
{
    // mkdtemp makes the folder with mode 0700: only this user may enter it.
    std::string folder = CopyTemporaryFolder() + "/tolvane-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        error = "cannot make a private folder in " + CopyTemporaryFolder() + ": " + std::strerror(errno);
        return false;
    }
    m_folder = folder;
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0400);
    if (fd < 0 || !WriteCopyBytes(fd, bytes) || ::close(fd) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        ::unlink(path.c_str());
        Remove();
        return false;
    }
    m_path = path;
    return true;
}

void PrivateCopy::Remove()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_folder.empty()) {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
        ::rmdir(m_folder.c_str());
    }
    m_fd = -1;
    m_folder.clear();
    m_path.clear();
}

} // namespace tolvane::platform
