// Reads a run history back, line by line, and tells per run what happened
// and which hubs may hold incomplete firmware: a write that started and has
// no result, a write the library reported failed, a verification that failed.
// Lines that are torn or not the history's are counted with their numbers.
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
    std::map<std::string, unsigned> counts; // results by outcome
    std::vector<unsigned> notStarted;
    std::string interruption;
    // Each: line, time, hub, image (and libraryResult, versionAfter as fits).
    std::vector<nlohmann::json> interruptedWrites;
    std::vector<nlohmann::json> failedWrites;
    std::vector<nlohmann::json> unverified;

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

    // Reads every line of in; call once.
    void Read(std::istream& in);

    // True when some hub may hold incomplete or unverified firmware.
    bool AnythingOpen() const;

    const std::vector<RunSummary>& Runs() const { return m_runs; }
    const std::vector<HistoryProblem>& Problems() const { return m_problems; }
    std::uint64_t ProblemCount() const { return m_problemCount; }
    std::uint64_t Lines() const { return m_lines; }

private:
    void Take(const std::string& text, std::uint64_t number);
    void Problem(std::uint64_t number, const char* problem);
    RunSummary& RunOf(const nlohmann::json& line);
    void Finish();

    std::vector<RunSummary> m_runs;
    std::unordered_map<std::string, std::size_t> m_runIndex;
    std::vector<HistoryProblem> m_problems;
    std::uint64_t m_problemCount = 0;
    std::uint64_t m_lines = 0;
};

// One hub as a person reads it: "hub 3 (05E3:0610, depth 2, port 4)".
std::string HubText(const nlohmann::json& hub);

#endif
