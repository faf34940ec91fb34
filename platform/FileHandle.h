// One open file, the way every file of Tolvane's own is handled: never
// waiting on a FIFO, regular files only, positioned reads, whole writes,
// syncs and a lock between processes. The history and the simulated
// library's files all go through it, so that each of these rules is written
// once per system.
#ifndef TOLVANE_PLATFORM_FILEHANDLE_H
#define TOLVANE_PLATFORM_FILEHANDLE_H

#include "ReadResult.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::platform {

// How a path names a file: UTF-8 (Tolvane's own files), or 8-bit as the
// engine and the library's callers hand image paths over (the ANSI code
// page on Windows). Elsewhere both are the bytes of the name.
enum class PathForm { Utf8, Ansi };

struct FileOpenOptions {
    bool write = false;     // read and append; else read only
    bool create = false;    // created when missing
    bool exclusive = false; // created, and refused when anything is there (never through a link)
    bool noFollow = false;  // a link at the path is refused, not followed
    PathForm form = PathForm::Utf8;
    // Always: a FIFO or a device is refused at once, without waiting for
    // its other end, and so is a folder.
};

enum class OpenStatus {
    Opened,
    Missing, // nothing at the path, or a folder on the way is missing
    Refused, // something is there that is not a regular file, or it cannot be opened
};

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens path as options say, closing any file held before. Anything but
    // Opened sets error: the system's reason, or "not a regular file".
    OpenStatus Open(const std::string& path, const FileOpenOptions& options, std::string& error);
    bool IsOpen() const;
    // False with error set when the system reports that written data may
    // not have reached the file.
    bool Close(std::string& error);

    // Reads up to length bytes at offset, retrying interrupted reads: the
    // count read, short at the end of the file or on a failure, which the
    // result says with its reason.
    ReadResult Read(std::uint64_t offset, void* buffer, std::size_t length);
    // The same, the count alone; a failure sets failed (and never clears it).
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length, bool& failed)
    {
        const ReadResult result = Read(offset, buffer, length);
        failed = failed || result.failed;
        return result.count;
    }
    // Appends all of data at the file's end, retrying interrupted and
    // partial writes. A write that stops short (a
    // full disk, a file-size limit) is a failure with the reason set.
    bool WriteAll(const void* data, std::size_t length, std::string& error);
    bool Size(std::uint64_t& size, std::string& error);
    // The size the opening learnt where it learnt one (POSIX: its check of
    // the file's type), so that a reader asks the system once; else Size.
    bool OpenedSize(std::uint64_t& size, std::string& error);
    // Cuts the file back to size bytes.
    bool Truncate(std::uint64_t size, std::string& error);
    // Puts what was written on stable storage.
    bool Sync(std::string& error);
    // Waits until this handle alone holds the file's lock among every
    // process (and every other handle in this one) that locks it so.
    bool Lock(std::string& error);
    void Unlock();

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
    std::uint64_t m_openedSize = 0;
#endif
};

// Puts the folder holding path on stable storage, so that a file just
// created there keeps its name after a power cut. Nothing to do on Windows,
// whose file system logs the new name with the file. False with error set.
bool SyncFolderOf(const std::string& path, std::string& error);

} // namespace tolvane::platform

#endif
