#include "StateFile.h"

#include "FileHandle.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace tolvane::bench {
namespace {

void RemoveQuietly(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(path), ignored);
}

// Removes a file or link, never a folder.
void RemoveLeftover(const std::string& path)
{
    std::error_code ignored;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(std::filesystem::u8path(path), ignored)))
        RemoveQuietly(path);
}

// Creates path exclusively, never through a link, and puts text on the
// disk. A file it created but could not fill is removed again; only such a
// one may be: whatever else sits under that name belongs to someone else.
bool WriteNewFile(const std::string& path, const std::string& text, std::string& error)
{
    platform::FileOpenOptions options;
    options.write = true;
    options.exclusive = true;
    platform::FileHandle file;
    std::string reason;
    if (file.Open(path, options, reason) != platform::OpenStatus::Opened) {
        error = path + ": cannot create the file: " + reason;
        return false;
    }
    // The rename must not reach the disk before the text does, or a crash
    // could leave an empty state file in place of a good one.
    const bool ok = file.WriteAll(text.data(), text.size(), reason) && file.Sync(reason);
    if (!file.Close(reason) || !ok) {
        error = path + ": cannot write the file: " + reason;
        RemoveQuietly(path);
        return false;
    }
    return true;
}

// An exclusive lock between processes, held on a lock file of its own so
// that the file it guards can be replaced while the lock is held. A link or
// anything but a regular file at path is refused.
bool Lock(const std::string& path, platform::FileHandle& lock, std::string& error)
{
    platform::FileOpenOptions options;
    options.write = true;
    options.create = true;
    options.noFollow = true;
    std::string reason;
    if (lock.Open(path, options, reason) != platform::OpenStatus::Opened) {
        error = path + ": cannot open the lock file: " + reason;
        return false;
    }
    if (lock.Lock(reason))
        return true;
    error = path + ": cannot lock the file: " + reason;
    return false;
}

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
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
    // Closing the lock file at the end releases the lock.
    platform::FileHandle lock;
    if (!Lock(statePath + ".lock", lock, error))
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
