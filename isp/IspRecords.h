// Records exchanged with the ISP library ZQ460API. The library receives the
// addresses of these records, so their byte layout is a wire format: packed,
// little-endian, no gaps. Every size and offset is checked at compile time.
#ifndef TOLVANE_ISP_ISPRECORDS_H
#define TOLVANE_ISP_ISPRECORDS_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)

// One hub identity and the target identifier its firmware images carry.
typedef struct TargetIdEntry {
    uint32_t vidPid;   // idVendor in the upper 16 bits, idProduct in the lower
    uint16_t targetId; // compared with the first two bytes of an image
    uint8_t usbPart;   // 3 from [TargetID_U3], 2 from [TargetID_U2]
} TargetIdEntry;

enum { kMaxTargetIds = 100 };

typedef struct IniInfo {
    uint8_t entryCount; // valid entries, 0 to 100
    TargetIdEntry entries[kMaxTargetIds];
} IniInfo;

// Standard USB device descriptor, as the library copies it into a hub entry.
typedef struct UsbDeviceDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice; // the hub's firmware version word
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
} UsbDeviceDescriptor;

enum { kHubStringSize = 46 };

typedef struct HubInfo {
    uint8_t libraryData0[255]; // begins with a NUL-terminated text; never shown
    UsbDeviceDescriptor descriptor;
    uint8_t libraryData1[256];
    uint8_t portIndex;
    uint8_t depth;
    uint8_t chipVersion;
    uint8_t hubFlags;
    uint8_t manufacturer[kHubStringSize];
    uint8_t product[kHubStringSize];
    uint8_t libraryData2[51];
} HubInfo;

enum { kMaxHubs = 32 };

typedef struct EnumInfo {
    uint8_t hubCount;
    HubInfo hubs[kMaxHubs];
} EnumInfo;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(TargetIdEntry) == 7, "TargetIdEntry is 7 bytes");
static_assert(offsetof(TargetIdEntry, targetId) == 4, "targetId at 4");
static_assert(offsetof(TargetIdEntry, usbPart) == 6, "usbPart at 6");
static_assert(sizeof(IniInfo) == 701, "IniInfo is 701 bytes");
static_assert(offsetof(IniInfo, entries) == 1, "entries at 1");

static_assert(sizeof(UsbDeviceDescriptor) == 18, "device descriptor is 18 bytes");
static_assert(sizeof(HubInfo) == 676, "HubInfo is 676 bytes");
static_assert(offsetof(HubInfo, descriptor) == 255, "descriptor at 255");
static_assert(offsetof(HubInfo, descriptor) + offsetof(UsbDeviceDescriptor, bcdUSB) + 1 == 258,
              "high byte of bcdUSB at 258");
static_assert(offsetof(HubInfo, descriptor) + offsetof(UsbDeviceDescriptor, idVendor) == 263, "idVendor at 263");
static_assert(offsetof(HubInfo, descriptor) + offsetof(UsbDeviceDescriptor, idProduct) == 265, "idProduct at 265");
static_assert(offsetof(HubInfo, descriptor) + offsetof(UsbDeviceDescriptor, bcdDevice) == 267, "bcdDevice at 267");
static_assert(offsetof(HubInfo, libraryData1) == 273, "library data at 273");
static_assert(offsetof(HubInfo, portIndex) == 529, "portIndex at 529");
static_assert(offsetof(HubInfo, depth) == 530, "depth at 530");
static_assert(offsetof(HubInfo, chipVersion) == 531, "chipVersion at 531");
static_assert(offsetof(HubInfo, hubFlags) == 532, "hubFlags at 532");
static_assert(offsetof(HubInfo, manufacturer) == 533, "manufacturer at 533");
static_assert(offsetof(HubInfo, product) == 579, "product at 579");
static_assert(offsetof(HubInfo, libraryData2) == 625, "library data at 625");

static_assert(sizeof(EnumInfo) == 21633, "EnumInfo is 21633 bytes");
static_assert(offsetof(EnumInfo, hubs) == 1, "hub entries at 1");
#endif

#endif
