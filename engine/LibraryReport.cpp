#include "LibraryReport.h"

#include "Platform.h"
#include "ZQ460API.h"

#include <cstring>

bool ReadLibraryReport(IniInfo& table, EnumInfo& report, std::uint32_t& version)
{
    std::memset(&report, 0, sizeof report);
    version = 0;
    RX_GetDllVersion(&version);
    RX_SetIniInfo(&table);
    return RX_GetEnumInfo(&report) == 0;
}

bool FilterDriverInstalled()
{
    return tolvane::platform::MachineKeyExists(L"SYSTEM\\CurrentControlSet\\Services\\zq460filter");
}
