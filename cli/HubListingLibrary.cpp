// The hubs as the ISP library in use reports them: the bench's with the
// simulated library, whose report the table does not filter.
#include "HubListingSources.h"

#include "LibraryReport.h"

#include <algorithm>
#include <cstring>

namespace {
std::string FieldText(const std::uint8_t* field, std::size_t size)
{
    const void* zero = std::memchr(field, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : size;
    return std::string(reinterpret_cast<const char*>(field), length);
}

ListedHub FromEntry(const HubInfo& entry)
{
    ListedHub hub;
    hub.name = FieldText(entry.libraryData0, sizeof entry.libraryData0);
    hub.depth = entry.depth;
    hub.port = entry.portIndex;
    hub.descriptor = entry.descriptor;
    hub.manufacturer = FieldText(entry.manufacturer, sizeof entry.manufacturer);
    hub.product = FieldText(entry.product, sizeof entry.product);
    return hub;
}
} // namespace

bool ListLibraryHubs(IniInfo& table, HubListing& listing)
{
    // The library may keep the addresses it is handed, as it does during a
    // scan; the record stays where it is for the whole run.
    static EnumInfo report;
    std::uint32_t version = 0;
    const bool reported = ReadLibraryReport(table, report, version);
    listing.libraryVersion = version;
    if (!reported)
        return false;
    listing.libraryCount = report.hubCount;
    const unsigned count = std::min<unsigned>(report.hubCount, kMaxHubs);
    for (unsigned i = 0; i < count; ++i)
        listing.hubs.push_back(FromEntry(report.hubs[i]));
    listing.driverCheckPasses = FilterDriverInstalled();
    return true;
}
