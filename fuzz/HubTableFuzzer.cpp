// Any hub table the ISP library may write: any count, up to 32 entries of any
// bytes over whatever the record held before, and any programming results.
// The scan, the device list and the upgrade run take it under four settings.
// No hub outside the table reaches the library, each hub at most once, only
// with an image that passed its tests, and the run reports success exactly
// when every hub was programmed.
#include "FuzzIsp.h"
#include "FuzzSupport.h"
#include "FuzzWindow.h"
#include "HubUpgrader.h"
#include "ImageFormat.h"
#include "ImageWriter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {
namespace fmt = image_format;

const char kTargets[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[TargetID_U2]\n3C5E0461=0D12\n";
const char kChain3[] = "[HUBModule]\nHUBNumber=3\nNO.1HUBWantUpdateBinFile=HUB460.BIN\nNO.2HUBDepth=1\n"
                       "NO.2HUBConnectionPortIndex=1\nNO.2HUBWantUpdateBinFile=HUB0610.BIN\nNO.3HUBDepth=2\n"
                       "NO.3HUBConnectionPortIndex=3\nNO.3HUBWantUpdateBinFile=HUB0610.BIN\n";
const char kChain2[] = "[HUBModule]\nHUBNumber=2\nNO.1HUBWantUpdateBinFile=HUB460.BIN\nNO.2HUBDepth=1\n"
                       "NO.2HUBConnectionPortIndex=1\nNO.2HUBWantUpdateBinFile=HUB0610.BIN\n";
const char kSingle[] = "[HUBModule]\nHUBNumber=1\n";

struct Setting {
    std::string folder;
    std::string ini;
    std::unique_ptr<CHubUpgrader> engine;
};
std::vector<Setting> g_settings;

void PutImage(const std::string& path, const ImageParams& params)
{
    std::string bytes;
    std::string error;
    if (!BuildImage(params, bytes, error))
        Broken(error.c_str());
    WriteFile(path, bytes);
}

void PutImages(const std::string& folder)
{
    fs::create_directories(folder + "/Bin");
    ImageParams special;
    special.imageFlags = 0x08;
    special.versionWord = 0x9021;
    special.manufacturer = "Tolvane Demo";
    special.product1 = "USB3.2 Hub";
    PutImage(folder + "/Bin/HUB460.BIN", special);
    ImageParams plain;
    plain.targetId = 0x0D13;
    plain.versionWord = 0x0655;
    plain.manufacturer = "Tolvane Demo";
    plain.product1 = "USB2.0 Hub";
    PutImage(folder + "/Bin/HUB0610.BIN", plain);
    ImageParams illegal = special;
    illegal.size = 100;
    PutImage(folder + "/Bin/BAD.BIN", illegal);
    ImageParams cut = plain;
    cut.size = 3;
    PutImage(folder + "/Bin/SHORT.BIN", cut);
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t VidPid(const HubInfo& hub)
{
    return static_cast<std::uint32_t>(hub.descriptor.idVendor) << 16 | hub.descriptor.idProduct;
}

const TargetIdEntry* Configured(const CHubUpgrader& engine, std::uint32_t vidPid)
{
    for (unsigned i = 0; i < engine.m_IniInfo.entryCount; ++i) {
        if (engine.m_IniInfo.entries[i].vidPid == vidPid)
            return &engine.m_IniInfo.entries[i];
    }
    return nullptr;
}

std::uint16_t PackedVersion(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v & 0x00FFu) << 4 | v >> 12);
}

// A call the library received: a hub of the table, an image that exists and
// carries the hub's target, a legal size where that is checked, and a version
// other than the hub's where the firmware check is on.
void CheckCall(const CHubUpgrader& engine, const fuzz_isp::UpdateCall& call)
{
    FUZZ_CHECK(call.hubIndex < engine.m_EnumInfo.hubCount && call.hubIndex < kMaxHubs);
    FUZZ_CHECK(call.path.size() < CHubUpgrader::kImagePathSize);
    FUZZ_CHECK(call.path.rfind("./Bin/", 0) == 0);
    const HubInfo& hub = engine.m_EnumInfo.hubs[call.hubIndex];
    const std::uint32_t vidPid = VidPid(hub);
    const TargetIdEntry* entry = Configured(engine, vidPid);
    FUZZ_CHECK(entry != nullptr);
    const std::string image = Slurp(call.path);
    FUZZ_CHECK(image.size() >= 2);
    const auto byte = [&image](std::uint64_t at) { return static_cast<std::uint8_t>(image[at]); };
    FUZZ_CHECK((byte(0) << 8 | byte(1)) == entry->targetId);
    if (entry->targetId == fmt::kSizeCheckedTarget)
        FUZZ_CHECK(image.size() > fmt::kFlagsOffset && image.size() == fmt::LayoutOf(byte(2)).legalSize);
    if (engine.m_nCheckHubFw == 0)
        return;
    if (IsSpecialHubModel(vidPid)) {
        FUZZ_CHECK(PackedVersion(hub.descriptor.bcdDevice) != engine.m_wFwVersion);
        return;
    }
    FUZZ_CHECK(image.size() > fmt::kFlagsOffset);
    const std::uint64_t at = fmt::LayoutOf(byte(2)).versionWord;
    FUZZ_CHECK(image.size() >= at + 2);
    const auto word = static_cast<std::uint16_t>(byte(at) | byte(at + 1) << 8);
    FUZZ_CHECK(fmt::FirmwareVersion(word, byte(2)) != hub.descriptor.bcdDevice);
}

std::size_t Occurrences(const std::wstring& text, const std::wstring& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    EnterPrivateFolder("hubtable", argc, argv);
    SilenceStandardOutput();
    const std::string fwCheck = "[HUBFWCheck]\nCheckHUBFW=1\nFWVersion=219\n";
    const std::string noCheck = "[HUBFWCheck]\nCheckHUBFW=0\n";
    const std::string compare = "[Misc]\nManufacturer&ProductStringCompare=1\n";
    const std::string ignore = "[Misc]\nManufacturer&ProductStringCompare=0\n";
    const std::string inis[] = {
        kTargets + ignore + kSingle + fwCheck,
        kTargets + compare + kChain2 + noCheck,
        kTargets + ignore + kChain3 + fwCheck,
        kTargets + compare + kSingle + noCheck,
    };
    const fs::path top = fs::current_path();
    for (std::size_t i = 0; i < std::size(inis); ++i) {
        Setting setting{(top / ("setting" + std::to_string(i))).string(), inis[i], std::make_unique<CHubUpgrader>()};
        PutImages(setting.folder);
        WriteFile(setting.folder + "/SpiFlash.ini", setting.ini);
        fs::current_path(setting.folder);
        fuzz_isp::Use(nullptr);
        if (!setting.engine->LoadSettingFromIni())
            Broken("the fixed settings do not load");
        setting.engine->SetSettleMs(0);
        g_settings.push_back(std::move(setting));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Setting& setting = g_settings[input.ConsumeIntegralInRange<std::size_t>(0, g_settings.size() - 1)];
    fs::current_path(setting.folder);
    CHubUpgrader& engine = *setting.engine;
    // What an earlier scan may have left in the record.
    std::memset(&engine.m_EnumInfo, input.ConsumeIntegral<std::uint8_t>(), sizeof engine.m_EnumInfo);
    engine.m_strLog.clear();
    engine.m_strMsg.clear();
    fuzz_isp::Use(&input);
    LatestTextWindow window;
    engine.m_pDlg = &window;

    const bool found = engine.SearchHub();
    const unsigned hubs = engine.m_EnumInfo.hubCount;
    FUZZ_CHECK(!found || (hubs >= 1 && hubs <= kMaxHubs && hubs % engine.m_nHubNumber == 0));
    engine.ListDevices();
    FUZZ_CHECK(fuzz_isp::UpdateCalls().empty());

    const bool upgraded = engine.RunUpgrade(&window);
    const auto& calls = fuzz_isp::UpdateCalls();
    std::set<unsigned> seen;
    std::size_t succeeded = 0;
    for (const fuzz_isp::UpdateCall& call : calls) {
        CheckCall(engine, call);
        FUZZ_CHECK(seen.insert(call.hubIndex).second);
        succeeded += call.result == 0 ? 1u : 0u;
    }
    FUZZ_CHECK(found || calls.empty());
    FUZZ_CHECK(upgraded == (found && succeeded == hubs));
    FUZZ_CHECK(Occurrences(engine.m_strLog, L"=>Upgrade successful") == succeeded);
    FUZZ_CHECK(!upgraded || window.last == 100);
    FUZZ_CHECK(window.last >= 0 && window.last <= 100);
    fuzz_isp::Use(nullptr);
    engine.m_pDlg = nullptr;
    return 0;
}
