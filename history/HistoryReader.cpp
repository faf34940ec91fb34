#include "HistoryReader.h"

#include "HistoryReaderShape.h"
#include "TextEscape.h"

using history::LineKind;
using history::ReadLine;
using nlohmann::json;

namespace {
json Entry(const ReadLine& line, std::uint64_t number)
{
    return {{"line", number}, {"time", line.time}, {"hub", line.hub}, {"image", line.image}};
}

// Keeps the first entries of a kind and counts them all.
void Keep(std::vector<json>& listed, std::uint64_t& count, json entry)
{
    ++count;
    if (listed.size() < HistoryReader::kListedPerRun)
        listed.push_back(std::move(entry));
}

void Interrupted(RunSummary& run, json entry)
{
    Keep(run.interruptedWrites, run.interruptedCount, std::move(entry));
}

unsigned IndexOf(const ReadLine& line)
{
    return line.hub["index"].get<unsigned>();
}

void TakeWriteStart(RunSummary& run, const ReadLine& line, std::uint64_t number)
{
    // A second start for a hub whose first has no result: the first was cut
    // short, and stays reported.
    const auto placed = run.pending.emplace(IndexOf(line), Entry(line, number));
    if (!placed.second) {
        Interrupted(run, std::move(placed.first->second));
        placed.first->second = Entry(line, number);
    }
}

// A library that writes no hub at all (the read-only system mode) declined
// it: nothing touched the hub, whatever the library returned.
bool Untouched(const std::string& outcome)
{
    return outcome == "not-written";
}

void TakeResult(RunSummary& run, const ReadLine& line, std::uint64_t number)
{
    run.pending.erase(IndexOf(line));
    ++run.counts[line.outcome];
    if (line.libraryResult && *line.libraryResult != 0 && !Untouched(line.outcome)) {
        json entry = Entry(line, number);
        entry["libraryResult"] = *line.libraryResult;
        Keep(run.failedWrites, run.failedCount, std::move(entry));
    }
    // Earlier versions wrote the verification into the result.
    if (line.verified == false)
        Keep(run.unverified, run.unverifiedCount, Entry(line, number));
}

void TakeVerify(RunSummary& run, const ReadLine& line, std::uint64_t number)
{
    if (line.verified != false)
        return;
    json entry = Entry(line, number);
    entry["versionAfter"] = line.versionAfter;
    Keep(run.unverified, run.unverifiedCount, std::move(entry));
}

void TakeRunEnd(RunSummary& run, const ReadLine& line)
{
    run.ended = true;
    run.notStarted.insert(run.notStarted.end(), line.notStarted.begin(), line.notStarted.end());
    // A run has one end; more ends of one run must not grow it without bound.
    if (run.notStarted.size() > 32)
        run.notStarted.resize(32);
    if (!line.interruption.empty())
        run.interruption = line.interruption;
}

std::string Field(const json& value, const char* name)
{
    return value.contains(name) && value[name].is_string() ? EscapeBytes(value[name].get<std::string>()) : "?";
}

std::string Number(const json& value, const char* name)
{
    return value.contains(name) && value[name].is_number_integer() ? value[name].dump() : "?";
}
} // namespace

void HistoryReader::Read(std::istream& in)
{
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        Feed(buffer, static_cast<std::size_t>(in.gcount()));
    End();
}

void HistoryReader::Feed(const char* data, std::size_t size)
{
    for (std::size_t at = 0; at < size; ++at) {
        if (data[at] == '\n') {
            EndLine();
            continue;
        }
        if (m_text.size() < kMaxLine)
            m_text.push_back(data[at]);
        else
            m_tooLong = true;
    }
}

void HistoryReader::EndLine()
{
    if (m_tooLong)
        Problem(m_number, "too long for a history line");
    else
        Take(m_text, m_number);
    m_text.clear();
    m_tooLong = false;
    ++m_number;
}

// A write with no result by the end of the history was cut short.
void HistoryReader::End()
{
    if (!m_text.empty() || m_tooLong)
        EndLine(); // a last line without its end
    m_lines = m_number - 1;
    for (RunSummary& run : m_runs) {
        for (auto& [index, entry] : run.pending)
            Interrupted(run, std::move(entry));
        run.pending.clear();
    }
}

bool HistoryReader::AnythingOpen() const
{
    for (const RunSummary& run : m_runs)
        if (run.interruptedCount > 0 || run.failedCount > 0 || run.unverifiedCount > 0)
            return true;
    return false;
}

void HistoryReader::Take(const std::string& text, std::uint64_t number)
{
    if (text.empty() || text == "\r")
        return;
    const json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        Problem(number, "torn or not JSON");
        return;
    }
    ReadLine line;
    if (!history::TakeShape(parsed, line)) {
        Problem(number, "not a history line");
        return;
    }
    RunSummary& run = RunOf(line.run, line.time, line.host);
    switch (line.kind) {
    case LineKind::RunStart:
        run.started = true;
        run.program = line.program;
        break;
    case LineKind::ScanFailed:
        run.scanFailed = true;
        break;
    case LineKind::WriteStart:
        TakeWriteStart(run, line, number);
        break;
    case LineKind::Result:
        TakeResult(run, line, number);
        break;
    case LineKind::Verify:
        TakeVerify(run, line, number);
        break;
    case LineKind::RunEnd:
        TakeRunEnd(run, line);
        break;
    }
}

void HistoryReader::Problem(std::uint64_t number, const char* problem)
{
    ++m_problemCount;
    if (m_problems.size() < kListedProblems)
        m_problems.push_back(HistoryProblem{number, problem});
}

RunSummary& HistoryReader::RunOf(const std::string& id, const std::string& time, const std::string& host)
{
    const auto found = m_runIndex.find(id);
    if (found != m_runIndex.end())
        return m_runs[found->second];
    m_runIndex.emplace(id, m_runs.size());
    RunSummary run;
    run.run = id;
    run.time = time;
    run.host = host;
    m_runs.push_back(std::move(run));
    return m_runs.back();
}

std::string HubText(const json& hub)
{
    std::string text = "hub " + Number(hub, "number");
    if (hub.contains("vid"))
        text += " (" + Field(hub, "vid") + ":" + Field(hub, "pid") + ", depth " + Number(hub, "depth") + ", port " +
                Number(hub, "port") + ")";
    return text;
}
