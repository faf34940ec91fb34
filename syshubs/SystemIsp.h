// The ISP library's four functions over the real USB tree, read-only, and
// the filter-driver answer that goes with it. The Linux library turns to
// these whenever TOLVANE_HUBS does not select the bench; with a value it
// does not know they report it and answer as for an empty machine.
#ifndef TOLVANE_SYSHUBS_SYSTEMISP_H
#define TOLVANE_SYSHUBS_SYSTEMISP_H

#include "IspRecords.h"

#include <cstdint>

namespace tolvane::syshubs {

// What RX_GetDllVersion stores: 'L' in the top byte for this Linux reader,
// then version 1.0.0 (printed as 4c010000); 0 with an unknown selection.
constexpr std::uint32_t kSystemLibraryVersion = 0x4C010000;

// What RX_UpdateISP returns: nothing is ever programmed from Linux
// (0x52, 'R' for read-only).
constexpr std::int32_t kProgrammingRefused = 0x52;

int SystemGetDllVersion(std::uint32_t* version);
int SystemSetIniInfo(const IniInfo* iniInfo);
// With more matching hubs than the record holds, the first 32 in tree order
// are reported and standard error says how many there were.
int SystemGetEnumInfo(EnumInfo* enumInfo);
std::int32_t SystemUpdateIsp(std::uint8_t hubIndex, const char* imagePath, std::int32_t reserved);

// The filter driver's key on Linux: present when the kernel's own "hub"
// driver serves every USB hub of the tree (also when there is none), bound
// to its hub interface (see HubDriven). Never present with an unknown
// selection.
bool SystemMachineKeyExists();

} // namespace tolvane::syshubs

#endif
