#include "JsonReport.h"

#include "Explain.h"
#include "HistoryLines.h"
#include "Platform.h"
#include "ShownName.h"
#include "TextEscape.h"

using nlohmann::json;

using history::Hex;

namespace {
json SettingsJson(const CHubUpgrader& upgrader)
{
    json targets = json::array();
    for (unsigned i = 0; i < upgrader.m_IniInfo.entryCount && i < kMaxTargetIds; ++i) {
        const TargetIdEntry& entry = upgrader.m_IniInfo.entries[i];
        targets.push_back({{"vid", Hex(entry.vidPid >> 16, 4)},
                           {"pid", Hex(entry.vidPid & 0xFFFFu, 4)},
                           {"targetId", Hex(entry.targetId, 4)},
                           {"usb", entry.usbPart}});
    }
    json chain = json::array();
    for (const HubModule* node = upgrader.m_pHubModule; node; node = node->pNext)
        chain.push_back({{"depth", node->depth},
                         {"port", node->portIndex},
                         {"image", EscapeField(reinterpret_cast<const std::uint8_t*>(node->binFile),
                                               sizeof node->binFile, EscapeFor::Data)}});
    return {{"targetIds", targets},
            {"stringCompare", upgrader.m_nStringCompare},
            {"hubNumber", upgrader.m_nHubNumber},
            {"hubChain", chain},
            {"firmwareCheck", upgrader.m_nCheckHubFw},
            {"firmwareVersion", Hex(upgrader.m_wFwVersion, 4)}};
}

json ImageJson(const std::optional<ChosenImage>& image)
{
    if (!image)
        return nullptr;
    json shown = {{"name", ShownName(image->name, EscapeFor::Data)},
                  {"layout", std::string(1, image->layout)},
                  {"firmwareVersion", Hex(image->version, 4)},
                  {"sha256", nullptr},
                  {"size", nullptr}};
    if (image->digest) {
        shown["sha256"] = image->digest->sha256;
        shown["size"] = image->digest->size;
    }
    return shown;
}
} // namespace

namespace {
// The hub as the history names it, with what the scan read of it besides.
json ScannedHubJson(unsigned entry, const HubInfo& hub)
{
    json shown = history::HubJson(entry, hub);
    shown["bcdUSB"] = Hex(hub.descriptor.bcdUSB, 4);
    shown["firmwareVersion"] = Hex(hub.descriptor.bcdDevice, 4);
    shown["firmwareVersionText"] = ListedFirmwareVersion(hub);
    shown["chipVersion"] = Hex(hub.chipVersion, 2);
    shown["hubFlags"] = Hex(hub.hubFlags, 2);
    return shown;
}
} // namespace

json ScanJson(const char* command, const CHubUpgrader& upgrader, const RunRecorder& recorder, bool scanPassed)
{
    json library = nullptr;
    if (recorder.libraryVersion)
        library = {{"version", *recorder.libraryVersion}, {"versionText", Hex(*recorder.libraryVersion, 1)}};
    json hubs = json::array();
    const unsigned count = scanPassed ? upgrader.m_EnumInfo.hubCount : 0;
    for (unsigned i = 0; i < count && i < kMaxHubs; ++i)
        hubs.push_back(ScannedHubJson(i, upgrader.m_EnumInfo.hubs[i]));
    json document = {{"program", {{"name", "tolvane-cli"}, {"version", TOLVANE_VERSION}}},
                     {"library", library},
                     {"command", command},
                     {"scanPassed", scanPassed},
                     {"settings", SettingsJson(upgrader)},
                     {"hubs", hubs}};
    // A scan that never began (the run stopped before it) names no step.
    if (!scanPassed && !recorder.scanStep.empty())
        document["failedStep"] = recorder.scanStep;
    return document;
}

json ResultJson(const HubRecord& record)
{
    json result = {{"index", record.entry},
                   {"number", record.entry + 1},
                   {"outcome", OutcomeName(record.Outcome())},
                   {"firmwareVersion", Hex(record.hub.descriptor.bcdDevice, 4)},
                   {"image", ImageJson(record.image)},
                   {"libraryResult", nullptr},
                   {"libraryMs", nullptr}};
    const std::string reason = FailureReason(record);
    if (!reason.empty())
        result["reason"] = reason;
    if (record.currentBy)
        result["currentBy"] = *record.currentBy == CurrentCheck::ReferenceVersion ? "FWVersion" : "image";
    if (record.libraryResult) {
        result["libraryResult"] = *record.libraryResult;
        result["libraryMs"] = record.libraryMs;
    }
    if (record.verified) {
        result["verified"] = *record.verified;
        result["versionAfter"] = record.versionAfter ? json(Hex(*record.versionAfter, 4)) : json(nullptr);
    }
    return result;
}

json ExplainJson(const HubRecord& record)
{
    json images = json::array();
    for (const JudgedImage& judged : record.images)
        images.push_back({{"name", ShownName(judged.verdict.name, EscapeFor::Data)},
                          {"fits", judged.verdict.test == ImageTest::Fits},
                          {"reason", ExplainImage(judged, record)}});
    return images;
}

std::string DumpJson(const json& document)
{
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string DumpJsonLine(const json& document)
{
    return document.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}
