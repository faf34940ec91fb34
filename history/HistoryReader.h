// Reads a run history back, line by line, and tells per run what happened
// and which hubs may hold incomplete firmware: a write that started and has
// no result, a write the library reported failed, a verification that failed.
// Lines that are torn or not the history's are counted with their numbers.
//
// Runs are handed over one by one as a stream, so that memory is bounded by
// the runs still waiting, not by the file: a run is reported once its
// run-end line is read and every run that began before it is reported, in
// the order of their first lines, as they stand in the file. At most
// kHeldRuns runs (and kHeldBytes of their hubs) wait at once; past that the
// earliest is reported as it stands, marked reportedEarly and counted, and a
// later line of it starts a run of its own. Within a run, of each kind of
// hub at risk the first kListedPerRun are kept and the rest counted.
//
// A line that repeats one of its run byte for byte (every line carries its
// time to the millisecond, so no run writes the same line twice) was
// delivered twice, as a log shipper does after a restart: it is left out and
// counted, so that a doubled write-start is no false interrupted write and a
// doubled result no second hub. Repeats are known within the runs still open
// and the last kEndedRemembered runs that ended, up to kRememberedLines lines
// each.
#ifndef TOLVANE_HISTORY_HISTORYREADER_H
#define TOLVANE_HISTORY_HISTORYREADER_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// One hub's result as the line's report counts it; texts as the file holds
// them, empty where it gives none.
struct RunHub {
    unsigned index = 0;
    std::string vid;
    std::string pid;
    std::string oldVersion;
    std::string newVersion; // the image's firmware version
    std::string image;
    std::string sha256;
    std::string outcome;
    std::string reason;
    std::optional<std::int32_t> libraryResult;
    std::optional<std::uint64_t> libraryMs;
    std::optional<bool> verified; // by its verify line
};

struct RunSummary {
    std::string run;
    std::string time; // of the run's first line read
    std::string host;
    std::string program;
    bool started = false; // its run-start line was read
    bool ended = false;   // its run-end line was read
    bool scanFailed = false;
    // Reported before its end: too many runs were waiting at once.
    bool reportedEarly = false;
    std::map<std::string, std::uint64_t> counts; // results by outcome
    std::vector<unsigned> notStarted;
    std::string interruption;
    // Each: line, time, hub, image (and libraryResult, versionAfter as fits).
    std::vector<nlohmann::json> interruptedWrites;
    std::vector<nlohmann::json> failedWrites;
    std::vector<nlohmann::json> unverified;
    // Hubs that found no image, were refused, or failed before the library
    // was called; each with its outcome and reason.
    std::vector<nlohmann::json> failures;
    // How many of each there are, listed or not.
    std::uint64_t interruptedCount = 0;
    std::uint64_t failedCount = 0;
    std::uint64_t unverifiedCount = 0;
    std::uint64_t failureCount = 0;
    // From the run-start line: who the run was for, the loop's board number
    // and the approved list's signer (empty for none).
    std::string station;
    std::optional<std::string> lot;
    std::optional<unsigned> board;
    std::string signer;
    std::string endTime; // of the run's last line read
    // The hubs' results, the first kListedPerRun of them, and how many.
    std::vector<RunHub> hubs;
    std::uint64_t hubCount = 0;
    // Of the run's lines as read, in order: two copies of a run match.
    std::uint64_t fingerprint = 1469598103934665603ull;
};

namespace history {
// A run waiting to be reported.
struct HeldRun {
    RunSummary run;
    // Write-start lines still waiting for their result, by hub index.
    std::map<unsigned, nlohmann::json> pending;
    // Its lines' fingerprints, by which a repeat is known.
    std::unordered_set<std::uint64_t> lines;
    std::size_t bytes = 0; // what its entries take, roughly
    bool closed = false;
};
} // namespace history

struct HistoryProblem {
    std::uint64_t line = 0;
    std::string problem;
};

class HistoryReader {
public:
    // Lines longer than this are not the history's; they are skipped
    // without being held in memory.
    static constexpr std::size_t kMaxLine = 1u << 20;
    // Problems past this many are counted, not listed.
    static constexpr std::size_t kListedProblems = 100;
    // Hubs at risk past this many of a kind in a run are counted, not listed.
    static constexpr std::size_t kListedPerRun = 100;
    // Runs waiting to be reported (open, or ended behind an open one), and
    // the bytes their hubs take, past which the earliest is reported early.
    static constexpr std::size_t kHeldRuns = 1000;
    static constexpr std::size_t kHeldBytes = std::size_t{64} << 20;
    static constexpr std::size_t kEndedRemembered = 64;
    static constexpr std::size_t kRememberedLines = 1024;

    // Called with every run as it is reported, in the order of the runs'
    // first lines. The run is the sink's to keep: a sink that queues runs
    // moves them instead of copying their hubs and entries.
    using RunSink = std::function<void(RunSummary&&)>;
    explicit HistoryReader(RunSink sink);
    // Keeps every run in Runs(), for histories known to be small.
    HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // Reads every line of in and ends; false when the stream failed before
    // its end (what was read is reported all the same).
    bool Read(std::istream& in);
    // The history's bytes in pieces of any size, then its end.
    void Feed(const char* data, std::size_t size);
    void End();

    // True when some reported hub may hold incomplete or unverified firmware.
    bool AnythingOpen() const { return m_anythingOpen; }

    // The runs kept by the reader made without a sink.
    const std::vector<RunSummary>& Runs() const { return m_kept; }
    std::uint64_t RunCount() const { return m_runCount; }
    std::uint64_t RunsReportedEarly() const { return m_reportedEarly; }
    const std::vector<HistoryProblem>& Problems() const { return m_problems; }
    std::uint64_t ProblemCount() const { return m_problemCount; }
    std::uint64_t Lines() const { return m_lines; }

private:
    void EndLine();
    void Take(const std::string& text, std::uint64_t number);
    void Problem(std::uint64_t number, const char* problem);
    history::HeldRun& RunOf(const std::string& id, const std::string& time, const std::string& host);
    void Release();
    void ReportFront();
    bool Repeats(const std::string& id, std::uint64_t line) const;
    void Remember(history::HeldRun& held, std::uint64_t line);
    void Retire(history::HeldRun& held);

    RunSink m_sink;

    // The line being gathered, and whether it outgrew kMaxLine.
    std::string m_text;
    bool m_tooLong = false;
    std::uint64_t m_number = 1;

    // In the order of their first lines; the open ones also by their id.
    std::list<history::HeldRun> m_held;
    std::unordered_map<std::string, std::list<history::HeldRun>::iterator> m_open;
    std::size_t m_heldBytes = 0;
    // The lines of the runs that ended last, newest first.
    std::deque<std::pair<std::string, std::unordered_set<std::uint64_t>>> m_ended;

    std::vector<RunSummary> m_kept;
    std::uint64_t m_runCount = 0;
    std::uint64_t m_reportedEarly = 0;
    bool m_anythingOpen = false;
    std::vector<HistoryProblem> m_problems;
    std::uint64_t m_problemCount = 0;
    std::uint64_t m_lines = 0;
};

// One hub as a person reads it: "hub 3 (05E3:0610, depth 2, port 4)", its
// texts escaped. hub: as the reader keeps it.
std::string HubText(const nlohmann::json& hub);

#endif
