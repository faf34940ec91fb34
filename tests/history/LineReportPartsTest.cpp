// The line's report's parts: the times people give, the fixed histogram's
// percentiles against a sort of the same durations, and the CSV cells.
#include "LineReportCsv.h"
#include "MsHistogram.h"
#include "ReportTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace history;

TEST(ReportTimeTest, TimesAreTakenInEveryFormAndWrongOnesRefused)
{
    const struct {
        const char* given;
        const char* normal; // null: refused
    } cases[] = {
        {"2026-12-08", "2026-12-08T00:00:00.000Z"},
        {"2026-12-08T15", "2026-12-08T15:00:00.000Z"},
        {"2026-12-08T15:04Z", "2026-12-08T15:04:00.000Z"},
        {"2026-12-08T15:04:05.123Z", "2026-12-08T15:04:05.123Z"},
        {"2024-02-29", "2024-02-29T00:00:00.000Z"},
        {"2026-02-29", nullptr},
        {"2026-12-08T24", nullptr},
        {"2026-12-8", nullptr},
        {"2026-12-08 15:04", nullptr},
        {"", nullptr},
        {"2026-12-08T15:04:05.12", nullptr},
    };
    for (const auto& c : cases) {
        const auto normal = NormalTime(c.given);
        EXPECT_EQ(normal.has_value(), c.normal != nullptr) << c.given;
        if (normal && c.normal) {
            EXPECT_EQ(*normal, c.normal) << c.given;
        }
    }
    EXPECT_EQ(MillisOf("1970-01-01T00:00:01.500Z"), 1500);
    EXPECT_EQ(*MillisOf("2026-12-09T00:00:00.000Z") - *MillisOf("2026-12-08T23:59:59.999Z"), 1);
    EXPECT_FALSE(MillisOf("2026-12-08"));
}

TEST(MsHistogramTest, PercentilesMatchASortWithinTheBucketWidth)
{
    std::mt19937_64 random(7);
    for (const std::uint64_t top : {std::uint64_t{50}, std::uint64_t{1000}, std::uint64_t{90000}}) {
        MsHistogram histogram;
        std::vector<std::uint64_t> values;
        for (int i = 0; i < 5001; ++i) {
            values.push_back(random() % top);
            histogram.Add(values.back());
        }
        std::sort(values.begin(), values.end());
        for (const double share : {0.5, 0.95}) {
            const std::uint64_t exact = values[static_cast<std::size_t>(std::ceil(share * 5001)) - 1];
            const std::uint64_t got = histogram.Quantile(share);
            EXPECT_LE(got, exact) << top << " " << share;
            EXPECT_GE(got + exact / 512 + 1, exact) << top << " " << share;
        }
    }
    MsHistogram empty;
    EXPECT_EQ(empty.Quantile(0.5), 0u);
    MsHistogram huge;
    huge.Add(UINT64_MAX);
    EXPECT_GT(huge.Quantile(1.0), std::uint64_t{1} << 39);
}

TEST(CsvCellTest, CellsAreQuotedAndFormulasKeptAsText)
{
    const struct {
        const char* text;
        const char* cell;
    } cases[] = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=1+1", "'=1+1"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"=A1,B1", "\"'=A1,B1\""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvCell(c.text), c.cell) << c.text;
}
