// plan names exactly what upgrade then does, and --explain says why each
// image was passed over.
#include "CliFixture.h"
#include "CliText.h"

#include <filesystem>

using nlohmann::json;

namespace {
const char kIni[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n";
const char kCheckOn[] = "[HUBFWCheck]\nCheckHUBFW=1\nFWVersion=219\n";

std::string PlainHub(int n, const std::string& more = "")
{
    return HubSection(n, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\n" + more);
}

ImageParams Plain(std::uint16_t version = 0x0200, std::uint8_t flags = 0x00)
{
    return CliImage(0x0D13, flags, version);
}

ImageParams Cut(ImageParams params, std::uint64_t size)
{
    params.size = size;
    return params;
}

std::string Hubs(int count)
{
    std::string bench;
    for (int n = 1; n <= count; ++n)
        bench += PlainHub(n);
    return bench;
}

struct Bench {
    const char* name;
    std::string ini;
    std::string hubs;
    std::vector<std::pair<std::string, ImageParams>> images;
};

// The benches of the engine's upgrade run tests.
const Bench kBenches[] = {
    {"one hub", kIni, PlainHub(1), {{"GL.BIN", Plain()}}},
    {"three hubs", kIni, Hubs(3), {{"GL.BIN", Plain()}}},
    {"full table", kIni, Hubs(32), {{"GL.BIN", Plain()}}},
    {"failing hubs",
     kIni,
     HubSection(1, 0x1A40, 0x0801, 0x0100, 1) + PlainHub(2) + PlainHub(3, "UpdateResult=5\n"),
     {{"GL.BIN", Plain()}}},
    {"all current",
     std::string(kIni) + kCheckOn,
     HubSection(1, 0x3C5E, 0x0460, 0x9021, 1) + HubSection(2, 0x3C5E, 0x0460, 0x9F21, 1) +
         HubSection(3, 0x05E3, 0x0610, 0x1235, 1, "ChipVersion=0x10\n"),
     {{"GL.BIN", Plain(0x1234, 0x10)}}},
    {"older image",
     std::string(kIni) + kCheckOn,
     HubSection(1, 0x05E3, 0x0610, 0x1235, 1, "ChipVersion=0x10\n"),
     {{"GL.BIN", Plain(0x1234, 0x00)}}},
    {"check off",
     std::string(kIni) + "[HUBFWCheck]\nCheckHUBFW=0\nFWVersion=219\n",
     HubSection(1, 0x3C5E, 0x0460, 0x9021, 1, "ChipVersion=0xB2\nHubFlags=0x30\n"),
     {{"HUB.BIN", CliImage(0x0D12, 0x08, 0)}}},
    {"short image", std::string(kIni) + "[HUBFWCheck]\nCheckHUBFW=1\n", PlainHub(1), {{"GL.BIN", Cut(Plain(), 100)}}},
    {"second image fits",
     kIni,
     PlainHub(1) + HubSection(2, 0x3C5E, 0x0460, 0x9021, 1, "ChipVersion=0xB2\n"),
     {{"A.BIN", CliImage(0x0D12, 0x00, 0x0100)}, {"B.BIN", Plain()}, {"C.BIN", Plain(0x0300)}}},
};

class PlanTest : public CliFixture {
protected:
    void Prepare(const Bench& bench)
    {
        std::filesystem::remove_all(dir.Path() / "Bin");
        dir.Remove("HubBench.ini.state");
        dir.Write("SpiFlash.ini", bench.ini);
        WriteBench(dir, bench.hubs);
        for (const auto& image : bench.images)
            WriteImage(image.first, image.second);
    }
};

// What upgrade did with a hub, in the words of the plan.
std::string Planned(const json& result)
{
    const std::string outcome = result["outcome"];
    if (outcome == "programmed" || (outcome == "failed" && !result["libraryResult"].is_null()))
        return "program";
    return outcome;
}
} // namespace

TEST_F(PlanTest, PlanAgreesWithTheUpgradeThatFollows)
{
    for (const Bench& bench : kBenches) {
        SCOPED_TRACE(bench.name);
        Prepare(bench);
        int planStatus = -1;
        const json plan = CliJson({"plan", "--explain", "--settle-ms", "0"}, planStatus);
        int upgradeStatus = -1;
        const json upgrade = CliJson({"upgrade", "--settle-ms", "0"}, upgradeStatus);
        ASSERT_EQ(plan["plan"].size(), upgrade["results"].size());
        ASSERT_FALSE(plan["plan"].empty());
        const std::string log = upgrade["log"];
        for (std::size_t i = 0; i < plan["plan"].size(); ++i) {
            const json& planned = plan["plan"][i];
            const json& done = upgrade["results"][i];
            SCOPED_TRACE(testing::Message() << "hub " << planned["number"]);
            EXPECT_EQ(planned["number"], done["number"]);
            EXPECT_EQ(planned["outcome"], Planned(done));
            EXPECT_EQ(planned["image"], done["image"]);
            EXPECT_EQ(planned.value("currentBy", json()), done.value("currentBy", json()));
            const std::string number = std::to_string(done["number"].get<int>());
            if (done["outcome"] == "programmed") {
                EXPECT_NE(log.find("Device(" + number + "): " + done["image"]["name"].get<std::string>() + "\r\n"),
                          std::string::npos);
            }
            // Exactly one image is chosen for a hub whose selection ran and
            // found one.
            unsigned chosen = 0;
            for (const json& image : planned["images"])
                chosen += image["reason"] == "chosen";
            const bool selected = planned["outcome"] != "no-image" && planned.value("currentBy", "") != "FWVersion";
            EXPECT_EQ(chosen, selected ? 1u : 0u);
        }
        // The plan's status foretells the upgrade's, except where the
        // library itself fails.
        if (bench.name != std::string("failing hubs")) {
            EXPECT_EQ(planStatus, upgradeStatus);
        }
    }
}

TEST_F(PlanTest, ExplainNamesTheFirstTestThatRejectedEachImage)
{
    dir.Write("SpiFlash.ini", "[TargetID_U3]\n05E30610=0D13\n[Misc]\nManufacturer&ProductStringCompare=1\n"
                              "[HUBModule]\nHUBNumber=1\n");
    WriteBench(dir, HubSection(1, 0x05E3, 0x0610, 0x0100, 1,
                               "ChipVersion=0x10\nBcdUSB=0x0320\nManufacturer=Tolvane\nProduct=USB3.2 Hub\n"));
    const auto image = [](std::uint16_t target, std::uint8_t flags, const char* maker, const char* product) {
        ImageParams params = CliImage(target, flags, 0x0200);
        params.manufacturer = maker;
        params.product1 = product;
        return params;
    };
    WriteImage("A_TARGET.BIN", image(0x0D12, 0x00, "Tolvane", "USB3.2 Hub"));
    WriteImage("B_SHORT.BIN", Cut(image(0x0D12, 0x00, "Tolvane", "USB3.2 Hub"), 100));
    WriteImage("C_MAKER.BIN", image(0x0D13, 0x00, "Other", "USB3.2 Hub"));
    WriteImage("D_PRODUCT.BIN", image(0x0D13, 0x00, "Tolvane", "USB2.0 Hub"));
    WriteImage("E_LAYOUT.BIN", image(0x0D13, 0x08, "Tolvane", "USB3.2 Hub"));
    WriteImage("F_FITS.BIN", image(0x0D13, 0x00, "Tolvane", "USB3.2 Hub"));
    WriteImage("G_ALSO.BIN", image(0x0D13, 0x00, "Tolvane", "USB3.2 Hub"));

    int status = -1;
    const json doc = CliJson({"plan", "--explain", "--settle-ms", "0"}, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(doc["plan"].size(), 1u);
    const json expected = json::array({
        {{"name", "A_TARGET.BIN"},
         {"fits", false},
         {"reason", "target identifier 0D12, hub needs 0D13 ([TargetID_U3] 05E30610=0D13)"}},
        {{"name", "B_SHORT.BIN"},
         {"fits", false},
         {"reason", "illegal: target identifier 0D12 in layout B must be 28801 bytes, file has 100"}},
        {{"name", "C_MAKER.BIN"},
         {"fits", false},
         {"reason", "manufacturer string differs: image 'Other', hub 'Tolvane'"}},
        {{"name", "D_PRODUCT.BIN"},
         {"fits", false},
         {"reason", "product string differs: image 'USB2.0 Hub' and '', hub 'USB3.2 Hub'"}},
        {{"name", "E_LAYOUT.BIN"}, {"fits", false}, {"reason", "chip version 10 needs layout B, image is layout A"}},
        {{"name", "F_FITS.BIN"}, {"fits", true}, {"reason", "chosen"}},
        {{"name", "G_ALSO.BIN"}, {"fits", true}, {"reason", "fits too, but an earlier image was chosen"}},
    });
    EXPECT_EQ(doc["plan"][0]["images"], expected);
    EXPECT_EQ(doc["plan"][0]["outcome"], "program");

    // The person's text, and the log of the selection is that of an upgrade:
    // nothing about the images after the chosen one.
    const ProcessResult text = Cli({"plan", "--explain", "--settle-ms", "0"});
    EXPECT_NE(text.out.find("Device(1) 05E3/0610, Depth1, Port0, FW Version = 0100: would write F_FITS.BIN "
                            "(layout B), 0100 -> 0200\n    A_TARGET.BIN: target identifier 0D12"),
              std::string::npos)
        << text.out;
    EXPECT_NE(doc["log"].get<std::string>().find("  Warning !!!B_SHORT.BIN bin file is illgal...\r\n"),
              std::string::npos);
}

TEST_F(PlanTest, PlanWithoutHubsFailsLikeTheScan)
{
    dir.Write("SpiFlash.ini", kIni);
    WriteBench(dir, "");
    const ProcessResult result = Cli({"plan", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, CliText("!!!No device found!\r\n"));
}
