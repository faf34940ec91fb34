// Input the program does not control, at its worst: SpiFlash.ini, the images
// in Bin/ and the hub table of the ISP library. Each case ends with a log line
// that says what happened and a false result, and no hub ever reaches the
// library with an image that did not pass every test.
#include "EngineFixture.h"
#include "ImageFormat.h"
#include "ListingHook.h"

#include <cstring>
#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {
const char kTargets[] = "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n";
const char kSingle[] = "[HUBModule]\nHUBNumber=1\n";
const char kNoHubNumber[] = "!!!Error HUBNumber of [HUBModule] in SpiFlash.ini is 0 or missing!\r\n";
const char kNoDevice[] = "!!!No device found!\r\n";
const char kNoImage[] = "  !!!Error. Either the FW not found\r\n  Or FW is incorrect for HUB chip version\r\n";

std::string Listed(unsigned n, unsigned depth, const char* version)
{
    return CHubUpgrader::Format("(%u)Depth%u, V/PID = 05E3/0610, FW Version = %s\r\n", n, depth, version);
}

std::string Programmed(unsigned n, const std::string& name)
{
    return CHubUpgrader::Format("ISP in device(%u) is being upgraded.\r\nDevice(%u): %s\r\n   =>Upgrade successful\r\n",
                                n, n, name.c_str());
}

std::string Failed(unsigned n)
{
    return CHubUpgrader::Format("!!!Error Device(%u):=> Upgrade failed\r\n", n);
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class BadInputTest : public EngineTest {
protected:
    // The scan as the button runs it; [HUBFWCheck] notes on standard output
    // are not what these tests look at.
    bool Scan()
    {
        testing::internal::CaptureStdout();
        const bool passed = engine->Initialzation(&window);
        testing::internal::GetCapturedStdout();
        return passed;
    }

    // A scan that must pass, then the upgrade; the log is what the upgrade
    // added to the device list.
    bool Upgrade()
    {
        EXPECT_TRUE(Scan()) << window.Last();
        listing = Log();
        return engine->RunUpgrade(&window);
    }
    std::string Added() const { return Log().substr(std::min(listing.size(), Log().size())); }

    void FreshEngine()
    {
        engine = std::make_unique<CHubUpgrader>();
        engine->SetSettleMs(0);
        window = RecordingWindow();
    }

    std::string listing;
};

HubInfo SpecialHub()
{
    HubInfo hub{};
    hub.descriptor.idVendor = 0x3C5E;
    hub.descriptor.idProduct = 0x0460;
    hub.descriptor.bcdUSB = 0x0320;
    return hub;
}

#ifndef _WIN32
HubInfo PlainHubInfo()
{
    HubInfo hub{};
    hub.descriptor.idVendor = 0x05E3;
    hub.descriptor.idProduct = 0x0610;
    hub.descriptor.bcdUSB = 0x0320;
    hub.chipVersion = 0x10;
    return hub;
}
#endif

std::string ImagePath(const std::string& name)
{
    return tolvane::platform::kImageFolder + name;
}
} // namespace

// ---- SpiFlash.ini ----------------------------------------------------------

TEST_F(BadInputTest, EmptyOrBinarySettingsFileLoadsNothingAndTheScanStopsAtHubNumber)
{
    const std::string image = ImageBytes(PlainImage());
    ASSERT_FALSE(image.empty());
    std::string noise(64 * 1024, '\0');
    std::uint32_t state = 12345;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    for (const std::string& content : {std::string(), image, noise}) {
        SCOPED_TRACE(content.size());
        FreshEngine();
        WriteIni(content);
        WriteBench(dir, PlainHub(1));
        EXPECT_FALSE(Scan());
        EXPECT_EQ(window.Last(), kNoHubNumber);
        EXPECT_EQ(engine->m_IniInfo.entryCount, 0);
        EXPECT_EQ(engine->m_pHubModule, nullptr);
    }
}

TEST_F(BadInputTest, LineOfOneMebibyteIsReadInPiecesAndWarnsOnlyTenTimes)
{
    const std::size_t mebibyte = 1024 * 1024;
    WriteIni(std::string(kSingle) + "[TargetID_U3]\n" + std::string(mebibyte, 'x') + "\n05E30610=0D13\n");
    EXPECT_TRUE(Load());
    ASSERT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].vidPid, 0x05E30610u);
    EXPECT_EQ(Log().find("Warning"), std::string::npos);

    // Every piece of this line holds "=" and none scans.
    FreshEngine();
    std::string equals;
    while (equals.size() < mebibyte)
        equals += "x=y";
    WriteIni(std::string(kSingle) + "[TargetID_U3]\n" + equals + "\n05E30610=0D13\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(Count(Log(), "Warning !!! [TargetID_U3] line ignored, not two hexadecimal numbers: "), 10u);
    EXPECT_EQ(Count(Log(), "\r\n\t\tWarning !!! [TargetID_U3] more lines ignored, not shown\r\n\t\t"), 1u);
    EXPECT_LT(window.pushes.size(), 20u);
}

TEST_F(BadInputTest, ZeroBytesHideTheRestOfTheirLineOnly)
{
    using namespace std::string_literals;
    WriteIni("[TargetID_U3]\n3C5E\0"
             "0460=0D12\n05E30610=0D13\0 3C5E0460=0D12\n"
             "[HUBModule]\nHUBNumber=1\0"
             "2\n"s);
    WriteBench(dir, PlainHub(1));
    EXPECT_TRUE(Scan());
    ASSERT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].vidPid, 0x05E30610u);
    EXPECT_EQ(engine->m_nHubNumber, 1);

    // A zero inside a section name hides the section.
    FreshEngine();
    WriteIni(std::string(kTargets) + "[HUB\0Module]\nHUBNumber=1\n"s);
    EXPECT_FALSE(Scan());
    EXPECT_EQ(window.Last(), kNoHubNumber);
}

TEST_F(BadInputTest, OnlyLineFeedsEndLinesWhateverTheMixOfLineEnds)
{
    // A carriage return before a line feed vanishes; any other stays in the
    // line, where the scan of a value stops at it.
    WriteIni("[TargetID_U3]\r\n3C5E0460=0D12\r05E30610=0D13\n[HUBModule]\r\nHUBNumber=1\r\r\n");
    EXPECT_TRUE(Load());
    ASSERT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].vidPid, 0x3C5E0460u);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].targetId, 0x0D12);
    EXPECT_EQ(engine->m_nHubNumber, 1);

    // Carriage returns alone make the whole file one line: every section
    // header is in it and no line follows any of them.
    FreshEngine();
    WriteIni("[TargetID_U3]\r05E30610=0D13\r[HUBModule]\rHUBNumber=1\r");
    WriteBench(dir, PlainHub(1));
    EXPECT_FALSE(Scan());
    EXPECT_EQ(window.Last(), kNoHubNumber);
    EXPECT_EQ(engine->m_IniInfo.entryCount, 0);
}

TEST_F(BadInputTest, TargetIdsBeyondAHundredAcrossBothSectionsAreDropped)
{
    std::string ini = "[TargetID_U2]\n";
    for (int i = 0; i < 100; ++i)
        ini += CHubUpgrader::Format("%08X=%04X\n", 0x20000000 + i, i);
    ini += "[TargetID_U3]\n30000000=0D12\n";
    WriteIni(ini);
    EXPECT_TRUE(Load());
    const IniInfo& table = engine->m_IniInfo;
    ASSERT_EQ(table.entryCount, 100);
    EXPECT_EQ(+table.entries[0].vidPid, 0x30000000u);
    EXPECT_EQ(table.entries[0].usbPart, 3);
    EXPECT_EQ(+table.entries[99].vidPid, 0x20000062u);
    EXPECT_EQ(table.entries[99].usbPart, 2);
    EXPECT_EQ(Count(Log(), "Warning !!! more than 100 target IDs in SpiFlash.ini, the rest are ignored"), 1u);
}

TEST_F(BadInputTest, HubNumberOutsideOneToThirtyTwoNeverPassesTheScan)
{
    const struct {
        const char* value;
        unsigned kept; // the low byte, as the number has always been stored
        const char* last;
    } cases[] = {
        {"0", 0, kNoHubNumber},   {"255", 255, kNoDevice}, {"300", 44, kNoDevice}, {"-1", 255, kNoDevice},
        {"two", 0, kNoHubNumber}, {"", 0, kNoHubNumber},   {"33", 33, kNoDevice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        FreshEngine();
        WriteIni(std::string(kTargets) + "[HUBModule]\nHUBNumber=" + c.value + "\n");
        WriteBench(dir, PlainHub(1) + PlainHub(2));
        EXPECT_FALSE(Scan());
        EXPECT_EQ(engine->m_nHubNumber, c.kept);
        EXPECT_EQ(window.Last(), c.last);
        EXPECT_FALSE(engine->RunUpgrade(&window));
    }

    FreshEngine();
    WriteIni(std::string(kTargets) + "[HUBModule]\nHUBNumber=1\n");
    EXPECT_TRUE(Scan());
    EXPECT_EQ(window.Last(), "2 devices found:\r\n" + Listed(1, 1, "0100") + Listed(2, 1, "0100"));
}

TEST_F(BadInputTest, RepeatedSectionsCountOnlyWhereTheyFirstAppear)
{
    WriteIni("[TargetID_U3]\n3C5E0460=0D12\n[TargetID_U3]\n05E30610=0D13\n"
             "[HUBModule]\nHUBNumber=1\n[HUBModule]\nHUBNumber=2\n"
             "[HUBFWCheck]\nCheckHUBFW=1\n[HUBFWCheck]\nCheckHUBFW=0\n");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Load());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(engine->m_IniInfo.entryCount, 1);
    EXPECT_EQ(+engine->m_IniInfo.entries[0].vidPid, 0x3C5E0460u);
    EXPECT_EQ(engine->m_nHubNumber, 1);
    EXPECT_EQ(engine->m_nCheckHubFw, 1);
}

TEST_F(BadInputTest, WithoutTargetIdsEveryHubIsListedButNoneProgrammed)
{
    WriteIni(kSingle);
    WriteBench(dir, PlainHub(1));
    WriteImage("GL.BIN", PlainImage());
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), "This Firmware update tool is not support this HUB_Vid[5E3]_Pid[610]\r\n"
                       "Please add this HUB info to SpiFlash.ini file\r\n" +
                           std::string(kNoImage) + Failed(1));
}

TEST_F(BadInputTest, RepeatedHubNumberLogsEachChainUpToABound)
{
    const std::string chain2 = "NO.1HUBWantUpdateBinFile: A.BIN\r\nNO.2HUBDepth: 1\r\n"
                               "NO.2HUBConnectionPortIndex: 4\r\nNO.2HUBWantUpdateBinFile: B.BIN\r\n";
    const std::string chain3 = chain2 + "NO.3HUBDepth: 2\r\nNO.3HUBConnectionPortIndex: 1\r\n"
                                        "NO.3HUBWantUpdateBinFile: C.BIN\r\n";
    std::string ini = std::string(kTargets) + "[HUBModule]\n";
    for (int i = 0; i < 20000; ++i)
        ini += "HUBNumber=3\nHUBNumber=2\n";
    ini += "NO.1HUBWantUpdateBinFile=A.BIN\nNO.2HUBDepth=1\nNO.2HUBConnectionPortIndex=4\n"
           "NO.2HUBWantUpdateBinFile=B.BIN\nNO.3HUBDepth=2\nNO.3HUBConnectionPortIndex=1\n"
           "NO.3HUBWantUpdateBinFile=C.BIN\n";
    WriteIni(ini);
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nHubNumber, 2);
    ASSERT_EQ(Chain(*engine).size(), 2u);
    EXPECT_EQ(engine->m_pHubModule->pNext->portIndex, 4);
    std::string expected;
    for (int i = 0; i < 8; ++i)
        expected += chain3 + chain2;
    expected += "Warning !!! more than 16 HUBNumber lines in [HUBModule], the keys of the rest are not shown\r\n";
    EXPECT_EQ(Log().substr(Log().find("NO.1")), expected);
    EXPECT_LT(window.pushes.size(), 200u);

    // A line whose chain lacks a key ends the section there, and the
    // firmware check is not read.
    FreshEngine();
    WriteIni(std::string(kTargets) + "[HUBModule]\nHUBNumber=2\nHUBNumber=3\nHUBNumber=1\n"
                                     "NO.1HUBWantUpdateBinFile=A.BIN\nNO.2HUBDepth=1\n"
                                     "NO.2HUBConnectionPortIndex=4\nNO.2HUBWantUpdateBinFile=B.BIN\n"
                                     "[HUBFWCheck]\nCheckHUBFW=1\n");
    EXPECT_TRUE(Load());
    EXPECT_EQ(engine->m_nHubNumber, 3);
    EXPECT_EQ(Chain(*engine).size(), 3u);
    EXPECT_EQ(engine->m_nCheckHubFw, 0);
    EXPECT_EQ(Log().substr(Log().find("NO.1")), chain2 + chain2);
}

TEST_F(BadInputTest, ImageNameLongerThanAPieceIsCutAndMatchesNoFile)
{
    // The key and "=" take 25 of the 199 characters of a piece.
    const std::string longName = std::string(196, 'N') + ".BIN";
    WriteIni(std::string(kTargets) + "[HUBModule]\nHUBNumber=2\nNO.1HUBWantUpdateBinFile=" + longName +
             "\nNO.2HUBDepth=1\nNO.2HUBConnectionPortIndex=1\nNO.2HUBWantUpdateBinFile=LEAF.BIN\n");
    EXPECT_TRUE(Load());
    const std::string cut(174, 'N');
    EXPECT_STREQ(engine->m_pHubModule->binFile, cut.c_str());
    EXPECT_NE(Log().find("NO.1HUBWantUpdateBinFile: " + cut + "\r\n"), std::string::npos);

#ifndef _WIN32
    // Such a name fits a file system; the cut name never matches it.
    WriteBench(dir, PlainHub(1, 0) + PlainHub(2, 1, "PortIndex=1\n"));
    WriteImage(longName, PlainImage());
    WriteImage("LEAF.BIN", PlainImage());
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), Programmed(2, "LEAF.BIN") + kNoImage + Failed(1));
#endif
}

// ---- Images in Bin/ --------------------------------------------------------

TEST_F(BadInputTest, ImagesTooShortForTheirVersionNeverReachTheLibrary)
{
    const struct {
        std::uint64_t size;
        bool selected;
    } cases[] = {{0, false},
                 {1, false},
                 {2, false},
                 {3, true},
                 {4, true},
                 {100, true},
                 {image_format::kLayoutB.versionWord + 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        FreshEngine();
        WriteIni(std::string(kTargets) + kSingle + "[HUBFWCheck]\nCheckHUBFW=0\n");
        WriteBench(dir, PlainHub(1));
        ImageParams params = PlainImage();
        params.size = c.size;
        WriteImage("GL.BIN", params);
        EXPECT_FALSE(Upgrade());
        EXPECT_EQ(Added(), (c.selected ? "" : std::string(kNoImage)) + Failed(1));
        EXPECT_EQ(window.positions, (std::vector<int>{0}));
    }

    // Two bytes more hold the version word: now it is programmed.
    FreshEngine();
    ImageParams params = PlainImage();
    params.size = image_format::kLayoutB.versionWord + 2;
    WriteImage("GL.BIN", params);
    EXPECT_TRUE(Upgrade());
    EXPECT_EQ(Added(), Programmed(1, "GL.BIN"));
}

TEST_F(BadInputTest, OnlyTheExactLegalSizePassesForTheSizeCheckedTarget)
{
    WriteIni(std::string(kTargets) + kSingle);
    ASSERT_TRUE(Load());
    for (const std::uint8_t flags : {std::uint8_t{0x00}, std::uint8_t{0x08}}) {
        for (const std::uint64_t size : {28800, 28801, 28847, 28848, 28849}) {
            SCOPED_TRACE(testing::Message() << "flags " << int(flags) << " size " << size);
            engine->m_strLog.clear();
            ImageParams params;
            params.imageFlags = flags;
            params.size = size;
            WriteImage("T.BIN", params);
            const bool legal = size == image_format::LayoutOf(flags).legalSize;
            EXPECT_EQ(Select(SpecialHub()), legal ? ImagePath("T.BIN") : "");
            EXPECT_EQ(Log(), legal ? "" : "  Warning !!!T.BIN bin file is illgal...\r\n");
        }
    }
}

TEST_F(BadInputTest, ImageOfSixtyFourMebibytes)
{
    WriteIni(std::string(kTargets) + kSingle);
    WriteBench(dir, PlainHub(1));
    WriteImage("BIG.BIN", PlainImage(0x0777));
    fs::resize_file(dir.Path() / "Bin" / "BIG.BIN", 64u << 20);
    EXPECT_TRUE(Upgrade());
    EXPECT_EQ(Added(), Programmed(1, "BIG.BIN"));
    EXPECT_TRUE(Scan());
    EXPECT_EQ(window.Last(), "1 device  found:\r\n" + Listed(1, 1, "0777"));

    // For the size-checked target it is simply illegal.
    engine->m_strLog.clear();
    ImageParams special;
    special.imageFlags = 0x08;
    WriteImage("BIG.BIN", special);
    fs::resize_file(dir.Path() / "Bin" / "BIG.BIN", 64u << 20);
    EXPECT_EQ(Select(SpecialHub()), "");
    EXPECT_EQ(Log(), "  Warning !!!BIG.BIN bin file is illgal...\r\n");
}

TEST_F(BadInputTest, FolderNamedLikeAnImageAndABinThatIsMissingOrAFile)
{
    WriteIni(std::string(kTargets) + kSingle);
    WriteBench(dir, PlainHub(1));
    dir.Write("Bin/X.BIN/inside.txt", "a folder");
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), "!!!Error opening file faile:  X.BIN" + std::string(kNoImage) + Failed(1));

    const std::string searchError = "!!!Error searching directory:  " + ImagePath("*.BIN") + "\r\n";
    dir.Remove("Bin");
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), searchError + kNoImage + Failed(1));

    dir.Write("Bin", "a file where the folder should be");
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), searchError + kNoImage + Failed(1));
}

TEST_F(BadInputTest, ImageChangedBetweenTheListingAndTheReads)
{
    WriteIni(std::string(kTargets) + kSingle);
    WriteBench(dir, PlainHub(1));
    const auto imageFile = dir.Path() / "Bin" / "GL.BIN";
    const struct {
        const char* what;
        std::function<void()> change;
        std::string added;
    } cases[] = {
        {"deleted", [&] { fs::remove(imageFile); },
         "!!!Error opening file faile:  GL.BIN" + std::string(kNoImage) + Failed(1)},
        {"cut to its target", [&] { fs::resize_file(imageFile, 2); }, kNoImage + Failed(1)},
        {"cut before its version", [&] { fs::resize_file(imageFile, 100); }, Failed(1)},
        {"replaced by another target's",
         [&] {
             ImageParams other = PlainImage();
             other.targetId = 0x0D14;
             WriteImage("GL.BIN", other);
         },
         kNoImage + Failed(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FreshEngine();
        WriteImage("GL.BIN", PlainImage());
        const unsigned before = ListingsMade();
        ASSERT_TRUE(Scan());
        listing = Log();
        AfterNextListing(c.change);
        EXPECT_FALSE(engine->RunUpgrade(&window));
        EXPECT_EQ(ListingsMade(), before + 1);
        EXPECT_EQ(Added(), c.added);
    }

    // Replaced by an image that passes the tests itself: that one is what the
    // engine read, checked and handed over.
    FreshEngine();
    WriteImage("GL.BIN", PlainImage(0x0201));
    ASSERT_TRUE(Scan());
    listing = Log();
    AfterNextListing([this] { WriteImage("GL.BIN", PlainImage(0x0303)); });
    EXPECT_TRUE(engine->RunUpgrade(&window));
    EXPECT_EQ(Added(), Programmed(1, "GL.BIN"));
    EXPECT_TRUE(Scan());
    EXPECT_EQ(window.Last(), "1 device  found:\r\n" + Listed(1, 1, "0303"));
}

TEST_F(BadInputTest, NamesAndFilesThePlatformCannotUse)
{
#ifdef _WIN32
    GTEST_SKIP() << "a Windows file system holds neither such names nor pipes; the name without an 8-bit form "
                    "is tested with the image selection";
#else
    WriteIni(std::string(kTargets) + kSingle);
    ASSERT_TRUE(Load());
    engine->m_strLog.clear();
    // Each byte of this name is no UTF-8; it narrows back to the one byte on
    // disk, so the path fits the caller's buffer and the cut file is judged
    // like any other: too short for its hub, without a word in the log.
    const std::string wide(251, '\xC9');
    dir.Write("Bin/" + wide + ".BIN", "\x0D\x13");
    EXPECT_EQ(Select(PlainHubInfo()), "");
    EXPECT_EQ(Log(), "");

    // A pipe would block the first read until someone writes into it.
    dir.Remove("Bin");
    dir.Write("Bin/keep.txt", "");
    ASSERT_EQ(mkfifo((dir.Path() / "Bin" / "P.BIN").c_str(), 0600), 0);
    engine->m_strLog.clear();
    EXPECT_EQ(Select(PlainHubInfo()), "");
    EXPECT_EQ(Log(), "!!!Error opening file faile:  P.BIN");

    FreshEngine();
    dir.Remove("SpiFlash.ini");
    ASSERT_EQ(mkfifo((dir.Path() / "SpiFlash.ini").c_str(), 0600), 0);
    EXPECT_FALSE(Load());
    EXPECT_EQ(Log(), "\t1.2 LoadSettingFromIni()\r\n\t\t!!!Error SpiFlash.ini not found!\r\n");
#endif
}

// ---- The library's hub table -----------------------------------------------

TEST_F(BadInputTest, HubCountsThatDoNotFitTheTableOrTheSets)
{
    const std::string threeHubs = PlainHub(1) + PlainHub(2) + PlainHub(3);
    const struct {
        const char* hubNumber;
        const char* hubCount;
        std::string last;
    } cases[] = {
        {"1", "0", kNoDevice},
        {"1", "33", "!!!Error ISP library reported 33 hubs, more than the 32 it can list!\r\n"},
        {"1", "255", "!!!Error ISP library reported 255 hubs, more than the 32 it can list!\r\n"},
        {"1", "256", kNoDevice},
        {"2", "5", kNoDevice},
        {"2", "3", kNoDevice},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "HUBNumber " << c.hubNumber << " HubCount " << c.hubCount);
        FreshEngine();
        WriteIni(std::string(kTargets) + "[HUBModule]\nHUBNumber=" + c.hubNumber + "\n");
        WriteBench(dir, std::string("[Library]\nHubCount=") + c.hubCount + "\n" + threeHubs);
        EXPECT_FALSE(Scan());
        EXPECT_EQ(window.Last(), c.last);
        // The button stays off after a failed scan; the engine refuses too.
        EXPECT_FALSE(engine->RunUpgrade(&window));
        EXPECT_EQ(Log(), c.last + "!!!Error no hub table to upgrade, scan first!\r\n");
    }
}

TEST_F(BadInputTest, CountBeyondTheEntriesWrittenListsWhatTheRecordHeldButProgramsNoneOfIt)
{
    WriteIni(std::string(kTargets) + kSingle);
    WriteBench(dir, "[Library]\nHubCount=4\n" + PlainHub(1) + PlainHub(2) + PlainHub(3));
    WriteImage("GL.BIN", PlainImage());
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(listing, "4 devices found:\r\n" + Listed(1, 1, "0100") + Listed(2, 1, "0100") + Listed(3, 1, "0100") +
                           "(4)Depth0, V/PID = 0000/0000, FW Version = 0000\r\n");
    EXPECT_EQ(Added(), "This Firmware update tool is not support this HUB_Vid[0]_Pid[0]\r\n"
                       "Please add this HUB info to SpiFlash.ini file\r\n" +
                           std::string(kNoImage) + Failed(4) + Programmed(3, "GL.BIN") + Programmed(2, "GL.BIN") +
                           Programmed(1, "GL.BIN"));

    // A count below the entries written is taken as it stands.
    FreshEngine();
    WriteBench(dir, "[Library]\nHubCount=1\n" + PlainHub(1) + PlainHub(2) + PlainHub(3));
    EXPECT_TRUE(Upgrade());
    EXPECT_EQ(Added(), Programmed(1, "GL.BIN"));

    // An entry left from the scan before passes the engine's tests; the
    // library that did not write it refuses it.
    WriteBench(dir, PlainHub(1) + PlainHub(2) + PlainHub(3));
    EXPECT_TRUE(Scan());
    WriteBench(dir, "[Library]\nHubCount=3\n" + PlainHub(1) + PlainHub(2));
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), "ISP in device(3) is being upgraded.\r\n" + Failed(3) + Programmed(2, "GL.BIN") +
                           Programmed(1, "GL.BIN"));
}

TEST_F(BadInputTest, DeviceListEndsWithTheTableWhateverTheCount)
{
    // The scan never lists such a count, but the list does not rely on that.
    for (int i = 0; i < kMaxHubs; ++i)
        engine->m_EnumInfo.hubs[i].depth = static_cast<std::uint8_t>(i);
    engine->m_EnumInfo.hubCount = 255;
    engine->m_pDlg = &window;
    engine->ListDevices();
    const std::string list = Log();
    EXPECT_EQ(list.rfind("255 devices found:\r\n", 0), 0u);
    EXPECT_EQ(Count(list, "\r\n"), 33u);
    EXPECT_NE(list.find("(32)Depth31, V/PID = 0000/0000"), std::string::npos);
    EXPECT_EQ(window.Last(), list);
}

TEST_F(BadInputTest, GarbageInTheBytesTheEngineDoesNotReadChangesNothing)
{
    WriteIni(std::string(kTargets) + kSingle + "[Misc]\nManufacturer&ProductStringCompare=1\n");
    const std::string hubs = HubSection(1, 0x3C5E, 0x0460, 0x9021, 0) +
                             PlainHub(2, 1, "BcdUSB=0x0320\nManufacturer=Tolvane\nProduct=Hub\n") +
                             PlainHub(3, 2, "BcdUSB=0x0210\nManufacturer=Other\nProduct=Hub\n");
    ImageParams plain = PlainImage();
    plain.manufacturer = "Tolvane";
    plain.product1 = "Hub";
    WriteImage("GL.BIN", plain);
    ImageParams special;
    special.imageFlags = 0x08;
    WriteImage("SP.BIN", special);

    std::string reference;
    for (const char* fill : {"", "GarbageFill=0x00\n", "GarbageFill=0xFF\n", "GarbageFill=0xA5\n"}) {
        SCOPED_TRACE(fill);
        FreshEngine();
        dir.Remove("HubBench.ini.state");
        WriteBench(dir, std::string("[Library]\n") + fill + hubs);
        EXPECT_TRUE(Upgrade());
        if (reference.empty())
            reference = Log();
        EXPECT_EQ(Log(), reference);
    }
    EXPECT_EQ(Count(reference, "=>Upgrade successful"), 3u);
}

TEST_F(BadInputTest, StringsWithoutATerminatingZeroAreComparedOverTheirLeadingBytesOnly)
{
    WriteIni(std::string(kTargets) + kSingle + "[Misc]\nManufacturer&ProductStringCompare=1\n");
    std::string allFF;
    for (int i = 0; i < 46; ++i)
        allFF += "\\xFF";
    const std::string product(46, 'P');
    WriteBench(dir, PlainHub(1, 1, "BcdUSB=0x0320\nManufacturer=" + allFF + "\nProduct=" + product + "\n") +
                        PlainHub(2, 1,
                                 "BcdUSB=0x0320\nManufacturer=" + allFF + "\nProduct=" + std::string(35, 'P') + "Q" +
                                     std::string(10, 'P') + "\n"));
    ImageParams image = PlainImage();
    image.manufacturer = std::string(30, '\xFF');
    image.product1 = std::string(36, 'P');
    WriteImage("GL.BIN", image);
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), kNoImage + Failed(2) + Programmed(1, "GL.BIN"));
}

TEST_F(BadInputTest, VersionQueryThatLeavesTheVariableShowsZero)
{
    WriteBench(dir, "[Library]\nVersion=0x1234\nVersionUntouched=1\n");
    engine->GetDllInfo();
    EXPECT_EQ(Log(), "\t1.1 GetDllInfo()\tAPI Version: 0\r\n");
}

TEST_F(BadInputTest, HubsAtTheRootAndAtTheDeepestDepthGetTheirOwnImages)
{
    WriteIni(std::string(kTargets) + "[HUBModule]\nHUBNumber=3\nNO.1HUBWantUpdateBinFile=ROOT.BIN\n"
                                     "NO.2HUBDepth=255\nNO.2HUBConnectionPortIndex=7\n"
                                     "NO.2HUBWantUpdateBinFile=DEEP.BIN\nNO.3HUBDepth=1\n"
                                     "NO.3HUBConnectionPortIndex=2\nNO.3HUBWantUpdateBinFile=MID.BIN\n");
    WriteBench(dir,
               PlainHub(1, 0, "PortIndex=9\n") + PlainHub(2, 255, "PortIndex=7\n") + PlainHub(3, 1, "PortIndex=2\n"));
    WriteImage("ROOT.BIN", PlainImage(0x0201));
    WriteImage("DEEP.BIN", PlainImage(0x0202));
    WriteImage("MID.BIN", PlainImage(0x0203));
    EXPECT_TRUE(Upgrade());
    EXPECT_EQ(listing, "3 devices found:\r\n" + Listed(1, 0, "0100") + Listed(2, 255, "0100") + Listed(3, 1, "0100"));
    EXPECT_EQ(Added(), Programmed(3, "MID.BIN") + Programmed(2, "DEEP.BIN") + Programmed(1, "ROOT.BIN"));
    EXPECT_TRUE(Scan());
    EXPECT_EQ(window.Last(),
              "3 devices found:\r\n" + Listed(1, 0, "0201") + Listed(2, 255, "0202") + Listed(3, 1, "0203"));
}

TEST_F(BadInputTest, ProgrammingThatBreaksOffPartWayIsAFailure)
{
    WriteIni(std::string(kTargets) + kSingle);
    WriteBench(dir, PlainHub(1) + PlainHub(2, 1, "FailAfterMs=20\n") + PlainHub(3));
    WriteImage("GL.BIN", PlainImage());
    EXPECT_FALSE(Upgrade());
    EXPECT_EQ(Added(), Programmed(3, "GL.BIN") + "ISP in device(2) is being upgraded.\r\n" + Failed(2) +
                           Programmed(1, "GL.BIN"));
    EXPECT_EQ(window.positions, (std::vector<int>{0, 16, 32, 48, 64, 80}));
    EXPECT_TRUE(Scan());
    EXPECT_EQ(window.Last(),
              "3 devices found:\r\n" + Listed(1, 1, "0200") + Listed(2, 1, "0100") + Listed(3, 1, "0200"));
}
