#include "HistoryReport.h"

#include "Platform.h"
#include "TextEscape.h"

using nlohmann::json;

namespace {
std::string OutcomeCounts(const std::map<std::string, std::uint64_t>& counts)
{
    std::string text;
    for (const auto& [outcome, count] : counts)
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + EscapeBytes(outcome);
    return text.empty() ? "no hub" : text;
}

std::string EntryPlace(const json& entry)
{
    std::string text = HubText(entry["hub"]);
    if (entry["image"].is_object()) {
        const json& name = entry["image"].value("name", json());
        text += ", image " + (name.is_string() ? EscapeBytes(name.get<std::string>()) : std::string("?"));
    }
    return text + ", line " + entry["line"].dump();
}

// "and N more" once the listed entries of a kind run out.
std::string MoreOfKind(std::uint64_t count, std::size_t listed, const char* what)
{
    if (count <= listed)
        return std::string();
    return "  and " + std::to_string(count - listed) + " more " + what + "\n";
}

std::string HubsAtRisk(const RunSummary& run)
{
    std::string text;
    for (const json& entry : run.interruptedWrites)
        text += "  " + EntryPlace(entry) + ": interrupted while writing: this hub may hold incomplete firmware\n";
    text += MoreOfKind(run.interruptedCount, run.interruptedWrites.size(), "writes interrupted");
    for (const json& entry : run.failedWrites)
        text += "  " + EntryPlace(entry) + ": the library reported failure " + entry["libraryResult"].dump() +
                ": this hub may hold incomplete firmware\n";
    text += MoreOfKind(run.failedCount, run.failedWrites.size(), "writes the library reported failed");
    for (const json& entry : run.unverified) {
        const json after = entry.value("versionAfter", json());
        text += "  " + EntryPlace(entry) + ": not verified: " +
                (after.is_string() ? "it shows " + EscapeBytes(after.get<std::string>()) : std::string("it is gone")) +
                "\n";
    }
    text += MoreOfKind(run.unverifiedCount, run.unverified.size(), "hubs not verified");
    for (const json& entry : run.failures) {
        const json reason = entry.value("reason", json());
        text += "  " + EntryPlace(entry) + ": " + EscapeBytes(entry.value("outcome", std::string())) +
                (reason.is_string() ? ": " + EscapeBytes(reason.get<std::string>()) : std::string()) + "\n";
    }
    return text + MoreOfKind(run.failureCount, run.failures.size(), "hubs not written");
}

std::string StoppedEarly(const RunSummary& run)
{
    if (run.interruption.empty() && run.notStarted.empty())
        return std::string();
    std::string text = "  stopped early" + (run.interruption.empty() ? "" : " (" + EscapeBytes(run.interruption) + ")");
    for (std::size_t i = 0; i < run.notStarted.size(); ++i)
        text += (i == 0 ? "; hubs not started: " : ", ") + std::to_string(run.notStarted[i]);
    return text + "\n";
}

// Indents every line of a dumped value but the first by prefix.
std::string Indented(const std::string& text, const std::string& prefix)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        out.push_back(c);
        if (c == '\n')
            out += prefix;
    }
    return out;
}

std::string Dumped(const json& value)
{
    return value.dump(2, ' ', false, json::error_handler_t::replace);
}
} // namespace

std::string HistoryHeaderText(const std::string& path, std::uint64_t lines, std::uint64_t runs)
{
    return EscapeBytes(tolvane::platform::NameForShow(path)) + ": " + std::to_string(lines) + " lines, " +
           std::to_string(runs) + " runs\n";
}

std::string HistoryRunText(const RunSummary& run)
{
    std::string text = "run " + EscapeBytes(run.run) + " " + EscapeBytes(run.time) + " on " + EscapeBytes(run.host);
    if (run.started)
        text += ", " + EscapeBytes(run.program);
    text += ": " + OutcomeCounts(run.counts) + "\n";
    if (run.scanFailed)
        text += "  the scan failed; no hub was touched\n";
    text += HubsAtRisk(run) + StoppedEarly(run);
    if (!run.ended)
        text += "  the run has no end line: it was cut short, or it is still going\n";
    if (run.reportedEarly)
        text += "  reported before the rest of its lines were read: too many runs were open at once; a later line "
                "of it shows as a run of its own\n";
    return text;
}

std::string HistoryFooterText(const HistoryReader& reader)
{
    std::string text;
    for (const HistoryProblem& problem : reader.Problems())
        text += "line " + std::to_string(problem.line) + ": " + problem.problem + "\n";
    if (reader.ProblemCount() > reader.Problems().size())
        text += "and " + std::to_string(reader.ProblemCount() - reader.Problems().size()) + " more lines like these\n";
    if (reader.RunsReportedEarly() > 0)
        text += std::to_string(reader.RunsReportedEarly()) +
                " runs were reported before the rest of their lines: more than " +
                std::to_string(HistoryReader::kHeldRuns) + " runs were open at once\n";
    return text;
}

json HistoryRunJson(const RunSummary& run)
{
    return {{"run", run.run},
            {"time", run.time},
            {"host", run.host},
            {"program", run.started ? json(run.program) : json(nullptr)},
            {"ended", run.ended},
            {"scanFailed", run.scanFailed},
            {"reportedEarly", run.reportedEarly},
            {"counts", run.counts},
            {"notStarted", run.notStarted},
            {"interruption", run.interruption.empty() ? json(nullptr) : json(run.interruption)},
            {"interruptedWrites", run.interruptedWrites},
            {"interruptedWriteCount", run.interruptedCount},
            {"failedWrites", run.failedWrites},
            {"failedWriteCount", run.failedCount},
            {"unverified", run.unverified},
            {"unverifiedCount", run.unverifiedCount},
            {"failures", run.failures},
            {"failureCount", run.failureCount}};
}

json HistoryTailJson(const HistoryReader& reader, int status)
{
    json problems = json::array();
    for (const HistoryProblem& problem : reader.Problems())
        problems.push_back({{"line", problem.line}, {"problem", problem.problem}});
    return {{"lines", reader.Lines()},
            {"problems", problems},
            {"problemCount", reader.ProblemCount()},
            {"runsReportedEarly", reader.RunsReportedEarly()},
            {"exitStatus", status}};
}

std::string HistoryJsonStream::Begin()
{
    m_begun = true;
    return "{\n  \"file\": " + Dumped(json(m_path)) + ",\n  \"runs\": [";
}

std::string HistoryJsonStream::Run(const RunSummary& run)
{
    std::string text = m_begun ? "" : Begin();
    text += m_anyRun ? ",\n    " : "\n    ";
    m_anyRun = true;
    return text + Indented(Dumped(HistoryRunJson(run)), "    ");
}

std::string HistoryJsonStream::End(const HistoryReader& reader, int status)
{
    std::string text = m_begun ? "" : Begin();
    text += m_anyRun ? "\n  ]" : "]";
    // The tail's fields one by one, as members of the document.
    const json tail = HistoryTailJson(reader, status);
    for (const auto& [key, value] : tail.items())
        text += ",\n  " + Dumped(json(key)) + ": " + Indented(Dumped(value), "  ");
    return text + "\n}\n";
}

std::string HistoryText(const std::string& path, const HistoryReader& reader)
{
    std::string text = HistoryHeaderText(path, reader.Lines(), reader.RunCount());
    for (const RunSummary& run : reader.Runs())
        text += HistoryRunText(run);
    return text + HistoryFooterText(reader);
}

std::string HistoryJsonText(const std::string& path, const HistoryReader& reader, int status)
{
    HistoryJsonStream stream(path);
    std::string text;
    for (const RunSummary& run : reader.Runs())
        text += stream.Run(run);
    return text + stream.End(reader, status);
}

json HistoryDocument(const std::string& path, const HistoryReader& reader, int status)
{
    json document = HistoryTailJson(reader, status);
    document["file"] = path;
    document["runs"] = json::array();
    for (const RunSummary& run : reader.Runs())
        document["runs"].push_back(HistoryRunJson(run));
    return document;
}
