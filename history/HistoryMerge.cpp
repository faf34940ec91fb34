#include "HistoryMerge.h"

void HistoryMerge::Add(std::string name, Source source)
{
    auto input = std::make_unique<Input>();
    input->name = std::move(name);
    input->source = std::move(source);
    Input* kept = input.get();
    input->reader = std::make_unique<HistoryReader>([kept](RunSummary&& run) { kept->runs.push_back(std::move(run)); });
    m_inputs.push_back(std::move(input));
}

// Reads until the history has a run waiting or has ended.
bool HistoryMerge::Fill(Input& input, std::string& error)
{
    while (input.runs.empty() && !input.ended) {
        std::size_t got = 0;
        if (!input.source(m_buffer.data(), m_buffer.size(), got, error))
            return false;
        if (got == 0) {
            input.reader->End();
            input.ended = true;
        } else {
            input.reader->Feed(m_buffer.data(), got);
        }
    }
    return true;
}

bool HistoryMerge::Run(const RunTake& take, const FileDone& done, std::string& failedName, std::string& error)
{
    for (;;) {
        Input* earliest = nullptr;
        for (const auto& input : m_inputs) {
            if (!Fill(*input, error)) {
                failedName = input->name;
                return false;
            }
            if (input->runs.empty())
                continue;
            const RunSummary& head = input->runs.front();
            if (!earliest || head.time < earliest->runs.front().time ||
                (head.time == earliest->runs.front().time && head.run < earliest->runs.front().run))
                earliest = input.get();
        }
        if (!earliest)
            break;
        take(earliest->name, earliest->runs.front());
        earliest->runs.pop_front();
    }
    for (const auto& input : m_inputs)
        done(input->name, *input->reader);
    return true;
}
