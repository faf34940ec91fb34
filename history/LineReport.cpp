#include "LineReport.h"

#include "ReportTime.h"

#include <algorithm>

using nlohmann::json;

namespace history {

void Tally::Add(const Tally& other)
{
    boards += other.boards;
    boardsPassed += other.boardsPassed;
    hubs += other.hubs;
    programmed += other.programmed;
    current += other.current;
    failed += other.failed;
    refused += other.refused;
    noImage += other.noImage;
    interrupted += other.interrupted;
    unverified += other.unverified;
}

namespace {
std::uint64_t CountOf(const RunSummary& run, const char* outcome)
{
    const auto found = run.counts.find(outcome);
    return found == run.counts.end() ? 0 : found->second;
}

Tally TallyOf(const RunSummary& run)
{
    Tally tally;
    tally.boards = 1;
    // "program" is what earlier versions wrote for a programmed hub.
    tally.programmed = CountOf(run, "programmed") + CountOf(run, "program");
    tally.current = CountOf(run, "current");
    tally.failed = CountOf(run, "failed");
    tally.refused = CountOf(run, "refused") + CountOf(run, "not-written");
    tally.noImage = CountOf(run, "no-image");
    tally.interrupted = run.interruptedCount;
    tally.unverified = run.unverifiedCount;
    for (const auto& [outcome, count] : run.counts)
        tally.hubs += count;
    tally.hubs += run.interruptedCount;
    return tally;
}

std::string HubCause(const RunHub& hub)
{
    if (hub.outcome == "failed")
        return hub.libraryResult ? "library result " + std::to_string(*hub.libraryResult)
                                 : "failed before the library: " + hub.reason;
    if (hub.outcome == "refused")
        return "refused: " + hub.reason;
    if (hub.outcome == "not-written")
        return "not written: the library writes no hub";
    if (hub.outcome == "no-image")
        return "no image";
    if (hub.verified == false)
        return "verification failed";
    if (hub.outcome == "current")
        return "already current";
    if (!hub.verified)
        return "not verified";
    return std::string();
}

std::vector<std::string> CausesOf(const RunSummary& run)
{
    std::vector<std::string> causes;
    if (run.scanFailed)
        causes.push_back("scan failed");
    for (const RunHub& hub : run.hubs) {
        std::string cause = HubCause(hub);
        if (!cause.empty())
            causes.push_back(std::move(cause));
    }
    for (std::uint64_t i = 0; i < run.interruptedCount && i < HistoryReader::kListedPerRun; ++i)
        causes.push_back("interrupted while writing");
    if (!run.ended)
        causes.push_back("no end line");
    else if (!run.interruption.empty())
        causes.push_back("run stopped: " + run.interruption);
    if (run.counts.empty() && run.interruptedCount == 0 && !run.scanFailed)
        causes.push_back("no hub");
    return causes;
}

// One count more under key, or under "(other)" once kDistinct keys exist.
template <typename Map, typename Key>
auto& Slot(Map& map, const Key& key, const Key& other)
{
    const auto found = map.find(key);
    if (found != map.end())
        return found->second;
    return map.size() < LineReport::kDistinct ? map[key] : map[other];
}

json TallyJson(const Tally& tally)
{
    return {{"boards", tally.boards},
            {"boardsPassed", tally.boardsPassed},
            {"yield", tally.boards == 0
                          ? json(nullptr)
                          : json(static_cast<double>(tally.boardsPassed) / static_cast<double>(tally.boards))},
            {"hubs", tally.hubs},
            {"programmed", tally.programmed},
            {"current", tally.current},
            {"failed", tally.failed},
            {"refused", tally.refused},
            {"noImage", tally.noImage},
            {"interrupted", tally.interrupted},
            {"unverified", tally.unverified}};
}

json Durations(const MsHistogram& histogram)
{
    return {{"count", histogram.Count()},
            {"medianMs", histogram.Count() ? json(histogram.Quantile(0.5)) : json(nullptr)},
            {"p95Ms", histogram.Count() ? json(histogram.Quantile(0.95)) : json(nullptr)},
            {"maxMs", histogram.Count() ? json(histogram.Max()) : json(nullptr)}};
}

json Entry(const std::string& file, const RunSummary& run, const char* kind, const json& entry)
{
    json shown = entry;
    shown["kind"] = kind;
    shown["file"] = file;
    shown["run"] = run.run;
    shown["station"] = run.station.empty() ? run.host : run.station;
    return shown;
}

std::string PeriodOf(const std::string& time, std::size_t length)
{
    return MillisOf(time) ? time.substr(0, length) : std::string("?");
}
} // namespace

BoardRow BoardOf(const RunSummary& run)
{
    BoardRow row;
    row.time = run.time;
    row.endTime = run.endTime;
    row.station = run.station.empty() ? run.host : run.station;
    row.lot = run.lot;
    row.run = run.run;
    row.host = run.host;
    row.board = run.board;
    row.ended = run.ended;
    row.tally = TallyOf(run);
    row.causes = CausesOf(run);
    const bool everyVerified =
        std::all_of(run.hubs.begin(), run.hubs.end(), [](const RunHub& hub) { return hub.verified == true; });
    const Tally& t = row.tally;
    const bool passed = run.ended && !run.scanFailed && run.interruption.empty() && t.hubs > 0 &&
                        t.programmed == t.hubs && t.unverified == 0 && everyVerified;
    row.tally.boardsPassed = passed ? 1 : 0;
    const auto begun = MillisOf(run.time);
    const auto ended = MillisOf(run.endTime);
    if (run.ended && begun && ended && *ended >= *begun)
        row.boardMs = *ended - *begun;
    return row;
}

bool LineReport::Takes(const RunSummary& run, const std::string& station) const
{
    if (m_filter.since && !(MillisOf(run.time) && run.time >= *m_filter.since))
        return false;
    if (m_filter.until && !(MillisOf(run.time) && run.time < *m_filter.until))
        return false;
    const auto any = [](const std::vector<std::string>& wanted, const std::string& value) {
        return wanted.empty() || std::find(wanted.begin(), wanted.end(), value) != wanted.end();
    };
    if (!m_filter.lots.empty() && !run.lot)
        return false;
    return any(m_filter.stations, station) && any(m_filter.lots, run.lot.value_or(std::string()));
}

bool LineReport::Add(const std::string& file, const RunSummary& run, BoardRow& row)
{
    const std::uint64_t mark = run.fingerprint ^ (std::hash<std::string>{}(run.run) * 0x9E3779B97F4A7C15ull);
    row = BoardOf(run);
    if (!Takes(run, row.station)) {
        ++m_outside;
        return false;
    }
    if (!m_seen.Insert(mark)) {
        ++m_duplicates;
        return false;
    }
    Count(run, row);
    KeepAtRisk(file, run);
    return true;
}

void LineReport::Count(const RunSummary& run, const BoardRow& row)
{
    const Tally& tally = row.tally;
    const std::string other = "(other)";
    m_total.Add(tally);
    Slot(m_stations, row.station, other).Add(tally);
    Slot(m_lots, row.lot.value_or(std::string()), other).Add(tally);
    const std::string hour = PeriodOf(run.time, 13);
    const std::string day = PeriodOf(run.time, 10);
    Slot(m_hours, hour, other).Add(tally);
    Slot(m_days, day, other).Add(tally);
    const std::pair<std::string, std::string> otherPair(other, other);
    Slot(m_stationHours, std::make_pair(row.station, hour), otherPair).Add(tally);
    Slot(m_stationDays, std::make_pair(row.station, day), otherPair).Add(tally);
    if (m_firstDay.empty())
        m_firstDay = day;
    m_oneDay = m_oneDay && day == m_firstDay;
    for (const std::string& cause : row.causes)
        if (cause != "already current")
            ++Slot(m_causes, cause, other);
    const std::vector<std::string> otherImage{other, "", ""};
    for (const RunHub& hub : run.hubs) {
        if (hub.libraryMs)
            m_hubMs.Add(*hub.libraryMs);
        if (hub.outcome != "programmed" && hub.outcome != "program")
            continue;
        ++Slot(m_transitions, hub.vid + "/" + hub.pid + " " + hub.oldVersion + " -> " + hub.newVersion, other);
        ++Slot(m_images, std::vector<std::string>{hub.image, hub.sha256, run.signer}, otherImage);
    }
    if (row.boardMs)
        m_boardMs.Add(static_cast<std::uint64_t>(*row.boardMs));
}

void LineReport::KeepAtRisk(const std::string& file, const RunSummary& run)
{
    const auto keep = [&](const std::vector<json>& entries, const char* kind) {
        for (const json& entry : entries)
            if (m_atRisk.size() < kListedAtRisk)
                m_atRisk.push_back(Entry(file, run, kind, entry));
    };
    keep(run.interruptedWrites, "interrupted");
    keep(run.failedWrites, "failed");
    keep(run.unverified, "unverified");
    m_atRiskCount += run.interruptedCount + run.failedCount + run.unverifiedCount;
}

void LineReport::AddFile(const std::string& file, const HistoryReader& reader)
{
    json problems = json::array();
    for (const HistoryProblem& problem : reader.Problems())
        problems.push_back({{"line", problem.line}, {"problem", problem.problem}});
    m_files.push_back({{"file", file},
                       {"lines", reader.Lines()},
                       {"runs", reader.RunCount()},
                       {"problems", problems},
                       {"problemCount", reader.ProblemCount()},
                       {"runsReportedEarly", reader.RunsReportedEarly()}});
}

bool LineReport::ByHour() const
{
    return m_oneDay;
}

namespace {
template <typename Map>
json Counted(const Map& map, const char* name)
{
    std::vector<std::pair<std::string, std::uint64_t>> sorted(map.begin(), map.end());
    // Worst first; equal counts by name, so that the order is the same each time.
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    json list = json::array();
    for (const auto& [key, count] : sorted)
        list.push_back({{name, key}, {"count", count}});
    return list;
}

json Tallies(const std::map<std::string, Tally>& map, const char* name, bool emptyIsNull)
{
    json list = json::array();
    for (const auto& [key, tally] : map) {
        json shown = TallyJson(tally);
        shown[name] = emptyIsNull && key.empty() ? json(nullptr) : json(key);
        list.push_back(shown);
    }
    return list;
}

json PairTallies(const std::map<std::pair<std::string, std::string>, Tally>& map)
{
    json list = json::array();
    for (const auto& [key, tally] : map) {
        json shown = TallyJson(tally);
        shown["station"] = key.first;
        shown["period"] = key.second;
        list.push_back(shown);
    }
    return list;
}
} // namespace

json LineReport::Summary() const
{
    json images = json::array();
    for (const auto& [key, count] : m_images)
        images.push_back({{"name", key[0]}, {"sha256", key[1]}, {"signer", key[2]}, {"count", count}});
    json transitions = json::array();
    for (const auto& [key, count] : m_transitions)
        transitions.push_back({{"transition", key}, {"count", count}});
    const bool byHour = ByHour();
    return {{"files", m_files},
            {"since", m_filter.since ? json(*m_filter.since) : json(nullptr)},
            {"until", m_filter.until ? json(*m_filter.until) : json(nullptr)},
            {"stations", m_filter.stations},
            {"lots", m_filter.lots},
            {"duplicateRuns", m_duplicates},
            {"runsOutside", m_outside},
            {"totals", TallyJson(m_total)},
            {"byStation", Tallies(m_stations, "station", false)},
            {"byLot", Tallies(m_lots, "lot", true)},
            {"period", byHour ? "hour" : "day"},
            {"byPeriod", Tallies(byHour ? m_hours : m_days, "period", false)},
            {"byStationPeriod", PairTallies(byHour ? m_stationHours : m_stationDays)},
            {"failures", Counted(m_causes, "cause")},
            {"transitions", transitions},
            {"images", images},
            {"timing", "nearest rank over a fixed histogram: exact below 1024 ms, within 1/512 above"},
            {"hubTime", Durations(m_hubMs)},
            {"boardTime", Durations(m_boardMs)},
            {"atRisk", m_atRisk},
            {"atRiskCount", m_atRiskCount}};
}

json BoardJson(const BoardRow& row)
{
    std::string causes;
    for (const std::string& cause : row.causes)
        causes += (causes.empty() ? "" : "; ") + cause;
    const Tally& t = row.tally;
    return {{"time", row.time},
            {"endTime", row.ended ? json(row.endTime) : json(nullptr)},
            {"station", row.station},
            {"lot", row.lot ? json(*row.lot) : json(nullptr)},
            {"run", row.run},
            {"host", row.host},
            {"board", row.board ? json(*row.board) : json(nullptr)},
            {"hubs", t.hubs},
            {"programmed", t.programmed},
            {"current", t.current},
            {"failed", t.failed},
            {"refused", t.refused},
            {"noImage", t.noImage},
            {"interrupted", t.interrupted},
            {"unverified", t.unverified},
            {"passed", t.boardsPassed == 1},
            {"boardMs", row.boardMs ? json(*row.boardMs) : json(nullptr)},
            {"causes", causes}};
}

} // namespace history
