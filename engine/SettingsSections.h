// Everything a load of SpiFlash.ini takes from the file, gathered in one pass
// over its pieces. Each section still begins at the first piece holding its
// header and ends at the next piece holding "[", exactly as a fresh scan per
// section would find it; sections may overlap. What a section's lines would
// log is kept only as far as it can matter, so memory stays small whatever
// the file's size, and the engine replays it in the order the load logs.
#ifndef TOLVANE_ENGINE_SETTINGSSECTIONS_H
#define TOLVANE_ENGINE_SETTINGSSECTIONS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SettingsText;

// Lines of a target-ID section that can still change the table or the log.
// Broken lines are shown up to a limit, and past the table's capacity only
// the first extra entry is reported.
struct TargetIdLines {
    static constexpr unsigned kIgnoredShown = 10;

    bool found = false;
    std::vector<std::string> lines; // lines with "=", in file order
    unsigned complete = 0;
    unsigned broken = 0;
};

// A complete target-ID line, "VIDPID=TargetID" in hexadecimal.
bool ParseTargetIdLine(const char* line, std::uint32_t& vidPid, std::uint32_t& targetId);

// The HUBNumber lines of [HUBModule], as the hub numbers they leave behind
// (a value that does not scan keeps the number before it). The first
// kShown are kept one by one; of the rest only what decides the chain that
// stands: the last number, the last one of 1 or more, and each number that
// is higher than every earlier one of the rest.
struct HubNumberLines {
    static constexpr unsigned kShown = 16;

    std::vector<std::uint8_t> shown;
    std::size_t hidden = 0;
    std::uint8_t lastHidden = 0;
    std::uint8_t lastHiddenChain = 0;
    std::vector<std::uint8_t> hiddenRises;
};

// The per-hub keys of [HUBModule] by hub number and kind, each with the
// value text of the first piece that carries it and "=". The section starts
// at the first piece that merely mentions HUBModule.
class HubKeyIndex {
public:
    enum Kind { Depth, ConnectionPortIndex, WantUpdateBinFile, kKinds };
    static constexpr unsigned kMaxHub = 255;

    // Every key occurrence in one piece of the section.
    void Add(const char* piece);
    // The value text of the key, or null when the section lacks it.
    const char* Find(unsigned hub, Kind kind) const;
    // The key text, e.g. "NO.2HUBDepth".
    static std::string KeyName(unsigned hub, Kind kind);
    // The first hub of the chain that lacks one of its keys (hub 1 has only
    // its image name), or 0 when hubs 1 to kMaxHub are complete.
    unsigned FirstIncompleteHub() const;

private:
    static std::size_t Slot(unsigned hub, Kind kind) { return (hub - 1) * kKinds + kind; }

    std::array<std::string, kMaxHub * kKinds> m_values;
    std::array<bool, kMaxHub * kKinds> m_present{};
};

// The notes the [HUBFWCheck] section writes to the standard output and the
// values it leaves, worked out from the values the load starts with.
struct FwCheckLines {
    bool found = false;
    std::string notes;
    std::int32_t checkHubFw = 0;
    std::uint16_t fwVersion = 0;
};

struct SettingsSections {
    TargetIdLines targetIds[2]; // [TargetID_U3], then [TargetID_U2]
    bool miscFound = false;
    bool hasStringCompare = false;
    std::string stringCompareLine;
    HubNumberLines hubNumbers;
    HubKeyIndex hubKeys;
    FwCheckLines fwCheck;

    // The values the settings hold before the load: a value that does not
    // scan keeps them.
    struct Start {
        std::uint8_t hubNumber = 0;
        std::int32_t checkHubFw = 0;
        std::uint16_t fwVersion = 0;
    };
    void Read(SettingsText& file, const Start& start);
};

#endif
