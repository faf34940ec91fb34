// tolvane-fuzz-seeds DIR: writes the seed corpora of the fuzz targets into
// DIR/<target>/, from the texts, images, benches, histories and approved
// lists the test suites use. The
// seeds in fuzz/corpus were made with it; run it again after changing it.
#include "ImageWriter.h"
#include "IspRecords.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {
fs::path g_top;

void Seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const fs::path folder = g_top / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::fprintf(stderr, "tolvane-fuzz-seeds: cannot write %s/%s\n", target.c_str(), name.c_str());
}

std::string Image(const ImageParams& params)
{
    std::string bytes;
    std::string error;
    if (!BuildImage(params, bytes, error))
        std::fprintf(stderr, "tolvane-fuzz-seeds: %s\n", error.c_str());
    return bytes;
}

void SettingsSeeds()
{
    Seed("settings", "full",
         "[TargetID_U2]\n3C5E0461=0D13\n[TargetID_U3]\r\n3C5E0460=0D12\r\n0x05E30610=12345\r\n"
         "[Misc]\nManufacturer&ProductStringCompare=1\n"
         "[Misc]\nManufacturer&ProductStringCompare=5\n"
         "[HUBModule]\nHUBNumber=3\nNO.1HUBWantUpdateBinFile=ROOT.BIN extra\nNO.2HUBDepth=1\n"
         "XNO.2HUBConnectionPortIndex=2\nNO.2HUBConnectionPortIndex=9\n"
         "NO.2HUBWantUpdateBinFile=H2.BIN\nNO.3HUBDepth=300\nNO.3HUBConnectionPortIndex=4\n"
         "NO.3HUBWantUpdateBinFile=H3.BIN\n[HUBFWCheck]\nCheckHUBFW=1\nFWVersion=139\n");
    Seed("settings", "demo",
         "[TargetID_U3]\n3C5E0460=0D12\n3C5E0461=0D12\n05E30610=0D13\n[TargetID_U2]\n"
         "05E30612=0D14\n[Misc]\nManufacturer&ProductStringCompare=0\n[HUBModule]\n"
         "HUBNumber=1\n[HUBFWCheck]\nCheckHUBFW=1\nFWVersion=219\n");
    Seed("settings", "chain-to-a",
         "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=3\n"
         "NO.1HUBWantUpdateBinFile=A.BIN\nNO.2HUBDepth=1\nNO.2HUBConnectionPortIndex=1\n"
         "NO.2HUBWantUpdateBinFile=A.BIN\nNO.3HUBDepth=2\nNO.3HUBConnectionPortIndex=3\n"
         "NO.3HUBWantUpdateBinFile=A.BIN\n");
    Seed("settings", "key-missing",
         "[HUBModule]\nHUBNumber=3\nNO.1HUBWantUpdateBinFile=A.BIN\n"
         "NO.2HUBDepth=1\nNO.2HUBConnectionPortIndex=1\nNO.2HUBWantUpdateBinFile=B.BIN\n"
         "NO.3HUBConnectionPortIndex=2\n[HUBFWCheck]\nCheckHUBFW=1\n");
    Seed("settings", "rebuilt",
         "[HUBModule]\nHUBNumber=2\nNO.1HUBWantUpdateBinFile=A.BIN\nNO.2HUBDepth=1\n"
         "NO.2HUBConnectionPortIndex=3\nNO.2HUBWantUpdateBinFile=B.BIN\nHUBNumber=1\n");
    Seed("settings", "odd-lines",
         "[TargetID_U3]\nVIDPID=TargetID\n3C5E0460 = 0D12\n3C5E0461=0D13 [x]\n"
         "[Misc]\nNote=HUBModule keys follow\nNO.1HUBWantUpdateBinFile=EARLY.BIN\n"
         "[HUBFWCheck]\nCheckHUBFW_FWVersion=19\nFWVersion=zz\n"
         "[HUBModule]\nHUBNumber=-1\n");
    Seed("settings", "mixed-ends",
         "[TargetID_U3]\r05E30610=0D13\r\n[HUBModule]\nHUBNumber=2\r\r\n"
         "NO.1HUBWantUpdateBinFile=A\0.BIN\n"s);
}

void ImageSeeds()
{
    ImageParams special;
    special.imageFlags = 0x08;
    special.versionWord = 0x9021;
    special.manufacturer = "Tolvane Demo";
    special.product1 = "USB3.2 Hub";
    Seed("image", "layout-a-0d12", Image(special));

    ImageParams marker;
    marker.imageFlags = 0x04;
    marker.versionWord = 0x9010;
    marker.markerWord = 0x9010;
    marker.manufacturer = "Tolvane Demo";
    marker.product2 = "USB3.2 Hub";
    Seed("image", "layout-b-0d12-marker", Image(marker));

    ImageParams plain;
    plain.targetId = 0x0D13;
    plain.versionWord = 0x0655;
    plain.manufacturer = "Tolvane Demo";
    plain.product1 = "USB3.2 Hub";
    Seed("image", "layout-b-0d13", Image(plain));

    ImageParams alt = plain;
    alt.imageFlags = 0x84;
    alt.targetId = 0x0D14;
    alt.size = 0x1F70;
    Seed("image", "alt-0d14", Image(alt));

    ImageParams cut = special;
    cut.size = 100;
    Seed("image", "illegal-short", Image(cut));
    Seed("image", "empty", "");
    Seed("image", "one-byte", "\x0D");
    Seed("image", "header-only", "\x0D\x12\x08");
}

HubInfo Hub(std::uint16_t vid, std::uint16_t pid, std::uint16_t bcdDevice, std::uint8_t depth, std::uint8_t port,
            std::uint8_t chip, std::uint8_t flags, const char* product)
{
    HubInfo hub{};
    std::memcpy(hub.libraryData0, "SIM\\HUB", 7);
    hub.descriptor.bLength = sizeof(UsbDeviceDescriptor);
    hub.descriptor.bDescriptorType = 1;
    hub.descriptor.bcdUSB = 0x0320;
    hub.descriptor.idVendor = vid;
    hub.descriptor.idProduct = pid;
    hub.descriptor.bcdDevice = bcdDevice;
    hub.depth = depth;
    hub.portIndex = port;
    hub.chipVersion = chip;
    hub.hubFlags = flags;
    std::memcpy(hub.manufacturer, "Tolvane Demo", 12);
    std::memcpy(hub.product, product, std::strlen(product));
    return hub;
}

// The hub table input: entry bytes from the front; from the back, in the
// order the fuzz target and the stand-in take them, the setting, the byte the
// record held before, the count, the entries written and one programming
// result per hub (four bytes each, most significant first).
std::string Table(unsigned setting, std::uint8_t count, const std::vector<HubInfo>& hubs,
                  const std::vector<std::uint32_t>& results)
{
    std::string front(reinterpret_cast<const char*>(hubs.data()), hubs.size() * sizeof(HubInfo));
    std::string back;
    back += static_cast<char>(setting);
    back += '\0';
    back += static_cast<char>(count);
    back += static_cast<char>(hubs.size());
    for (const std::uint32_t result : results) {
        for (int shift = 24; shift >= 0; shift -= 8)
            back += static_cast<char>((result >> shift) & 0xFF);
    }
    return front + std::string(back.rbegin(), back.rend());
}

void HubTableSeeds()
{
    const HubInfo root = Hub(0x3C5E, 0x0460, 0x8011, 0, 1, 0xB2, 0x30, "USB3.2 Hub");
    const HubInfo leaf = Hub(0x05E3, 0x0610, 0x0654, 1, 1, 0x10, 0x00, "USB2.0 Hub");
    const HubInfo deep = Hub(0x05E3, 0x0610, 0x0654, 2, 3, 0x10, 0x00, "USB2.0 Hub");
    const HubInfo current = Hub(0x3C5E, 0x0460, 0x9021, 0, 1, 0xB2, 0x30, "USB3.2 Hub");
    Seed("hubtable", "single-demo", Table(0, 3, {root, leaf, current}, {0, 0, 0}));
    Seed("hubtable", "pair-compare", Table(1, 2, {root, leaf}, {0, 0}));
    Seed("hubtable", "chain-of-three", Table(2, 3, {root, leaf, deep}, {0, 0xFFFFFFFF, 0}));
    Seed("hubtable", "single-compare", Table(3, 1, {leaf}, {5}));
    Seed("hubtable", "count-beyond-entries", Table(0, 4, {root, leaf}, {0, 0, 0, 0}));
    Seed("hubtable", "count-33", Table(0, 33, {root}, {}));
    Seed("hubtable", "count-0", Table(0, 0, {root, leaf}, {}));
    Seed("hubtable", "full-table", Table(0, 32, std::vector<HubInfo>(32, leaf), std::vector<std::uint32_t>(32, 0)));
}

void BenchSeeds()
{
    Seed("bench", "demo",
         "; Simulated hubs for the demo\n[Library]\nVersion=0x2080\n\n[Registry]\n"
         "SYSTEM\\CurrentControlSet\\Services\\zq460filter=1\n\n[Hub1]\nVid=0x3C5E\nPid=0x0460\n"
         "BcdDevice=0x8011\nBcdUSB=0x0320\nDepth=1\nPortIndex=1\nChipVersion=0xB2\nHubFlags=0x30\n"
         "Manufacturer=Tolvane Demo\nProduct=USB3.2 Hub\nUpdateMs=800\n");
    Seed("bench", "every-field",
         "\xEF\xBB\xBF; bench for the lab\r\n\r\n  [ library ]  \r\nVERSION = 0x01020304\r\n"
         "HubCount=300\r\nGarbageFill=0xA5\r\nVersionUntouched=1\r\n[HUB1]\r\n"
         "  ; indented comment\r\nvid=0x2109\r\nPID = 0X0817\r\nBcdDevice=0xFFFF\r\n"
         "bcdusb=768\r\nDepth=2\r\nPortIndex=255\r\nChipVersion=0x0a\r\nHubFlags=7\r\n"
         "UpdateResult=0xFFFFFFFF\r\nUpdateMs=4294967295\r\nFailAfterMs=10\r\n"
         "Manufacturer=\\xFFAcme\\\\\\x00x\r\n[hub2]\r\nVid=1");
    Seed("bench", "gaps-and-repeats", "[Hub2]\nVid=2\n[Hub1]\nVid=1\n[Hub4]\nVid=4\n[Hub1]\n");
    Seed("bench", "state", "\xEF\xBB\xBF; programmed\r\n\r\n  hub2 = 0x9022 \r\nHUB32=65535\r\nHub1=0");
    Seed("bench", "bad-escape", "[Hub1]\nProduct=a\\q\n");
}
std::string HistoryLine(const std::string& kind, const std::string& more, const std::string& host = "bench-7")
{
    return R"({"time":"2026-12-09T06:00:00.000Z","host":")" + host + R"(","run":"00000000000000aa","kind":")" + kind +
           "\"" + more + "}\n";
}

void HistorySeeds()
{
    const std::string hub = R"(,"hub":{"index":0,"number":1,"depth":1,"port":1,"vid":"3C5E","pid":"0460",)"
                            R"("manufacturer":"Tolvane Demo","product":"USB3.2 Hub"})";
    const std::string image = R"(,"image":{"name":"HUB460.BIN","firmwareVersion":"9021","size":28801,)"
                              R"("sha256":"2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a"})";
    const std::string start = HistoryLine("run-start", R"(,"program":"tolvane-cli","programVersion":"1.0.0")");
    const std::string write = HistoryLine("write-start", hub + R"(,"oldVersion":"8011")" + image);
    Seed("history", "whole-run",
         start + write +
             HistoryLine("result", hub + R"(,"oldVersion":"8011")" + image +
                                       R"(,"outcome":"programmed","libraryResult":0,"libraryMs":30,"verified":null)") +
             HistoryLine("verify", R"(,"hub":{"index":0,"number":1},"verified":false,"versionAfter":"8011")") +
             HistoryLine("run-end", R"(,"counts":{"programmed":1},"notStarted":[2,3],"interruption":"SIGINT",)"
                                    R"("historyError":null,"exitStatus":130)"));
    Seed("history", "cut-during-a-write", start + write + write.substr(0, write.size() / 2));
    Seed("history", "earlier-version",
         R"({"time":"2026-12-08T15:04:05Z","host":"h","run":"old","hub":{"index":0},"oldVersion":"8011",)"
         R"("image":null,"outcome":"program","libraryResult":5,"verified":false})"
         "\r\n");
    Seed("history", "hostile",
         HistoryLine("run-start", R"(,"program":"\u009b31m","programVersion":"\u202e")", R"(x\r\nrun 0 fake)") +
             HistoryLine("write-start", R"(,"hub":{"index":31,"vid":"\u001b[8m"},"image":{"name":5})") +
             HistoryLine("result", R"(,"hub":{"index":4294967297},"outcome":"failed","libraryResult":1.5)") +
             HistoryLine("run-end", R"(,"notStarted":[4294967297,0,33],"interruption":"\u2066")") + "[1,2]\n\n{\"ru");
}

void ApprovedSeeds()
{
    const std::string hash = "2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a";
    Seed("approved", "sha256sum", hash + "  Bin/HUB460.BIN\n" + std::string(64, 'f') + " *Bin/GL.BIN\n");
    Seed("approved", "escaped-crlf-mark", "\xEF\xBB\xBF\\" + hash + "  new\\nline\\\\x.BIN\r\n\r\n");
    Seed("approved", "two-hashes", hash + "  a/X.BIN\n" + std::string(64, 'b') + "  b/X.BIN\n");
    std::string wide = "\xFF\xFE";
    for (char c : hash + "  A.BIN\r\n") {
        wide += c;
        wide += '\0';
    }
    Seed("approved", "utf-16", wide);
    Seed("approved", "hidden-by-a-carriage-return",
         std::string(64, 'e') + "  Bin/HUB460.BIN\r" + hash + "  Bin/HUB460.BIN\n");
    std::string wide32 = "\0\0\xFE\xFF"s;
    for (char c : hash + "  A.BIN\n") {
        wide32 += "\0\0\0"s;
        wide32 += c;
    }
    Seed("approved", "utf-32", wide32);
    Seed("approved", "nul-first", "\0"s + hash + "  A.BIN\n");
    Seed("approved", "bad-lines", "# approved\nSHA256 (A.BIN) = " + hash + "\n" + hash + "\tA.BIN\n");
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolvane-fuzz-seeds DIR\n");
        return 2;
    }
    g_top = argv[1];
    SettingsSeeds();
    ImageSeeds();
    HubTableSeeds();
    BenchSeeds();
    HistorySeeds();
    ApprovedSeeds();
    return 0;
}
