// Where the library's answers come from: the bench, or on Linux, with
// TOLVANE_HUBS=system, the real USB tree read-only. The Windows library
// knows only the bench: there the maker's DLL is the way to real hubs.
#ifndef TOLVANE_SIM_SIMDISPATCH_H
#define TOLVANE_SIM_SIMDISPATCH_H

#ifdef _WIN32
#include "IspRecords.h"

namespace tolvane::syshubs {
inline int SystemGetDllVersion(uint32_t*)
{
    return 1;
}
inline int SystemSetIniInfo(const IniInfo*)
{
    return 1;
}
inline int SystemGetEnumInfo(EnumInfo*)
{
    return 1;
}
inline int32_t SystemUpdateIsp(uint8_t, const char*, int32_t)
{
    return 1;
}
} // namespace tolvane::syshubs

inline bool BenchSelected()
{
    return true;
}
#else
#include "HubSource.h"
#include "SystemIsp.h"

inline bool BenchSelected()
{
    return tolvane::syshubs::SelectedHubSource() == tolvane::syshubs::HubSource::Bench;
}
#endif

#endif
