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

TEST(TextEscape, FieldsEndAtTheirFirstZeroOrTheirSize)
{
    const std::uint8_t padded[6] = {'H', 'u', 'b', 0, 'x', 'y'};
    EXPECT_EQ(EscapeField(padded, sizeof padded), "Hub");
    const std::uint8_t full[3] = {'a', 0xFF, 'b'};
    EXPECT_EQ(EscapeField(full, sizeof full), "a\\xFFb");
}
