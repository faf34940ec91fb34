// Reads several histories at once and hands over their runs merged by the
// time of their first lines, earliest first, so that the runs of many
// stations come out as the line ran them. Each history is read a piece at a
// time, and only the runs one piece released wait: memory is bounded by the
// readers' own bound, not by the files.
#ifndef TOLVANE_HISTORY_HISTORYMERGE_H
#define TOLVANE_HISTORY_HISTORYMERGE_H

#include "HistoryReader.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class HistoryMerge {
public:
    // Fills data with up to size bytes of the history, got 0 at its end;
    // false with error set when the read failed.
    using Source = std::function<bool(char* data, std::size_t size, std::size_t& got, std::string& error)>;
    using RunTake = std::function<void(const std::string& name, const RunSummary& run)>;
    using FileDone = std::function<void(const std::string& name, const HistoryReader& reader)>;

    void Add(std::string name, Source source);
    // Hands every run to take, then each history to done once it has
    // ended. False with error (the history's name is the caller's) and
    // failedName set when a read failed; the runs handed over stay handed.
    bool Run(const RunTake& take, const FileDone& done, std::string& failedName, std::string& error);

private:
    struct Input {
        std::string name;
        Source source;
        std::deque<RunSummary> runs;
        std::unique_ptr<HistoryReader> reader;
        bool ended = false;
    };
    bool Fill(Input& input, std::string& error);

    std::vector<std::unique_ptr<Input>> m_inputs;
    std::vector<char> m_buffer = std::vector<char>(1 << 16);
};

#endif
