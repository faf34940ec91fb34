// Reading the simulation's own files (the bench, the state, an image) so that
// no file can stall or swamp the library: a pipe or device is refused at
// once, and a whole-file read stops at a fixed size.
#ifndef TOLVANE_SIM_REGULARFILE_H
#define TOLVANE_SIM_REGULARFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::bench {

// Far beyond any bench or state file a person writes, and small enough that
// a link to an endless file costs no more than this.
constexpr std::size_t kMaxTextFileSize = 16u << 20;

// How a path names the file: bench and state paths are UTF-8 on every
// system; image paths are 8-bit as the library's callers hand them over
// (the ANSI code page on Windows).
enum class PathForm { Utf8, Ansi };

enum class OpenResult { Opened, Missing, Refused };

enum class ReadAllResult { Read, TooLarge, Failed };

class RegularFile {
public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Missing: nothing at path. Refused: something is there that is not a
    // regular file, or it cannot be opened for reading.
    OpenResult Open(const std::string& path, PathForm form);

    // Reads up to length bytes at offset; the count read, short at the end
    // of the file or on an error (which ReadAll then reports).
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length);

    // The whole file, if it holds at most limit bytes (counted as read, so a
    // file that grows while it is read is still bounded).
    ReadAllResult ReadAll(std::size_t limit, std::string& text);

private:
    void Close();

    bool m_failed = false; // a read failed since the file was opened

#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace tolvane::bench

#endif
