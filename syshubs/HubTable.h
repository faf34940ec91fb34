// The hub table the Linux system mode hands to the engine: the hubs of the
// USB tree whose ids stand in the target-ID table, in tree order.
#ifndef TOLVANE_SYSHUBS_HUBTABLE_H
#define TOLVANE_SYSHUBS_HUBTABLE_H

#include "IspRecords.h"
#include "UsbTree.h"

#include <cstddef>
#include <vector>

namespace tolvane::syshubs {

// True when vid and pid stand in a valid entry of table, of either section.
bool InTargetTable(const IniInfo& table, std::uint16_t vid, std::uint16_t pid);

// One entry from sysfs. The chip version and the hub flags need the maker's
// protocol to be read and stay 0; the library's own data holds the kernel
// name as text, and zeros.
void WriteHubEntry(const UsbHub& hub, HubInfo& entry);

// Writes hubCount and the first 32 matching hubs, leaving later entries as
// they were; returns how many hubs matched, which may be more than 32.
std::size_t FillEnumInfo(const std::vector<UsbHub>& hubs, const IniInfo& table, EnumInfo& info);

} // namespace tolvane::syshubs

#endif
