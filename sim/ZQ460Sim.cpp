// Stand-in for the hub maker's ISP library: answers from the hub bench file
// instead of from hardware, with the same exports and record layout.
#include "BenchFile.h"
#include "FileHandle.h"
#include "ImageFormat.h"
#include "SimDispatch.h"
#include "StateFile.h"
#include "ZQ460API.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <thread>

namespace {

using tolvane::bench::Bench;
using tolvane::bench::BenchHub;
using tolvane::bench::BenchStatus;
using tolvane::bench::HubFirmware;

// RX_UpdateISP's own failures; a hub's UpdateResult is returned as it is.
constexpr int32_t kNoSuchHub = 1;
constexpr int32_t kUnreadableImage = 2;
constexpr int32_t kNotRecorded = 3;
constexpr int32_t kBrokeOff = 4;

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

// A malformed state file is reported and ignored like a malformed bench, so
// the bench's own values hold.
HubFirmware CurrentFirmware(const std::string& benchPath)
{
    HubFirmware firmware;
    std::string error;
    if (tolvane::bench::LoadState(tolvane::bench::StatePath(benchPath), firmware, error) == BenchStatus::Malformed)
        std::fprintf(stderr, "ZQ460API (simulated): %s\n", error.c_str());
    return firmware;
}

// The hubs as they stand now: the bench, with what programming has changed.
Bench CurrentHubs()
{
    Bench bench = CurrentBench();
    // Without hubs no record could matter; the state file is then not read,
    // so that it adds no message to a malformed bench's.
    if (!bench.hubs.empty())
        tolvane::bench::ApplyState(CurrentFirmware(tolvane::bench::BenchPath()), bench);
    return bench;
}

// Called inside a catch block: a failure that ends a call is told, never
// swallowed, so that whoever watches the bench learns why nothing happened.
void ReportFailure()
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        std::fputs("ZQ460API (simulated): out of memory\n", stderr);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ZQ460API (simulated): %s\n", failure.what());
    } catch (...) {
        std::fputs("ZQ460API (simulated): unexpected failure\n", stderr);
    }
}

std::size_t EntriesWritten(const Bench& bench)
{
    return std::min<std::size_t>(bench.hubs.size(), kMaxHubs);
}

// The firmware version the image carries, or false when the file cannot be
// read or ends before its version word. The path is taken as the real
// library takes it: 8-bit, relative to the working directory. Only the flags
// byte and the version word are read, whatever the size of the file.
bool ReadImageVersion(const char* path, std::uint16_t& version)
{
    tolvane::platform::FileHandle file;
    tolvane::platform::FileOpenOptions options;
    options.form = tolvane::platform::PathForm::Ansi;
    std::string reason;
    if (file.Open(path, options, reason) != tolvane::platform::OpenStatus::Opened)
        return false;
    bool failed = false;
    std::uint8_t flags = 0;
    if (file.ReadAt(image_format::kFlagsOffset, &flags, 1, failed) != 1)
        return false;
    unsigned char word[2] = {};
    if (file.ReadAt(image_format::LayoutOf(flags).versionWord, word, sizeof word, failed) != sizeof word)
        return false;
    version = image_format::FirmwareVersion(static_cast<std::uint16_t>(word[0] | word[1] << 8), flags);
    return true;
}

// Every byte that no field below sets keeps fill: the library's own data, the
// descriptor fields the engine never reads, and the padding after the name.
void WriteEntry(const BenchHub& hub, std::size_t index, std::uint8_t fill, HubInfo& entry)
{
    std::memset(&entry, fill, sizeof entry);
    const std::string name = "SIM\\HUB" + std::to_string(index + 1);
    const std::size_t nameLength = std::min(name.size(), sizeof entry.libraryData0 - 1);
    std::memcpy(entry.libraryData0, name.data(), nameLength);
    entry.libraryData0[nameLength] = 0;

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
    if (!BenchSelected())
        return tolvane::syshubs::SystemGetDllVersion(version);
    if (version == nullptr)
        return 1;
    try {
        const Bench bench = CurrentBench();
        if (!bench.versionUntouched)
            *version = bench.version;
    } catch (...) {
        ReportFailure();
        return 1;
    }
    return 0;
}

extern "C" ZQ460API_EXPORT int RX_SetIniInfo(IniInfo* iniInfo)
{
    if (!BenchSelected())
        return tolvane::syshubs::SystemSetIniInfo(iniInfo);
    if (iniInfo == nullptr)
        return 1;
    g_iniInfo = iniInfo;
    return 0;
}

extern "C" ZQ460API_EXPORT int RX_GetEnumInfo(EnumInfo* enumInfo)
{
    if (!BenchSelected())
        return tolvane::syshubs::SystemGetEnumInfo(enumInfo);
    if (enumInfo == nullptr)
        return 1;
    try {
        const Bench bench = CurrentHubs();
        const std::size_t written = EntriesWritten(bench);
        enumInfo->hubCount = bench.hubCount.value_or(static_cast<uint8_t>(written));
        for (std::size_t i = 0; i < written; ++i)
            WriteEntry(bench.hubs[i], i, bench.garbageFill.value_or(0), enumInfo->hubs[i]);
    } catch (...) {
        ReportFailure();
        return 1;
    }
    return 0;
}

extern "C" ZQ460API_EXPORT int32_t RX_UpdateISP(uint8_t hubIndex, const char* imagePath, int32_t reserved)
{
    if (!BenchSelected())
        return tolvane::syshubs::SystemUpdateIsp(hubIndex, imagePath, reserved);
    static_cast<void>(reserved);
    try {
        const Bench bench = CurrentBench();
        if (hubIndex >= EntriesWritten(bench))
            return kNoSuchHub;
        const BenchHub& hub = bench.hubs[hubIndex];
        if (hub.updateResult != 0 && !hub.failAfterMs)
            return hub.updateResult;
        std::uint16_t version = 0;
        if (imagePath == nullptr || !ReadImageVersion(imagePath, version))
            return kUnreadableImage;
        if (hub.failAfterMs) {
            // Nothing is recorded, so a rescan shows the version the hub had:
            // the simulation does not model a half-written flash.
            std::this_thread::sleep_for(std::chrono::milliseconds(*hub.failAfterMs));
            return hub.updateResult != 0 ? hub.updateResult : kBrokeOff;
        }

        // A state file that does not read is somebody's edit: refuse at once
        // rather than write over it, and leave the hub as it was. The record
        // itself is made after the programming time, under the state's lock,
        // so that runs programming hubs of the same bench at the same time
        // all keep their records (and the check is made there once more).
        const std::string statePath = tolvane::bench::StatePath(tolvane::bench::BenchPath());
        HubFirmware firmware;
        std::string error;
        if (tolvane::bench::LoadState(statePath, firmware, error) == BenchStatus::Malformed) {
            std::fprintf(stderr, "ZQ460API (simulated): %s\n", error.c_str());
            return kNotRecorded;
        }

        std::this_thread::sleep_for(std::chrono::milliseconds(hub.updateMs));

        // A hub that ignores what it was sent keeps its old record, or none.
        if (hub.noVersionChange)
            return 0;
        if (tolvane::bench::RecordFirmware(statePath, hubIndex + 1, version, error) !=
            tolvane::bench::RecordResult::Recorded) {
            std::fprintf(stderr, "ZQ460API (simulated): %s\n", error.c_str());
            return kNotRecorded;
        }
    } catch (...) {
        ReportFailure();
        // The hub may or may not have been programmed; either way the caller
        // must not take it as done.
        return kNotRecorded;
    }
    return 0;
}
