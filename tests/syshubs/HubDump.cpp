// tolvane-hubdump VIDPID...: hands the ISP library a target-ID table of the
// given identities (hexadecimal, vendor in the upper half) and prints the
// version and every entry that RX_GetEnumInfo writes, field by field, so
// that a test can compare the whole record as text.
#include "ZQ460API.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
// The text up to its terminating zero, other bytes than printable ASCII
// as \xNN, and whether the rest of the field is all zeros.
std::string FieldText(const uint8_t* field, std::size_t size)
{
    std::string text = "\"";
    std::size_t at = 0;
    for (; at < size && field[at] != 0; ++at) {
        char escaped[8];
        if (field[at] >= 0x20 && field[at] < 0x7F && field[at] != '\\')
            text += static_cast<char>(field[at]);
        else {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", field[at]);
            text += escaped;
        }
    }
    text += "\"";
    if (at == size)
        return text + " unterminated";
    for (; at < size; ++at) {
        if (field[at] != 0)
            return text + " dirty";
    }
    return text;
}

void PrintEntry(unsigned number, const HubInfo& hub)
{
    const UsbDeviceDescriptor& d = hub.descriptor;
    std::printf("(%u) %s len=%u type=%u usb=%04X class=%02X/%02X/%02X mps=%u id=%04X:%04X bcd=%04X "
                "strings=%u/%u/%u configs=%u\n",
                number, FieldText(hub.libraryData0, sizeof hub.libraryData0).c_str(), d.bLength, d.bDescriptorType,
                d.bcdUSB, d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol, d.bMaxPacketSize0, d.idVendor,
                d.idProduct, d.bcdDevice, d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations);
    std::printf("    depth=%u port=%u chip=%02X flags=%02X\n", hub.depth, hub.portIndex, hub.chipVersion, hub.hubFlags);
    std::printf("    manufacturer=%s\n", FieldText(hub.manufacturer, sizeof hub.manufacturer).c_str());
    std::printf("    product=%s\n", FieldText(hub.product, sizeof hub.product).c_str());
}
} // namespace

int main(int argc, char** argv)
{
    static IniInfo table{};
    static EnumInfo info{};
    for (int i = 1; i < argc && table.entryCount < kMaxTargetIds; ++i) {
        TargetIdEntry& entry = table.entries[table.entryCount++];
        entry.vidPid = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 16));
        entry.usbPart = 3;
    }
    uint32_t version = 0;
    RX_GetDllVersion(&version);
    RX_SetIniInfo(&table);
    RX_GetEnumInfo(&info);
    std::printf("version %x, %u hubs\n", version, info.hubCount);
    for (unsigned i = 0; i < info.hubCount && i < kMaxHubs; ++i)
        PrintEntry(i + 1, info.hubs[i]);
    return 0;
}
