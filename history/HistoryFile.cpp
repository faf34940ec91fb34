#include "HistoryFile.h"

using tolvane::platform::FileOpenOptions;
using tolvane::platform::OpenStatus;

bool HistoryFile::Open(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "no file name was given";
        return false;
    }
    // Read too: the last byte tells whether the file ends in a newline.
    // Created exclusively first, to learn whether this open makes the file.
    FileOpenOptions options;
    options.write = true;
    options.exclusive = true;
    options.form = tolvane::platform::PathForm::Ansi;
    const bool created = m_file.Open(path, options, error) == OpenStatus::Opened;
    options.exclusive = false;
    options.create = true;
    if (!created && m_file.Open(path, options, error) != OpenStatus::Opened)
        return false;
    error.clear();
    // A new file's name is on stable storage only once its folder is: else
    // a power cut could lose the whole history with its first lines.
    return !created || tolvane::platform::SyncFolderOf(path, error);
}

bool HistoryFile::Append(const std::string& line, std::string& error)
{
    if (!m_file.IsOpen()) {
        error = "the file is not open";
        return false;
    }
    std::string reason;
    if (!m_file.Lock(reason)) {
        error = "cannot lock the file: " + reason;
        return false;
    }
    const bool appended = AppendLocked(line, error);
    m_file.Unlock();
    return appended;
}

// Under the lock: what is appended, from the file's end as it is now.
bool HistoryFile::AppendLocked(const std::string& line, std::string& error)
{
    std::uint64_t size = 0;
    if (!m_file.Size(size, error))
        return false;
    char last = '\n';
    bool failed = false;
    if (size > 0 && m_file.ReadAt(size - 1, &last, 1, failed) != 1) {
        error = failed ? "cannot read the file's last byte" : "the file shrank while it was locked";
        return false;
    }
    const std::string text = last == '\n' ? line : "\n" + line;
    if (m_file.WriteAll(text.data(), text.size(), error) && m_file.Sync(error))
        return true;
    // A line cut short would glue the next one to it: the file goes back to
    // where it was.
    std::string cut;
    if (!m_file.Truncate(size, cut))
        error += " (and the part written could not be taken back: " + cut + ")";
    return false;
}
