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
