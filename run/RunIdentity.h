// Who a run was for: the station of the line that ran it and the lot of
// boards it belonged to, so that the line's report can tell them apart.
// Given on the command line, else by the environment (TOLVANE_STATION,
// TOLVANE_LOT), else the station is the computer's name and the lot is
// absent. The texts are kept as given: whoever shows them escapes them.
#ifndef TOLVANE_RUN_RUNIDENTITY_H
#define TOLVANE_RUN_RUNIDENTITY_H

#include <optional>
#include <string>

struct RunIdentity {
    std::string station;
    std::optional<std::string> lot;
};

// station, lot: as the options gave them; unset when not given.
RunIdentity ResolveRunIdentity(const std::optional<std::string>& station, const std::optional<std::string>& lot);

#endif
