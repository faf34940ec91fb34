#include "HubTable.h"
#include "HubText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace tolvane::syshubs;

namespace {
std::string FieldBytes(const std::uint8_t* field, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(field), size);
}

std::string Cut(const std::string& text, std::size_t size)
{
    std::vector<std::uint8_t> field(size, 0xEE);
    CutText(text, field.data(), size);
    return FieldBytes(field.data(), size);
}

UsbHub Hub(const std::string& name, std::uint16_t vid, std::uint16_t pid)
{
    UsbHub hub;
    hub.name = name;
    EXPECT_TRUE(ParseUsbName(name, hub.place)) << name;
    hub.descriptor.bLength = 18;
    hub.descriptor.bDescriptorType = 1;
    hub.descriptor.idVendor = vid;
    hub.descriptor.idProduct = pid;
    hub.descriptor.bcdDevice = 0x9021;
    hub.manufacturer = "Maker";
    hub.product = "Hub " + name;
    return hub;
}

IniInfo Table(const std::vector<std::uint32_t>& ids, std::uint8_t count)
{
    IniInfo table{};
    for (std::size_t i = 0; i < ids.size(); ++i)
        table.entries[i] = TargetIdEntry{ids[i], 0x0D12, static_cast<std::uint8_t>(i % 2 ? 2 : 3)};
    table.entryCount = count;
    return table;
}
} // namespace

TEST(HubText, TextsAreCutToLeaveATerminatingZero)
{
    const std::string z(46, '\0');
    struct Case {
        std::string text;
        std::string field;
    };
    const std::string a45(45, 'a');
    const Case cases[] = {
        {"", z},
        {"Hub", "Hub" + std::string(43, '\0')},
        {a45, a45 + '\0'},
        {a45 + "b", a45 + '\0'},
        {a45 + "bcdefghijklmnop", a45 + '\0'},
        {std::string("ab\0cd", 5), "ab" + std::string(44, '\0')},
        // A two-byte character across the cut is left out whole.
        {std::string(44, 'a') + "\xC3\xA4", std::string(44, 'a') + std::string(2, '\0')},
        {std::string(43, 'a') + "\xC3\xA4x", std::string(43, 'a') + "\xC3\xA4" + '\0'},
        // A three-byte character with one or two bytes beyond the cut.
        {std::string(43, 'a') + "\xE2\x80\x93", std::string(43, 'a') + std::string(3, '\0')},
        {std::string(44, 'a') + "\xE2\x80\x93", std::string(44, 'a') + std::string(2, '\0')},
        // Stray continuation bytes alone are cut back too, never past the start.
        {std::string(60, '\x80'), z},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cut(c.text, 46), c.field) << c.text;
    EXPECT_EQ(Cut("x", 1), std::string(1, '\0'));
}

TEST(HubTable, OnlyHubsInTheTableAreWrittenInTreeOrder)
{
    const std::vector<UsbHub> hubs = {Hub("usb1", 0x1D6B, 0x0002), Hub("1-2", 0x05E3, 0x0612),
                                      Hub("usb2", 0x1D6B, 0x0003), Hub("2-2", 0x05E3, 0x0610),
                                      Hub("2-3", 0x2109, 0x0817),  Hub("2-2.4", 0x3C5E, 0x0460)};
    // U3 and U2 ids from both sections; the entry beyond the count does not count.
    const IniInfo table = Table({0x05E30610, 0x05E30612, 0x3C5E0460, 0x21090817}, 3);
    static EnumInfo info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(FillEnumInfo(hubs, table, info), 3u);
    ASSERT_EQ(info.hubCount, 3);
    const char* names[] = {"1-2", "2-2", "2-2.4"};
    const unsigned depths[] = {1, 1, 2};
    const unsigned ports[] = {2, 2, 4};
    for (int i = 0; i < 3; ++i) {
        const HubInfo& entry = info.hubs[i];
        EXPECT_EQ(FieldBytes(entry.libraryData0, sizeof entry.libraryData0), Cut(names[i], 255));
        EXPECT_EQ(entry.depth, depths[i]) << names[i];
        EXPECT_EQ(entry.portIndex, ports[i]) << names[i];
        EXPECT_EQ(entry.chipVersion, 0) << names[i];
        EXPECT_EQ(entry.hubFlags, 0) << names[i];
        EXPECT_EQ(entry.descriptor.bcdDevice, 0x9021) << names[i];
        EXPECT_EQ(FieldBytes(entry.manufacturer, 46), Cut("Maker", 46));
        EXPECT_EQ(FieldBytes(entry.product, 46), Cut(std::string("Hub ") + names[i], 46));
        EXPECT_EQ(FieldBytes(entry.libraryData1, sizeof entry.libraryData1), std::string(256, '\0'));
        EXPECT_EQ(FieldBytes(entry.libraryData2, sizeof entry.libraryData2), std::string(51, '\0'));
    }
    EXPECT_EQ(info.hubs[3].depth, 0xAB) << "entries beyond the count are left as they were";
}
