#include "SettingsSections.h"

#include "HubUpgrader.h"
#include "IspRecords.h"
#include "SettingsText.h"

#include <cstring>

namespace {
const char* const kKindNames[HubKeyIndex::kKinds] = {"Depth", "ConnectionPortIndex", "WantUpdateBinFile"};

bool HasKey(const char* line, const char* key)
{
    return std::strchr(line, '=') && std::strstr(line, key);
}

void AddTargetIdLine(TargetIdLines& section, const char* line)
{
    if (!std::strchr(line, '='))
        return;
    // Past one entry beyond the table and one broken line beyond those shown,
    // further lines change neither the table nor the log.
    std::uint32_t vidPid = 0;
    std::uint32_t targetId = 0;
    const bool complete = ParseTargetIdLine(line, vidPid, targetId);
    unsigned& seen = complete ? section.complete : section.broken;
    const unsigned limit = complete ? kMaxTargetIds + 1 : TargetIdLines::kIgnoredShown + 1;
    if (seen == limit)
        return;
    ++seen;
    section.lines.emplace_back(line);
}

void AddHubNumberLine(HubNumberLines& lines, std::uint8_t& hubNumber, const char* line)
{
    if (!HasKey(line, "HUBNumber"))
        return;
    std::int32_t number = 0;
    if (ScanDecimal(ValueOf(line), number))
        hubNumber = static_cast<std::uint8_t>(number);
    if (lines.shown.size() < HubNumberLines::kShown) {
        lines.shown.push_back(hubNumber);
        return;
    }
    ++lines.hidden;
    lines.lastHidden = hubNumber;
    if (hubNumber >= 1)
        lines.lastHiddenChain = hubNumber;
    if (lines.hiddenRises.empty() || hubNumber > lines.hiddenRises.back())
        lines.hiddenRises.push_back(hubNumber);
}

void AddFwCheckLine(FwCheckLines& check, const char* line)
{
    if (!std::strchr(line, '='))
        return;
    const char* value = ValueOf(line);
    if (std::strstr(line, "CheckHUBFW")) {
        ScanDecimal(value, check.checkHubFw);
        check.notes += CHubUpgrader::Format("FWCompare:%d  \n\t\t", check.checkHubFw);
    }
    if (std::strstr(line, "FWVersion")) {
        std::uint32_t version = 0;
        if (ScanHex(value, version))
            check.fwVersion = static_cast<std::uint16_t>(version);
        check.notes += CHubUpgrader::Format("FWVersion:%d  \n\t\t", check.fwVersion);
    }
}

enum Section { U3, U2, Misc, HubNumbers, HubKeys, FwCheck, kSections };

// The key section of the hub keys starts at any mention of HUBModule.
const char* const kHeaders[kSections] = {"[TargetID_U3]", "[TargetID_U2]", "[Misc]",
                                         "[HUBModule]",   "HUBModule",     "[HUBFWCheck]"};

enum class State { NotFound, Open, Closed };
} // namespace

bool ParseTargetIdLine(const char* line, std::uint32_t& vidPid, std::uint32_t& targetId)
{
    const char* end = nullptr;
    return ScanHex(line, vidPid, &end) && *end == '=' && ScanHex(end + 1, targetId);
}

void HubKeyIndex::Add(const char* piece)
{
    const char* value = ValueOf(piece);
    if (!value)
        return;
    // "NO.<n>HUB<kind>" with n in decimal without leading zeros: one key per
    // occurrence, wherever it stands in the piece.
    for (const char* at = std::strstr(piece, "NO."); at; at = std::strstr(at + 3, "NO.")) {
        const char* digits = at + 3;
        unsigned hub = 0;
        const char* p = digits;
        for (; *p >= '0' && *p <= '9' && p - digits < 4; ++p)
            hub = hub * 10 + static_cast<unsigned>(*p - '0');
        if (p == digits || *digits == '0' || hub > kMaxHub || std::strncmp(p, "HUB", 3) != 0)
            continue;
        for (unsigned kind = 0; kind < kKinds; ++kind) {
            const std::size_t length = std::strlen(kKindNames[kind]);
            if (std::strncmp(p + 3, kKindNames[kind], length) != 0)
                continue;
            const std::size_t slot = Slot(hub, static_cast<Kind>(kind));
            if (!m_present[slot]) {
                m_present[slot] = true;
                m_values[slot] = value;
            }
        }
    }
}

const char* HubKeyIndex::Find(unsigned hub, Kind kind) const
{
    if (hub < 1 || hub > kMaxHub)
        return nullptr;
    const std::size_t slot = Slot(hub, kind);
    return m_present[slot] ? m_values[slot].c_str() : nullptr;
}

std::string HubKeyIndex::KeyName(unsigned hub, Kind kind)
{
    return "NO." + std::to_string(hub) + "HUB" + kKindNames[kind];
}

unsigned HubKeyIndex::FirstIncompleteHub() const
{
    if (!Find(1, WantUpdateBinFile))
        return 1;
    for (unsigned hub = 2; hub <= kMaxHub; ++hub) {
        if (!Find(hub, Depth) || !Find(hub, ConnectionPortIndex) || !Find(hub, WantUpdateBinFile))
            return hub;
    }
    return 0;
}

void SettingsSections::Read(SettingsText& file, const Start& start)
{
    std::uint8_t hubNumber = start.hubNumber;
    fwCheck.checkHubFw = start.checkHubFw;
    fwCheck.fwVersion = start.fwVersion;
    State states[kSections] = {};
    while (const char* piece = file.NextPiece()) {
        const bool bracket = std::strchr(piece, '[') != nullptr;
        for (int s = 0; s < kSections; ++s) {
            if (states[s] != State::Open)
                continue;
            if (bracket) {
                states[s] = State::Closed;
                continue;
            }
            switch (s) {
            case U3:
            case U2:
                AddTargetIdLine(targetIds[s], piece);
                break;
            case Misc:
                if (!hasStringCompare && HasKey(piece, "Manufacturer&ProductStringCompare")) {
                    hasStringCompare = true;
                    stringCompareLine = piece;
                }
                break;
            case HubNumbers:
                AddHubNumberLine(hubNumbers, hubNumber, piece);
                break;
            case HubKeys:
                hubKeys.Add(piece);
                break;
            default:
                AddFwCheckLine(fwCheck, piece);
                break;
            }
        }
        // The piece that holds a header belongs to no line of its section.
        for (int s = 0; s < kSections; ++s) {
            if (states[s] == State::NotFound && std::strstr(piece, kHeaders[s]))
                states[s] = State::Open;
        }
    }
    targetIds[U3].found = states[U3] != State::NotFound;
    targetIds[U2].found = states[U2] != State::NotFound;
    miscFound = states[Misc] != State::NotFound;
    fwCheck.found = states[FwCheck] != State::NotFound;
}
