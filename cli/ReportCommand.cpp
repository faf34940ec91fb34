#include "ReportCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "HistoryMerge.h"
#include "LineReport.h"
#include "LineReportCsv.h"
#include "LineReportPage.h"
#include "LineReportText.h"
#include "Platform.h"
#include "ReportTime.h"
#include "TextEscape.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace {
void Refuse(const std::string& what)
{
    std::fprintf(stderr, "tolvane-cli: %s\n", what.c_str());
}

std::string NameOf(const std::string& path)
{
    return path == "-" ? std::string("(standard input)") : path;
}

// A file is read at its offset; "-" is the standard input, read once.
HistoryMerge::Source SourceOf(const std::string& path, std::shared_ptr<tolvane::platform::ReadOnlyFile> file)
{
    if (path == "-")
        return [](char* data, std::size_t size, std::size_t& got, std::string& error) {
            got = std::fread(data, 1, size, stdin);
            error = "the read failed";
            return got > 0 || !std::ferror(stdin);
        };
    auto offset = std::make_shared<std::uint64_t>(0);
    return [file, offset](char* data, std::size_t size, std::size_t& got, std::string& error) {
        const tolvane::platform::ReadResult read = file->Read(*offset, data, size);
        if (read.failed) {
            error = read.error.empty() ? "the read failed" : read.error;
            return false;
        }
        got = read.count;
        *offset += got;
        return true;
    };
}

bool Filter(const CliOptions& options, history::ReportFilter& filter)
{
    const auto take = [](const std::string& text, const char* name, std::optional<std::string>& out) {
        if (text.empty())
            return true;
        out = history::NormalTime(text);
        if (!out)
            Refuse(std::string(name) + ": \"" + EscapeBytes(text) +
                   "\" is not a time such as 2026-12-08 or 2026-12-08T15:04:05Z (UTC)");
        return out.has_value();
    };
    filter.stations = options.reportStations;
    filter.lots = options.reportLots;
    return take(options.since, "--since", filter.since) && take(options.until, "--until", filter.until);
}

bool AddInputs(const CliOptions& options, HistoryMerge& merge)
{
    int stdinCount = 0;
    for (const std::string& path : options.reportFiles) {
        if (path == "-") {
            if (++stdinCount > 1) {
                Refuse("the standard input (-) can be read only once");
                return false;
            }
            merge.Add(NameOf(path), SourceOf(path, nullptr));
            continue;
        }
        std::string error;
        std::shared_ptr<tolvane::platform::ReadOnlyFile> file = tolvane::platform::OpenReadOnly(path, error);
        if (!file) {
            Refuse("cannot read the history " + EscapeBytes(tolvane::platform::NameForShow(path)) + ": " +
                   EscapeBytes(error));
            return false;
        }
        merge.Add(path, SourceOf(path, file));
    }
    return true;
}

bool WritePage(const std::string& path, const std::string& page)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    out.close();
    if (out)
        return true;
    Refuse("cannot write the page " + EscapeBytes(tolvane::platform::NameForShow(path)));
    return false;
}
} // namespace

int RunReportCommand(const CliOptions& options)
{
    history::ReportFilter filter;
    HistoryMerge merge;
    if (!Filter(options, filter) || !AddInputs(options, merge))
        return kExitUsage;
    history::LineReport report(std::move(filter));
    history::LineReportJsonStream json;
    if (options.csv)
        WriteOut(history::CsvHeader());
    const auto take = [&](const std::string& name, const RunSummary& run) {
        history::BoardRow row;
        if (!report.Add(name, run, row))
            return;
        if (options.csv)
            WriteOut(history::CsvRow(row));
        else if (options.json)
            WriteOut(json.Board(row));
    };
    const auto done = [&](const std::string& name, const HistoryReader& reader) { report.AddFile(name, reader); };
    std::string failedName;
    std::string error;
    if (!merge.Run(take, done, failedName, error)) {
        Refuse("cannot read the history " + EscapeBytes(tolvane::platform::NameForShow(failedName)) + ": " +
               EscapeBytes(error));
        return kExitUsage;
    }
    const int status = report.AnythingAtRisk() ? kExitFailed : kExitDone;
    const nlohmann::json summary = report.Summary();
    if (options.json)
        WriteOut(json.End(summary, status));
    else if (!options.html.empty())
        return WritePage(options.html, history::LineReportPage(summary)) ? status : kExitUsage;
    else if (!options.csv)
        WriteText(history::LineReportText(summary));
    return status;
}
