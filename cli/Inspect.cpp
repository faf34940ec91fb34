#include "Inspect.h"

#include "ExitStatus.h"
#include "Explain.h"
#include "FileDigest.h"
#include "FirmwareImage.h"
#include "HistoryLines.h"
#include "JsonReport.h"
#include "ShownName.h"
#include "TextEscape.h"

#include <cstdio>

using history::Hex;
using nlohmann::json;

namespace {
json WordAt(const FirmwareImage& image, std::uint64_t offset)
{
    std::uint16_t word = 0;
    return image.ReadWord(offset, word) ? json(Hex(word, 4)) : json(nullptr);
}

json TextAt(const FirmwareImage& image, std::uint64_t offset, EscapeFor use)
{
    std::uint8_t field[image_format::kTextFieldSize];
    const std::size_t present = image.ReadField(offset, field, sizeof field);
    return present == 0 ? json(nullptr) : json(EscapeField(field, present, use));
}

void AddLayoutFields(const FirmwareImage& image, EscapeFor use, json& fields)
{
    const std::uint8_t flags = image.Flags();
    const image_format::Layout& layout = image.Layout();
    fields["imageFlags"] = Hex(flags, 2);
    fields["layout"] = image_format::IsLayoutA(flags) ? "A" : "B";
    fields["versionStep"] = image_format::VersionStep(flags);
    fields["fwVersionWord"] = WordAt(image, layout.versionWord);
    std::uint16_t version = 0;
    fields["firmwareVersion"] = image.ReadFirmwareVersion(version) ? json(Hex(version, 4)) : json(nullptr);
    fields["manufacturer"] = TextAt(image, layout.manufacturer, use);
    fields["product1"] = TextAt(image, layout.product1, use);
    fields["product2"] = TextAt(image, layout.product2, use);
}

std::string Shown(const json& value)
{
    if (value.is_null())
        return "absent";
    return value.is_string() ? value.get<std::string>() : value.dump();
}

std::string Quoted(const json& value)
{
    return value.is_null() ? "absent" : "'" + value.get<std::string>() + "'";
}
} // namespace

json InspectImage(const std::string& path, EscapeFor use)
{
    json fields = {{"file", ShownName(path, use)}, {"opened", false}};
    FirmwareImage image;
    std::string error;
    if (!image.Open(path, error)) {
        fields["error"] = EscapeBytes(error, use);
        return fields;
    }
    fields["opened"] = true;
    fields["size"] = image.Size();
    // Hashed through its own opening: the digest names the bytes of the
    // file as it is now, whatever happens to the first handle.
    tolvane::platform::FileDigest digest;
    fields["sha256"] = tolvane::platform::Sha256File(path, digest, error) ? json(digest.sha256) : json(nullptr);
    fields["targetId"] = image.HasTargetId() ? json(Hex(image.TargetId(), 4)) : json(nullptr);
    for (const char* key : {"imageFlags", "layout", "versionStep", "fwVersionWord", "firmwareVersion", "manufacturer",
                            "product1", "product2"})
        fields[key] = nullptr;
    if (image.HasFlags())
        AddLayoutFields(image, use, fields);
    fields["word1F6C"] = WordAt(image, image_format::kMarkerOffset);
    const bool legal = image.IsWritable();
    fields["legal"] = legal;
    const std::uint8_t flags = image.HasFlags() ? image.Flags() : 0;
    const std::string reason = image.IsLegal() ? UnwritableReason(image.HasFlags(), flags, image.Size())
                                               : IllegalityReason(false, image.HasFlags(), flags, image.Size());
    fields["illegalReason"] = legal ? json(nullptr) : json(reason);
    return fields;
}

std::string InspectText(const json& image)
{
    std::string text = image["file"].get<std::string>() + "\n";
    if (!image["opened"].get<bool>())
        return text + "  cannot be opened: " + image["error"].get<std::string>() + "\n";
    const auto line = [&text](const char* label, const std::string& value) {
        text += CHubUpgrader::Format("  %-17s %s\n", label, value.c_str());
    };
    line("size", std::to_string(image["size"].get<std::uint64_t>()) + " bytes");
    line("sha256", Shown(image["sha256"]));
    line("target identifier", Shown(image["targetId"]));
    line("imageFlags", Shown(image["imageFlags"]));
    line("layout", Shown(image["layout"]));
    line("versionStep", Shown(image["versionStep"]));
    line("fwVersionWord", Shown(image["fwVersionWord"]));
    line("firmware version", Shown(image["firmwareVersion"]));
    line("word at 0x1F6C", Shown(image["word1F6C"]));
    line("manufacturer", Quoted(image["manufacturer"]));
    line("product", Quoted(image["product1"]));
    line("second product", Quoted(image["product2"]));
    line("legal", image["legal"].get<bool>() ? "yes" : "no: " + image["illegalReason"].get<std::string>());
    return text;
}

int RunInspect(const std::vector<std::string>& paths, bool asJson)
{
    json images = json::array();
    bool allLegal = true;
    for (const std::string& path : paths) {
        json image = InspectImage(path, asJson ? EscapeFor::Data : EscapeFor::People);
        allLegal = allLegal && image["opened"].get<bool>() && image["legal"].get<bool>();
        images.push_back(std::move(image));
    }
    std::string out;
    if (asJson) {
        out = DumpJson({{"program", {{"name", "tolvane-cli"}, {"version", TOLVANE_VERSION}}}, {"images", images}});
    } else {
        for (const json& image : images)
            out += InspectText(image);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return allLegal ? kExitDone : kExitFailed;
}
