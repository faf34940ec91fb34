#include "Explain.h"

#include "HubUpgrader.h"
#include "ImageFormat.h"
#include "ReadOnlyNote.h"
#include "TextEscape.h"

#include <cstdlib>
#include <cstring>

namespace {
std::string Quoted(const std::string& bytes)
{
    return "'" + EscapeField(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) + "'";
}

std::string HubText(const std::uint8_t* field, std::size_t compared)
{
    return Quoted(std::string(reinterpret_cast<const char*>(field), compared));
}

std::string TargetReason(const ImageVerdict& verdict, const HubRecord& record)
{
    std::string needs;
    if (record.target)
        needs = CHubUpgrader::Format("hub needs %04X ([TargetID_U%u] %08X=%04X)", record.target->targetId,
                                     static_cast<unsigned>(record.target->usbPart),
                                     static_cast<unsigned>(record.target->vidPid), record.target->targetId);
    if (!verdict.hasTargetId)
        return CHubUpgrader::Format("no target identifier (file has %llu bytes), ",
                                    static_cast<unsigned long long>(verdict.size)) +
               needs;
    return CHubUpgrader::Format("target identifier %04X, ", verdict.targetId) + needs;
}

std::string CompatibilityReason(const ImageVerdict& verdict, const HubInfo& hub)
{
    const unsigned chip = hub.chipVersion;
    if (chip == 0 && SystemHubsSelected())
        return "chip version unknown on this system";
    if (chip != 0x10 && chip != 0xB2 && chip != 0xB3)
        return CHubUpgrader::Format("chip version %02X fits no image", chip);
    if (chip == 0x10 && image_format::IsLayoutA(verdict.flags))
        return "chip version 10 needs layout B, image is layout A";
    std::string reason = CHubUpgrader::Format("image flags %02X do not suit chip version %02X with hub flags %02X",
                                              verdict.flags, chip, hub.hubFlags & 0x30u);
    if (verdict.markerRead)
        reason += CHubUpgrader::Format(" (word at 1F6C is %04X, file has %llu bytes)", verdict.marker,
                                       static_cast<unsigned long long>(verdict.size));
    return reason;
}

std::string NameReason(const ImageVerdict& verdict, const HubRecord& record)
{
    const std::string place = CHubUpgrader::Format("depth %u port %u", record.hub.depth, record.hub.portIndex);
    if (verdict.wanted.empty())
        return "no [HUBModule] entry names an image for " + place;
    return "name differs: " + place + " wants " + Quoted(verdict.wanted);
}
} // namespace

std::string IllegalityReason(bool legal, bool hasFlags, std::uint8_t flags, std::uint64_t size)
{
    if (legal)
        return std::string();
    if (!hasFlags)
        return CHubUpgrader::Format("target identifier %04X needs a flags byte, file has %llu bytes",
                                    image_format::kSizeCheckedTarget, static_cast<unsigned long long>(size));
    const image_format::Layout& layout = image_format::LayoutOf(flags);
    return CHubUpgrader::Format("target identifier %04X in layout %c must be %llu bytes, file has %llu",
                                image_format::kSizeCheckedTarget, image_format::IsLayoutA(flags) ? 'A' : 'B',
                                static_cast<unsigned long long>(layout.legalSize),
                                static_cast<unsigned long long>(size));
}

std::string UnwritableReason(bool hasFlags, std::uint8_t flags, std::uint64_t size)
{
    if (!hasFlags)
        return CHubUpgrader::Format("no flags byte to tell its layout, file has %llu bytes",
                                    static_cast<unsigned long long>(size));
    return CHubUpgrader::Format("ends before its version word at %04llX (layout %c), file has %llu bytes",
                                static_cast<unsigned long long>(image_format::LayoutOf(flags).versionWord),
                                image_format::IsLayoutA(flags) ? 'A' : 'B', static_cast<unsigned long long>(size));
}

std::string ExplainImage(const JudgedImage& judged, const HubRecord& record)
{
    const ImageVerdict& verdict = judged.verdict;
    const HubInfo& hub = record.hub;
    switch (verdict.test) {
    case ImageTest::Fits:
        return judged.afterChoice ? "fits too, but an earlier image was chosen" : "chosen";
    case ImageTest::Unopenable:
        if (!verdict.converted)
            return "name has no 8-bit form, cannot be opened";
        return verdict.openError.empty() ? "cannot be opened" : "cannot be opened: " + EscapeBytes(verdict.openError);
    case ImageTest::Illegal:
        return "illegal: " + IllegalityReason(false, verdict.hasFlags, verdict.flags, verdict.size);
    case ImageTest::TargetId:
        return TargetReason(verdict, record);
    case ImageTest::FlagsAbsent:
        return CHubUpgrader::Format("no flags byte (file has %llu bytes)",
                                    static_cast<unsigned long long>(verdict.size));
    case ImageTest::Manufacturer:
        return "manufacturer string differs: image " + Quoted(verdict.manufacturer) + ", hub " +
               HubText(hub.manufacturer, image_format::kManufacturerCompared);
    case ImageTest::Product:
        return "product string differs: image " + Quoted(verdict.product1) + " and " + Quoted(verdict.product2) +
               ", hub " + HubText(hub.product, image_format::kProductCompared);
    case ImageTest::Compatibility:
        return CompatibilityReason(verdict, hub);
    case ImageTest::Name:
        break;
    }
    return NameReason(verdict, record);
}

std::string ExplainNoSearch(const HubRecord& record)
{
    const unsigned vid = record.hub.descriptor.idVendor;
    const unsigned pid = record.hub.descriptor.idProduct;
    if (record.unsupported)
        return CHubUpgrader::Format("%04X/%04X is in no [TargetID_U3] or [TargetID_U2] entry", vid, pid);
    if (record.noImageFolder)
        return "no image in the folder Bin";
    return std::string();
}

namespace {
std::string NoImageReason(const HubRecord& record)
{
    const std::string search = ExplainNoSearch(record);
    if (!search.empty())
        return search;
    if (record.moduleMissing)
        return CHubUpgrader::Format("no [HUBModule] entry for depth %u port %u", record.hub.depth,
                                    record.hub.portIndex);
    if (!record.nearest)
        return "no image fits";
    const std::string name = record.nearest->converted ? record.nearest->name8 : "an image";
    return "no image fits; the nearest, " + EscapeBytes(name) + ": " + ExplainImage({*record.nearest, false}, record);
}

std::string FailedReason(const HubRecord& record)
{
    if (record.libraryResult)
        return CHubUpgrader::Format("the library returned %d", static_cast<int>(*record.libraryResult));
    if (!record.chosen)
        return "the chosen image cannot be read";
    return "the chosen image " + EscapeBytes(record.chosen->name8) + " " +
           UnwritableReason(record.chosen->hasFlags, record.chosen->flags, record.chosen->size);
}
} // namespace

std::string FailureReason(const HubRecord& record)
{
    switch (record.Outcome()) {
    case HubOutcome::NoImage:
        return NoImageReason(record);
    case HubOutcome::Refused:
        return *record.refused;
    case HubOutcome::Failed:
        return FailedReason(record);
    default:
        break;
    }
    return std::string();
}
