#include "Explain.h"
#include "RunProcess.h"

#include <gtest/gtest.h>

namespace {
HubRecord HubAt(std::uint8_t chip, std::uint8_t hubFlags)
{
    HubRecord record;
    record.hub.depth = 2;
    record.hub.portIndex = 3;
    record.hub.chipVersion = chip;
    record.hub.hubFlags = hubFlags;
    return record;
}

JudgedImage Rejected(ImageTest test, std::uint8_t flags = 0x00)
{
    JudgedImage judged;
    judged.verdict.test = test;
    judged.verdict.flags = flags;
    judged.verdict.hasFlags = true;
    judged.verdict.size = 28801;
    return judged;
}
} // namespace

TEST(Explain, CompatibilityAndNameReasonsNameTheComparedValues)
{
    JudgedImage marker = Rejected(ImageTest::Compatibility, 0x04);
    marker.verdict.markerRead = true;
    marker.verdict.marker = 0x1234;
    JudgedImage named = Rejected(ImageTest::Name);
    named.verdict.wanted = "HUB2.BIN";
    const struct {
        const char* name;
        HubRecord record;
        JudgedImage judged;
        const char* reason;
    } cases[] = {
        {"unknown chip", HubAt(0x20, 0x00), Rejected(ImageTest::Compatibility), "chip version 20 fits no image"},
        {"layout A for chip 10", HubAt(0x10, 0x00), Rejected(ImageTest::Compatibility, 0x80),
         "chip version 10 needs layout B, image is layout A"},
        {"flags", HubAt(0xB2, 0x10), Rejected(ImageTest::Compatibility, 0x08),
         "image flags 08 do not suit chip version B2 with hub flags 10"},
        {"marker", HubAt(0xB3, 0x20), marker,
         "image flags 04 do not suit chip version B3 with hub flags 20 (word at 1F6C is 1234, file has 28801 bytes)"},
        {"no module", HubAt(0xB2, 0x00), Rejected(ImageTest::Name),
         "no [HUBModule] entry names an image for depth 2 port 3"},
        {"other name", HubAt(0xB2, 0x00), named, "name differs: depth 2 port 3 wants 'HUB2.BIN'"},
        {"no flags", HubAt(0xB2, 0x00), Rejected(ImageTest::FlagsAbsent), "no flags byte (file has 28801 bytes)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExplainImage(c.judged, c.record), c.reason) << c.name;
}

TEST(Explain, ChipVersionZeroOnSystemHubsIsUnknown)
{
    const HubRecord record = HubAt(0x00, 0x00);
    const JudgedImage judged = Rejected(ImageTest::Compatibility);
    EXPECT_EQ(ExplainImage(judged, record), "chip version 00 fits no image");
    SetEnv("TOLVANE_HUBS", "system");
    EXPECT_EQ(ExplainImage(judged, record), "chip version unknown on this system");
    SetEnv("TOLVANE_HUBS", "bench");
    EXPECT_EQ(ExplainImage(judged, record), "chip version 00 fits no image");
    SetEnv("TOLVANE_HUBS", "");
}
