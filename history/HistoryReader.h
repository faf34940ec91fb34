// Reads a run history back, line by line, and tells per run what happened
// and which hubs may hold incomplete firmware: a write that started and has
// no result, a write the library reported failed, a verification that failed.
// Lines that are torn or not the history's are counted with their numbers.
// Memory stays bounded per run whatever the file holds: of each kind of hub
// at risk the first kListedPerRun are kept and the rest counted.
#ifndef TOLVANE_HISTORY_HISTORYREADER_H
#define TOLVANE_HISTORY_HISTORYREADER_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

struct RunSummary {
    std::string run;
    std::string time; // of the run's first line read
    std::string host;
    std::string program;
    bool started = false; // its run-start line was read
    bool ended = false;   // its run-end line was read
    bool scanFailed = false;
    std::map<std::string, std::uint64_t> counts; // results by outcome
    std::vector<unsigned> notStarted;
    std::string interruption;
    // Each: line, time, hub, image (and libraryResult, versionAfter as fits).
    std::vector<nlohmann::json> interruptedWrites;
    std::vector<nlohmann::json> failedWrites;
    std::vector<nlohmann::json> unverified;
    // How many of each there are, listed or not.
    std::uint64_t interruptedCount = 0;
    std::uint64_t failedCount = 0;
    std::uint64_t unverifiedCount = 0;

    // Write-start lines still waiting for their result, by hub index.
    std::map<unsigned, nlohmann::json> pending;
};

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

    // Reads every line of in; call once, or use Feed and End.
    void Read(std::istream& in);
    // The history's bytes in pieces of any size, then its end.
    void Feed(const char* data, std::size_t size);
    void End();

    // True when some hub may hold incomplete or unverified firmware.
    bool AnythingOpen() const;

    const std::vector<RunSummary>& Runs() const { return m_runs; }
    const std::vector<HistoryProblem>& Problems() const { return m_problems; }
    std::uint64_t ProblemCount() const { return m_problemCount; }
    std::uint64_t Lines() const { return m_lines; }

private:
    void EndLine();
    void Take(const std::string& text, std::uint64_t number);
    void Problem(std::uint64_t number, const char* problem);
    RunSummary& RunOf(const std::string& id, const std::string& time, const std::string& host);

    // The line being gathered, and whether it outgrew kMaxLine.
    std::string m_text;
    bool m_tooLong = false;
    std::uint64_t m_number = 1;

    std::vector<RunSummary> m_runs;
    std::unordered_map<std::string, std::size_t> m_runIndex;
    std::vector<HistoryProblem> m_problems;
    std::uint64_t m_problemCount = 0;
    std::uint64_t m_lines = 0;
};

// One hub as a person reads it: "hub 3 (05E3:0610, depth 2, port 4)", its
// texts escaped. hub: as the reader keeps it.
std::string HubText(const nlohmann::json& hub);

#endif
