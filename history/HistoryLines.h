// The lines of the run history: one JSON object per line, each with its own
// UTC time, the host, the run's identifier and its kind. Field names are part
// of the interface that readers rely on: add fields, never rename them.
//
//   run-start    before the scan: the program and its version
//   scan-failed  the scan failed; no hub was touched
//   write-start  before the library writes a hub: the hub and the image
//   result       a hub's outcome, as soon as it is known
//   verify       what a fresh scan shows of a programmed hub
//   run-end      counts by outcome, and why the run stopped early
//
// Lines without a kind come from earlier versions, which wrote one line per
// hub (a result with its verification) at the end of a run.
#ifndef TOLVANE_HISTORY_HISTORYLINES_H
#define TOLVANE_HISTORY_HISTORYLINES_H

#include "IspRecords.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace history {

// A run identifier that no other run shares in practice.
std::string NewRunId();

std::string Hex(unsigned value, int digits);

// What every line of one run carries.
struct RunStamp {
    std::string host;
    std::string run;
};

// A line's common fields, with the time of now.
nlohmann::json Line(const RunStamp& stamp, const char* kind);

// The hub as the lines name it: its place in the table and its identity.
nlohmann::json HubJson(unsigned entry, const HubInfo& hub);

// The image a hub is written with; size and sha256 once they are known.
struct LineImage {
    std::string name;
    std::uint16_t version = 0;
    std::optional<std::uint64_t> size;
    std::optional<std::string> sha256;
};

nlohmann::json ImageJson(const LineImage& image);

// The line as written, with its "\n"; bytes that are not UTF-8 are replaced.
std::string Dump(const nlohmann::json& line);

} // namespace history

#endif
