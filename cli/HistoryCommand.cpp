#include "HistoryCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "HistoryReader.h"
#include "JsonReport.h"

#include <cerrno>
#include <cstring>
#include <fstream>

using nlohmann::json;

namespace {
std::string Counts(const std::map<std::string, unsigned>& counts)
{
    std::string text;
    for (const auto& [outcome, count] : counts)
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + outcome;
    return text.empty() ? "no hub" : text;
}

std::string Where(const json& entry)
{
    std::string text = HubText(entry["hub"]);
    if (entry["image"].is_object())
        text += ", image " + entry["image"].value("name", std::string("?"));
    return text + ", line " + entry["line"].dump();
}

std::string RunText(const RunSummary& run)
{
    std::string text = "run " + run.run + " " + run.time + " on " + run.host;
    if (run.started)
        text += ", " + run.program;
    text += ": " + Counts(run.counts) + "\n";
    if (run.scanFailed)
        text += "  the scan failed; no hub was touched\n";
    for (const json& entry : run.interruptedWrites)
        text += "  " + Where(entry) + ": interrupted while writing: this hub may hold incomplete firmware\n";
    for (const json& entry : run.failedWrites)
        text += "  " + Where(entry) + ": the library reported failure " + entry["libraryResult"].dump() +
                ": this hub may hold incomplete firmware\n";
    for (const json& entry : run.unverified) {
        const json after = entry.value("versionAfter", json());
        text += "  " + Where(entry) + ": not verified: " +
                (after.is_string() ? "it shows " + after.get<std::string>() : std::string("it is gone")) + "\n";
    }
    if (!run.interruption.empty() || !run.notStarted.empty()) {
        text += "  stopped early" + (run.interruption.empty() ? "" : " (" + run.interruption + ")");
        for (std::size_t i = 0; i < run.notStarted.size(); ++i)
            text += (i == 0 ? "; hubs not started: " : ", ") + std::to_string(run.notStarted[i]);
        text += "\n";
    }
    if (!run.ended)
        text += "  the run has no end line: it was cut short, or it is still going\n";
    return text;
}

json RunJson(const RunSummary& run)
{
    return {{"run", run.run},
            {"time", run.time},
            {"host", run.host},
            {"program", run.started ? json(run.program) : json(nullptr)},
            {"ended", run.ended},
            {"scanFailed", run.scanFailed},
            {"counts", run.counts},
            {"notStarted", run.notStarted},
            {"interruption", run.interruption.empty() ? json(nullptr) : json(run.interruption)},
            {"interruptedWrites", run.interruptedWrites},
            {"failedWrites", run.failedWrites},
            {"unverified", run.unverified}};
}

std::string Text(const std::string& path, const HistoryReader& reader)
{
    std::string text =
        path + ": " + std::to_string(reader.Lines()) + " lines, " + std::to_string(reader.Runs().size()) + " runs\n";
    for (const RunSummary& run : reader.Runs())
        text += RunText(run);
    for (const HistoryProblem& problem : reader.Problems())
        text += "line " + std::to_string(problem.line) + ": " + problem.problem + "\n";
    if (reader.ProblemCount() > reader.Problems().size())
        text += "and " + std::to_string(reader.ProblemCount() - reader.Problems().size()) + " more lines like these\n";
    return text;
}

json Document(const std::string& path, const HistoryReader& reader, int status)
{
    json runs = json::array();
    for (const RunSummary& run : reader.Runs())
        runs.push_back(RunJson(run));
    json problems = json::array();
    for (const HistoryProblem& problem : reader.Problems())
        problems.push_back({{"line", problem.line}, {"problem", problem.problem}});
    return {{"file", path},
            {"lines", reader.Lines()},
            {"runs", runs},
            {"problems", problems},
            {"problemCount", reader.ProblemCount()},
            {"exitStatus", status}};
}
} // namespace

int RunHistoryCommand(const std::string& path, bool asJson)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tolvane-cli: cannot read the history %s: %s\n", path.c_str(), std::strerror(errno));
        return kExitUsage;
    }
    HistoryReader reader;
    reader.Read(in);
    const int status = reader.AnythingOpen() ? kExitFailed : kExitDone;
    WriteOut(asJson ? DumpJson(Document(path, reader, status)) : Text(path, reader));
    return status;
}
