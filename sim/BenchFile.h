// The hub bench file: a description of simulated hubs, registry keys and a
// library version that stands in for real hardware on machines without hubs.
#ifndef TOLVANE_SIM_BENCHFILE_H
#define TOLVANE_SIM_BENCHFILE_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::bench {

struct BenchHub {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint16_t bcdDevice = 0;
    std::uint16_t bcdUsb = 0;
    std::uint8_t depth = 0;
    std::uint8_t portIndex = 0;
    std::uint8_t chipVersion = 0;
    std::uint8_t hubFlags = 0;
    std::array<std::uint8_t, 46> manufacturer{};
    std::array<std::uint8_t, 46> product{};
    std::int32_t updateResult = 0;
    std::uint32_t updateMs = 0;
    // Set: programming starts, runs this long and then breaks off.
    std::optional<std::uint32_t> failAfterMs;
    // Programming reports success, but the hub keeps the version it had.
    bool noVersionChange = false;
};

struct Bench {
    std::uint32_t version = 0;
    std::optional<std::uint8_t> hubCount; // low 8 bits of [Library] HubCount
    // Set: every byte of a written entry that the engine does not read holds
    // this value instead of zero, as a library's private data would.
    std::optional<std::uint8_t> garbageFill;
    bool versionUntouched = false;         // RX_GetDllVersion stores nothing
    std::vector<std::string> registryKeys; // keys that exist, as written
    std::vector<BenchHub> hubs;            // [Hub1] upward, up to the first gap

    // Registry key names compare without regard to ASCII letter case.
    bool HasRegistryKey(const std::string& key) const;
};

// TOLVANE_BENCH when set, else "HubBench.ini" in the working directory.
std::string BenchPath();

enum class BenchStatus { Loaded, Missing, Malformed };

// Parses the text of a bench file. On a malformed file returns false with
// error set to "line N: what is wrong" and leaves bench empty.
bool ParseBench(const std::string& text, Bench& bench, std::string& error);

// Reads and parses the file at path. Missing: no file, an empty bench.
// Malformed: error holds "path: line N: ..." (or "path: cannot read the
// file" for one that exists but cannot be read) and the bench is empty.
BenchStatus LoadBench(const std::string& path, Bench& bench, std::string& error);

// What programming has left on the hubs: the firmware version each programmed
// hub now reports as bcdDevice, by hub number (1 to 32, as in [HubN]). Kept
// in the state file beside the bench, one "HubN=0xVVVV" line per hub, with
// comments, blanks and case as loose as in the bench. Deleting the file
// returns every hub to what the bench says.
using HubFirmware = std::map<int, std::uint16_t>;

// benchPath plus ".state".
std::string StatePath(const std::string& benchPath);

// Same contract as ParseBench: on an error, "line N: ..." and an empty map.
bool ParseState(const std::string& text, HubFirmware& firmware, std::string& error);

std::string FormatState(const HubFirmware& firmware);

// Same contract as LoadBench.
BenchStatus LoadState(const std::string& path, HubFirmware& firmware, std::string& error);

// Puts the recorded firmware in place of the bench's bcdDevice. Records for
// hubs the bench no longer has are left out: the bench may have been edited
// since they were written.
void ApplyState(const HubFirmware& firmware, Bench& bench);

} // namespace tolvane::bench

#endif
