// The USB hubs of this machine as the kernel describes them in sysfs, read
// through libudev. Nothing here writes to a device.
#ifndef TOLVANE_SYSHUBS_USBTREE_H
#define TOLVANE_SYSHUBS_USBTREE_H

#include "IspRecords.h"
#include "UsbPath.h"

#include <string>
#include <vector>

namespace tolvane::syshubs {

struct UsbHub {
    std::string name; // the kernel's name, e.g. "1-2.3"
    UsbPlace place;
    UsbDeviceDescriptor descriptor{};
    std::string manufacturer;
    std::string product;
    std::string driver; // the bound kernel driver, empty when none
};

// Every USB device of class 09 (hub), ordered by bus and place. Empty when
// the machine has no USB at all or udev cannot be used.
std::vector<UsbHub> ListUsbHubs();

} // namespace tolvane::syshubs

#endif
