#include "SettingsText.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> Pieces(const ScratchDir& dir, const std::string& bytes)
{
    dir.Write("t.ini", bytes);
    SettingsText text;
    EXPECT_TRUE(text.Open("t.ini"));
    std::vector<std::string> pieces;
    while (const char* piece = text.NextPiece())
        pieces.emplace_back(piece);
    return pieces;
}
} // namespace

TEST(SettingsText, CutsLinesIntoPiecesOf199Characters)
{
    ScratchDir dir;
    const std::string longLine = std::string(199, 'a') + "bbb";
    EXPECT_EQ(Pieces(dir, longLine + "\nnext\n"), (std::vector<std::string>{std::string(199, 'a'), "bbb", "next"}));
    // 198 characters and the line feed fill one piece exactly.
    EXPECT_EQ(Pieces(dir, std::string(198, 'c') + "\nx"), (std::vector<std::string>{std::string(198, 'c'), "x"}));
}

TEST(SettingsText, DropsCarriageReturnOnlyBeforeLineFeed)
{
    ScratchDir dir;
    EXPECT_EQ(Pieces(dir, "a\r\nb\rc\r\r\nd\r"), (std::vector<std::string>{"a", "b\rc\r", "d\r"}));
    // A CRLF counts as one character of the 199.
    EXPECT_EQ(Pieces(dir, std::string(198, 'e') + "\r\nf"), (std::vector<std::string>{std::string(198, 'e'), "f"}));
}

TEST(SettingsText, ZeroByteHidesTheRestOfTheLineOnly)
{
    ScratchDir dir;
    EXPECT_EQ(Pieces(dir, std::string("ab\0cd\nef", 8)), (std::vector<std::string>{"ab", "ef"}));
}

TEST(SettingsText, SectionStartsAnywhereInALineAndEndsAtAnyBracket)
{
    ScratchDir dir;
    dir.Write("t.ini", "a=0\nnote [Misc] here\nb=1\nc=2 [\nd=3\n");
    SettingsText text;
    ASSERT_TRUE(text.Open("t.ini"));
    ASSERT_TRUE(text.FindSection("[Misc]"));
    EXPECT_STREQ(text.NextSectionLine(), "b=1");
    EXPECT_EQ(text.NextSectionLine(), nullptr);
    EXPECT_FALSE(text.FindSection("[Misc]"));
}

TEST(SettingsText, MissingFileDoesNotOpen)
{
    ScratchDir dir;
    SettingsText text;
    EXPECT_FALSE(text.Open("absent.ini"));
    EXPECT_EQ(text.NextPiece(), nullptr);
}

TEST(ValueScan, DecimalLikeScanf)
{
    std::int32_t value = 7;
    EXPECT_TRUE(ScanDecimal("  -12x", value));
    EXPECT_EQ(value, -12);
    EXPECT_TRUE(ScanDecimal("+300", value));
    EXPECT_EQ(value, 300);
    EXPECT_TRUE(ScanDecimal("4294967297", value)); // wraps modulo 2^32
    EXPECT_EQ(value, 1);
    value = 7;
    EXPECT_FALSE(ScanDecimal("", value));
    EXPECT_FALSE(ScanDecimal(" x1", value));
    EXPECT_FALSE(ScanDecimal("-", value));
    EXPECT_EQ(value, 7);
}

TEST(ValueScan, HexWithOrWithoutPrefix)
{
    std::uint32_t value = 0;
    const char* end = nullptr;
    EXPECT_TRUE(ScanHex("0x3c5e0460=0D12", value, &end));
    EXPECT_EQ(value, 0x3C5E0460u);
    EXPECT_STREQ(end, "=0D12");
    EXPECT_TRUE(ScanHex(" 0X1f", value));
    EXPECT_EQ(value, 0x1Fu);
    EXPECT_TRUE(ScanHex("0xg", value, &end)); // the zero alone is the number
    EXPECT_EQ(value, 0u);
    EXPECT_STREQ(end, "xg");
    EXPECT_TRUE(ScanHex("-1", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    value = 5;
    EXPECT_FALSE(ScanHex("zz", value));
    EXPECT_EQ(value, 5u);
}

TEST(ValueScan, WordStopsAtBlankAndFitsItsField)
{
    char field[8] = "old";
    EXPECT_TRUE(ScanWord("  A B.BIN", field, sizeof field));
    EXPECT_STREQ(field, "A");
    EXPECT_TRUE(ScanWord("LONGNAME.BIN", field, sizeof field));
    EXPECT_STREQ(field, "LONGNAM");
    EXPECT_FALSE(ScanWord("   ", field, sizeof field));
    EXPECT_STREQ(field, "LONGNAM");
    EXPECT_EQ(ValueOf("a=b=c"), std::string("b=c"));
    EXPECT_EQ(ValueOf("abc"), nullptr);
}
