// The entries of an approved list that no image in the image folder matches:
// a list that names them still works, but the upgrade refuses the hubs that
// need those images, so the commands that check a list say so first.
#ifndef TOLVANE_CLI_UNMATCHEDIMAGES_H
#define TOLVANE_CLI_UNMATCHEDIMAGES_H

#include "ApprovedList.h"

#include <string>
#include <vector>

struct UnmatchedEntry {
    unsigned line = 0;
    std::string name;   // as the list gives it, not escaped
    std::string reason; // e.g. "no such image in Bin", "Bin/GL.BIN has other contents"
};

// Every entry of list whose image (its last name part, in folder) cannot be
// read or has other contents than the list approves.
std::vector<UnmatchedEntry> UnmatchedEntries(const ApprovedList& list, const std::string& folder);

// One line for people: "line 2: GL.BIN: no such image in Bin".
std::string UnmatchedText(const UnmatchedEntry& entry);

#endif
