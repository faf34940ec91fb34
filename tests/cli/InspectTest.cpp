#include "Inspect.h"
#include "CliFixture.h"

#include <cerrno>
#include <cstring>

using nlohmann::json;

namespace {
class InspectTest : public CliFixture {};

// The system's words for a missing file: strerror's on POSIX; on Windows
// whatever the system says, as long as it says something.
std::string NoSuchFileText()
{
#ifdef _WIN32
    const json missing = InspectImage("Bin/NONE.BIN");
    EXPECT_NE(missing.value("error", ""), "");
    return missing.value("error", "");
#else
    return std::strerror(ENOENT);
#endif
}

ImageParams Texts(ImageParams params)
{
    params.manufacturer = "Tolvane";
    params.product1 = "USB3.2 Hub";
    params.product2 = "USB\x01Hub";
    return params;
}

ImageParams Sized(ImageParams params, std::uint64_t size)
{
    params.size = size;
    return params;
}

ImageParams Marked(ImageParams params, std::uint16_t marker)
{
    params.markerWord = marker;
    return params;
}
} // namespace

TEST_F(InspectTest, ReportsEveryFieldAsTheEngineReadsIt)
{
    const json null = nullptr;
    const struct {
        const char* name;
        ImageParams params;
        json expected; // the fields that matter for the case
    } cases[] = {
        {"B.BIN",
         Texts(CliImage(0x0D12, 0x00, 0x0655)),
         {{"size", 28801},
          {"targetId", "0D12"},
          {"imageFlags", "00"},
          {"layout", "B"},
          {"versionStep", 0},
          {"fwVersionWord", "0655"},
          {"firmwareVersion", "0655"},
          {"word1F6C", "0655"},
          {"manufacturer", "Tolvane"},
          {"product1", "USB3.2 Hub"},
          {"product2", "USB\\x01Hub"},
          {"legal", true},
          {"illegalReason", null}}},
        {"A.BIN",
         CliImage(0x0D12, 0x88, 0x9021),
         {{"size", 28848}, {"layout", "A"}, {"fwVersionWord", "9021"}, {"word1F6C", "FFFF"}, {"legal", true}}},
        {"ASHORT.BIN",
         Sized(CliImage(0x0D12, 0x08, 0x9021), 28801),
         {{"legal", false},
          {"illegalReason", "target identifier 0D12 in layout A must be 28848 bytes, file has 28801"}}},
        {"STEP.BIN",
         CliImage(0x0D13, 0x30, 0xFFFE),
         {{"versionStep", 3}, {"fwVersionWord", "FFFE"}, {"firmwareVersion", "0001"}, {"legal", true}}},
        {"MARK.BIN", Marked(CliImage(0x0D13, 0x08, 0x0100), 0x9010), {{"word1F6C", "9010"}, {"fwVersionWord", "0100"}}},
        {"HEAD.BIN",
         Sized(CliImage(0x0D13, 0x00, 0x0100), 4),
         {{"size", 4},
          {"targetId", "0D13"},
          {"imageFlags", "00"},
          {"fwVersionWord", null},
          {"firmwareVersion", null},
          {"manufacturer", null},
          {"word1F6C", null},
          {"legal", false},
          {"illegalReason", "ends before its version word at 1F6C (layout B), file has 4 bytes"}}},
        {"TWO.BIN",
         Sized(CliImage(0x0D12, 0x00, 0x0100), 2),
         {{"targetId", "0D12"},
          {"imageFlags", null},
          {"layout", null},
          {"legal", false},
          {"illegalReason", "target identifier 0D12 needs a flags byte, file has 2 bytes"}}},
        {"ONE.BIN",
         Sized(CliImage(0x0D12, 0x00, 0x0100), 1),
         {{"targetId", null},
          {"legal", false},
          {"illegalReason", "no flags byte to tell its layout, file has 1 bytes"}}},
        {"EMPTY.BIN", Sized(CliImage(0x0D13, 0x00, 0x0100), 0), {{"size", 0}, {"legal", false}}},
        {"THREE.BIN", Sized(CliImage(0x0D13, 0x08, 0x0100), 3), {{"layout", "A"}, {"legal", false}}},
        // Cut one byte into the version word of layout B: plan says the hub
        // would fail, so inspect must not call it legal.
        {"BCUT.BIN",
         Sized(CliImage(0x0D13, 0x00, 0x0655), 8044),
         {{"layout", "B"},
          {"fwVersionWord", null},
          {"legal", false},
          {"illegalReason", "ends before its version word at 1F6C (layout B), file has 8044 bytes"}}},
        {"ACUT.BIN",
         Sized(CliImage(0x0D13, 0x88, 0x9021), 8013),
         {{"legal", false}, {"illegalReason", "ends before its version word at 1F4C (layout A), file has 8013 bytes"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteImage(c.name, c.params);
        const json image = InspectImage("Bin/" + std::string(c.name));
        EXPECT_EQ(image["opened"], true);
        for (const auto& field : c.expected.items())
            EXPECT_EQ(image[field.key()], field.value()) << field.key();
    }
    const json none = InspectImage("Bin/NONE.BIN");
    EXPECT_EQ(none["opened"], false);
    EXPECT_EQ(none["error"], NoSuchFileText());
}

TEST_F(InspectTest, CommandPrintsTextOrJsonAndFailsOnIllegalImages)
{
    WriteImage("B.BIN", Texts(CliImage(0x0D12, 0x00, 0x0655)));
    ProcessResult result = Cli({"inspect", "Bin/B.BIN"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Bin/B.BIN\n"
                          "  size              28801 bytes\n"
                          "  sha256            " +
                              ReferenceSha256("Bin/B.BIN") +
                              "\n"
                              "  target identifier 0D12\n"
                              "  imageFlags        00\n"
                              "  layout            B\n"
                              "  versionStep       0\n"
                              "  fwVersionWord     0655\n"
                              "  firmware version  0655\n"
                              "  word at 0x1F6C    0655\n"
                              "  manufacturer      'Tolvane'\n"
                              "  product           'USB3.2 Hub'\n"
                              "  second product    'USB\\x01Hub'\n"
                              "  legal             yes\n");

    WriteImage("BAD.BIN", Sized(CliImage(0x0D12, 0x00, 0x0655), 28848));
    int status = -1;
    const json doc = CliJson({"inspect", "Bin/B.BIN", "Bin/BAD.BIN", "Bin/NONE.BIN"}, status);
    EXPECT_EQ(status, 1);
    ASSERT_EQ(doc["images"].size(), 3u);
    EXPECT_EQ(doc["images"][0]["legal"], true);
    EXPECT_EQ(doc["images"][1]["illegalReason"],
              "target identifier 0D12 in layout B must be 28801 bytes, file has 28848");
    EXPECT_EQ(doc["images"][2]["opened"], false);
    result = Cli({"inspect", "Bin/NONE.BIN"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Bin/NONE.BIN\n  cannot be opened: " + NoSuchFileText() + "\n");
}
