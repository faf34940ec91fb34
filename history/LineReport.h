// The line's view: the runs of any number of histories, each counted once,
// summed per station, per lot and over time, with the failures by cause, the
// firmware that went in, the time a hub and a board take, and the hubs that
// may hold incomplete firmware. Only sums are kept, never the runs: memory
// grows with the stations, lots, hours, causes and images seen (each capped
// at kDistinct, the rest counted as "(other)") and with one 8-byte mark per
// run taken, by which a copy of a run is known.
#ifndef TOLVANE_HISTORY_LINEREPORT_H
#define TOLVANE_HISTORY_LINEREPORT_H

#include "HistoryReader.h"
#include "MsHistogram.h"
#include "RunMarks.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace history {

// Which runs count: by the time of their first line (since included, until
// not, both in the history's form), and by station and lot (any of those
// given; none given takes all).
struct ReportFilter {
    std::optional<std::string> since;
    std::optional<std::string> until;
    std::vector<std::string> stations;
    std::vector<std::string> lots;
};

struct Tally {
    std::uint64_t boards = 0;
    std::uint64_t boardsPassed = 0; // every hub programmed and verified
    std::uint64_t hubs = 0;
    std::uint64_t programmed = 0;
    std::uint64_t current = 0;
    std::uint64_t failed = 0;
    std::uint64_t refused = 0; // refused, or not written by a read-only library
    std::uint64_t noImage = 0;
    std::uint64_t interrupted = 0;
    std::uint64_t unverified = 0;
    void Add(const Tally& other);
};

// One run as a row: a board (the records know no serial number, so a board
// tried twice is two rows).
struct BoardRow {
    std::string time;
    std::string endTime;
    std::string station; // the run-start's, else the host
    std::optional<std::string> lot;
    std::string run;
    std::string host;
    std::optional<unsigned> board;
    bool ended = false;
    Tally tally; // boards 1, boardsPassed 0 or 1
    std::optional<std::int64_t> boardMs;
    std::vector<std::string> causes; // why it did not pass, one per hub or run
};

BoardRow BoardOf(const RunSummary& run);

class LineReport {
public:
    static constexpr std::size_t kDistinct = 1000;
    static constexpr std::size_t kListedAtRisk = 1000;

    explicit LineReport(ReportFilter filter) : m_filter(std::move(filter)) {}

    // Takes a run read from file; false when it is left out (a copy of one
    // taken, or outside the filter), row filled otherwise.
    bool Add(const std::string& file, const RunSummary& run, BoardRow& row);
    // A history read to its end.
    void AddFile(const std::string& file, const HistoryReader& reader);

    bool AnythingAtRisk() const { return m_atRiskCount > 0; }
    // Everything but the boards, for the JSON document and the page.
    nlohmann::json Summary() const;
    // "hour" when every run taken began on one day, else "day".
    bool ByHour() const;

private:
    bool Takes(const RunSummary& run, const std::string& station) const;
    void Count(const RunSummary& run, const BoardRow& row);
    void KeepAtRisk(const std::string& file, const RunSummary& run);

    ReportFilter m_filter;
    RunMarks m_seen;
    std::uint64_t m_duplicates = 0;
    std::uint64_t m_outside = 0;
    Tally m_total;
    std::map<std::string, Tally> m_stations;
    std::map<std::string, Tally> m_lots; // "" for none
    std::map<std::string, Tally> m_hours;
    std::map<std::string, Tally> m_days;
    std::map<std::pair<std::string, std::string>, Tally> m_stationHours;
    std::map<std::pair<std::string, std::string>, Tally> m_stationDays;
    std::map<std::string, std::uint64_t> m_causes;
    std::map<std::string, std::uint64_t> m_transitions;         // "VID/PID old -> new"
    std::map<std::vector<std::string>, std::uint64_t> m_images; // name, sha256, signer
    MsHistogram m_hubMs;
    MsHistogram m_boardMs;
    std::vector<nlohmann::json> m_atRisk;
    std::uint64_t m_atRiskCount = 0;
    std::vector<nlohmann::json> m_files;
    std::string m_firstDay;
    bool m_oneDay = true;
};

// The board as the JSON document's boards and the CSV's rows hold it.
nlohmann::json BoardJson(const BoardRow& row);

} // namespace history

#endif
