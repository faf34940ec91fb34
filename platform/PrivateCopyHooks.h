// What a test may change in the way a private copy is made on POSIX, to
// reach the ways a machine without memfd sealing or O_TMPFILE takes, and
// the faults no machine shows on demand. The programs leave it alone.
#ifndef TOLVANE_PLATFORM_PRIVATECOPYHOOKS_H
#define TOLVANE_PLATFORM_PRIVATECOPYHOOKS_H

namespace tolvane::platform {

struct PrivateCopyHooks {
    bool withoutSealing = false;      // as on a kernel without sealed memfds
    bool withoutUnnamedFiles = false; // as on a file system without O_TMPFILE
    // Called with the private folder's path as soon as mkdtemp made it,
    // before it is opened: a test renames another folder in its place.
    void (*folderMade)(const char* path) = nullptr;
    // In place of close(2).
    int (*close)(int descriptor) = nullptr;
};

// Sets the hooks; returns those it replaces.
PrivateCopyHooks SetPrivateCopyHooks(const PrivateCopyHooks& hooks);

} // namespace tolvane::platform

#endif
