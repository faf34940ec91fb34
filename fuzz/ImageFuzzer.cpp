// Any bytes as the one image in Bin/, offered to a set of hubs under several
// settings: one hub per set or chains of two and three, with and without the
// string comparison. An image that is chosen must have passed every test
// that applies to it; one that is not must leave the caller's path alone.
#include "FirmwareImage.h"
#include "FuzzIsp.h"
#include "FuzzSupport.h"
#include "HubUpgrader.h"
#include "ImageFormat.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {
namespace fmt = image_format;

const char kTargets[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n05E30620=0D12\n05E30630=0D14\n"
                        "[TargetID_U2]\n3C5E0461=0D12\n";
const char* const kChains[] = {
    "[HUBModule]\nHUBNumber=1\n",
    "[HUBModule]\nHUBNumber=2\nNO.1HUBWantUpdateBinFile=FUZZ.BIN\nNO.2HUBDepth=1\n"
    "NO.2HUBConnectionPortIndex=1\nNO.2HUBWantUpdateBinFile=FUZZ.BIN\n",
    "[HUBModule]\nHUBNumber=3\nNO.1HUBWantUpdateBinFile=FUZZ.BIN\nNO.2HUBDepth=1\n"
    "NO.2HUBConnectionPortIndex=2\nNO.2HUBWantUpdateBinFile=FUZZ.BIN\nNO.3HUBDepth=2\n"
    "NO.3HUBConnectionPortIndex=1\nNO.3HUBWantUpdateBinFile=OTHER.BIN\n",
};

struct Setting {
    std::unique_ptr<CHubUpgrader> engine;
    bool compare;
};
std::vector<Setting> g_settings;
std::vector<HubInfo> g_hubs;

void SetText(std::uint8_t (&field)[kHubStringSize], const char* text)
{
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text, std::strlen(text));
}

HubInfo Hub(std::uint16_t vid, std::uint16_t pid, std::uint8_t chip, std::uint8_t flags, std::uint16_t bcdUsb,
            std::uint8_t depth, std::uint8_t port)
{
    HubInfo hub{};
    hub.descriptor.idVendor = vid;
    hub.descriptor.idProduct = pid;
    hub.descriptor.bcdUSB = bcdUsb;
    hub.chipVersion = chip;
    hub.hubFlags = flags;
    hub.depth = depth;
    hub.portIndex = port;
    SetText(hub.manufacturer, "Tolvane Demo");
    SetText(hub.product, "USB3.2 Hub");
    return hub;
}

std::uint32_t VidPid(const HubInfo& hub)
{
    return static_cast<std::uint32_t>(hub.descriptor.idVendor) << 16 | hub.descriptor.idProduct;
}

std::uint16_t ConfiguredTarget(const CHubUpgrader& engine, std::uint32_t vidPid)
{
    for (unsigned i = 0; i < engine.m_IniInfo.entryCount; ++i) {
        if (engine.m_IniInfo.entries[i].vidPid == vidPid)
            return engine.m_IniInfo.entries[i].targetId;
    }
    Broken("an image was chosen for a hub without a target ID");
}

bool SameAt(const std::uint8_t* data, std::size_t size, std::uint64_t offset, const std::uint8_t* text,
            std::size_t length)
{
    return offset + length <= size && std::memcmp(data + offset, text, length) == 0;
}

// What the chosen image must satisfy, worked out from the bytes themselves.
void CheckChosen(const Setting& setting, const HubInfo& hub, const std::uint8_t* data, std::size_t size)
{
    const std::uint32_t vidPid = VidPid(hub);
    FUZZ_CHECK(size >= 2);
    const std::uint16_t target = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    FUZZ_CHECK(target == ConfiguredTarget(*setting.engine, vidPid));
    if (target == fmt::kSizeCheckedTarget)
        FUZZ_CHECK(size > fmt::kFlagsOffset && size == fmt::LayoutOf(data[fmt::kFlagsOffset]).legalSize);
    if (IsSpecialHubModel(vidPid))
        return;
    FUZZ_CHECK(size > fmt::kFlagsOffset);
    FUZZ_CHECK(hub.chipVersion == 0x10 || hub.chipVersion == 0xB2 || hub.chipVersion == 0xB3);
    if (!setting.compare)
        return;
    const fmt::Layout& layout = fmt::LayoutOf(data[fmt::kFlagsOffset]);
    const bool usb2 = ((hub.descriptor.bcdUSB >> 8) & 0x0F) == 2;
    FUZZ_CHECK(usb2 || SameAt(data, size, layout.manufacturer, hub.manufacturer, fmt::kManufacturerCompared));
    FUZZ_CHECK(SameAt(data, size, layout.product1, hub.product, fmt::kProductCompared) ||
               SameAt(data, size, layout.product2, hub.product, fmt::kProductCompared));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    EnterPrivateFolder("image", argc, argv);
    SilenceStandardOutput();
    std::filesystem::create_directory("Bin");
    for (const char* chain : kChains) {
        for (const bool compare : {false, true}) {
            WriteFile("SpiFlash.ini", std::string(kTargets) + chain +
                                          "[Misc]\nManufacturer&ProductStringCompare=" + (compare ? "1" : "0") + "\n");
            Setting setting{std::make_unique<CHubUpgrader>(), compare};
            if (!setting.engine->LoadSettingFromIni())
                Broken("the fixed settings do not load");
            g_settings.push_back(std::move(setting));
        }
    }
    g_hubs = {
        Hub(0x3C5E, 0x0460, 0x00, 0x00, 0x0320, 0, 0), Hub(0x3C5E, 0x0461, 0xB2, 0x30, 0x0210, 1, 2),
        Hub(0x05E3, 0x0610, 0x10, 0x00, 0x0320, 1, 1), Hub(0x05E3, 0x0610, 0x10, 0x30, 0x0310, 0, 0),
        Hub(0x05E3, 0x0620, 0xB2, 0x30, 0x0320, 0, 0), Hub(0x05E3, 0x0620, 0xB3, 0x10, 0x0210, 1, 2),
        Hub(0x05E3, 0x0630, 0xB2, 0x20, 0x0320, 2, 1), Hub(0x1A40, 0x0801, 0xB2, 0x00, 0x0320, 0, 0),
    };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteFile("Bin/FUZZ.BIN", data, size);
    for (Setting& setting : g_settings) {
        setting.engine->m_strLog.clear();
        for (const HubInfo& hub : g_hubs) {
            char path[CHubUpgrader::kImagePathSize];
            std::memset(path, '#', sizeof path);
            if (!setting.engine->SelectImage(VidPid(hub), hub, path)) {
                FUZZ_CHECK(path[0] == '#' && path[sizeof path - 1] == '#');
                continue;
            }
            FUZZ_CHECK(std::strcmp(path, "./Bin/FUZZ.BIN") == 0);
            CheckChosen(setting, hub, data, size);

            // What the upgrade reads next from the chosen image.
            FirmwareImage image;
            std::uint16_t version = 0;
            FUZZ_CHECK(image.Open(path));
            if (image.ReadFirmwareVersion(version))
                FUZZ_CHECK(size >= fmt::LayoutOf(data[fmt::kFlagsOffset]).versionWord + 2);
        }
    }
    return 0;
}
