// The ISP library's own view of the hubs, asked without a scan, for the
// listings that show every hub the library reports and why the scan takes
// it or not.
#ifndef TOLVANE_ENGINE_LIBRARYREPORT_H
#define TOLVANE_ENGINE_LIBRARYREPORT_H

#include "IspRecords.h"

#include <cstdint>

// Hands the library table, as the scan does, and fills report with the hubs
// it then reports and version with its version; false when it refuses the
// enumeration. The library may keep both addresses, so they must outlive
// every later call to it.
bool ReadLibraryReport(IniInfo& table, EnumInfo& report, std::uint32_t& version);

// True when the hub filter driver's service key is there, as the scan's
// driver check asks.
bool FilterDriverInstalled();

#endif
