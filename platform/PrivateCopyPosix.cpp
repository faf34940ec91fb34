#include "PrivateCopy.h"
#include "PrivateCopyHooks.h"
#include "TextEscape.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvane::platform {

// The copy is the open descriptor and nothing else: no name leads to it,
// and closing it frees it.
struct PrivateCopy::Held {
    int fd = -1;
};

namespace {
PrivateCopyHooks g_hooks;

// Once, whatever close returns: Linux frees the number even when close
// fails, and a second close would close whatever file another thread
// opened under that number meanwhile.
void CloseOnce(int fd)
{
    if (g_hooks.close)
        g_hooks.close(fd);
    else
        ::close(fd);
}

std::string SystemText()
{
    return std::strerror(errno);
}

bool WriteCopyBytes(int fd, const char* bytes, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, bytes + done, size - done);
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

// The folder comes from the environment: escaped, as every name shown.
std::string Shown(const std::string& folder)
{
    return EscapeBytes(folder);
}

std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && folder[0] == '/' ? folder : "/tmp";
}

// A file in memory whose contents nobody, this process included, can change
// once sealed; -1 where the kernel has no such files.
int MakeSealed(const std::string& name, const char* bytes, std::size_t size)
{
#ifdef MFD_ALLOW_SEALING
    if (g_hooks.withoutSealing)
        return -1;
    const int fd = ::memfd_create(name.c_str(), MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    const int seals = F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;
    if (!WriteCopyBytes(fd, bytes, size) || ::fcntl(fd, F_ADD_SEALS, seals) != 0) {
        CloseOnce(fd);
        return -1;
    }
    return fd;
#else
    static_cast<void>(name);
    static_cast<void>(bytes);
    static_cast<void>(size);
    return -1;
#endif
}

// A file of the temporary folder's file system that never has a name;
// -1 where that file system cannot make one (a write that fails fails
// again in the private folder, which then says why).
int MakeUnnamed(const std::string& folder, const char* bytes, std::size_t size)
{
#ifdef O_TMPFILE
    if (g_hooks.withoutUnnamedFiles)
        return -1;
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0400);
    if (fd < 0)
        return -1;
    if (!WriteCopyBytes(fd, bytes, size)) {
        CloseOnce(fd);
        return -1;
    }
    return fd;
#else
    static_cast<void>(folder);
    static_cast<void>(bytes);
    static_cast<void>(size);
    return -1;
#endif
}

// The folder's name may by now lead elsewhere (the temporary folder may be
// writable by others): only our folder, still the one the descriptor holds,
// is removed.
void RemoveMadeFolder(const std::string& made, int dir)
{
    struct stat held = {};
    struct stat named = {};
    if (::fstat(dir, &held) == 0 && ::lstat(made.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
        ::rmdir(made.c_str());
}

// Opens the folder mkdtemp made, if it still is a folder of this user's that
// no one else may enter; -1 with the reason in error.
int OpenMadeFolder(const std::string& folder, const std::string& made, std::string& error)
{
    const int dir = ::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status = {};
    std::string reason;
    if (dir < 0)
        reason = SystemText();
    else if (::fstat(dir, &status) != 0)
        reason = SystemText();
    else if (status.st_uid != ::geteuid() || (status.st_mode & 077) != 0)
        reason = "the folder made there is not this user's alone";
    else
        return dir;
    if (dir >= 0)
        CloseOnce(dir);
    error =
        "the temporary folder " + Shown(folder) + " keeps no folder private (" + reason + "), no copy is made there";
    return -1;
}

// A file made in a private folder of our own and unnamed at once, for a
// file system without O_TMPFILE. Everything after mkdtemp goes through the
// folder's descriptor, never through its name, so a folder renamed in its
// place is noticed and left alone.
int MakeUnlinked(const std::string& folder, const char* bytes, std::size_t size, std::string& error)
{
    std::string made = folder + "/tolvane-XXXXXX";
    if (::mkdtemp(made.data()) == nullptr) {
        error = "cannot make a private folder in " + Shown(folder) + ": " + SystemText();
        return -1;
    }
    if (g_hooks.folderMade)
        g_hooks.folderMade(made.c_str());
    const int dir = OpenMadeFolder(folder, made, error);
    if (dir < 0)
        return -1;
    const char kName[] = "image";
    int fd = ::openat(dir, kName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0400);
    if (fd < 0) {
        error = "cannot make the copy in " + Shown(made) + ": " + SystemText();
    } else if (::unlinkat(dir, kName, 0) != 0) {
        error = "cannot unname the copy in " + Shown(made) + ": " + SystemText();
        CloseOnce(fd);
        fd = -1;
    } else if (!WriteCopyBytes(fd, bytes, size)) {
        error = "cannot write the copy in " + Shown(folder) + ": " + SystemText();
        CloseOnce(fd);
        fd = -1;
    }
    RemoveMadeFolder(made, dir);
    CloseOnce(dir);
    return fd;
}
} // namespace

PrivateCopyHooks SetPrivateCopyHooks(const PrivateCopyHooks& hooks)
{
    const PrivateCopyHooks previous = g_hooks;
    g_hooks = hooks;
    return previous;
}

void PrivateCopy::Release::operator()(Held* held) const
{
    CloseOnce(held->fd);
    delete held;
}

void PrivateCopy::RemoveLeftCopies()
{}

bool PrivateCopy::Make(const std::string& name, const char* bytes, std::size_t size, std::string& error)
{
    Remove();
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        error = "not a file name: " + name;
        return false;
    }
    int fd = MakeSealed(name, bytes, size);
    if (fd < 0) {
        const std::string folder = TemporaryFolder();
        fd = MakeUnnamed(folder, bytes, size);
        if (fd < 0)
            fd = MakeUnlinked(folder, bytes, size, error);
        if (fd < 0)
            return false;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (::access(path.c_str(), R_OK) != 0) {
        error = "cannot hand the copy over as " + path + ": " + SystemText();
        CloseOnce(fd);
        return false;
    }
    m_held.reset(new Held{fd});
    m_path = path;
    return true;
}

} // namespace tolvane::platform
