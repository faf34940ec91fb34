#include "History.h"
#include "AppendFile.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <thread>

namespace {
HubRecord LongRecord(unsigned entry)
{
    HubRecord record;
    record.entry = entry;
    // Strings long enough that a torn write would show.
    for (std::size_t i = 0; i < sizeof record.hub.product; ++i) {
        record.hub.manufacturer[i] = static_cast<std::uint8_t>(0x80 + i);
        record.hub.product[i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    record.image = ChosenImage{"HUB" + std::to_string(entry) + ".BIN", 'A', 0x9021};
    record.libraryResult = 0;
    record.verified = entry % 2 == 0;
    return record;
}
} // namespace

TEST(History, ConcurrentRunsLeaveOnlyWholeLines)
{
    ScratchDir dir;
    constexpr unsigned kWriters = 8;
    constexpr unsigned kRuns = 12;
    std::vector<std::thread> writers;
    for (unsigned w = 0; w < kWriters; ++w) {
        writers.emplace_back([w] {
            std::vector<HubRecord> records;
            for (unsigned hub = 0; hub < 32; ++hub)
                records.push_back(LongRecord(w * 32 + hub));
            for (unsigned run = 0; run < kRuns; ++run) {
                std::string error;
                EXPECT_TRUE(AppendHistory("history.jsonl", records, error)) << error;
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();

    std::istringstream text(dir.Read("history.jsonl"));
    unsigned lines = 0;
    for (std::string line; std::getline(text, line); ++lines) {
        const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        ASSERT_FALSE(record.is_discarded()) << line;
        EXPECT_EQ(record["outcome"], "programmed");
        EXPECT_EQ(record["hub"]["product"], "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRST");
        EXPECT_EQ(record["image"]["name"], "HUB" + std::to_string(record["hub"]["index"].get<unsigned>()) + ".BIN");
    }
    EXPECT_EQ(lines, kWriters * kRuns * 32);
}

TEST(History, LinesRecordTheHubAndTheOutcome)
{
    HubRecord record = LongRecord(4);
    record.hub.descriptor.bcdDevice = 0x8011;
    const nlohmann::json line = nlohmann::json::parse(HistoryLine(record, "2026-12-08T15:04:05Z", "bench-7", "00ff"));
    EXPECT_EQ(line["time"], "2026-12-08T15:04:05Z");
    EXPECT_EQ(line["host"], "bench-7");
    EXPECT_EQ(line["run"], "00ff");
    EXPECT_EQ(line["hub"]["number"], 5);
    EXPECT_EQ(line["hub"]["manufacturer"].get<std::string>().substr(0, 8), "\\x80\\x81");
    EXPECT_EQ(line["oldVersion"], "8011");
    EXPECT_EQ(line["image"], nlohmann::json({{"name", "HUB4.BIN"}, {"firmwareVersion", "9021"}}));
    EXPECT_EQ(line["verified"], true);
    EXPECT_EQ(HistoryLine(record, "t", "h", "r").back(), '\n');
    EXPECT_NE(NewRunId(), NewRunId());
}

TEST(History, UnwritableFileIsReported)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "folder");
    std::string error;
    EXPECT_FALSE(AppendWhole("folder", "line\n", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(AppendWhole("no-such-folder/history.jsonl", "line\n", error));
}
