// The lightest look at the hubs: the library's enumeration alone, with no
// settings read, no pause and nothing logged, for a loop that waits for a
// board between upgrades. The board's own run then scans as a press does.
#ifndef TOLVANE_ENGINE_HUBPOLL_H
#define TOLVANE_ENGINE_HUBPOLL_H

#include <cstdint>

// How many hubs the library reports now; false when it refuses the
// enumeration.
bool PollHubCount(unsigned& count);

// Whether count hubs make whole sets of perSet, as the scan's own rule
// has it (a count of 0, or more than the table holds, is no set). A perSet
// of 0 (no scan has read the settings yet) takes any count the table holds.
bool HubCountMakesSets(unsigned count, unsigned perSet);

// HUBNumber as a scan would leave it after reading SpiFlash.ini, read
// without a scan, a log or a note: before is the number the scan starts
// with (an earlier scan's), kept when the file gives none it can take.
std::uint8_t ReadHubNumber(std::uint8_t before);

#endif
