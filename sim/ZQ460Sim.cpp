// Stand-in for the hub maker's ISP library: answers from the hub bench file
// instead of from hardware, with the same exports and record layout.
#include "BenchFile.h"
#include "ZQ460API.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using tolvane::bench::Bench;
using tolvane::bench::BenchHub;

// The real library keeps the caller's target-ID table and consults it while
// programming, so the simulation keeps it the same way.
IniInfo* g_iniInfo = nullptr;

// Read on every call: tests and people at a bench edit the file between calls
// and expect the next call to see the change, as replugging a hub would.
Bench CurrentBench()
{
    Bench bench;
    std::string error;
    if (tolvane::bench::LoadBench(tolvane::bench::BenchPath(), bench, error) ==
        tolvane::bench::BenchStatus::Malformed) {
        std::fprintf(stderr, "ZQ460API (simulated): %s\n", error.c_str());
        bench = Bench();
    }
    return bench;
}

void WriteEntry(const BenchHub& hub, std::size_t index, HubInfo& entry)
{
    std::memset(&entry, 0, sizeof entry);
    const std::string name = "SIM\\HUB" + std::to_string(index + 1);
    std::memcpy(entry.libraryData0, name.data(), std::min(name.size(), sizeof entry.libraryData0 - 1));

    entry.descriptor.bLength = sizeof(UsbDeviceDescriptor);
    entry.descriptor.bDescriptorType = 1; // device descriptor
    entry.descriptor.bcdUSB = hub.bcdUsb;
    entry.descriptor.idVendor = hub.vid;
    entry.descriptor.idProduct = hub.pid;
    entry.descriptor.bcdDevice = hub.bcdDevice;

    entry.portIndex = hub.portIndex;
    entry.depth = hub.depth;
    entry.chipVersion = hub.chipVersion;
    entry.hubFlags = hub.hubFlags;
    std::memcpy(entry.manufacturer, hub.manufacturer.data(), sizeof entry.manufacturer);
    std::memcpy(entry.product, hub.product.data(), sizeof entry.product);
}

} // namespace

static_assert(sizeof(BenchHub::manufacturer) == kHubStringSize, "bench strings match the record");
static_assert(sizeof(BenchHub::product) == kHubStringSize, "bench strings match the record");

// Nothing may escape into the caller, which may not be C++ at all.
extern "C" ZQ460API_EXPORT int RX_GetDllVersion(uint32_t* version)
{
    if (version == nullptr)
        return 1;
    try {
        *version = CurrentBench().version;
    } catch (...) {
        return 1;
    }
    return 0;
}

extern "C" ZQ460API_EXPORT int RX_SetIniInfo(IniInfo* iniInfo)
{
    if (iniInfo == nullptr)
        return 1;
    g_iniInfo = iniInfo;
    return 0;
}

extern "C" ZQ460API_EXPORT int RX_GetEnumInfo(EnumInfo* enumInfo)
{
    if (enumInfo == nullptr)
        return 1;
    try {
        const Bench bench = CurrentBench();
        const std::size_t written = std::min<std::size_t>(bench.hubs.size(), kMaxHubs);
        enumInfo->hubCount = bench.hubCount.value_or(static_cast<uint8_t>(written));
        for (std::size_t i = 0; i < written; ++i)
            WriteEntry(bench.hubs[i], i, enumInfo->hubs[i]);
    } catch (...) {
        return 1;
    }
    return 0;
}

extern "C" ZQ460API_EXPORT int32_t RX_UpdateISP(uint8_t hubIndex, const char* imagePath, int32_t reserved)
{
    static_cast<void>(hubIndex);
    static_cast<void>(imagePath);
    static_cast<void>(reserved);
    // Programming is not simulated yet; refuse rather than pretend success.
    return 1;
}
