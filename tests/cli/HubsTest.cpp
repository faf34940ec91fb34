// hubs on the bench: the hubs the library reports, each with what the scan
// makes of it.
#include "CliFixture.h"
#include "CliText.h"

#include <algorithm>

using nlohmann::json;

namespace {
struct ExpectedHub {
    const char* name;
    const char* pid;
    const char* version;
    bool inTable;
    json device;
};
} // namespace

TEST_F(CliFixture, HubsListsTheBenchAsTheLibraryReportsIt)
{
    struct Case {
        const char* what;
        bool settings;
        bool driverKey;
        std::vector<ExpectedHub> hubs;
    };
    // The third hub's vendor stands in no table; the bench library reports
    // it all the same, so the scan lists it.
    const Case cases[] = {
        {"demo",
         true,
         true,
         {{"SIM\\\\HUB1", "0460", "V1.18", true, 1},
          {"SIM\\\\HUB2", "0460", "V2.18", true, 2},
          {"SIM\\\\HUB3", "0610", "0654", false, 3}}},
        {"no filter driver",
         true,
         false,
         {{"SIM\\\\HUB1", "0460", "V1.18", true, nullptr},
          {"SIM\\\\HUB2", "0460", "V2.18", true, nullptr},
          {"SIM\\\\HUB3", "0610", "0654", false, nullptr}}},
        {"no settings",
         false,
         true,
         {{"SIM\\\\HUB1", "0460", "V1.18", false, 1},
          {"SIM\\\\HUB2", "0460", "V2.18", false, 2},
          {"SIM\\\\HUB3", "0610", "0654", false, 3}}},
    };
    for (const Case& c : cases) {
        WriteDemo(0, "", 0x1A40);
        if (!c.settings)
            std::filesystem::remove(dir.Path() / "SpiFlash.ini");
        if (!c.driverKey)
            WriteBench(dir,
                       HubSection(1, 0x3C5E, 0x0460, 0x8011, 1, "PortIndex=1\nBcdUSB=0x0320\n") +
                           HubSection(2, 0x3C5E, 0x0460, 0x8021, 2, "PortIndex=3\n") +
                           HubSection(3, 0x1A40, 0x0610, 0x0654, 2, "PortIndex=4\n"),
                       false);
        const ProcessResult result = Cli({"hubs", "--json"});
        EXPECT_EQ(result.exitCode, 0) << c.what << result.err;
        const json document = json::parse(result.out, nullptr, false);
        ASSERT_TRUE(document.is_object()) << result.out;
        EXPECT_EQ(document["source"], "library") << c.what;
        EXPECT_EQ(document["settings"]["read"], c.settings) << c.what;
        EXPECT_EQ(document["settings"]["targetIds"], c.settings ? 2 : 0) << c.what;
        EXPECT_EQ(document["driverCheckPasses"], c.driverKey) << c.what;
        ASSERT_EQ(document["hubs"].size(), c.hubs.size()) << c.what;
        for (std::size_t i = 0; i < c.hubs.size(); ++i) {
            const json& hub = document["hubs"][i];
            EXPECT_EQ(hub["name"], c.hubs[i].name) << c.what;
            EXPECT_EQ(hub["pid"], c.hubs[i].pid) << c.what;
            EXPECT_EQ(hub["firmwareVersionText"], c.hubs[i].version) << c.what;
            EXPECT_EQ(hub["inTargetTable"], c.hubs[i].inTable) << c.what << " " << i;
            EXPECT_EQ(hub["device"], c.hubs[i].device) << c.what << " " << i;
            EXPECT_EQ(hub["bus"], nullptr) << "the library knows no bus";
            EXPECT_EQ(hub["driver"], nullptr) << "nor any interface";
        }
    }
}

TEST_F(CliFixture, HubsTellsAPersonWhatTheBenchHas)
{
    WriteDemo(0, "", 0x1A40);
    const ProcessResult result = Cli(std::vector<std::string>(1, "hubs"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string library = "    hub interface driver: not reported by the ISP library\n";
    EXPECT_EQ(result.out, "Hubs the ISP library reports: 3 hubs, 2 in the target-ID table of SpiFlash.ini "
                          "(2 target IDs)\n"
                          "Driver check: passes\n"
                          "\n"
                          "SIM\\\\HUB1: depth 1, port 1\n"
                          "    3C5E/0460, FW Version = V1.18, USB 3.20, speed unknown\n"
                          "    manufacturer \"Tolvane Demo\", product \"USB3.2 Hub\"\n" +
                              library +
                              "    in the target-ID table: listed by the scan as device (1)\n"
                              "\n"
                              "SIM\\\\HUB2: depth 2, port 3\n"
                              "    3C5E/0460, FW Version = V2.18, USB 0.00, speed unknown\n"
                              "    manufacturer \"\", product \"\"\n" +
                              library +
                              "    in the target-ID table: listed by the scan as device (2)\n"
                              "\n"
                              "SIM\\\\HUB3: depth 2, port 4\n"
                              "    1A40/0610, FW Version = 0654, USB 0.00, speed unknown\n"
                              "    manufacturer \"\", product \"\"\n" +
                              library + "    not in the target-ID table: listed by the scan as device (3)\n");
    EXPECT_EQ(result.err, "");
}

namespace {
// The device numbers of the scan's list, "(N)Depth...", in its order.
json ScannedDevices(const std::string& log)
{
    json devices = json::array();
    std::size_t at = 0;
    while ((at = log.find("\n(", at)) != std::string::npos) {
        ++at;
        const std::size_t close = log.find(")Depth", at);
        if (close != std::string::npos && close < log.find('\n', at))
            devices.push_back(std::stoul(log.substr(at + 1, close - at - 1)));
    }
    return devices;
}

json ListedDevices(const json& document)
{
    json devices = json::array();
    for (const json& hub : document["hubs"])
        if (hub["scan"] == "listed")
            devices.push_back(hub["device"]);
    return devices;
}
} // namespace

// The hub table holds 32 entries. A library that reports more stops the scan
// before it lists any hub, and hubs says so of every entry it shows, quoting
// the scan's line; at 32 both list every hub under the same numbers.
TEST_F(CliFixture, HubsAndTheScanAgreeOnMoreHubsThanTheTableHolds)
{
    const struct {
        unsigned count; // what the library reports
        int sections;   // hubs the bench describes
    } cases[] = {{32, 32}, {33, 32}, {33, 3}, {34, 32}, {64, 32}, {255, 1}};
    dir.Write("SpiFlash.ini", CliIni(0));
    for (const auto& c : cases) {
        const std::string count = std::to_string(c.count);
        SCOPED_TRACE("HubCount " + count + ", " + std::to_string(c.sections) + " hubs");
        std::string bench = "[Library]\nHubCount=" + count + "\n";
        for (int n = 1; n <= c.sections; ++n)
            bench += HubSection(n, 0x05E3, 0x0610, 0x0654, 1 + n % 5, "PortIndex=" + std::to_string(n % 7) + "\n");
        WriteBench(dir, bench);

        const ProcessResult scan = Cli({"scan", "--settle-ms", "0"});
        int status = -1;
        const json hubs = CliJson({"hubs"}, status);
        const ProcessResult text = Cli(std::vector<std::string>(1, "hubs"));
        EXPECT_EQ(status, 0);
        EXPECT_EQ(text.exitCode, 0) << text.err;
        EXPECT_EQ(hubs["libraryHubCount"], c.count);
        ASSERT_EQ(hubs["hubs"].size(), std::min(c.count, 32u));
        EXPECT_EQ(ListedDevices(hubs), ScannedDevices(scan.out)) << scan.out;

        const std::string stop = "!!!Error ISP library reported " + count + " hubs, more than the 32 it can list!";
        const std::string countLine =
            "Hub count: " + count + ", more than the 32 the hub table holds; the scan stops with \"" + stop + "\"\n";
        if (c.count <= 32) {
            EXPECT_EQ(scan.exitCode, 0) << scan.out;
            EXPECT_EQ(ScannedDevices(scan.out).size(), c.count);
            EXPECT_EQ(text.out.find("Hub count: "), std::string::npos);
            continue;
        }
        EXPECT_EQ(scan.exitCode, 1) << scan.out;
        EXPECT_NE(scan.out.find(CliText(stop + "\r\n")), std::string::npos) << scan.out;
        for (const json& hub : hubs["hubs"]) {
            EXPECT_EQ(hub["scan"], "left out");
            EXPECT_EQ(hub["device"], nullptr);
            EXPECT_EQ(hub["why"], "left out, the scan stops at the hub count with \"" + stop + "\"");
        }
        EXPECT_NE(text.out.find("Driver check: passes\n" + countLine + "\n"), std::string::npos) << text.out;
        EXPECT_EQ(text.out.find("listed by the scan"), std::string::npos) << text.out;
    }
}

// The driver check comes before the count, in the scan as in the listing.
TEST_F(CliFixture, HubsPutsTheDriverCheckBeforeTheHubCount)
{
    dir.Write("SpiFlash.ini", CliIni(0));
    WriteBench(dir, "[Library]\nHubCount=33\n" + HubSection(1, 0x05E3, 0x0610, 0x0654, 1), false);
    const ProcessResult scan = Cli({"scan", "--settle-ms", "0"});
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_NE(scan.out.find(CliText("!!!Error Filter Driver not found!!")), std::string::npos) << scan.out;
    int status = -1;
    const json hubs = CliJson({"hubs"}, status);
    ASSERT_EQ(hubs["hubs"].size(), 32u);
    for (const json& hub : hubs["hubs"])
        EXPECT_EQ(hub["why"],
                  "left out, the scan stops at the driver check with \"!!!Error Filter Driver not found!!\"");
}
