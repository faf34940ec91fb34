// The run marks against a standard set fed the same marks: every answer the
// same, through the table's growth, for marks that differ only in their high
// or low bits, for 0 (the free slot's value) and for repeats.
#include "RunMarks.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_set>
#include <vector>

using history::RunMarks;

namespace {
std::vector<std::uint64_t> Marks(const char* shape, std::size_t count)
{
    std::vector<std::uint64_t> marks;
    std::mt19937_64 random(11);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t n = i;
        if (std::string(shape) == "high bits only")
            marks.push_back(n << 44);
        else if (std::string(shape) == "low bits only")
            marks.push_back(n % 3000);
        else if (std::string(shape) == "zero among them")
            marks.push_back(i % 7 == 0 ? 0 : random() % 500);
        else if (std::string(shape) == "all ones and neighbours")
            marks.push_back(~std::uint64_t{0} - n % 40);
        else
            marks.push_back(random() % (count / 2 + 1));
    }
    return marks;
}
} // namespace

TEST(RunMarksTest, AnswersAsASetDoesThroughEveryGrowth)
{
    const struct {
        const char* shape;
        std::size_t count;
    } cases[] = {
        {"high bits only", 5000},         {"low bits only", 9000},        {"zero among them", 2000},
        {"all ones and neighbours", 200}, {"random with repeats", 20000}, {"random with repeats", 1},
    };
    for (const auto& c : cases) {
        RunMarks marks;
        std::unordered_set<std::uint64_t> expected;
        std::size_t index = 0;
        for (const std::uint64_t mark : Marks(c.shape, c.count)) {
            ASSERT_EQ(marks.Insert(mark), expected.insert(mark).second) << c.shape << ", mark " << index;
            ++index;
        }
        EXPECT_EQ(marks.Size(), expected.size()) << c.shape;
        // At most three quarters full, and never more than four times the
        // slots the marks need: 8 bytes a slot is the point of the table.
        EXPECT_LE(marks.Size() * 4, marks.Capacity() * 3 + 4) << c.shape;
        EXPECT_LE(marks.Capacity(), std::max<std::size_t>(1024, marks.Size() * 4)) << c.shape;
    }
}

TEST(RunMarksTest, AMarkSeenOnceIsKnownEveryTimeAfter)
{
    RunMarks marks;
    const std::uint64_t kept[] = {0, 1, 0x9E3779B97F4A7C15ull, std::uint64_t{1} << 63, ~std::uint64_t{0}};
    for (const std::uint64_t mark : kept)
        EXPECT_TRUE(marks.Insert(mark)) << mark;
    // Enough others to grow the table several times over the kept ones.
    for (std::uint64_t i = 2; i < 10000; ++i)
        marks.Insert(i * 0x100000001ull);
    for (const std::uint64_t mark : kept)
        EXPECT_FALSE(marks.Insert(mark)) << mark;
}
