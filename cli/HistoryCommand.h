// tolvane-cli history FILE: a run history read back for people or scripts.
#ifndef TOLVANE_CLI_HISTORYCOMMAND_H
#define TOLVANE_CLI_HISTORYCOMMAND_H

#include <string>

// 0: no hub may hold incomplete or unverified firmware; 1: some may;
// 2: the file cannot be read.
int RunHistoryCommand(const std::string& path, bool json);

#endif
