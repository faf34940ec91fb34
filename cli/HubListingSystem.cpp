// Every hub of this machine's USB tree, read through libudev as the system
// mode reads it, but before the target-ID table filters it.
#include "HubListingSources.h"

#include "UsbTree.h"

namespace {
std::string PortPath(const tolvane::syshubs::UsbPlace& place)
{
    std::string path;
    for (std::uint8_t port : place.ports)
        path += (path.empty() ? "" : ".") + std::to_string(port);
    return path;
}

ListedHub FromTree(const tolvane::syshubs::UsbHub& tree)
{
    ListedHub hub;
    hub.name = tree.name;
    hub.bus = tree.place.bus;
    hub.portPath = PortPath(tree.place);
    hub.rootHub = tree.place.ports.empty();
    hub.depth = tree.place.Depth();
    hub.port = tree.place.PortIndex();
    hub.descriptor = tree.descriptor;
    hub.speed = tree.speed;
    hub.manufacturer = tree.manufacturer;
    hub.product = tree.product;
    hub.interfaceFound = tree.interfaceFound;
    hub.driver = tree.driver;
    hub.unreadable = tree.unreadable;
    return hub;
}
} // namespace

void ListSystemHubs(HubListing& listing)
{
    const std::vector<tolvane::syshubs::UsbHub> hubs = tolvane::syshubs::ListUsbHubs();
    listing.system = true;
    listing.driverCheckPasses = tolvane::syshubs::DriverServesEveryHub(hubs);
    for (const tolvane::syshubs::UsbHub& hub : hubs)
        listing.hubs.push_back(FromTree(hub));
}
