#include "HistoryCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "JsonReport.h"
#include "Platform.h"
#include "TextEscape.h"

#include <cerrno>
#include <cstring>
#include <vector>

using nlohmann::json;

namespace {
std::string Counts(const std::map<std::string, std::uint64_t>& counts)
{
    std::string text;
    for (const auto& [outcome, count] : counts)
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + EscapeBytes(outcome);
    return text.empty() ? "no hub" : text;
}

std::string Where(const json& entry)
{
    std::string text = HubText(entry["hub"]);
    if (entry["image"].is_object()) {
        const json& name = entry["image"].value("name", json());
        text += ", image " + (name.is_string() ? EscapeBytes(name.get<std::string>()) : std::string("?"));
    }
    return text + ", line " + entry["line"].dump();
}

// "and N more" once the listed entries of a kind run out.
std::string More(std::uint64_t count, std::size_t listed, const char* what)
{
    if (count <= listed)
        return std::string();
    return "  and " + std::to_string(count - listed) + " more " + what + "\n";
}

std::string AtRisk(const RunSummary& run)
{
    std::string text;
    for (const json& entry : run.interruptedWrites)
        text += "  " + Where(entry) + ": interrupted while writing: this hub may hold incomplete firmware\n";
    text += More(run.interruptedCount, run.interruptedWrites.size(), "writes interrupted");
    for (const json& entry : run.failedWrites)
        text += "  " + Where(entry) + ": the library reported failure " + entry["libraryResult"].dump() +
                ": this hub may hold incomplete firmware\n";
    text += More(run.failedCount, run.failedWrites.size(), "writes the library reported failed");
    for (const json& entry : run.unverified) {
        const json after = entry.value("versionAfter", json());
        text += "  " + Where(entry) + ": not verified: " +
                (after.is_string() ? "it shows " + EscapeBytes(after.get<std::string>()) : std::string("it is gone")) +
                "\n";
    }
    return text + More(run.unverifiedCount, run.unverified.size(), "hubs not verified");
}

std::string RunText(const RunSummary& run)
{
    std::string text = "run " + EscapeBytes(run.run) + " " + EscapeBytes(run.time) + " on " + EscapeBytes(run.host);
    if (run.started)
        text += ", " + EscapeBytes(run.program);
    text += ": " + Counts(run.counts) + "\n";
    if (run.scanFailed)
        text += "  the scan failed; no hub was touched\n";
    text += AtRisk(run);
    if (!run.interruption.empty() || !run.notStarted.empty()) {
        text += "  stopped early" + (run.interruption.empty() ? "" : " (" + EscapeBytes(run.interruption) + ")");
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
            {"interruptedWriteCount", run.interruptedCount},
            {"failedWrites", run.failedWrites},
            {"failedWriteCount", run.failedCount},
            {"unverified", run.unverified},
            {"unverifiedCount", run.unverifiedCount}};
}
} // namespace

std::string HistoryText(const std::string& path, const HistoryReader& reader)
{
    std::string text = EscapeBytes(tolvane::platform::NameForShow(path)) + ": " + std::to_string(reader.Lines()) +
                       " lines, " + std::to_string(reader.Runs().size()) + " runs\n";
    for (const RunSummary& run : reader.Runs())
        text += RunText(run);
    for (const HistoryProblem& problem : reader.Problems())
        text += "line " + std::to_string(problem.line) + ": " + problem.problem + "\n";
    if (reader.ProblemCount() > reader.Problems().size())
        text += "and " + std::to_string(reader.ProblemCount() - reader.Problems().size()) + " more lines like these\n";
    return text;
}

json HistoryDocument(const std::string& path, const HistoryReader& reader, int status)
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

bool ReadHistoryFile(const std::string& path, HistoryReader& reader, std::string& error)
{
    // Regular files only, opened without waiting: a FIFO or a device would
    // hold the command, a folder has no lines.
    const std::unique_ptr<tolvane::platform::ReadOnlyFile> file = tolvane::platform::OpenReadOnly(path, error);
    if (!file)
        return false;
    std::vector<char> buffer(1 << 16);
    std::uint64_t offset = 0;
    for (;;) {
        // A read that fails stops short with the system's reason in errno; the
        // end of the file leaves it as it was.
        errno = 0;
        const std::size_t got = file->ReadAt(offset, buffer.data(), buffer.size());
        if (got < buffer.size() && errno != 0) {
            error = std::strerror(errno);
            return false;
        }
        if (got == 0)
            break;
        reader.Feed(buffer.data(), got);
        offset += got;
    }
    reader.End();
    return true;
}

int RunHistoryCommand(const std::string& path, bool asJson)
{
    HistoryReader reader;
    std::string error;
    if (!ReadHistoryFile(path, reader, error)) {
        std::fprintf(stderr, "tolvane-cli: cannot read the history %s: %s\n",
                     EscapeBytes(tolvane::platform::NameForShow(path)).c_str(), EscapeBytes(error).c_str());
        return kExitUsage;
    }
    const int status = reader.AnythingOpen() ? kExitFailed : kExitDone;
    if (asJson)
        WriteOut(DumpJson(HistoryDocument(path, reader, status)));
    else
        WriteText(HistoryText(path, reader));
    return status;
}
