// Any bytes as a run history. The reader answers every input, keeps a
// bounded number of entries per run, takes only hub numbers that fit, and
// what it prints is safe to show, in text and in JSON alike; fed in two
// pieces it reads what it reads whole.
#include "FuzzSupport.h"
#include "HistoryReader.h"
#include "HistoryReport.h"
#include "ShownText.h"

#include <string>

using nlohmann::json;

namespace {
void CheckRun(const RunSummary& run)
{
    FUZZ_CHECK(run.interruptedWrites.size() <= HistoryReader::kListedPerRun);
    FUZZ_CHECK(run.failedWrites.size() <= HistoryReader::kListedPerRun);
    FUZZ_CHECK(run.unverified.size() <= HistoryReader::kListedPerRun);
    FUZZ_CHECK(run.interruptedCount >= run.interruptedWrites.size());
    FUZZ_CHECK(run.failedCount >= run.failedWrites.size());
    FUZZ_CHECK(run.unverifiedCount >= run.unverified.size());
    FUZZ_CHECK(run.notStarted.size() <= 32);
    for (unsigned number : run.notStarted)
        FUZZ_CHECK(number >= 1 && number <= 32);
    for (const auto* kind : {&run.interruptedWrites, &run.failedWrites, &run.unverified})
        for (const json& entry : *kind) {
            const json& index = entry["hub"]["index"];
            FUZZ_CHECK(index.is_number_integer() && index.get<int>() >= 0 && index.get<int>() <= 31);
        }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    HistoryReader whole;
    whole.Feed(bytes, size);
    whole.End();
    FUZZ_CHECK(whole.Problems().size() <= HistoryReader::kListedProblems);
    FUZZ_CHECK(whole.ProblemCount() >= whole.Problems().size());
    for (const RunSummary& run : whole.Runs())
        CheckRun(run);

    HistoryReader pieces;
    const std::size_t cut = size / 2;
    pieces.Feed(bytes, cut);
    pieces.Feed(bytes + cut, size - cut);
    pieces.End();
    FUZZ_CHECK(pieces.Lines() == whole.Lines() && pieces.ProblemCount() == whole.ProblemCount());
    FUZZ_CHECK(pieces.Runs().size() == whole.Runs().size() && pieces.AnythingOpen() == whole.AnythingOpen());

    FUZZ_CHECK(IsSafeToShow(HistoryText("h.jsonl", whole)));
    // Strict: a byte that is not UTF-8 throws here rather than being replaced.
    const std::string document = HistoryDocument("h.jsonl", whole, whole.AnythingOpen() ? 1 : 0).dump();
    FUZZ_CHECK(IsUtf8(document));
    FUZZ_CHECK(!json::parse(document, nullptr, false).is_discarded());
    // The document as the command streams it is that document.
    FUZZ_CHECK(json::parse(HistoryJsonText("h.jsonl", whole, whole.AnythingOpen() ? 1 : 0), nullptr, false) ==
               json::parse(document, nullptr, false));
    return 0;
}
