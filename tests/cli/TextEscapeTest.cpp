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
        // Neighbours that show themselves pass: U+2027, U+202F, U+2070, U+FEFC.
        {"\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xB0\xEF\xBB\xBC", "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xB0\xEF\xBB\xBC",
         "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xB0\xEF\xBB\xBC"},
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

// Characters that show nothing, or break the line, can make one name look
// like another ("HUB460.BIN" and "HUB4<U+200B>60.BIN") or split a name over
// two lines; people see their bytes, JSON keeps them.
TEST(TextEscape, InvisibleAndLineBreakingCharactersAreEscapedForPeople)
{
    const struct {
        const char* what;
        std::string bytes;
        std::string people;
    } cases[] = {
        {"zero-width space U+200B",
         "HUB4\xE2\x80\x8B"
         "60.BIN",
         "HUB4\\xE2\\x80\\x8B60.BIN"},
        {"byte-order mark U+FEFF", "\xEF\xBB\xBFHUB.BIN", "\\xEF\\xBB\\xBFHUB.BIN"},
        {"line separator U+2028",
         "A\xE2\x80\xA8"
         "B",
         "A\\xE2\\x80\\xA8B"},
        {"paragraph separator U+2029",
         "A\xE2\x80\xA9"
         "B",
         "A\\xE2\\x80\\xA9B"},
        {"zero-width non-joiner and joiner U+200C, U+200D", "\xE2\x80\x8C\xE2\x80\x8D",
         "\\xE2\\x80\\x8C\\xE2\\x80\\x8D"},
        {"word joiner U+2060, invisible plus U+2064", "\xE2\x81\xA0\xE2\x81\xA4", "\\xE2\\x81\\xA0\\xE2\\x81\\xA4"},
        {"U+2065 and U+206A to U+206F", "\xE2\x81\xA5\xE2\x81\xAA\xE2\x81\xAF",
         "\\xE2\\x81\\xA5\\xE2\\x81\\xAA\\xE2\\x81\\xAF"},
        {"soft hyphen U+00AD",
         "A\xC2\xAD"
         "B",
         "A\\xC2\\xADB"},
        {"Mongolian vowel separator U+180E", "\xE1\xA0\x8E", "\\xE1\\xA0\\x8E"},
        {"interlinear annotation U+FFF9 to U+FFFB",
         "\xEF\xBF\xB9"
         "a\xEF\xBF\xBA"
         "b\xEF\xBF\xBB",
         "\\xEF\\xBF\\xB9a\\xEF\\xBF\\xBAb\\xEF\\xBF\\xBB"},
        {"tag characters U+E0001, U+E007F", "\xF3\xA0\x80\x81\xF3\xA0\x81\xBF",
         "\\xF3\\xA0\\x80\\x81\\xF3\\xA0\\x81\\xBF"},
        // Their neighbours show: U+200A (hair space), U+2030 (per mille),
        // U+FEFE and U+E0080 (unassigned, shown by the font's own box).
        {"neighbours", "\xE2\x80\x8A\xE2\x80\xB0\xEF\xBB\xBE\xF3\xA0\x82\x80",
         "\xE2\x80\x8A\xE2\x80\xB0\xEF\xBB\xBE\xF3\xA0\x82\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EscapeBytes(c.bytes), c.people);
        EXPECT_EQ(EscapeBytes(c.bytes, EscapeFor::Data), c.bytes);
    }
}

TEST(TextEscape, FieldsEndAtTheirFirstZeroOrTheirSize)
{
    const std::uint8_t padded[6] = {'H', 'u', 'b', 0, 'x', 'y'};
    EXPECT_EQ(EscapeField(padded, sizeof padded), "Hub");
    const std::uint8_t full[3] = {'a', 0xFF, 'b'};
    EXPECT_EQ(EscapeField(full, sizeof full), "a\\xFFb");
}

// A path's backslashes separate its parts: they show as they are, and every
// other byte as in any text for people.
TEST(TextEscape, APathKeepsItsBackslashes)
{
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"C:\\no\\such\\h.jsonl", "C:\\no\\such\\h.jsonl"},
        {"dir\\a\x01"
         "b",
         "dir\\a\\x01b"},
        {"\xE2\x80\xAE"
         "evil",
         "\\xE2\\x80\\xAE"
         "evil"}, // right-to-left override
        {"caf\xE9", "caf\\xE9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeBytes(c.bytes, EscapeFor::Path), c.text) << c.text;
    EXPECT_EQ(EscapeBytes("C:\\no", EscapeFor::People), "C:\\\\no");
}
