// The system mode against emulated USB trees: tolvane-cli and the hub dump
// run under umockdev-run, which shows them the devices of a file in
// tests/data/umockdev instead of this machine's /sys.
#include "ImageWriter.h"
#include "ProgramFolder.h"
#include "RunProcess.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const char kIni[] = "[TargetID_U3]\r\n3C5E0460=0D12\r\n3C5E0461=0D12\r\n05E30610=0D13\r\n"
                    "[TargetID_U2]\r\n05E30612=0D14\r\n[Misc]\r\nManufacturer&ProductStringCompare=0\r\n"
                    "[HUBModule]\r\nHUBNumber=1\r\n[HUBFWCheck]\r\nCheckHUBFW=0\r\nFWVersion=219\r\n";
const char kNotes[] = "[HUBFWCheck] Found  \n\t\tFWCompare:0  \n\t\tFWVersion:537  \n\t\t";
const char kRefusedNote[] = "tolvane-cli: the hubs were read, not programmed: writing firmware needs the hub "
                            "maker's ISP library on Windows\n";

class Umockdev : public testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("SpiFlash.ini", kIni);
        SetEnv("TOLVANE_HUBS", "system");
        // umockdev's preload library comes before the sanitizer's runtime
        // in a sanitized build; the order does not matter to what it checks.
        const char* asan = std::getenv("ASAN_OPTIONS");
        m_asan = asan ? asan : "";
        SetEnv("ASAN_OPTIONS", m_asan + (m_asan.empty() ? "" : ":") + "verify_asan_link_order=0");
    }
    void TearDown() override
    {
        SetEnv("TOLVANE_HUBS", "");
        SetEnv("ASAN_OPTIONS", m_asan);
    }

    // devices: a file of tests/data/umockdev, or empty for a machine
    // without any USB device.
    static ProcessResult Run(const std::string& devices, const std::string& program, std::vector<std::string> args)
    {
        std::vector<std::string> words;
        if (!devices.empty())
            words = {"--device", std::string(TOLVANE_UMOCKDEV_DATA) + "/" + devices + ".umockdev"};
        words.push_back("--");
        words.push_back((ProgramFolder() / program).string());
        words.insert(words.end(), args.begin(), args.end());
        return RunExecutable(TOLVANE_UMOCKDEV_RUN, words);
    }
    static ProcessResult Cli(const std::string& devices, const std::string& command)
    {
        return Run(devices, "tolvane-cli", {command, "--settle-ms", "0"});
    }

    ScratchDir dir;

private:
    std::string m_asan;
};

void WriteSpecialImage(const ScratchDir& dir)
{
    ImageParams params;
    params.imageFlags = 0x08;
    params.versionWord = 0x9031;
    std::string bytes;
    std::string error;
    ASSERT_TRUE(BuildImage(params, bytes, error)) << error;
    dir.Write("Bin/HUB460.BIN", bytes);
}

std::string ListLine(unsigned number, unsigned depth, unsigned pid, unsigned version)
{
    char line[96];
    if (pid == 0x0460 || pid == 0x0461)
        std::snprintf(line, sizeof line, "(%u)Depth%u, V/PID = 3C5E/%04X, FW Version = V%X.%X%X\n", number, depth, pid,
                      version >> 4 & 0xF, version & 0xF, version >> 12);
    else
        std::snprintf(line, sizeof line, "(%u)Depth%u, V/PID = 05E3/%04X, FW Version = %04X\n", number, depth, pid,
                      version);
    return line;
}
} // namespace

TEST_F(Umockdev, SpecialChainIsListedFromTheRootDown)
{
    const ProcessResult result = Cli("chain-3c5e-0460", "scan");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, std::string(kNotes) + "2 devices found:\n"
                                                "(1)Depth1, V/PID = 3C5E/0460, FW Version = V2.19\n"
                                                "(2)Depth2, V/PID = 3C5E/0460, FW Version = V1.18\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(Umockdev, OrdinaryHubShowsItsUsb2AndUsb3PartsByBus)
{
    const ProcessResult result = Cli("ordinary-u2-u3", "scan");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, std::string(kNotes) + "2 devices found:\n"
                                                "(1)Depth1, V/PID = 05E3/0612, FW Version = 0654\n"
                                                "(2)Depth1, V/PID = 05E3/0610, FW Version = 0654\n");
}

TEST_F(Umockdev, TreesWithoutAMatchingHubFindNoDevice)
{
    // Another maker's hub; a device with a listed id that is no hub, with a
    // hub-class interface; and a machine without any USB device at all.
    for (const char* devices : {"foreign-hub", "not-a-hub", ""}) {
        const ProcessResult result = Cli(devices, "scan");
        EXPECT_EQ(result.exitCode, 1) << devices;
        EXPECT_EQ(result.out, std::string(kNotes) + "!!!No device found!\n") << devices;
        EXPECT_EQ(result.err, "") << devices;
    }
}

TEST_F(Umockdev, MoreThan32HubsListTheFirst32InTreeOrder)
{
    const ProcessResult result = Cli("many-hubs", "scan");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string expected = std::string(kNotes) + "32 devices found:\n";
    unsigned number = 0;
    // Port 10 after port 9, although "2-10" sorts before "2-9" as text.
    for (unsigned a : {1u, 2u, 3u, 4u, 9u, 10u}) {
        if (number == 32)
            break;
        expected += ListLine(++number, 1, 0x0460, 0x9000 + (a / 10 << 4) + a % 10);
        for (unsigned b = 1; b <= 5 && number < 32; ++b)
            expected += ListLine(++number, 2, 0x0461, 0x9000 + (a << 8) + b * 0x11);
    }
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "ZQ460API: 36 hubs found, only the first 32 are reported\n");
}

TEST_F(Umockdev, EntriesCarryTheDescriptorThePlaceAndCutStrings)
{
    const ProcessResult result = Run("long-strings", "tolvane-hubdump", {"3C5E0460", "3C5E0461"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "version 4c010000, 2 hubs\n"
              "(1) \"2-1\" len=18 type=1 usb=0320 class=09/00/03 mps=9 id=3C5E:0460 bcd=9021 strings=0/0/0 configs=1\n"
              "    depth=1 port=1 chip=00 flags=00\n"
              "    manufacturer=\"Tolvane Bench Hub Products, a maker whose nam\"\n"
              "    product=\"USB3.2 Hub f\\xC3\\xBCr die Pr\\xC3\\xBCfstrecke \\xE2\\x80\\x93 Laborpl\"\n"
              "(2) \"2-2\" len=18 type=1 usb=0320 class=09/00/03 mps=9 id=3C5E:0461 bcd=9021 strings=0/0/0 configs=1\n"
              "    depth=1 port=2 chip=00 flags=00\n"
              "    manufacturer=\"Manufacturer text of exactly forty-five bytes\"\n"
              "    product=\"Product text of exactly forty-six bytes, cut.\"\n");
}

// The kernel's hub driver serves a hub through its hub interface; the
// device node itself is always bound to "usb".
TEST_F(Umockdev, AHubWithoutTheKernelsHubDriverCountsAsAMissingFilterDriver)
{
    // The interface unbound, bound to another driver, and a recording of a
    // device behind hubs, which holds no interface at all.
    for (const char* devices : {"unbound-hub", "other-driver-hub", "behind-hubs"}) {
        const ProcessResult result = Cli(devices, "scan");
        EXPECT_EQ(result.exitCode, 1) << devices;
        EXPECT_EQ(result.out, std::string(kNotes) +
                                  "1. Initialzation()\n\t1.1 GetDllInfo()\tAPI Version: 4c010000\n"
                                  "\t1.2 LoadSettingFromIni()\n\t\t[TargetID_U3] Found  [TargetID_U2] Found  \n"
                                  "\t\t3C5E0460=0D12 3  3C5E0461=0D12 3  05E30610=0D13 3  05E30612=0D14 2  \n"
                                  "[Misc] Found  StringCompare:0  \n\t\t"
                                  "\t1.3 IsDriverInstallNeeded()!!!Error Filter Driver not found!!\n")
            << devices;
    }
}

TEST_F(Umockdev, UpgradeHandsEveryHubToTheLibraryWhichRefusesIt)
{
    WriteSpecialImage(dir);
    const ProcessResult result = Cli("chain-3c5e-0460", "upgrade");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, std::string(kNotes) + "2 devices found:\n"
                                                "(1)Depth1, V/PID = 3C5E/0460, FW Version = V2.19\n"
                                                "(2)Depth2, V/PID = 3C5E/0460, FW Version = V1.18\n"
                                                "ISP in device(2) is being upgraded.\n"
                                                "!!!Error Device(2):=> Upgrade failed\n"
                                                "ISP in device(1) is being upgraded.\n"
                                                "!!!Error Device(1):=> Upgrade failed\n");
    EXPECT_EQ(result.err, kRefusedNote);
}

// The hubs were handed over and refused, never written: the history records
// them as not written, and reading it back finds nothing left open.
TEST_F(Umockdev, AHistoryOfTheReadOnlyModeLeavesNothingOpen)
{
    WriteSpecialImage(dir);
    const ProcessResult upgrade =
        Run("chain-3c5e-0460", "tolvane-cli", {"upgrade", "--settle-ms", "0", "--history", "h.jsonl"});
    EXPECT_EQ(upgrade.exitCode, 1);
    const std::string history = dir.Read("h.jsonl");
    EXPECT_EQ(history.find("\"outcome\":\"failed\""), std::string::npos) << history;
    EXPECT_NE(history.find("\"outcome\":\"not-written\""), std::string::npos) << history;
    const ProcessResult read = Run("", "tolvane-cli", {"history", "h.jsonl"});
    EXPECT_EQ(read.exitCode, 0) << read.out;
}

TEST_F(Umockdev, OrdinaryHubsFindNoImageWithoutTheirChipVersion)
{
    WriteSpecialImage(dir);
    const ProcessResult result = Cli("ordinary-u2-u3", "upgrade");
    EXPECT_EQ(result.exitCode, 1);
    const std::string noImage = "  !!!Error. Either the FW not found\n  Or FW is incorrect for HUB chip version\n";
    EXPECT_EQ(result.out, std::string(kNotes) +
                              "2 devices found:\n"
                              "(1)Depth1, V/PID = 05E3/0612, FW Version = 0654\n"
                              "(2)Depth1, V/PID = 05E3/0610, FW Version = 0654\n" +
                              noImage + "!!!Error Device(2):=> Upgrade failed\n" + noImage +
                              "!!!Error Device(1):=> Upgrade failed\n");
    // No hub reached the library; each note says why no image fits.
    EXPECT_EQ(result.err, "tolvane-cli: hub 2: no image fits; the nearest, HUB460.BIN: target identifier 0D12, hub "
                          "needs 0D13 ([TargetID_U3] 05E30610=0D13)\n"
                          "tolvane-cli: hub 1: no image fits; the nearest, HUB460.BIN: target identifier 0D12, hub "
                          "needs 0D14 ([TargetID_U2] 05E30612=0D14)\n");
}

TEST_F(Umockdev, AnUnknownSelectionIsReportedAndFindsNothing)
{
    SetEnv("TOLVANE_HUBS", "real");
    const ProcessResult result = Cli("chain-3c5e-0460", "scan");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("\tAPI Version: 0\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("!!!Error Filter Driver not found!!\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "ZQ460API: TOLVANE_HUBS=real is neither bench nor system; no hubs reported\n");
}

// The option and the variable choose alike; the option wins over the variable.
TEST_F(Umockdev, HubsOptionChoosesTheTreeOrTheBench)
{
    const std::string chain = std::string(kNotes) + "2 devices found:\n"
                                                    "(1)Depth1, V/PID = 3C5E/0460, FW Version = V2.19\n"
                                                    "(2)Depth2, V/PID = 3C5E/0460, FW Version = V1.18\n";
    SetEnv("TOLVANE_HUBS", "");
    ProcessResult result = Run("chain-3c5e-0460", "tolvane-cli", {"--hubs", "system", "scan", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, chain);

    SetEnv("TOLVANE_HUBS", "system");
    result = Run("chain-3c5e-0460", "tolvane-cli", {"--hubs", "bench", "scan", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 1) << "no bench here: no filter driver key";
    EXPECT_NE(result.out.find("API Version: 0\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("devices found"), std::string::npos) << result.out;
}

// plan tells of the system mode what upgrade then does: every hub that
// upgrade hands to the library fails there, and both exit alike.
TEST_F(Umockdev, PlanAndUpgradeAgreeOnEveryHub)
{
    const std::string refused = ": would fail: writing HUB460.BIN needs the hub maker's ISP library on Windows\n";
    struct Case {
        const char* devices;
        bool check;
        int exitCode;
        std::string plan;
    };
    const Case cases[] = {
        {"chain-3c5e-0460", false, 1,
         "Device(2) 3C5E/0460, Depth2, Port3, FW Version = V1.18" + refused +
             "Device(1) 3C5E/0460, Depth1, Port1, FW Version = V2.19" + refused},
        {"chain-3c5e-0460", true, 1,
         "Device(2) 3C5E/0460, Depth2, Port3, FW Version = V1.18" + refused +
             "Device(1) 3C5E/0460, Depth1, Port1, FW Version = V2.19: current: FW Version V2.19 equals FWVersion "
             "219\n"},
        {"long-strings", true, 3,
         "Device(2) 3C5E/0461, Depth1, Port2, FW Version = V2.19: current: FW Version V2.19 equals FWVersion 219\n"
         "Device(1) 3C5E/0460, Depth1, Port1, FW Version = V2.19: current: FW Version V2.19 equals FWVersion 219\n"},
        {"ordinary-u2-u3", false, 1,
         "Device(2) 05E3/0610, Depth1, Port2, FW Version = 0654: no image fits\n"
         "Device(1) 05E3/0612, Depth1, Port2, FW Version = 0654: no image fits\n"},
    };
    WriteSpecialImage(dir);
    for (const Case& c : cases) {
        std::string ini = kIni;
        if (c.check)
            ini.replace(ini.find("CheckHUBFW=0"), 12, "CheckHUBFW=1");
        dir.Write("SpiFlash.ini", ini);
        const ProcessResult plan = Cli(c.devices, "plan");
        const ProcessResult upgrade = Cli(c.devices, "upgrade");
        EXPECT_EQ(plan.exitCode, c.exitCode) << c.devices << " " << c.check;
        EXPECT_EQ(upgrade.exitCode, c.exitCode) << c.devices << " " << c.check;
        const std::size_t at = plan.out.find("Device(");
        EXPECT_EQ(at == std::string::npos ? plan.out : plan.out.substr(at), c.plan) << c.devices << " " << c.check;
    }
}

namespace {
const char kRootWhy[] = "left out of the scan, a root hub whose ids 1D6B/0003 stand in neither [TargetID_U3] nor "
                        "[TargetID_U2] of SpiFlash.ini";
const char kDriverWhy[] = "left out, the scan stops at the driver check with \"!!!Error Filter Driver not found!!\"";

struct ExpectedHub {
    const char* name;
    const char* version;
    nlohmann::json interfaceFound;
    nlohmann::json driver;
    nlohmann::json device; // null: left out
    std::string why;
};
} // namespace

// hubs shows the whole tree, root hubs and other makers' hubs included, with
// the driver of each hub interface and what the scan makes of the hub.
TEST_F(Umockdev, HubsListsEveryHubOfTheTree)
{
    struct Case {
        const char* devices;
        bool driverCheck;
        std::vector<ExpectedHub> hubs;
    };
    const nlohmann::json none = nullptr;
    const Case cases[] = {
        {"chain-3c5e-0460",
         true,
         {{"usb1", "0601", true, "hub", none,
           "left out of the scan, a root hub whose ids 1D6B/0002 stand in neither [TargetID_U3] nor [TargetID_U2] of "
           "SpiFlash.ini"},
          {"usb2", "0601", true, "hub", none, kRootWhy},
          {"2-1", "V2.19", true, "hub", 1, "listed by the scan as device (1)"},
          {"2-1.3", "V1.18", true, "hub", 2, "listed by the scan as device (2)"},
          {"2-1.4", "0223", true, "hub", none,
           "left out of the scan, its ids 2109/0817 stand in neither [TargetID_U3] nor [TargetID_U2] of "
           "SpiFlash.ini"}}},
        {"behind-hubs",
         false,
         {{"usb2", "0601", false, none, none, kRootWhy},
          {"2-1", "V2.19", false, none, none, kDriverWhy},
          {"2-1.3", "V1.18", false, none, none, kDriverWhy}}},
        {"unbound-hub",
         false,
         {{"usb2", "0601", true, "hub", none, kRootWhy},
          {"2-1", "V2.19", true, "hub", none, kDriverWhy},
          {"2-1.2", "V2.19", true, none, none, kDriverWhy}}},
        {"other-driver-hub",
         false,
         {{"usb2", "0601", true, "hub", none, kRootWhy},
          {"2-1", "V2.19", true, "hub", none, kDriverWhy},
          {"2-1.2", "V2.19", true, "usbfs", none, kDriverWhy}}},
    };
    for (const Case& c : cases) {
        const ProcessResult result = Run(c.devices, "tolvane-cli", {"hubs", "--json"});
        EXPECT_EQ(result.exitCode, 0) << c.devices << result.err;
        const nlohmann::json document = nlohmann::json::parse(result.out, nullptr, false);
        ASSERT_TRUE(document.is_object()) << result.out;
        EXPECT_EQ(document["source"], "system") << c.devices;
        EXPECT_EQ(document["driverCheckPasses"], c.driverCheck) << c.devices;
        ASSERT_EQ(document["hubs"].size(), c.hubs.size()) << c.devices << result.out;
        for (std::size_t i = 0; i < c.hubs.size(); ++i) {
            const nlohmann::json& hub = document["hubs"][i];
            const ExpectedHub& expected = c.hubs[i];
            EXPECT_EQ(hub["name"], expected.name) << c.devices;
            EXPECT_EQ(hub["firmwareVersionText"], expected.version) << c.devices << " " << expected.name;
            EXPECT_EQ(hub["interfaceFound"], expected.interfaceFound) << c.devices << " " << expected.name;
            EXPECT_EQ(hub["driver"], expected.driver) << c.devices << " " << expected.name;
            EXPECT_EQ(hub["device"], expected.device) << c.devices << " " << expected.name;
            EXPECT_EQ(hub["scan"], expected.device.is_null() ? "left out" : "listed") << c.devices;
            EXPECT_EQ(hub["why"], expected.why) << c.devices << " " << expected.name;
        }
    }
}

TEST_F(Umockdev, HubsTellsAPersonThePlaceIdsVersionsAndDriver)
{
    const ProcessResult result = Run("chain-3c5e-0460", "tolvane-cli", {"hubs"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string notInTable = " stand in neither [TargetID_U3] nor [TargetID_U2] of SpiFlash.ini\n";
    EXPECT_EQ(result.out, "USB hubs of this machine: 5 hubs, 2 in the target-ID table of SpiFlash.ini (4 target IDs)\n"
                          "Driver check: passes\n"
                          "\n"
                          "usb1: bus 1, root hub\n"
                          "    1D6B/0002, FW Version = 0601, USB 2.00, 480 Mbit/s\n"
                          "    manufacturer \"Linux 6.1.0-13-amd64 xhci-hcd\", product \"xHCI Host Controller\"\n"
                          "    hub interface driver: hub\n"
                          "    not in the target-ID table: left out of the scan, a root hub whose ids 1D6B/0002" +
                              notInTable +
                              "\n"
                              "usb2: bus 2, root hub\n"
                              "    1D6B/0003, FW Version = 0601, USB 3.00, 5000 Mbit/s\n"
                              "    manufacturer \"Linux 6.1.0-13-amd64 xhci-hcd\", product \"xHCI Host Controller\"\n"
                              "    hub interface driver: hub\n"
                              "    not in the target-ID table: left out of the scan, a root hub whose ids 1D6B/0003" +
                              notInTable +
                              "\n"
                              "2-1: bus 2, port path 1, depth 1, port 1\n"
                              "    3C5E/0460, FW Version = V2.19, USB 3.20, 5000 Mbit/s\n"
                              "    manufacturer \"Tolvane Bench\", product \"USB3.2 Hub\"\n"
                              "    hub interface driver: hub\n"
                              "    in the target-ID table: listed by the scan as device (1)\n"
                              "\n"
                              "2-1.3: bus 2, port path 1.3, depth 2, port 3\n"
                              "    3C5E/0460, FW Version = V1.18, USB 3.20, 5000 Mbit/s\n"
                              "    manufacturer \"Tolvane Bench\", product \"USB3.2 Hub\"\n"
                              "    hub interface driver: hub\n"
                              "    in the target-ID table: listed by the scan as device (2)\n"
                              "\n"
                              "2-1.4: bus 2, port path 1.4, depth 2, port 4\n"
                              "    2109/0817, FW Version = 0223, USB 3.20, 5000 Mbit/s\n"
                              "    manufacturer \"VIA Labs, Inc.\", product \"USB3.0 Hub\"\n"
                              "    hub interface driver: hub\n"
                              "    not in the target-ID table: left out of the scan, its ids 2109/0817" +
                              notInTable);
    EXPECT_EQ(result.err, "");
}

// The table's hubs beyond the 32 the record holds are named as such.
TEST_F(Umockdev, HubsNamesTheTableHubsBeyondThe32nd)
{
    const ProcessResult result = Run("many-hubs", "tolvane-cli", {"hubs", "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const nlohmann::json document = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_TRUE(document.is_object()) << result.out;
    ASSERT_EQ(document["hubs"].size(), 37u);
    for (std::size_t i = 1; i < 37; ++i) {
        const nlohmann::json& hub = document["hubs"][i];
        EXPECT_EQ(hub["device"], i <= 32 ? nlohmann::json(i) : nlohmann::json(nullptr)) << hub["name"];
        if (i > 32) {
            EXPECT_EQ(hub["why"], "left out of the scan, whose hub table holds the first 32") << hub["name"];
        }
    }
    EXPECT_EQ(document["hubs"][36]["name"], "2-10.5");
}

TEST_F(Umockdev, HubsWithAnUnknownSelectionFails)
{
    SetEnv("TOLVANE_HUBS", "real");
    const ProcessResult result = Run("chain-3c5e-0460", "tolvane-cli", {"hubs"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "ZQ460API: TOLVANE_HUBS=real is neither bench nor system; no hubs reported\n"
                          "ZQ460API: TOLVANE_HUBS=real is neither bench nor system; no hubs reported\n");
}

// A hub whose ids or class cannot be read is listed with what is wrong and
// why the scan leaves it out; the scan and the driver check go on as without
// it.
TEST_F(Umockdev, HubsListsAHubWhoseAttributesCannotBeRead)
{
    const ProcessResult result = Run("unreadable-ids", "tolvane-cli", {"hubs", "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const nlohmann::json document = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_TRUE(document.is_object()) << result.out;
    EXPECT_TRUE(document["driverCheckPasses"]);
    const struct {
        const char* name;
        const char* unreadable; // null: every attribute reads
        const char* scan;
    } cases[] = {
        {"usb2", nullptr, "left out"},
        {"2-1", nullptr, "listed"},
        {"2-2", "idVendor reads \"3c5g\"", "left out"},
        {"2-3", "idProduct is missing", "left out"},
        {"2-4", "bDeviceClass reads \"hub\"", "left out"},
    };
    ASSERT_EQ(document["hubs"].size(), std::size(cases)) << result.out;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const nlohmann::json& hub = document["hubs"][i];
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(hub["name"], cases[i].name);
        EXPECT_EQ(hub["scan"], cases[i].scan);
        if (!cases[i].unreadable) {
            EXPECT_TRUE(hub["unreadable"].is_null());
            continue;
        }
        EXPECT_EQ(hub["unreadable"], cases[i].unreadable);
        EXPECT_EQ(hub["why"], "left out of the scan, which takes a hub by its ids and its class");
    }
    const ProcessResult text = Run("unreadable-ids", "tolvane-cli", {"hubs"});
    EXPECT_NE(text.out.find("\n    cannot be read: idVendor reads \"3c5g\": left out of the scan, which takes a hub by "
                            "its ids and its class\n"),
              std::string::npos)
        << text.out;
    // The scan sees the one readable special hub alone.
    const ProcessResult scan = Cli("unreadable-ids", "scan");
    EXPECT_EQ(scan.exitCode, 0) << scan.out;
    EXPECT_NE(scan.out.find("(1)"), std::string::npos) << scan.out;
    EXPECT_EQ(scan.out.find("(2)"), std::string::npos) << scan.out;
}
