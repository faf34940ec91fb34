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
    return (!f7 && f2 && !f3 && h == 0x30 && chip == 0x10) || (!f7 && !f2 && !f3 && h == 0x00 && chip == 0x10) ||
           (!f7 && f2 && f3 && h == 0x30 && b2b3) || (!f7 && !f2 && f3 && h == 0x00 && b2b3) ||
           (f7 && h == 0x10 && b2b3) || (!f7 && f2 && h != 0x00 && b2b3 && marker()) ||
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
    if (m_pObserver)
        m_pObserver->OnHubModuleMissing();
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
    ImageVerdict chosen;
    return SelectImage(vidPid, hub, path, chosen);
}

bool CHubUpgrader::SelectImage(std::uint32_t vidPid, const HubInfo& hub, char* path, ImageVerdict& chosenVerdict)
{
    const std::string wanted = WantedImageName(hub);
    const TargetIdEntry* target = FindTargetId(vidPid);
    if (!target) {
        FormatMsg("This Firmware update tool is not support this HUB_Vid[%X]_Pid[%X]\r\n"
                  "Please add this HUB info to SpiFlash.ini file\r\n",
                  static_cast<unsigned>(vidPid >> 16), static_cast<unsigned>(vidPid & 0xFFFF));
        LogMsg();
        if (m_pObserver)
            m_pObserver->OnHubUnsupported(vidPid);
        return false;
    }
    if (m_pObserver)
        m_pObserver->OnTargetFound(*target);

    const std::string folder = tolvane::platform::kImageFolder;
    std::vector<std::wstring> names;
    if (!tolvane::platform::ListFolder(folder, ".BIN", names)) {
        FormatMsg("!!!Error searching directory:  %s*.BIN\r\n", folder.c_str());
        LogMsg();
        if (m_pObserver)
            m_pObserver->OnNoImageFolder();
        return false;
    }
    // Images after the chosen one are judged only for a watcher that asks,
    // and without a word in the log, which stays that of the selection.
    bool chosen = false;
    for (const std::wstring& name : names) {
        if (chosen && !(m_pObserver && m_pObserver->WantsEveryImage()))
            break;
        const ImageVerdict verdict = CheckImage(vidPid, hub, target->targetId, wanted, name);
        if (!chosen)
            LogVerdict(verdict);
        if (m_pObserver)
            m_pObserver->OnImageConsidered(verdict, chosen);
        if (!chosen && verdict.test == ImageTest::Fits) {
            const std::string imagePath = tolvane::platform::kImageFolder + verdict.name8;
            std::memcpy(path, imagePath.c_str(), imagePath.size() + 1);
            chosenVerdict = verdict;
            chosen = true;
        }
    }
    return chosen;
}

void CHubUpgrader::LogVerdict(const ImageVerdict& verdict)
{
    if (verdict.test == ImageTest::Unopenable) {
        if (verdict.converted)
            FormatMsg("!!!Error opening file faile:  %s", verdict.name8.c_str());
        else
            m_strMsg = tolvane::platform::WidenAnsi("!!!Error opening file faile:  ") + verdict.name;
        LogMsg();
    } else if (verdict.test == ImageTest::Illegal) {
        m_strMsg = tolvane::platform::WidenAnsi("  Warning !!!") + verdict.name +
                   tolvane::platform::WidenAnsi(" bin file is illgal...\r\n");
        LogMsg();
    }
}

ImageVerdict CHubUpgrader::CheckImage(std::uint32_t vidPid, const HubInfo& hub, std::uint16_t targetId,
                                      const std::string& wanted, const std::wstring& name) const
{
    ImageVerdict verdict;
    verdict.name = name;
    verdict.wanted = wanted;
    // The whole name is converted: cutting it at its count of wide characters
    // would make names in multibyte code pages unopenable. A name that cannot
    // be converted, or whose path would not fit the buffer, is unopenable.
    verdict.converted = tolvane::platform::NarrowName(name, verdict.name8);
    const std::string imagePath = tolvane::platform::kImageFolder + verdict.name8;
    FirmwareImage image;
    verdict.test = ImageTest::Unopenable;
    if (!verdict.converted || imagePath.size() >= kImagePathSize || !image.Open(imagePath, verdict.openError))
        return verdict;
    JudgeImage(vidPid, hub, targetId, image, verdict);
    return verdict;
}

void CHubUpgrader::JudgeImage(std::uint32_t vidPid, const HubInfo& hub, std::uint16_t targetId, FirmwareImage& image,
                              ImageVerdict& verdict) const
{
    verdict.size = image.Size();
    verdict.hasTargetId = image.HasTargetId();
    verdict.targetId = verdict.hasTargetId ? image.TargetId() : 0;
    verdict.hasFlags = image.HasFlags();
    verdict.flags = verdict.hasFlags ? image.Flags() : 0;

    verdict.test = ImageTest::Illegal;
    if (!image.IsLegal())
        return;
    verdict.test = ImageTest::TargetId;
    if (!image.HasTargetId() || image.TargetId() != targetId)
        return;

    if (!IsSpecialHubModel(vidPid)) {
        if (m_nStringCompare != 0) {
            verdict.test = StringTest(image, hub, verdict);
            if (verdict.test != ImageTest::Fits)
                return;
        }
        const auto marker = [&image, &verdict] {
            verdict.markerRead = image.ReadWord(image_format::kMarkerOffset, verdict.marker);
            return image.Size() == image_format::kLayoutB.legalSize && verdict.markerRead &&
                   verdict.marker == image_format::kMarkerValue;
        };
        verdict.test = image.HasFlags() ? ImageTest::Compatibility : ImageTest::FlagsAbsent;
        if (!image.HasFlags() || !IsCompatible(image.Flags(), hub.hubFlags, hub.chipVersion, marker))
            return;
    }
    const bool named = m_nHubNumber == 1 || (!verdict.wanted.empty() && verdict.name8 == verdict.wanted);
    verdict.test = named ? ImageTest::Fits : ImageTest::Name;
}

std::string CHubUpgrader::ChangeSinceChoice(std::uint32_t vidPid, const HubInfo& hub, const ImageVerdict& chosen,
                                            FirmwareImage& taken) const
{
    const TargetIdEntry* target = FindTargetId(vidPid);
    if (!target)
        return "its hub's target identifier is gone";
    ImageVerdict verdict;
    verdict.name = chosen.name;
    verdict.name8 = chosen.name8;
    verdict.converted = chosen.converted;
    verdict.wanted = chosen.wanted;
    JudgeImage(vidPid, hub, target->targetId, taken, verdict);
    if (verdict.test != ImageTest::Fits)
        return "it no longer fits the hub";
    // Bytes that still fit but are not those judged at the choice are another
    // image all the same: its version and layout were never shown for it.
    if (verdict.size != chosen.size)
        return Format("its size is %llu bytes, not %llu", static_cast<unsigned long long>(verdict.size),
                      static_cast<unsigned long long>(chosen.size));
    if (verdict.targetId != chosen.targetId || verdict.flags != chosen.flags || verdict.hasFlags != chosen.hasFlags)
        return "its header differs from the one judged";
    return std::string();
}

namespace {
std::string PresentBytes(const std::uint8_t* field, std::size_t present, std::size_t compared)
{
    return std::string(reinterpret_cast<const char*>(field), present < compared ? present : compared);
}
} // namespace

ImageTest CHubUpgrader::StringTest(const FirmwareImage& image, const HubInfo& hub, ImageVerdict& verdict) const
{
    if (!image.HasFlags())
        return ImageTest::FlagsAbsent;
    const image_format::Layout& layout = image.Layout();
    std::uint8_t field[image_format::kTextFieldSize];

    // A USB 2.x hub may report another manufacturer string than its image.
    const bool usb2 = ((hub.descriptor.bcdUSB >> 8) & 0x0F) == 2;
    if (!usb2) {
        const std::size_t present = image.ReadField(layout.manufacturer, field, sizeof field);
        verdict.manufacturer = PresentBytes(field, present, image_format::kManufacturerCompared);
        if (!SameBytes(field, present, hub.manufacturer, image_format::kManufacturerCompared))
            return ImageTest::Manufacturer;
    }
    std::string* texts[] = {&verdict.product1, &verdict.product2};
    const std::uint64_t offsets[] = {layout.product1, layout.product2};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t present = image.ReadField(offsets[i], field, sizeof field);
        *texts[i] = PresentBytes(field, present, image_format::kProductCompared);
        if (SameBytes(field, present, hub.product, image_format::kProductCompared))
            return ImageTest::Fits;
    }
    return ImageTest::Product;
}
