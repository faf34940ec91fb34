// The file of the run history: opened once per run, before any hub is
// touched, and appended to one whole line at a time by writers in many
// processes and on many hosts.
#ifndef TOLVANE_HISTORY_HISTORYFILE_H
#define TOLVANE_HISTORY_HISTORYFILE_H

#include "FileHandle.h"

#include <string>

class HistoryFile {
public:
    // Opens the file at path for appending, creating it when missing. Never
    // waits for a reader (a FIFO) and takes regular files only. False with
    // error set (a few words) otherwise.
    bool Open(const std::string& path, std::string& error);

    // Appends line (ending in "\n") whole and on stable storage before it
    // returns: under an exclusive lock on the file, after a "\n" when the file
    // does not end in one, and cut back to where it began when the write
    // fails or comes up short. False with error set.
    bool Append(const std::string& line, std::string& error);

private:
    bool AppendLocked(const std::string& line, std::string& error);

    tolvane::platform::FileHandle m_file;
};

#endif
