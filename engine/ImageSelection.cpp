// Choosing the image for one hub: the first file in the image folder that is
// legal, carries the hub's target identifier, matches its strings when asked
// to, fits its chip and flags, and has the name configured for its place in
// the USB tree.
#include "HubUpgrader.h"

#include "FirmwareImage.h"
#include "Platform.h"

#include <cstring>
#include <vector>

namespace {
// The compatibility table between an image's flags and a hub's chip version
// and flags (bits 4 and 5), one line per row. marker() tells whether the image
// is 28801 bytes long and keeps 0x9010 at 0x1F6C; only the last two rows ask.
template <typename MarkerTest>
bool IsCompatible(std::uint8_t flags, std::uint8_t hubFlags, std::uint8_t chip, MarkerTest marker)
{
    const bool f7 = (flags & image_format::kFlagAlt) != 0;
    const bool f2 = (flags & image_format::kFlagCompat) != 0;
    const bool f3 = (flags & image_format::kFlagLayoutA) != 0;
    const unsigned h = hubFlags & 0x30u;
    const bool b2b3 = chip == 0xB2 || chip == 0xB3;
    return (!f7 && f2 && !f3 && h == 0x30 && chip == 0x10) ||
           (!f7 && !f2 && !f3 && h == 0x00 && chip == 0x10) ||
           (!f7 && f2 && f3 && h == 0x30 && b2b3) ||
           (!f7 && !f2 && f3 && h == 0x00 && b2b3) ||
           (f7 && h == 0x10 && b2b3) ||
           (!f7 && f2 && h != 0x00 && b2b3 && marker()) ||
           (!f7 && !f2 && h == 0x00 && b2b3 && marker());
}

bool SameBytes(const std::uint8_t* image, std::size_t present, const std::uint8_t* hub, std::size_t length)
{
    return present >= length && std::memcmp(image, hub, length) == 0;
}
} // namespace

std::string CHubUpgrader::WantedImageName(const HubInfo& hub)
{
    if (m_nHubNumber <= 1)
        return std::string();
    // With two hubs the depth alone tells them apart; deeper chains need the
    // port as well, except at the root.
    const unsigned candidates = m_nHubNumber == 2 ? 2u : m_nHubNumber;
    const HubModule* node = m_pHubModule;
    for (unsigned i = 0; i < candidates && node; ++i, node = node->pNext) {
        const bool portMatters = m_nHubNumber >= 3 && hub.depth != 0;
        if (node->depth == hub.depth && (!portMatters || node->portIndex == hub.portIndex))
            return std::string(node->binFile, strnlen(node->binFile, sizeof node->binFile - 1));
    }
    FormatMsg("Please Check [HUBModule] setting\r\n");
    LogMsg();
    return std::string();
}

const TargetIdEntry* CHubUpgrader::FindTargetId(std::uint32_t vidPid) const
{
    for (unsigned i = 0; i < m_IniInfo.entryCount && i < kMaxTargetIds; ++i) {
        if (m_IniInfo.entries[i].vidPid == vidPid)
            return &m_IniInfo.entries[i];
    }
    return nullptr;
}

bool CHubUpgrader::SelectImage(std::uint32_t vidPid, const HubInfo& hub, char* path)
{
    const std::string wanted = WantedImageName(hub);
    const TargetIdEntry* target = FindTargetId(vidPid);
    if (!target) {
        FormatMsg("This Firmware update tool is not support this HUB_Vid[%X]_Pid[%X]\r\n"
                  "Please add this HUB info to SpiFlash.ini file\r\n",
                  static_cast<unsigned>(vidPid >> 16), static_cast<unsigned>(vidPid & 0xFFFF));
        LogMsg();
        return false;
    }

    const std::string folder = tolvane::platform::kImageFolder;
    std::vector<std::wstring> names;
    if (!tolvane::platform::ListFolder(folder, ".BIN", names)) {
        FormatMsg("!!!Error searching directory:  %s*.BIN\r\n", folder.c_str());
        LogMsg();
        return false;
    }
    for (const std::wstring& name : names) {
        std::string imagePath;
        if (ImageFits(vidPid, hub, target->targetId, wanted, name, imagePath)) {
            std::memcpy(path, imagePath.c_str(), imagePath.size() + 1);
            return true;
        }
    }
    return false;
}

bool CHubUpgrader::ImageFits(std::uint32_t vidPid, const HubInfo& hub, std::uint16_t targetId,
                             const std::string& wanted, const std::wstring& name, std::string& imagePath)
{
    // The whole name is converted: cutting it at its count of wide characters
    // would make names in multibyte code pages unopenable. A name that cannot
    // be converted, or whose path would not fit the buffer, is unopenable.
    std::string name8;
    const bool converted = tolvane::platform::NarrowName(name, name8);
    imagePath = tolvane::platform::kImageFolder + name8;
    FirmwareImage image;
    if (!converted || imagePath.size() >= kImagePathSize || !image.Open(imagePath)) {
        if (converted)
            FormatMsg("!!!Error opening file faile:  %s", name8.c_str());
        else
            m_strMsg = tolvane::platform::WidenAnsi("!!!Error opening file faile:  ") + name;
        LogMsg();
        return false;
    }
    if (!image.IsLegal()) {
        m_strMsg = tolvane::platform::WidenAnsi("  Warning !!!") + name +
                   tolvane::platform::WidenAnsi(" bin file is illgal...\r\n");
        LogMsg();
        return false;
    }
    if (!image.HasTargetId() || image.TargetId() != targetId)
        return false;

    if (!IsSpecialHubModel(vidPid)) {
        if (m_nStringCompare != 0 && !PassesStringTest(image, hub))
            return false;
        const auto marker = [&image] {
            std::uint16_t word = 0;
            return image.Size() == image_format::kLayoutB.legalSize &&
                   image.ReadWord(image_format::kMarkerOffset, word) && word == image_format::kMarkerValue;
        };
        if (!image.HasFlags() || !IsCompatible(image.Flags(), hub.hubFlags, hub.chipVersion, marker))
            return false;
    }
    return m_nHubNumber == 1 || (!wanted.empty() && name8 == wanted);
}

bool CHubUpgrader::PassesStringTest(const FirmwareImage& image, const HubInfo& hub) const
{
    if (!image.HasFlags())
        return false;
    const image_format::Layout& layout = image.Layout();
    std::uint8_t field[image_format::kTextFieldSize];

    // A USB 2.x hub may report another manufacturer string than its image.
    const bool usb2 = ((hub.descriptor.bcdUSB >> 8) & 0x0F) == 2;
    if (!usb2) {
        const std::size_t present = image.ReadField(layout.manufacturer, field, sizeof field);
        if (!SameBytes(field, present, hub.manufacturer, image_format::kManufacturerCompared))
            return false;
    }
    for (const std::uint64_t offset : {layout.product1, layout.product2}) {
        const std::size_t present = image.ReadField(offset, field, sizeof field);
        if (SameBytes(field, present, hub.product, image_format::kProductCompared))
            return true;
    }
    return false;
}
