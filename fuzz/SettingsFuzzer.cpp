// Any bytes as SpiFlash.ini: the whole settings load, then the choice of an
// image name from the chain it built. Whatever the file holds, the tables
// stay within their bounds and every name stays zero-terminated.
#include "FuzzIsp.h"
#include "FuzzSupport.h"
#include "FuzzWindow.h"
#include "HubUpgrader.h"
#include "ImageFormat.h"

#include <cstring>
#include <filesystem>
#include <memory>

namespace {
unsigned ChainLength(const CHubUpgrader& engine)
{
    unsigned length = 0;
    for (const HubModule* node = engine.m_pHubModule; node; node = node->pNext)
        ++length;
    return length;
}

HubInfo Hub(std::uint32_t vidPid, std::uint8_t depth, std::uint8_t port)
{
    HubInfo hub{};
    hub.descriptor.idVendor = static_cast<std::uint16_t>(vidPid >> 16);
    hub.descriptor.idProduct = static_cast<std::uint16_t>(vidPid);
    hub.descriptor.bcdUSB = 0x0320;
    hub.depth = depth;
    hub.portIndex = port;
    hub.chipVersion = 0x10;
    return hub;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    EnterPrivateFolder("settings", argc, argv);
    SilenceStandardOutput();
    // One image that any configured target 0x0D13 accepts, so that the
    // choice gets as far as the name test.
    std::string image(image_format::kLayoutB.legalSize, '\xFF');
    image[0] = 0x0D;
    image[1] = 0x13;
    image[2] = 0x00;
    std::filesystem::create_directory("Bin");
    WriteFile("Bin/A.BIN", image);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteFile("SpiFlash.ini", data, size);
    fuzz_isp::Use(nullptr);
    auto engine = std::make_unique<CHubUpgrader>();
    LatestTextWindow window;
    engine->m_pDlg = &window;
    engine->SetSettleMs(0);
    const bool loaded = engine->LoadSettingFromIni();

    const IniInfo& ini = engine->m_IniInfo;
    FUZZ_CHECK(ini.entryCount <= kMaxTargetIds);
    FUZZ_CHECK(!loaded || fuzz_isp::HandedIniInfo() == &ini);
    for (unsigned i = 0; i < ini.entryCount; ++i)
        FUZZ_CHECK(ini.entries[i].usbPart == 2 || ini.entries[i].usbPart == 3);
    // U3 entries come first.
    for (unsigned i = 1; i < ini.entryCount; ++i)
        FUZZ_CHECK(ini.entries[i - 1].usbPart >= ini.entries[i].usbPart);

    const unsigned chain = ChainLength(*engine);
    FUZZ_CHECK(chain == 0 || chain == engine->m_nHubNumber || engine->m_nHubNumber == 0);
    for (const HubModule* node = engine->m_pHubModule; node; node = node->pNext)
        FUZZ_CHECK(std::memchr(node->binFile, 0, sizeof node->binFile) != nullptr);

    for (unsigned i = 0; i < ini.entryCount && i < 4; ++i) {
        for (const HubInfo& hub :
             {Hub(ini.entries[i].vidPid, 0, 0), Hub(ini.entries[i].vidPid, 1, 1), Hub(ini.entries[i].vidPid, 2, 3)}) {
            char path[CHubUpgrader::kImagePathSize];
            std::memset(path, '#', sizeof path);
            if (engine->SelectImage(ini.entries[i].vidPid, hub, path))
                FUZZ_CHECK(std::strcmp(path, "./Bin/A.BIN") == 0);
            else
                FUZZ_CHECK(path[0] == '#' && path[sizeof path - 1] == '#');
        }
    }
    return 0;
}
