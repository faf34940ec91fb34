#include "HistoryReader.h"

#include <set>

using nlohmann::json;

namespace {
const std::set<std::string> kKinds = {"run-start", "scan-failed", "write-start", "result", "verify", "run-end"};

bool IsString(const json& line, const char* field)
{
    return line.contains(field) && line[field].is_string();
}

bool HasHubIndex(const json& line)
{
    return line.contains("hub") && line["hub"].is_object() && line["hub"].contains("index") &&
           line["hub"]["index"].is_number_unsigned();
}

// A line that a history writer could have written: any other is foreign.
bool LooksLikeHistory(const json& line)
{
    if (!line.is_object() || !IsString(line, "run") || !IsString(line, "time"))
        return false;
    if (!line.contains("kind"))
        return HasHubIndex(line) && IsString(line, "outcome");
    if (!IsString(line, "kind") || kKinds.count(line["kind"].get<std::string>()) == 0)
        return false;
    const std::string kind = line["kind"];
    return (kind != "write-start" && kind != "result" && kind != "verify") || HasHubIndex(line);
}

json Entry(const json& line, std::uint64_t number)
{
    json entry = {{"line", number}, {"time", line["time"]}, {"hub", line["hub"]}};
    entry["image"] = line.contains("image") ? line["image"] : json(nullptr);
    return entry;
}

std::string Field(const json& value, const char* name)
{
    return value.contains(name) && value[name].is_string() ? value[name].get<std::string>() : "?";
}

// A library that writes no hub at all (the read-only system mode) declined
// it: nothing touched the hub, whatever the library returned.
bool Untouched(const std::string& outcome)
{
    return outcome == "not-written";
}

void TakeResult(RunSummary& run, const json& line, std::uint64_t number)
{
    const unsigned index = line["hub"]["index"];
    run.pending.erase(index);
    const std::string outcome = IsString(line, "outcome") ? line["outcome"].get<std::string>() : "?";
    ++run.counts[outcome];
    const json& result = line.contains("libraryResult") ? line["libraryResult"] : json(nullptr);
    if (result.is_number() && result != 0 && !Untouched(outcome)) {
        json entry = Entry(line, number);
        entry["libraryResult"] = result;
        run.failedWrites.push_back(entry);
    }
    // Earlier versions wrote the verification into the result.
    if (line.contains("verified") && line["verified"] == false)
        run.unverified.push_back(Entry(line, number));
}

void TakeRunEnd(RunSummary& run, const json& line)
{
    run.ended = true;
    if (line.contains("notStarted") && line["notStarted"].is_array())
        for (const json& number : line["notStarted"])
            if (number.is_number_unsigned())
                run.notStarted.push_back(number);
    if (IsString(line, "interruption"))
        run.interruption = line["interruption"];
}
} // namespace

void HistoryReader::Read(std::istream& in)
{
    std::streambuf* source = in.rdbuf();
    std::string text;
    bool tooLong = false;
    std::uint64_t number = 1;
    for (int c = source->sbumpc(); c != std::char_traits<char>::eof(); c = source->sbumpc()) {
        if (c != '\n') {
            if (text.size() < kMaxLine)
                text.push_back(static_cast<char>(c));
            else
                tooLong = true;
            continue;
        }
        if (tooLong)
            Problem(number, "too long for a history line");
        else
            Take(text, number);
        text.clear();
        tooLong = false;
        ++number;
    }
    if (tooLong)
        Problem(number, "too long for a history line");
    else if (!text.empty())
        Take(text, number); // a last line without its end
    m_lines = text.empty() && !tooLong ? number - 1 : number;
    Finish();
}

bool HistoryReader::AnythingOpen() const
{
    for (const RunSummary& run : m_runs)
        if (!run.interruptedWrites.empty() || !run.failedWrites.empty() || !run.unverified.empty())
            return true;
    return false;
}

void HistoryReader::Take(const std::string& text, std::uint64_t number)
{
    if (text.empty() || text == "\r")
        return;
    const json line = json::parse(text, nullptr, false);
    if (line.is_discarded()) {
        Problem(number, "torn or not JSON");
        return;
    }
    if (!LooksLikeHistory(line)) {
        Problem(number, "not a history line");
        return;
    }
    RunSummary& run = RunOf(line);
    const std::string kind = line.contains("kind") ? line["kind"].get<std::string>() : "result";
    if (kind == "run-start") {
        run.started = true;
        run.program = Field(line, "program") + " " + Field(line, "programVersion");
    } else if (kind == "scan-failed") {
        run.scanFailed = true;
    } else if (kind == "write-start") {
        run.pending[line["hub"]["index"]] = Entry(line, number);
    } else if (kind == "result") {
        TakeResult(run, line, number);
    } else if (kind == "verify") {
        if (line.contains("verified") && line["verified"] == false) {
            json entry = Entry(line, number);
            entry["versionAfter"] = line.contains("versionAfter") ? line["versionAfter"] : json(nullptr);
            run.unverified.push_back(entry);
        }
    } else {
        TakeRunEnd(run, line);
    }
}

void HistoryReader::Problem(std::uint64_t number, const char* problem)
{
    ++m_problemCount;
    if (m_problems.size() < kListedProblems)
        m_problems.push_back(HistoryProblem{number, problem});
}

RunSummary& HistoryReader::RunOf(const json& line)
{
    const std::string id = line["run"];
    const auto found = m_runIndex.find(id);
    if (found != m_runIndex.end())
        return m_runs[found->second];
    m_runIndex.emplace(id, m_runs.size());
    RunSummary run;
    run.run = id;
    run.time = line["time"];
    run.host = Field(line, "host");
    m_runs.push_back(run);
    return m_runs.back();
}

// A write with no result by the end of the history was cut short.
void HistoryReader::Finish()
{
    for (RunSummary& run : m_runs) {
        for (auto& [index, entry] : run.pending)
            run.interruptedWrites.push_back(entry);
        run.pending.clear();
    }
}

std::string HubText(const json& hub)
{
    std::string text = "hub ";
    text += hub.contains("number") ? hub["number"].dump() : "?";
    if (hub.contains("vid"))
        text += " (" + Field(hub, "vid") + ":" + Field(hub, "pid") + ", depth " + hub.value("depth", json()).dump() +
                ", port " + hub.value("port", json()).dump() + ")";
    return text;
}
