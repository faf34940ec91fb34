// tolvane-cli history FILE: a run history read back for people or scripts.
#ifndef TOLVANE_CLI_HISTORYCOMMAND_H
#define TOLVANE_CLI_HISTORYCOMMAND_H

#include "HistoryReader.h"
#include "HistoryReport.h"
#include "Platform.h"

#include <cstdint>
#include <functional>
#include <string>

// 0: no hub may hold incomplete or unverified firmware; 1: some may;
// 2: the file cannot be read (not a regular file, or a read fails).
int RunHistoryCommand(const std::string& path, bool json);

// What one pass over a history's file read.
struct HistoryPass {
    std::uint64_t bytes = 0; // fed to the reader
    bool stopped = false;    // stop said so before the end
};

// Feeds the bytes of file to reader, up to limit, and ends it. stop, when
// given, is asked after each piece. False with the reason in error when a
// read fails: a failure is never taken for the end of the file.
bool ReadHistoryBytes(tolvane::platform::ReadOnlyFile& file, HistoryReader& reader, std::uint64_t limit,
                      const std::function<bool()>& stop, HistoryPass& pass, std::string& error);

// Opens the regular file at path without waiting on it and reads it whole
// into reader: false with the system's reason in error otherwise.
bool ReadHistoryFile(const std::string& path, HistoryReader& reader, std::string& error);

#endif
