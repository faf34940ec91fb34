#include "StateFile.h"

#include "FileLock.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tolvane::bench {
namespace {

void RemoveQuietly(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(path), ignored);
}

// WriteNewFile creates path exclusively and puts text on the disk. A file it
// created but could not fill is removed again; only such a one may be:
// whatever else sits under that name belongs to someone else.
#ifdef _WIN32

// Removes a file or link, never a folder.
void RemoveLeftover(const std::string& path)
{
    DeleteFileW(std::filesystem::u8path(path).c_str());
}

bool WriteNewFile(const std::string& path, const std::string& text, std::string& error)
{
    HANDLE file = CreateFileW(std::filesystem::u8path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot create the file";
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(file);
    if (!CloseHandle(file) || !ok) {
        error = path + ": cannot write the file";
        RemoveQuietly(path);
        return false;
    }
    return true;
}

#else

bool WriteWhole(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Removes a file or link, never a folder.
void RemoveLeftover(const std::string& path)
{
    ::unlink(path.c_str());
}

bool WriteNewFile(const std::string& path, const std::string& text, std::string& error)
{
    // O_EXCL creates the file or fails, and with O_CREAT it never follows a
    // link; O_NOFOLLOW says so once more for systems that read it alone.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = path + ": cannot create the file: " + std::strerror(errno);
        return false;
    }
    // The rename must not reach the disk before the text does, or a crash
    // could leave an empty state file in place of a good one.
    const bool ok = WriteWhole(fd, text) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (::close(fd) != 0 || !ok) {
        error = path + ": cannot write the file: " + std::strerror(ok ? errno : savedErrno);
        RemoveQuietly(path);
        return false;
    }
    return true;
}

#endif

// libstdc++ replaces an existing target on Windows too (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING), and on POSIX rename replaces a link itself,
// never its target. On Windows a reader that has the old file open (another
// program's scan of the same bench) makes the replacement fail until it lets
// go, which it does within moments: that is waited for, up to two seconds.
bool Replace(const std::string& from, const std::string& to, std::string& error)
{
    std::error_code failure;
    for (int attempt = 0;; ++attempt) {
        std::filesystem::rename(std::filesystem::u8path(from), std::filesystem::u8path(to), failure);
#ifdef _WIN32
        if (failure && failure == std::errc::permission_denied && attempt < 200) {
            Sleep(10);
            continue;
        }
#endif
        break;
    }
    if (!failure)
        return true;
    error = to + ": cannot replace the file: " + failure.message();
    return false;
}

// Only called under the state's lock, so that whatever sits at path + ".new"
// is a leftover of a run that was killed, or something planted there: either
// way its name is taken away first (a link goes, never its target) and the
// file is then created anew and exclusively, as this writer's own.
bool SaveState(const std::string& path, const HubFirmware& firmware, std::string& error)
{
    const std::string temporary = path + ".new";
    RemoveLeftover(temporary);
    if (!WriteNewFile(temporary, FormatState(firmware), error))
        return false;
    if (Replace(temporary, path, error))
        return true;
    RemoveQuietly(temporary);
    return false;
}

} // namespace

RecordResult RecordFirmware(const std::string& statePath, int hub, std::uint16_t version, std::string& error)
{
    FileLock lock;
    if (!lock.Acquire(statePath + ".lock", error))
        return RecordResult::Failed;
    // Read again under the lock: what was read before programming may
    // already be out of date.
    HubFirmware firmware;
    if (LoadState(statePath, firmware, error) == BenchStatus::Malformed)
        return RecordResult::Malformed;
    firmware[hub] = version;
    return SaveState(statePath, firmware, error) ? RecordResult::Recorded : RecordResult::Failed;
}

} // namespace tolvane::bench
