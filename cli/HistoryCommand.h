// tolvane-cli history FILE: a run history read back for people or scripts.
#ifndef TOLVANE_CLI_HISTORYCOMMAND_H
#define TOLVANE_CLI_HISTORYCOMMAND_H

#include "HistoryReader.h"

#include <nlohmann/json.hpp>

#include <string>

// 0: no hub may hold incomplete or unverified firmware; 1: some may;
// 2: the file cannot be read (not a regular file, or a read fails).
int RunHistoryCommand(const std::string& path, bool json);

// Reads the regular file at path into reader without waiting on it: false
// with the system's reason in error otherwise.
bool ReadHistoryFile(const std::string& path, HistoryReader& reader, std::string& error);

// What the command prints for a history read: text for people, every field
// from the file escaped; or the document, the file's texts as data.
std::string HistoryText(const std::string& path, const HistoryReader& reader);
nlohmann::json HistoryDocument(const std::string& path, const HistoryReader& reader, int status);

#endif
