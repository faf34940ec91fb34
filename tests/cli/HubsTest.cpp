// hubs on the bench: the hubs the library reports, each with what the scan
// makes of it.
#include "CliFixture.h"

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
