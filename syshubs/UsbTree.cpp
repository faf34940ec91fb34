#include "UsbTree.h"

#include <libudev.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace tolvane::syshubs {

namespace {

constexpr unsigned kHubClass = 0x09;
constexpr std::uint8_t kDeviceDescriptorType = 1;

struct UdevFree {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevFree>;

std::string Attribute(udev_device* device, const char* name)
{
    const char* value = udev_device_get_sysattr_value(device, name);
    return value ? value : "";
}

// A whole hexadecimal number of at most limit, as the kernel writes ids;
// false for anything else, so that a damaged attribute drops the device
// rather than inventing a value.
bool Hex(const std::string& text, unsigned long limit, unsigned long& value)
{
    if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    value = std::strtoul(text.c_str(), nullptr, 16);
    return value <= limit;
}

// What is wrong with an attribute, in a few words; its value goes through
// the one escaping of shown bytes later, with the rest of the text.
std::string Unreadable(udev_device* device, const char* name)
{
    const char* value = udev_device_get_sysattr_value(device, name);
    return value ? std::string(name) + " reads \"" + value + "\"" : std::string(name) + " is missing";
}

void Note(std::string& notes, const std::string& note)
{
    notes += (notes.empty() ? "" : ", ") + note;
}

// The kernel writes the class codes in hexadecimal, the packet size and the
// number of configurations in decimal.
std::uint8_t HexByte(udev_device* device, const char* name)
{
    unsigned long value = 0;
    return Hex(Attribute(device, name), 0xFF, value) ? static_cast<std::uint8_t>(value) : 0;
}

std::uint8_t DecimalByte(udev_device* device, const char* name)
{
    const std::string text = Attribute(device, name);
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= 0xFF ? static_cast<std::uint8_t>(value) : 0;
}

// "version" reads " 3.20": major and minor as the two bytes of bcdUSB.
std::uint16_t BcdUsb(udev_device* device)
{
    unsigned major = 0;
    unsigned minor = 0;
    const std::string text = Attribute(device, "version");
    if (std::sscanf(text.c_str(), " %2x.%2x", &major, &minor) != 2)
        return 0;
    return static_cast<std::uint16_t>(major << 8 | minor);
}

// A 16-bit id as the kernel writes it; 0, and noted in unreadable, when it
// cannot be read.
std::uint16_t Id(udev_device* device, const char* name, std::string& unreadable)
{
    unsigned long value = 0;
    if (Hex(Attribute(device, name), 0xFFFF, value))
        return static_cast<std::uint16_t>(value);
    Note(unreadable, Unreadable(device, name));
    return 0;
}

// The device descriptor from the kernel's attributes, one per field: udev
// hands attributes over as texts, which the binary "descriptors" file is not.
// The string indexes stay 0: the strings themselves are read instead. What
// cannot be read is noted in unreadable, and its field stays 0.
void ReadDescriptor(udev_device* device, UsbDeviceDescriptor& descriptor, std::string& unreadable)
{
    const std::uint16_t vid = Id(device, "idVendor", unreadable);
    const std::uint16_t pid = Id(device, "idProduct", unreadable);
    const std::uint16_t bcdDevice = Id(device, "bcdDevice", unreadable);
    descriptor = UsbDeviceDescriptor{};
    descriptor.bLength = sizeof descriptor;
    descriptor.bDescriptorType = kDeviceDescriptorType;
    descriptor.bcdUSB = BcdUsb(device);
    descriptor.bDeviceClass = HexByte(device, "bDeviceClass");
    descriptor.bDeviceSubClass = HexByte(device, "bDeviceSubClass");
    descriptor.bDeviceProtocol = HexByte(device, "bDeviceProtocol");
    descriptor.bMaxPacketSize0 = DecimalByte(device, "bMaxPacketSize0");
    descriptor.idVendor = vid;
    descriptor.idProduct = pid;
    descriptor.bcdDevice = bcdDevice;
    descriptor.bNumConfigurations = DecimalByte(device, "bNumConfigurations");
}

std::string DriverOf(udev_device* device)
{
    const char* driver = udev_device_get_driver(device);
    return driver ? driver : "";
}

// The kernel name of the USB device an interface belongs to.
std::string OwnerName(udev_device* interface)
{
    udev_device* owner = udev_device_get_parent_with_subsystem_devtype(interface, "usb", "usb_device");
    const char* name = owner ? udev_device_get_sysname(owner) : nullptr;
    return name ? name : "";
}

bool IsHubInterface(udev_device* device)
{
    const char* type = udev_device_get_devtype(device);
    unsigned long interfaceClass = 0;
    return type != nullptr && std::string(type) == "usb_interface" &&
           Hex(Attribute(device, "bInterfaceClass"), 0xFF, interfaceClass) && interfaceClass == kHubClass;
}

// The driver of each device's hub interface, by the device's name. Should
// a device show two, the one bound to "hub" stands.
using InterfaceDrivers = std::map<std::string, std::string>;

void NoteInterface(udev_device* interface, InterfaceDrivers& drivers)
{
    const std::string owner = OwnerName(interface);
    if (owner.empty())
        return;
    const auto known = drivers.find(owner);
    if (known == drivers.end() || known->second != "hub")
        drivers[owner] = DriverOf(interface);
}

// Fills hub from one udev device; false when it is no USB hub device. A
// device whose class cannot be read may be a hub: its hub interface decides.
bool ReadHub(udev_device* device, UsbHub& hub)
{
    const char* name = udev_device_get_sysname(device);
    if (name == nullptr || !ParseUsbName(name, hub.place))
        return false;
    unsigned long deviceClass = 0;
    const bool classRead = Hex(Attribute(device, "bDeviceClass"), 0xFF, deviceClass);
    if (classRead && deviceClass != kHubClass)
        return false;
    if (!classRead)
        Note(hub.unreadable, Unreadable(device, "bDeviceClass"));
    ReadDescriptor(device, hub.descriptor, hub.unreadable);
    hub.descriptor.bDeviceClass = static_cast<std::uint8_t>(classRead ? deviceClass : 0);
    hub.name = name;
    hub.manufacturer = Attribute(device, "manufacturer");
    hub.product = Attribute(device, "product");
    hub.speed = Attribute(device, "speed");
    return true;
}

// A device of unknown class stays only when it has a hub interface.
void AttachInterfaces(const InterfaceDrivers& drivers, std::vector<UsbHub>& hubs)
{
    for (UsbHub& hub : hubs) {
        const auto found = drivers.find(hub.name);
        hub.interfaceFound = found != drivers.end();
        hub.driver = hub.interfaceFound ? found->second : std::string();
    }
    hubs.erase(std::remove_if(
                   hubs.begin(), hubs.end(),
                   [](const UsbHub& hub) { return hub.descriptor.bDeviceClass != kHubClass && !hub.interfaceFound; }),
               hubs.end());
}

} // namespace

bool Readable(const UsbHub& hub)
{
    return hub.unreadable.empty();
}

bool HubDriven(const UsbHub& hub)
{
    return hub.interfaceFound && hub.driver == "hub";
}

bool DriverServesEveryHub(const std::vector<UsbHub>& hubs)
{
    return std::all_of(hubs.begin(), hubs.end(), [](const UsbHub& hub) { return !Readable(hub) || HubDriven(hub); });
}

std::vector<UsbHub> ListUsbHubs()
{
    std::vector<UsbHub> hubs;
    const UdevPtr<udev> context(udev_new());
    if (!context)
        return hubs;
    const UdevPtr<udev_enumerate> search(udev_enumerate_new(context.get()));
    if (!search || udev_enumerate_add_match_subsystem(search.get(), "usb") < 0 ||
        udev_enumerate_scan_devices(search.get()) < 0)
        return hubs;
    InterfaceDrivers drivers;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(search.get()))
    {
        const UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        UsbHub hub;
        if (device && IsHubInterface(device.get()))
            NoteInterface(device.get(), drivers);
        else if (device && ReadHub(device.get(), hub))
            hubs.push_back(std::move(hub));
    }
    AttachInterfaces(drivers, hubs);
    std::sort(hubs.begin(), hubs.end(), [](const UsbHub& a, const UsbHub& b) { return PlaceBefore(a.place, b.place); });
    return hubs;
}

} // namespace tolvane::syshubs
