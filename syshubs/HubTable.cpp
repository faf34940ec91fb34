#include "HubTable.h"

#include "HubText.h"

#include <algorithm>
#include <cstring>

namespace tolvane::syshubs {

bool InTargetTable(const IniInfo& table, std::uint16_t vid, std::uint16_t pid)
{
    const std::uint32_t vidPid = static_cast<std::uint32_t>(vid) << 16 | pid;
    const std::size_t count = std::min<std::size_t>(table.entryCount, kMaxTargetIds);
    return std::any_of(table.entries, table.entries + count,
                       [vidPid](const TargetIdEntry& entry) { return entry.vidPid == vidPid; });
}

void WriteHubEntry(const UsbHub& hub, HubInfo& entry)
{
    std::memset(&entry, 0, sizeof entry);
    CutText(hub.name, entry.libraryData0, sizeof entry.libraryData0);
    entry.descriptor = hub.descriptor;
    entry.portIndex = hub.place.PortIndex();
    entry.depth = hub.place.Depth();
    entry.chipVersion = 0;
    entry.hubFlags = 0;
    CutText(hub.manufacturer, entry.manufacturer, sizeof entry.manufacturer);
    CutText(hub.product, entry.product, sizeof entry.product);
}

std::size_t FillEnumInfo(const std::vector<UsbHub>& hubs, const IniInfo& table, EnumInfo& info)
{
    std::size_t matched = 0;
    for (const UsbHub& hub : hubs) {
        // Ids that cannot be read match no entry of the table.
        if (!Readable(hub) || !InTargetTable(table, hub.descriptor.idVendor, hub.descriptor.idProduct))
            continue;
        if (matched < kMaxHubs)
            WriteHubEntry(hub, info.hubs[matched]);
        ++matched;
    }
    info.hubCount = static_cast<std::uint8_t>(std::min<std::size_t>(matched, kMaxHubs));
    return matched;
}

} // namespace tolvane::syshubs
