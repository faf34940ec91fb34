#include "HubListing.h"

#include "HubUpgrader.h"
#include "TextEscape.h"

#include <algorithm>

using nlohmann::json;

namespace {
std::string Hex4(unsigned value)
{
    return CHubUpgrader::Format("%04X", value);
}

// bcdUSB as the USB version it stands for, "3.20".
std::string UsbVersion(std::uint16_t bcdUsb)
{
    return CHubUpgrader::Format("%X.%02X", bcdUsb >> 8, bcdUsb & 0xFFu);
}

// bcdDevice exactly as the device list shows it.
std::string ListedVersion(const ListedHub& hub)
{
    HubInfo entry{};
    entry.descriptor = hub.descriptor;
    return ListedFirmwareVersion(entry);
}

std::string Ids(const ListedHub& hub)
{
    return Hex4(hub.descriptor.idVendor) + "/" + Hex4(hub.descriptor.idProduct);
}

std::string PlaceText(const ListedHub& hub)
{
    std::string text = hub.bus ? CHubUpgrader::Format("bus %u, ", *hub.bus) : std::string();
    if (hub.rootHub)
        return text + "root hub";
    if (!hub.portPath.empty())
        text += "port path " + hub.portPath + ", ";
    return text + CHubUpgrader::Format("depth %u, port %u", hub.depth, hub.port);
}

std::string DriverText(const ListedHub& hub)
{
    if (!hub.interfaceFound)
        return "not reported by the ISP library";
    if (!*hub.interfaceFound)
        return "not recorded (the tree holds no hub interface)";
    return hub.driver.empty() ? "none bound" : EscapeBytes(hub.driver);
}

std::string TableText(const ListedHub& hub)
{
    if (!hub.unreadable.empty())
        return "cannot be read: " + EscapeBytes(hub.unreadable);
    return hub.inTable ? "in the target-ID table" : "not in the target-ID table";
}

std::string HubText(const ListedHub& hub)
{
    const std::string speed = hub.speed.empty() ? "speed unknown" : EscapeBytes(hub.speed) + " Mbit/s";
    return EscapeBytes(hub.name) + ": " + PlaceText(hub) + "\n    " + Ids(hub) +
           ", FW Version = " + ListedVersion(hub) + ", USB " + UsbVersion(hub.descriptor.bcdUSB) + ", " + speed +
           "\n    manufacturer \"" + EscapeBytes(hub.manufacturer) + "\", product \"" + EscapeBytes(hub.product) +
           "\"\n    hub interface driver: " + DriverText(hub) + "\n    " + TableText(hub) + ": " + ScanText(hub) + "\n";
}

const char* ScanName(HubScan scan)
{
    return scan == HubScan::Listed ? "listed" : "left out";
}

json NullWhenEmpty(const std::string& text)
{
    return text.empty() ? json(nullptr) : json(EscapeBytes(text, EscapeFor::Data));
}

json HubJson(const ListedHub& hub)
{
    json driver = nullptr;
    if (hub.interfaceFound && *hub.interfaceFound)
        driver = NullWhenEmpty(hub.driver);
    return {{"name", EscapeBytes(hub.name, EscapeFor::Data)},
            {"bus", hub.bus ? json(*hub.bus) : json(nullptr)},
            {"portPath", NullWhenEmpty(hub.portPath)},
            {"rootHub", hub.rootHub},
            {"depth", hub.depth},
            {"port", hub.port},
            {"vid", Hex4(hub.descriptor.idVendor)},
            {"pid", Hex4(hub.descriptor.idProduct)},
            {"firmwareVersion", Hex4(hub.descriptor.bcdDevice)},
            {"firmwareVersionText", ListedVersion(hub)},
            {"bcdUSB", Hex4(hub.descriptor.bcdUSB)},
            {"speedMbps", NullWhenEmpty(hub.speed)},
            {"manufacturer", EscapeBytes(hub.manufacturer, EscapeFor::Data)},
            {"product", EscapeBytes(hub.product, EscapeFor::Data)},
            {"interfaceFound", hub.interfaceFound ? json(*hub.interfaceFound) : json(nullptr)},
            {"driver", driver},
            {"unreadable", NullWhenEmpty(hub.unreadable)},
            {"inTargetTable", hub.inTable},
            {"scan", ScanName(hub.scan)},
            {"device", hub.scan == HubScan::Listed ? json(hub.device) : json(nullptr)},
            {"why", ScanText(hub)}};
}
} // namespace

bool InTable(const IniInfo& table, std::uint16_t vid, std::uint16_t pid)
{
    const std::uint32_t vidPid = static_cast<std::uint32_t>(vid) << 16 | pid;
    const std::size_t count = std::min<std::size_t>(table.entryCount, kMaxTargetIds);
    return std::any_of(table.entries, table.entries + count,
                       [vidPid](const TargetIdEntry& entry) { return entry.vidPid == vidPid; });
}

void JudgeScan(const IniInfo& table, bool filtered, HubListing& listing)
{
    // The scan refuses a count above the table's room before it lists any
    // hub, so none of the entries the library wrote is listed.
    const bool tooMany = !filtered && listing.libraryCount && *listing.libraryCount > kMaxHubs;
    unsigned number = 0;
    for (ListedHub& hub : listing.hubs) {
        hub.inTable = InTable(table, hub.descriptor.idVendor, hub.descriptor.idProduct);
        hub.device = 0;
        if (!hub.unreadable.empty())
            hub.scan = HubScan::Unreadable;
        else if (filtered && !hub.inTable)
            hub.scan = HubScan::NotInTable;
        else if (!listing.driverCheckPasses)
            hub.scan = HubScan::DriverCheck;
        else if (tooMany) {
            hub.scan = HubScan::TooManyHubs;
            hub.reported = *listing.libraryCount;
        } else if (++number > kMaxHubs)
            hub.scan = HubScan::BeyondTable;
        else {
            hub.scan = HubScan::Listed;
            hub.device = number;
        }
    }
}

std::string ScanText(const ListedHub& hub)
{
    switch (hub.scan) {
    case HubScan::Listed:
        return CHubUpgrader::Format("listed by the scan as device (%u)", hub.device);
    case HubScan::NotInTable:
        return std::string("left out of the scan, ") + (hub.rootHub ? "a root hub whose ids " : "its ids ") + Ids(hub) +
               " stand in neither [TargetID_U3] nor [TargetID_U2] of SpiFlash.ini";
    case HubScan::BeyondTable:
        return CHubUpgrader::Format("left out of the scan, whose hub table holds the first %d", kMaxHubs);
    case HubScan::Unreadable:
        return "left out of the scan, which takes a hub by its ids and its class";
    case HubScan::TooManyHubs:
        return "left out, the scan stops at the hub count with \"" + TooManyHubsLine(hub.reported) + "\"";
    case HubScan::DriverCheck:
        break;
    }
    return "left out, the scan stops at the driver check with \"!!!Error Filter Driver not found!!\"";
}

std::string ListingText(const HubListing& listing)
{
    const auto known = static_cast<unsigned>(
        std::count_if(listing.hubs.begin(), listing.hubs.end(), [](const ListedHub& hub) { return hub.inTable; }));
    const auto count = static_cast<unsigned>(listing.hubs.size());
    std::string text =
        CHubUpgrader::Format("%s: %u hub%s, %u in the target-ID table of SpiFlash.ini",
                             listing.system ? "USB hubs of this machine" : "Hubs the ISP library reports", count,
                             count == 1 ? "" : "s", known);
    text += listing.settingsRead ? CHubUpgrader::Format(" (%u target IDs)\n", listing.targetIds)
                                 : std::string(" (SpiFlash.ini not found)\n");
    text += listing.driverCheckPasses
                ? "Driver check: passes\n"
                : "Driver check: fails, the scan stops with \"!!!Error Filter Driver not found!!\"\n";
    if (listing.libraryCount && *listing.libraryCount > kMaxHubs)
        text += CHubUpgrader::Format("Hub count: %u, more than the %d the hub table holds; the scan stops with \"",
                                     *listing.libraryCount, kMaxHubs) +
                TooManyHubsLine(*listing.libraryCount) + "\"\n";
    for (const ListedHub& hub : listing.hubs)
        text += "\n" + HubText(hub);
    return text;
}

json ListingJson(const HubListing& listing)
{
    json hubs = json::array();
    for (const ListedHub& hub : listing.hubs)
        hubs.push_back(HubJson(hub));
    json library = nullptr;
    if (listing.libraryVersion)
        library = {{"version", *listing.libraryVersion}};
    return {{"program", {{"name", "tolvane-cli"}, {"version", TOLVANE_VERSION}}},
            {"command", "hubs"},
            {"source", listing.system ? "system" : "library"},
            {"library", library},
            {"settings", {{"read", listing.settingsRead}, {"targetIds", listing.targetIds}}},
            {"driverCheckPasses", listing.driverCheckPasses},
            {"libraryHubCount", listing.libraryCount ? json(*listing.libraryCount) : json(nullptr)},
            {"hubs", hubs}};
}
