#include "TextEscape.h"

#include <gtest/gtest.h>

TEST(TextEscape, KeepsPrintableUtf8AndEscapesEveryOtherByte)
{
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"USB3.2 Hub", "USB3.2 Hub"},
        {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x8C", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x8C"},
        {"a\\b", "a\\\\b"},
        {std::string("\x00\x01\x1F\x7F", 4), "\\x00\\x01\\x1F\\x7F"},
        {"\xFF\xFE", "\\xFF\\xFE"},
        {"\xC3", "\\xC3"},                            // cut sequence
        {"\xC0\xAF", "\\xC0\\xAF"},                   // overlong
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},          // surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"}, // beyond U+10FFFF
        {"\xE2\x82", "\\xE2\\x82"},
        {"\xC2\x85\xC2\x9B", "\\xC2\\x85\\xC2\\x9B"}, // C1 controls, NEL and CSI
        {"\xC2\xA0\xC2\xA9", "\xC2\xA0\xC2\xA9"},     // the first printable ones after them
        {"\x1B[31m\n", "\\x1B[31m\\x0A"},
        {"caf\xE9", "caf\\xE9"}, // Latin-1, unlike "caf\xC3\xA9"
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeBytes(c.bytes), c.text) << c.text;
}

// The bidirectional controls can make one name read as another; people see
// their bytes, JSON keeps them as the data they are. Every other rule holds
// for both.
TEST(TextEscape, BidirectionalControlsAreEscapedForPeopleAndKeptAsData)
{
    const struct {
        std::string bytes;
        std::string people;
        std::string data;
    } cases[] = {
        {"HUB\xE2\x80\xAENIB.BIN", "HUB\\xE2\\x80\\xAENIB.BIN", "HUB\xE2\x80\xAENIB.BIN"}, // U+202E
        {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD",
         "\\xE2\\x80\\xAA\\xE2\\x80\\xAB\\xE2\\x80\\xAC\\xE2\\x80\\xAD",
         "\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD"},
        {"a\xE2\x81\xA6"
         "b\xE2\x81\xA9",
         "a\\xE2\\x81\\xA6b\\xE2\\x81\\xA9",
         "a\xE2\x81\xA6"
         "b\xE2\x81\xA9"}, // U+2066, U+2069
        {"\xE2\x81\xA7\xE2\x81\xA8", "\\xE2\\x81\\xA7\\xE2\\x81\\xA8", "\xE2\x81\xA7\xE2\x81\xA8"},
        {"\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C", "\\xE2\\x80\\x8E\\xE2\\x80\\x8F\\xD8\\x9C",
         "\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C"}, // LRM, RLM, ALM
        // Neighbours that are no controls pass: U+2029, U+202F, U+2065, U+206A.
        {"\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA", "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",
         "\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"},
        {"\x1B[8m\x7F\xC2\x9B\xFF", "\\x1B[8m\\x7F\\xC2\\x9B\\xFF", "\\x1B[8m\\x7F\\xC2\\x9B\\xFF"},
        {"\xE2\x80", "\\xE2\\x80", "\\xE2\\x80"}, // a control's first bytes alone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeBytes(c.bytes), c.people) << c.people;
        EXPECT_EQ(EscapeBytes(c.bytes, EscapeFor::People), c.people) << c.people;
        EXPECT_EQ(EscapeBytes(c.bytes, EscapeFor::Data), c.data) << c.data;
    }
    const std::uint8_t field[] = {0xE2, 0x80, 0xAE, 'x', 0};
    EXPECT_EQ(EscapeField(field, sizeof field), "\\xE2\\x80\\xAEx");
    EXPECT_EQ(EscapeField(field, sizeof field, EscapeFor::Data), "\xE2\x80\xAEx");
}

TEST(TextEscape, FieldsEndAtTheirFirstZeroOrTheirSize)
{
    const std::uint8_t padded[6] = {'H', 'u', 'b', 0, 'x', 'y'};
    EXPECT_EQ(EscapeField(padded, sizeof padded), "Hub");
    const std::uint8_t full[3] = {'a', 0xFF, 'b'};
    EXPECT_EQ(EscapeField(full, sizeof full), "a\\xFFb");
}
