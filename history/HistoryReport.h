// What tolvane-cli history prints, piece by piece, so that each run can be
// written as soon as the reader reports it: text for people, every field
// from the file escaped; or the JSON document, the file's texts as data.
#ifndef TOLVANE_HISTORY_HISTORYREPORT_H
#define TOLVANE_HISTORY_HISTORYREPORT_H

#include "HistoryReader.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

// The text: a first line with the totals, a block per run, then the problem
// lines and what was counted beyond them.
std::string HistoryHeaderText(const std::string& path, std::uint64_t lines, std::uint64_t runs);
std::string HistoryRunText(const RunSummary& run);
std::string HistoryFooterText(const HistoryReader& reader);

// The document's run, and its fields other than "file" and "runs".
nlohmann::json HistoryRunJson(const RunSummary& run);
nlohmann::json HistoryTailJson(const HistoryReader& reader, int status);

// The document written as it goes, in the layout of DumpJson: "file" and
// "runs" first, the runs one by one, the totals after them. Nothing is
// written before the first run or the end, so a read that fails at once
// leaves the output empty.
class HistoryJsonStream {
public:
    explicit HistoryJsonStream(std::string path) : m_path(std::move(path)) {}
    // Each returns the text to write next.
    std::string Run(const RunSummary& run);
    std::string End(const HistoryReader& reader, int status);

private:
    std::string Begin();

    std::string m_path;
    bool m_begun = false;
    bool m_anyRun = false;
};

// The whole of either form at once, for a reader that kept its runs.
std::string HistoryText(const std::string& path, const HistoryReader& reader);
std::string HistoryJsonText(const std::string& path, const HistoryReader& reader, int status);
nlohmann::json HistoryDocument(const std::string& path, const HistoryReader& reader, int status);

#endif
