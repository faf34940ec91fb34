#include "UsbPath.h"
#include "HubSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using tolvane::syshubs::HubSource;
using tolvane::syshubs::HubSourceFromText;
using tolvane::syshubs::ParseUsbName;
using tolvane::syshubs::PlaceBefore;
using tolvane::syshubs::UsbPlace;

TEST(UsbPath, NamesGiveBusDepthAndPort)
{
    struct Case {
        const char* name;
        unsigned bus;
        unsigned depth;
        unsigned port;
    };
    const Case cases[] = {
        {"usb1", 1, 0, 0},
        {"usb12", 12, 0, 0},
        {"1-2", 1, 1, 2},
        {"3-1.4", 3, 2, 4},
        {"2-10.3.7", 2, 3, 7},
        {"1-1.2.3.4.5.6.7", 1, 7, 7},
        {"65535-255", 65535, 1, 255},
    };
    for (const Case& c : cases) {
        UsbPlace place;
        ASSERT_TRUE(ParseUsbName(c.name, place)) << c.name;
        EXPECT_EQ(place.bus, c.bus) << c.name;
        EXPECT_EQ(place.Depth(), c.depth) << c.name;
        EXPECT_EQ(place.PortIndex(), c.port) << c.name;
    }
}

TEST(UsbPath, InterfacesPortsAndDamagedNamesAreRefused)
{
    const char* names[] = {"",      "usb", "usb1x", "1",       "1-",   "1-2:1.0", "1-2.",
                           "1-2-3", "1-0", "1-256", "65536-1", " 1-2", "1-+2",    "1-99999999999999999999"};
    for (const char* name : names) {
        UsbPlace place;
        place.bus = 77;
        EXPECT_FALSE(ParseUsbName(name, place)) << name;
        EXPECT_EQ(place.bus, 77u) << "a refused name leaves the place alone: " << name;
    }
}

TEST(UsbPath, TreeOrderIsByBusThenPortsNumerically)
{
    const std::vector<std::string> ordered = {"usb1", "1-2",  "1-2.1", "1-2.1.9", "1-2.10",
                                              "1-9",  "1-10", "usb2",  "2-1"};
    std::vector<UsbPlace> places;
    for (const std::string& name : ordered) {
        places.emplace_back();
        ASSERT_TRUE(ParseUsbName(name, places.back())) << name;
    }
    std::vector<UsbPlace> shuffled(places.rbegin(), places.rend());
    std::swap(shuffled[1], shuffled[5]);
    std::sort(shuffled.begin(), shuffled.end(), PlaceBefore);
    for (std::size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(shuffled[i].bus, places[i].bus) << ordered[i];
        EXPECT_EQ(shuffled[i].ports, places[i].ports) << ordered[i];
    }
}

TEST(HubSourceSelection, OnlyTwoWordsSelectAndTheBenchIsTheDefault)
{
    EXPECT_EQ(HubSourceFromText(nullptr), HubSource::Bench);
    EXPECT_EQ(HubSourceFromText(""), HubSource::Bench);
    EXPECT_EQ(HubSourceFromText("bench"), HubSource::Bench);
    EXPECT_EQ(HubSourceFromText("system"), HubSource::System);
    for (const char* wrong : {"System", "SYSTEM", "system ", " bench", "real", "sys", "1"})
        EXPECT_EQ(HubSourceFromText(wrong), HubSource::Invalid) << wrong;
}
