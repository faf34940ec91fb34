// The two pieces of the signature check written by hand: the PEM label that
// names what a key file holds, and the r and s of a signature turned from
// crypt32's order into CNG's.
#include "PemParts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tolvane::platform;

TEST(PemParts, TheFirstBlockStartingALineNamesTheFile)
{
    const struct {
        const char* name;
        std::string text;
        const char* label; // null: not PEM
    } cases[] = {
        {"public key", "-----BEGIN PUBLIC KEY-----\nMFkw\n-----END PUBLIC KEY-----\n", "PUBLIC KEY"},
        {"after a comment", "release key 2026\n-----BEGIN PUBLIC KEY-----\n", "PUBLIC KEY"},
        {"the first of two", "-----BEGIN CERTIFICATE-----\n-----BEGIN PUBLIC KEY-----\n", "CERTIFICATE"},
        {"inside a line", "see -----BEGIN PUBLIC KEY-----\n", nullptr},
        {"indented", "\n \t-----BEGIN PUBLIC KEY-----\n", "PUBLIC KEY"},
        {"inside a line, then a block", "see -----BEGIN X-----\n-----BEGIN PUBLIC KEY-----\n", "PUBLIC KEY"},
        {"no closing dashes", "-----BEGIN PUBLIC KEY\nMFkw\n", nullptr},
        {"dashes on the next line", "-----BEGIN PUBLIC\nKEY-----\n", nullptr},
        {"a label too long", "-----BEGIN " + std::string(65, 'A') + "-----\n", nullptr},
        {"the longest label", "-----BEGIN " + std::string(64, 'A') + "-----\n",
         "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"},
        {"binary", std::string("\x30\x59\x30\x13\x00", 5), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string label = "unchanged";
        ASSERT_EQ(FirstPemLabel(c.text, label), c.label != nullptr);
        if (c.label) {
            EXPECT_EQ(label, c.label);
        }
    }
}

TEST(PemParts, LittleEndianIntegersBecomeCngsFixedWidth)
{
    const struct {
        const char* name;
        std::vector<std::uint8_t> littleEndian;
        bool fits;
        std::vector<std::uint8_t> bigEndian; // width 4
    } cases[] = {
        {"full width", {0x04, 0x03, 0x02, 0x01}, true, {0x01, 0x02, 0x03, 0x04}},
        {"short: zeros before", {0x02, 0x01}, true, {0x00, 0x00, 0x01, 0x02}},
        {"a sign byte", {0x04, 0x03, 0x02, 0x81, 0x00}, true, {0x81, 0x02, 0x03, 0x04}},
        {"one byte too many", {0x05, 0x04, 0x03, 0x02, 0x01}, false, {}},
        {"zero", {0x00, 0x00}, false, {}},
        {"nothing", {}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> out(4, 0xEE);
        ASSERT_EQ(BigEndianInto(c.littleEndian.data(), c.littleEndian.size(), out.data(), out.size()), c.fits);
        if (c.fits) {
            EXPECT_EQ(out, c.bigEndian);
        }
    }
}
