// The approved list reads what sha256sum writes and nothing else: every
// line that is not such a line, and a name with two hashes, stops it with
// the line's number.
#include "ApprovedList.h"

#include <gtest/gtest.h>

#include <string>

namespace {
const std::string kHashA = "2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a";
const std::string kHashB = "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff";
} // namespace

TEST(ApprovedList, ReadsWhatSha256sumWrites)
{
    const struct {
        const char* name;
        std::string text;
        const char* lookedUp;
        const char* sha256; // null: not listed
    } cases[] = {
        {"text mode", kHashA + "  Bin/HUB.BIN\n", "./Bin/HUB.BIN", kHashA.c_str()},
        {"binary mode", kHashA + " *HUB.BIN\n", "HUB.BIN", kHashA.c_str()},
        {"CRLF", kHashA + "  A.BIN\r\n" + kHashB + "  B.BIN\r\n", "B.BIN", kHashB.c_str()},
        {"no last line end", kHashA + "  A.BIN", "A.BIN", kHashA.c_str()},
        {"upper-case hex", "2A5E0C4B1F8D3E6A7B9C0D1E2F3A4B5C6D7E8F9A0B1C2D3E4F5A6B7C8D9E0F1A  A.BIN\n", "A.BIN",
         kHashA.c_str()},
        {"name with spaces", kHashA + "  my image.BIN\n", "my image.BIN", kHashA.c_str()},
        {"escaped name", "\\" + kHashA + "  new\\nline\\\\x.BIN\n", "new\nline\\x.BIN", kHashA.c_str()},
        {"same hash twice", kHashA + "  a/X.BIN\n" + kHashA + "  b/X.BIN\n", "X.BIN", kHashA.c_str()},
        {"empty lines", "\n" + kHashA + "  A.BIN\n\n", "A.BIN", kHashA.c_str()},
        {"other name", kHashA + "  A.BIN\n", "B.BIN", nullptr},
        {"empty list", "", "A.BIN", nullptr},
#ifdef _WIN32
        {"letter case", kHashA + "  Bin\\hub.bin\n", ".\\Bin\\HUB.BIN", kHashA.c_str()},
#else
        {"letter case", kHashA + "  hub.bin\n", "./Bin/HUB.BIN", nullptr},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ApprovedList list;
        std::string error;
        ASSERT_TRUE(list.Parse(c.text, error)) << error;
        const std::string* found = list.HashOf(c.lookedUp);
        if (!c.sha256) {
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, c.sha256);
    }
}

TEST(ApprovedList, ABadLineStopsTheListWithItsNumber)
{
    const std::string good = kHashA + "  A.BIN\n";
    const struct {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"short hash", good + "2a5e  B.BIN\n", "line 2: "},
        {"long hash", good + kHashA + "0  B.BIN\n", "line 2: "},
        {"no name", good + good + kHashA + "  \n", "line 3: "},
        {"one space", kHashA + " A.BIN\n", "line 1: "},
        {"tab", kHashA + "\tA.BIN\n", "line 1: "},
        {"not hex", std::string(64, 'g') + "  A.BIN\n", "line 1: "},
        {"a comment", "# approved\n" + good, "line 1: "},
        {"BSD format", "SHA256 (A.BIN) = " + kHashA + "\n", "line 1: "},
        {"bad escape", "\\" + kHashA + "  a\\tb.BIN\n", "line 1: "},
        {"folder only", kHashA + "  Bin/\n", "line 1: "},
        {"two hashes", good + kHashB + "  Other/A.BIN\n", "line 2: A.BIN has another hash on line 1"},
        {"a line end left over", good + kHashA + "  B.BIN\r\r\n", "line 2: the name holds a control character"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ApprovedList list;
        std::string error;
        EXPECT_FALSE(list.Parse(c.text, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

// Editors on Windows start a UTF-8 list with a byte-order mark, which is
// skipped; Windows PowerShell 5.1 writes UTF-16, which is refused by name
// with what to do, never as a malformed line.
TEST(ApprovedList, AByteOrderMarkIsSkippedAndUtf16IsNamed)
{
    const std::string line = kHashA + "  A.BIN\r\n";
    const auto utf16 = [](const std::string& text, bool little) {
        std::string wide;
        for (char c : text) {
            wide += little ? std::string{c, '\0'} : std::string{'\0', c};
        }
        return wide;
    };
    const struct {
        const char* name;
        std::string bytes;
        const char* error; // null: read, with A.BIN listed
    } cases[] = {
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + line, nullptr},
        {"UTF-8 with its mark, a bad second line", "\xEF\xBB\xBF" + line + "x\n", "line 2: "},
        {"a mark alone", "\xEF\xBB\xBF", nullptr},
        {"UTF-16 little-endian", "\xFF\xFE" + utf16(line, true),
         "the list is in UTF-16 (little-endian); save it as UTF-8"},
        {"UTF-16 big-endian", "\xFE\xFF" + utf16(line, false), "the list is in UTF-16 (big-endian); save it as UTF-8"},
        {"UTF-16 little-endian without its mark", utf16(line, true),
         "the list is in UTF-16 (little-endian); save it as UTF-8"},
        {"UTF-16 big-endian without its mark", utf16(line, false),
         "the list is in UTF-16 (big-endian); save it as UTF-8"},
        {"a mark twice", "\xEF\xBB\xBF\xEF\xBB\xBF" + line, "line 1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ApprovedList list;
        std::string error;
        const bool parsed = list.Parse(c.bytes, error);
        if (c.error) {
            EXPECT_FALSE(parsed);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            EXPECT_EQ(list.Size(), 0u);
            continue;
        }
        ASSERT_TRUE(parsed) << error;
        if (c.bytes.size() > 3) {
            ASSERT_NE(list.HashOf("A.BIN"), nullptr);
            EXPECT_EQ(*list.HashOf("A.BIN"), kHashA);
        }
    }
}

// A terminal obeys a control character in a name: a carriage return sends
// the cursor back, so the line shows a second hash and name over the first
// while the first hash is what the list approves. Such a name is refused
// with its line, its bytes shown escaped; sha256sum's escaped form names a
// line end without one.
TEST(ApprovedList, ANameWithAControlCharacterIsRefused)
{
    const std::string good = kHashA + "  A.BIN\n";
    const struct {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"a carriage return hiding the hash", good + kHashB + "  Bin/HUB460.BIN\r" + kHashA + "  Bin/HUB460.BIN\n",
         "line 2: the name holds a control character: Bin/HUB460.BIN\\x0D2a5e"},
        {"the same in the escaped form", "\\" + kHashB + "  Bin/HUB460.BIN\r" + kHashA + "  Bin/HUB460.BIN\n",
         "line 1: the name holds a control character: "},
        {"a NUL byte", kHashA + "  A" + std::string(1, '\0') + ".BIN\n",
         "line 1: the name holds a control character: A\\x00.BIN"},
        {"a tab", kHashA + "  A\t.BIN\n", "line 1: the name holds a control character: A\\x09.BIN"},
        {"an escape sequence", kHashA + "  \x1B[8mA.BIN\n",
         "line 1: the name holds a control character: \\x1B[8mA.BIN"},
        {"DEL", kHashA + "  A\x7F.BIN\n", "line 1: the name holds a control character: A\\x7F.BIN"},
        {"a C1 control in UTF-8",
         kHashA + "  A\xC2\x9B"
                  "31m.BIN\n",
         "line 1: the name holds a control character: A\\xC2\\x9B31m.BIN"},
        {"NEL, the first C1 control", kHashA + "  A\xC2\x80.BIN\n", "line 1: the name holds a control character: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ApprovedList list;
        std::string error;
        EXPECT_FALSE(list.Parse(c.text, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_EQ(list.Size(), 0u);
        EXPECT_EQ(list.HashOf("Bin/HUB460.BIN"), nullptr);
    }
}

// What passes: the escaped line ends, which decode to a name of their own
// and approve nothing else; letters beyond ASCII, in UTF-8 or a legacy code
// page, whose bytes 0x80 to 0x9F are no controls there.
TEST(ApprovedList, EscapedLineEndsAndLettersBeyondAsciiNameFiles)
{
    const struct {
        const char* name;
        std::string text;
        std::string lookedUp;
        std::string notApproved;
    } cases[] = {
        {"an escaped carriage return", "\\" + kHashA + "  Bin/HUB460.BIN\\r" + "GOOD.BIN\n", "HUB460.BIN\rGOOD.BIN",
         "Bin/HUB460.BIN"},
        {"an escaped line feed", "\\" + kHashA + "  Bin/A\\nB.BIN\n", "A\nB.BIN", "A.BIN"},
        {"CRLF after an escaped name", "\\" + kHashA + "  A\\rB.BIN\r\n", "A\rB.BIN", "A\rB.BIN\r"},
        {"UTF-8 letters", kHashA + "  Caf\xC3\xA9\xC2\xA0.BIN\n", "Caf\xC3\xA9\xC2\xA0.BIN", "Caf.BIN"},
        {"a code page's letters", kHashA + "  A\x85\x9B.BIN\n", "A\x85\x9B.BIN", "A.BIN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ApprovedList list;
        std::string error;
        ASSERT_TRUE(list.Parse(c.text, error)) << error;
        const std::string* found = list.HashOf(c.lookedUp);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, kHashA);
        EXPECT_EQ(list.HashOf(c.notApproved), nullptr);
        EXPECT_EQ(list.Size(), 1u);
    }
}

// UTF-32 and a file that starts with a NUL byte are named as what they are,
// not as a malformed first line; UTF-16 keeps its own name.
TEST(ApprovedList, Utf32AndALeadingNulAreNamed)
{
    const std::string line = kHashA + "  A.BIN\r\n";
    const auto widen = [](const std::string& text, std::size_t width, bool little) {
        std::string wide;
        for (char c : text) {
            std::string unit(width, '\0');
            unit[little ? 0 : width - 1] = c;
            wide += unit;
        }
        return wide;
    };
    const std::string utf32le = "UTF-32 (little-endian); save it as UTF-8";
    const std::string utf32be = "UTF-32 (big-endian); save it as UTF-8";
    const std::string nul = "the list starts with a NUL byte";
    const struct {
        const char* name;
        std::string bytes;
        std::string error;
    } cases[] = {
        {"UTF-32 little-endian", std::string("\xFF\xFE\0\0", 4) + widen(line, 4, true), "the list is in " + utf32le},
        {"UTF-32 big-endian", std::string("\0\0\xFE\xFF", 4) + widen(line, 4, false), "the list is in " + utf32be},
        {"UTF-32 little-endian without its mark", widen(line, 4, true), "the list is in " + utf32le},
        {"UTF-32 big-endian without its mark", widen(line, 4, false), "the list is in " + utf32be},
        {"UTF-32 starting with an empty line", widen("\n" + line, 4, false), "the list is in " + utf32be},
        {"UTF-16 starting with an empty line", widen("\r\n" + line, 2, true),
         "the list is in UTF-16 (little-endian); save it as UTF-8"},
        {"a NUL byte alone", std::string(1, '\0'), nul},
        {"NUL bytes", std::string(8, '\0') + line, nul},
        {"a NUL byte, then binary", std::string("\0\x01\x02\x03", 4), nul},
        {"a NUL byte after a UTF-8 mark", "\xEF\xBB\xBF" + std::string(1, '\0') + line, nul},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ApprovedList list;
        std::string error;
        EXPECT_FALSE(list.Parse(c.bytes, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_EQ(list.Size(), 0u);
    }
}
