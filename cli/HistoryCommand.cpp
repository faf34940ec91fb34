#include "HistoryCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "TextEscape.h"

#include <cstdio>
#include <limits>
#include <vector>

namespace {
constexpr std::uint64_t kWholeFile = std::numeric_limits<std::uint64_t>::max();

void CannotRead(const std::string& path, const std::string& error)
{
    std::fprintf(stderr, "tolvane-cli: cannot read the history %s: %s\n",
                 EscapeBytes(tolvane::platform::NameForShow(path)).c_str(), EscapeBytes(error).c_str());
}

// Output that cannot be written any more ends the reading: the exit status
// says so (see FinishStdout), and the rest of a huge file is not worth it.
bool OutputLost()
{
    return std::ferror(stdout) != 0;
}

int StatusOf(const HistoryReader& reader)
{
    return reader.AnythingOpen() ? kExitFailed : kExitDone;
}

// The text's first line holds the totals, so a first pass counts and the
// second, over the same bytes, prints each run as it is reported.
int TextReport(const std::string& path, tolvane::platform::ReadOnlyFile& file)
{
    HistoryReader counter([](const RunSummary&) {});
    HistoryPass first;
    std::string error;
    if (!ReadHistoryBytes(file, counter, kWholeFile, nullptr, first, error)) {
        CannotRead(path, error);
        return kExitUsage;
    }
    WriteOut(HistoryHeaderText(path, counter.Lines(), counter.RunCount()));
    HistoryReader printer([](const RunSummary& run) { WriteOut(HistoryRunText(run)); });
    HistoryPass second;
    if (!ReadHistoryBytes(file, printer, first.bytes, OutputLost, second, error)) {
        CannotRead(path, error);
        return kExitUsage;
    }
    if (second.stopped)
        return kExitFailed;
    if (second.bytes < first.bytes) {
        CannotRead(path, "the file shrank while it was read");
        return kExitUsage;
    }
    WriteOut(HistoryFooterText(printer));
    return StatusOf(printer);
}

// A read that fails after some runs were written leaves the document
// unfinished, so that no script takes it for a whole one.
int JsonReport(const std::string& path, tolvane::platform::ReadOnlyFile& file)
{
    HistoryJsonStream stream(path);
    HistoryReader reader([&stream](const RunSummary& run) { WriteOut(stream.Run(run)); });
    HistoryPass pass;
    std::string error;
    if (!ReadHistoryBytes(file, reader, kWholeFile, OutputLost, pass, error)) {
        CannotRead(path, error);
        return kExitUsage;
    }
    if (pass.stopped)
        return kExitFailed;
    const int status = StatusOf(reader);
    WriteOut(stream.End(reader, status));
    return status;
}
} // namespace

bool ReadHistoryBytes(tolvane::platform::ReadOnlyFile& file, HistoryReader& reader, std::uint64_t limit,
                      const std::function<bool()>& stop, HistoryPass& pass, std::string& error)
{
    std::vector<char> buffer(1 << 16);
    pass = HistoryPass{};
    while (pass.bytes < limit) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), limit - pass.bytes));
        const tolvane::platform::ReadResult got = file.Read(pass.bytes, buffer.data(), want);
        if (got.failed) {
            error = got.error.empty() ? "the read failed" : got.error;
            return false;
        }
        if (got.count == 0)
            break;
        reader.Feed(buffer.data(), got.count);
        pass.bytes += got.count;
        if (stop && stop()) {
            pass.stopped = true;
            return true;
        }
    }
    reader.End();
    return true;
}

bool ReadHistoryFile(const std::string& path, HistoryReader& reader, std::string& error)
{
    // Regular files only, opened without waiting: a FIFO or a device would
    // hold the command, a folder has no lines.
    const std::unique_ptr<tolvane::platform::ReadOnlyFile> file = tolvane::platform::OpenReadOnly(path, error);
    HistoryPass pass;
    return file && ReadHistoryBytes(*file, reader, kWholeFile, nullptr, pass, error);
}

int RunHistoryCommand(const std::string& path, bool asJson)
{
    std::string error;
    const std::unique_ptr<tolvane::platform::ReadOnlyFile> file = tolvane::platform::OpenReadOnly(path, error);
    if (!file) {
        CannotRead(path, error);
        return kExitUsage;
    }
    return asJson ? JsonReport(path, *file) : TextReport(path, *file);
}
