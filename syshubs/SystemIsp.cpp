#include "SystemIsp.h"

#include "HubSource.h"
#include "HubTable.h"
#include "UsbTree.h"

#include <algorithm>
#include <cstdio>

namespace tolvane::syshubs {

namespace {
// A copy, not the caller's pointer: this reader needs the table only to
// filter, and a copy cannot dangle.
IniInfo g_table{};

bool UsableSelection()
{
    if (SelectedHubSource() == HubSource::System)
        return true;
    ReportInvalidHubSource();
    return false;
}
} // namespace

int SystemGetDllVersion(std::uint32_t* version)
{
    if (version == nullptr)
        return 1;
    *version = UsableSelection() ? kSystemLibraryVersion : 0;
    return 0;
}

int SystemSetIniInfo(const IniInfo* iniInfo)
{
    if (iniInfo == nullptr)
        return 1;
    g_table = *iniInfo;
    return 0;
}

int SystemGetEnumInfo(EnumInfo* enumInfo)
{
    if (enumInfo == nullptr)
        return 1;
    try {
        enumInfo->hubCount = 0;
        if (!UsableSelection())
            return 1;
        const std::size_t matched = FillEnumInfo(ListUsbHubs(), g_table, *enumInfo);
        if (matched > kMaxHubs)
            std::fprintf(stderr, "ZQ460API: %zu hubs found, only the first %d are reported\n", matched,
                         static_cast<int>(kMaxHubs));
    } catch (...) {
        enumInfo->hubCount = 0;
        return 1;
    }
    return 0;
}

std::int32_t SystemUpdateIsp(std::uint8_t hubIndex, const char* imagePath, std::int32_t reserved)
{
    static_cast<void>(hubIndex);
    static_cast<void>(imagePath);
    static_cast<void>(reserved);
    if (SelectedHubSource() != HubSource::System)
        ReportInvalidHubSource();
    return kProgrammingRefused;
}

bool SystemMachineKeyExists()
{
    if (SelectedHubSource() != HubSource::System)
        return false;
    try {
        return DriverServesEveryHub(ListUsbHubs());
    } catch (...) {
        return false;
    }
}

} // namespace tolvane::syshubs
