#include "StrictNumber.h"
#include "AsciiText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

using strict_number::Fault;

namespace {
constexpr std::uint64_t kAll = std::numeric_limits<std::uint64_t>::max();

struct Case {
    const char* text;
    std::uint64_t max;
    Fault fault;
    std::uint64_t value; // when the fault is None
};
} // namespace

TEST(StrictNumber, TakesDecimalAndPrefixedHexadecimalOnly)
{
    const Case cases[] = {
        {"0", 0, Fault::None, 0},
        {"65535", 0xFFFF, Fault::None, 65535},
        {"0x0D12", 0xFFFF, Fault::None, 0x0D12},
        {"0XfF", 0xFF, Fault::None, 0xFF},
        {"007", 0xFF, Fault::None, 7},
        {"18446744073709551615", kAll, Fault::None, kAll},
        {"0xFFFFFFFFFFFFFFFF", kAll, Fault::None, kAll},
        {"", kAll, Fault::Bad, 0},
        {"0x", kAll, Fault::Bad, 0},
        {"-1", kAll, Fault::Bad, 0},
        {"+1", kAll, Fault::Bad, 0},
        {" 1", kAll, Fault::Bad, 0},
        {"1 ", kAll, Fault::Bad, 0},
        {"12a", kAll, Fault::Bad, 0},
        {"0x1g", kAll, Fault::Bad, 0},
        {"1e3", kAll, Fault::Bad, 0},
        {"65536", 0xFFFF, Fault::Range, 0},
        {"0x100", 0xFF, Fault::Range, 0},
        {"1", 0, Fault::Range, 0},
        {"2", 1, Fault::Range, 0},
        {"0xF", 9, Fault::Range, 0},
        {"10", 9, Fault::Range, 0},
        {"18446744073709551616", kAll, Fault::Range, 0},
        {"0x10000000000000000", kAll, Fault::Range, 0},
        {"99999999999999999999999x", kAll, Fault::Bad, 0},
    };
    for (const Case& c : cases) {
        std::uint64_t value = 12345;
        EXPECT_EQ(strict_number::Parse(c.text, c.max, value), c.fault) << '"' << c.text << '"';
        EXPECT_EQ(value, c.fault == Fault::None ? c.value : 12345u) << '"' << c.text << '"';
    }
}

TEST(AsciiText, FoldsOnlyAsciiLettersAndReadsHexDigits)
{
    EXPECT_EQ(ascii::Upper("ab.Bin\xE9z"), "AB.BIN\xE9Z");
    EXPECT_EQ(ascii::Lower("[HUB1] Vid\xC9"), "[hub1] vid\xC9");
    const std::string digits = "09afAFgG/:@`";
    const int values[] = {0, 9, 10, 15, 10, 15, -1, -1, -1, -1, -1, -1};
    for (std::size_t i = 0; i < digits.size(); ++i)
        EXPECT_EQ(ascii::HexDigitValue(digits[i]), values[i]) << digits[i];
}
