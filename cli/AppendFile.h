// The few system calls of the run history: whole-line appends and the host's
// name.
#ifndef TOLVANE_CLI_APPENDFILE_H
#define TOLVANE_CLI_APPENDFILE_H

#include <string>

// Appends text to the file at path, creating it when missing, with one write
// on a file opened for appending: writers in other processes never land
// inside it, and a crash leaves it whole or absent. False with error set when
// the file cannot be opened or the write is refused or cut short.
bool AppendWhole(const std::string& path, const std::string& text, std::string& error);

// The computer's name as UTF-8; empty when it cannot be learnt.
std::string HostName();

// Now in UTC as ISO 8601, to the second: 2026-12-08T15:04:05Z.
std::string UtcNow();

#endif
