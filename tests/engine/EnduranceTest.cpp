// A station scans and upgrades all day in one process. A thousand cycles (a
// hundred under Wine) on a bench of three hubs must leave the hub table, the
// chain and the texts exactly as large as after the first cycle; the
// sanitizer build adds LeakSanitizer, which fails the program for any block
// the cycles lose.
#include "EngineFixture.h"

namespace {
// Keeps only the latest text, as a real log box does, so that the window
// itself does not grow with the cycles.
class LatestWindow : public IUpgraderWindow {
public:
    void SetLogText(const std::wstring& text) override { latest = text; }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int position) override { last = position; }

    std::wstring latest;
    int last = -1;
};

struct Sizes {
    std::size_t log, logCapacity, message, listed;
    unsigned hubs, chain, targets;

    bool operator==(const Sizes& other) const
    {
        return log == other.log && logCapacity == other.logCapacity && message == other.message &&
               listed == other.listed && hubs == other.hubs && chain == other.chain && targets == other.targets;
    }
};

std::ostream& operator<<(std::ostream& out, const Sizes& s)
{
    return out << "log " << s.log << " (capacity " << s.logCapacity << "), message " << s.message << ", shown "
               << s.listed << ", hubs " << s.hubs << ", chain " << s.chain << ", targets " << s.targets;
}
} // namespace

TEST_F(EngineTest, ThousandScanAndUpgradeCyclesKeepEverySizeOfTheFirst)
{
#ifdef _WIN32
    // Under Wine every file operation of the simulated library costs a
    // hundred times more; a tenth of the cycles shows growth as well.
    constexpr int kCycles = 100;
#else
    constexpr int kCycles = 1000;
#endif
    WriteIni("[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[HUBModule]\nHUBNumber=3\n"
             "NO.1HUBWantUpdateBinFile=GL.BIN\nNO.2HUBDepth=1\nNO.2HUBConnectionPortIndex=1\n"
             "NO.2HUBWantUpdateBinFile=GL.BIN\nNO.3HUBDepth=1\nNO.3HUBConnectionPortIndex=2\n"
             "NO.3HUBWantUpdateBinFile=GL.BIN\n[HUBFWCheck]\nCheckHUBFW=0\n");
    WriteBench(dir, HubSection(1, 0x05E3, 0x0610, 0x0100, 0, "ChipVersion=0x10\n") +
                        HubSection(2, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\nPortIndex=1\n") +
                        HubSection(3, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\nPortIndex=2\n"));
    ImageParams image;
    image.targetId = 0x0D13;
    image.versionWord = 0x0200;
    WriteImage("GL.BIN", image);

    LatestWindow latest;
    const auto measure = [&] {
        unsigned chain = 0;
        for (const HubModule* node = engine->m_pHubModule; node; node = node->pNext)
            ++chain;
        return Sizes{engine->m_strLog.size(),     engine->m_strLog.capacity(), engine->m_strMsg.size(),
                     latest.latest.size(),        engine->m_EnumInfo.hubCount, chain,
                     engine->m_IniInfo.entryCount};
    };

    // The cycle as the upgrade button runs it; the settings notes go to
    // standard output, which the test keeps for itself.
    testing::internal::CaptureStdout();
    Sizes first{};
    std::wstring firstLog;
    int failed = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        const bool passed = engine->Initialzation(&latest) && engine->RunUpgrade(&latest);
        failed += passed ? 0 : 1;
        if (cycle == 1) {
            first = measure();
            firstLog = engine->m_strLog;
        } else if (!(measure() == first)) {
            ADD_FAILURE() << "cycle " << cycle << ": " << measure() << "; after the first: " << first;
            break;
        }
    }
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(failed, 0);
    EXPECT_EQ(latest.last, 100);
    EXPECT_EQ(first.hubs, 3u);
    EXPECT_EQ(first.chain, 3u);
    // The first cycle lists the bench's version, every later one the image's;
    // both are four digits, and the rest of the text is the same.
    const std::string last = Log();
    EXPECT_EQ(last.size(), tolvane::platform::WideToUtf8(firstLog).size());
    EXPECT_NE(last.find("FW Version = 0200"), std::string::npos);
    EXPECT_EQ(last.find("FW Version = 0100"), std::string::npos);
}
