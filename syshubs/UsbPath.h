// A USB device's place in the tree, read from its kernel name: "usb3" for
// the root hub of bus 3, "3-1.4" for the device on port 4 of the hub on
// port 1 of that root hub.
#ifndef TOLVANE_SYSHUBS_USBPATH_H
#define TOLVANE_SYSHUBS_USBPATH_H

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::syshubs {

struct UsbPlace {
    unsigned bus = 0;
    std::vector<std::uint8_t> ports; // from the root hub down; empty for a root hub

    // The number of hubs above the device's port, the root hub included:
    // 0 for a root hub, 1 for a device on a root port.
    std::uint8_t Depth() const { return static_cast<std::uint8_t>(ports.size()); }
    // The number of the port the device is plugged into; 0 for a root hub.
    std::uint8_t PortIndex() const { return ports.empty() ? 0 : ports.back(); }
};

// False for anything else, such as an interface ("3-1.4:1.0"), a port
// number of 0 or above 255, or a chain deeper than 255 levels.
bool ParseUsbName(const std::string& name, UsbPlace& place);

// Bus first, then the ports numerically from the root down, a hub before
// the devices below it: "1-2" < "1-2.1" < "1-10" < "2-1".
bool PlaceBefore(const UsbPlace& a, const UsbPlace& b);

} // namespace tolvane::syshubs

#endif
