// The shape a history line must have for the reader to take it: the fields
// the reader uses, each of its type and within its range. A line that has
// another shape is foreign, whatever else it holds; so a hostile or damaged
// line can neither crash the reader nor change what it reports.
#ifndef TOLVANE_HISTORY_HISTORYREADERSHAPE_H
#define TOLVANE_HISTORY_HISTORYREADERSHAPE_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace history {

enum class LineKind { RunStart, ScanFailed, WriteStart, Result, Verify, RunEnd };

// One line as the reader takes it. hub and image hold only the fields the
// reader knows, so what it keeps of a line has a bounded size.
struct ReadLine {
    LineKind kind = LineKind::Result;
    std::string run;
    std::string time;
    std::string host;     // "?" when absent
    std::string program;  // run-start: name and version
    nlohmann::json hub;   // index, and number, depth, port, vid, pid, ... when present
    nlohmann::json image; // null or name, firmwareVersion, size, sha256 when present
    std::string outcome;  // result
    std::string reason;   // result: why it failed, found no image or was refused
    std::optional<std::int32_t> libraryResult;
    std::optional<bool> verified;
    nlohmann::json versionAfter;      // verify: a string or null
    std::vector<unsigned> notStarted; // run-end: hub numbers
    std::string interruption;         // run-end
    // run-start: who the run was for, its board, the approved list's signer
    std::optional<std::string> station;
    std::optional<std::string> lot;
    std::optional<unsigned> board;
    std::string signer;
    std::string oldVersion;                 // write-start, result
    std::optional<std::uint64_t> libraryMs; // result
};

// The longest text field taken; a longer one makes the line foreign.
constexpr std::size_t kLongestField = 4096;

// True with out filled when line has the shape of a history line.
bool TakeShape(const nlohmann::json& line, ReadLine& out);

} // namespace history

#endif
