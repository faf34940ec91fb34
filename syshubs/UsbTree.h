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
    std::string speed; // the kernel's "speed" in Mbit/s, e.g. "5000"; empty when unknown
    // The kernel binds the device itself to the generic "usb" driver and its
    // hub interface ("2-1:1.0", "2-0:1.0" for usb2) to "hub". A recording of
    // a device behind hubs holds the hubs' devices without their interfaces.
    bool interfaceFound = false;
    std::string driver; // the hub interface's driver, empty when none is bound
    // The descriptor's attributes that cannot be read, as a person reads
    // them ("idVendor reads \"3c5g\"", "idProduct is missing"); empty when
    // all are read. Such a hub is listed, never scanned: its ids are unknown.
    std::string unreadable;
};

// True when every attribute the scan needs was read.
bool Readable(const UsbHub& hub);

// The driver check of the system mode: the kernel's hub driver serves every
// hub the scan can read (HubDriven), also when there is none.
bool DriverServesEveryHub(const std::vector<UsbHub>& hubs);

// True when the kernel's hub driver serves the hub: its hub interface is
// there and bound to "hub". A hub without it hides everything below it.
bool HubDriven(const UsbHub& hub);

// Every USB device of class 09 (hub), ordered by bus and place, and every
// device whose class cannot be read but which has a hub interface. Empty
// when the machine has no USB at all or udev cannot be used.
std::vector<UsbHub> ListUsbHubs();

} // namespace tolvane::syshubs

#endif
