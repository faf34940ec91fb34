// An exclusive lock between processes, held on a lock file of its own so
// that the file it guards can be replaced while the lock is held.
#ifndef TOLVANE_SIM_FILELOCK_H
#define TOLVANE_SIM_FILELOCK_H

#include <string>

namespace tolvane::bench {

class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the lock file at path if needed and waits until this process
    // holds it alone. A link or anything but a regular file at path is
    // refused: false with error set.
    bool Acquire(const std::string& path, std::string& error);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace tolvane::bench

#endif
