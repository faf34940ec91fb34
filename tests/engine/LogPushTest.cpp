// A push sends only what was added when the log has only grown since the box
// last received it, and the whole text otherwise; either way the box ends up
// holding exactly the log.
#include "EngineFixture.h"

namespace {
class RebuildingWindow : public IUpgraderWindow {
public:
    explicit RebuildingWindow(const std::wstring& log) : m_log(log) {}

    void SetLogText(const std::wstring& text) override
    {
        shown = text;
        ++sets;
        EXPECT_EQ(shown, m_log);
    }
    void AppendLogText(const std::wstring& log, std::size_t shownLength) override
    {
        ASSERT_EQ(shownLength, shown.size());
        ASSERT_EQ(log.compare(0, shownLength, shown), 0) << "the box shows something else";
        shown.append(log, shownLength, std::wstring::npos);
        ++appends;
        EXPECT_EQ(shown, m_log);
    }
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}

    std::wstring shown;
    int sets = 0;
    int appends = 0;

private:
    const std::wstring& m_log;
};
} // namespace

TEST_F(EngineTest, UpgradeWithManyWarningsSendsOnlyTheAddedText)
{
    WriteIni("[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n");
    WriteBench(dir, HubSection(1, 0x05E3, 0x0610, 0x0100, 1, "ChipVersion=0x10\n") +
                        HubSection(2, 0x05E3, 0x0610, 0x0100, 2, "ChipVersion=0x10\n"));
    for (int i = 0; i < 40; ++i)
        dir.Write("Bin/BAD" + std::to_string(10 + i) + ".BIN", std::string("\x0D\x12\x00\x00", 4));
    ImageParams image;
    image.targetId = 0x0D13;
    WriteImage("ZZ.BIN", image);

    RebuildingWindow box(engine->m_strLog);
    ASSERT_TRUE(engine->Initialzation(&box));
    const int setsOfTheScan = box.sets;
    EXPECT_TRUE(engine->RunUpgrade(&box));
    // The run starts on a window the scan already filled: nothing replaced.
    EXPECT_EQ(box.sets, setsOfTheScan);
    EXPECT_GE(box.appends, 80);
    EXPECT_EQ(box.shown, engine->m_strLog);

    // A new scan replaces the log, so the box is written anew.
    ASSERT_TRUE(engine->Initialzation(&box));
    EXPECT_GT(box.sets, setsOfTheScan);
    EXPECT_EQ(box.shown, engine->m_strLog);
}

TEST_F(EngineTest, LogChangedBehindTheEngineIsSentWhole)
{
    RebuildingWindow box(engine->m_strLog);
    RebuildingWindow other(engine->m_strLog);
    engine->m_pDlg = &box;
    const auto push = [&](const std::wstring& log) {
        engine->m_strLog = log;
        engine->PushLog();
    };
    engine->AppendLog("first line\r\n");
    engine->PushLog();
    EXPECT_EQ(box.sets, 1);
    engine->AppendLog("second line\r\n");
    engine->PushLog();
    EXPECT_EQ(box.appends, 1);

    push(L"first line\r\nsecond line\r\nthird\r\n"); // grown, the same start
    EXPECT_EQ(box.appends, 2);
    push(L"first line\r\nsecond LINE\r\nthird\r\nfourth\r\n"); // rewritten, and longer
    EXPECT_EQ(box.sets, 2);
    push(L"short"); // shorter than what the box shows
    EXPECT_EQ(box.sets, 3);
    engine->ReplaceLog("short and replaced");
    engine->PushLog();
    EXPECT_EQ(box.sets, 4);

    engine->m_pDlg = &other; // another window has seen nothing yet
    engine->AppendLog(" more");
    engine->PushLog();
    EXPECT_EQ(other.sets, 1);
    EXPECT_EQ(other.shown, L"short and replaced more");
}
