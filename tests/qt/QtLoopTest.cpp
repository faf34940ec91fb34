// The Linux window's production loop, offscreen: boards come and go while the
// window waits on its timer, each upgraded once, and the stop control ends it.
#include "QtWindowFixture.h"

#include <QLabel>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
QString LineOf(CQtTolvaneDlg& dialog)
{
    return qobject_cast<QLabel*>(dialog.GetDlgItem(IDC_PROTECTIONS))->text();
}

// The run-start lines' board numbers, in order.
std::vector<int> Boards(const std::string& history)
{
    std::vector<int> boards;
    std::ifstream in(history);
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find("\"board\":");
        if (line.find("\"run-start\"") != std::string::npos && at != std::string::npos)
            boards.push_back(std::stoi(line.substr(at + 8)));
    }
    return boards;
}

QPushButton* StopControl(CQtTolvaneDlg& dialog)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Stop Loop"))
            return button;
    return nullptr;
}
} // namespace

class QtLoopTest : public QtWindowTest {
protected:
    // A new board: its hubs without any record of earlier programming.
    void Plug(const std::string& more = "")
    {
        dir.Remove("HubBench.ini.state");
        Hubs(more);
    }
    bool AwaitLine(const QString& text)
    {
        return QTest::qWaitFor([&] { return LineOf(Dialog()).contains(text); }, 10000);
    }
};

TEST_F(QtLoopTest, BoardsPassFailAndOneLeftInIsWrittenOnce)
{
    Plug();
    Dialog().SetOptions(Options({"--loop", "--boards", "3", "--history", "h.jsonl"}));
    Show();
    ASSERT_TRUE(AwaitLine(QStringLiteral("board 1: PASS 1 programmed")));
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_TRUE(LogBox()->toPlainText().contains(QStringLiteral("Upgrade successful")));
    // Left in: the lamp keeps the board's colour and no second run starts.
    QTest::qWait(1000);
    EXPECT_EQ(Boards("h.jsonl"), std::vector<int>({1}));
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));

    NoHubs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LampPixel() == LampColour(kLampBlue); }, 5000));
    Plug("UpdateResult=4\n");
    ASSERT_TRUE(AwaitLine(QStringLiteral("board 2: FAIL hub 1: ")));
    EXPECT_EQ(LampPixel(), LampColour(kLampRed));
    EXPECT_TRUE(LineOf(Dialog()).contains(QStringLiteral("2 boards, 1 passed, 1 failed.")));

    NoHubs();
    QTest::qWait(600);
    Plug();
    ASSERT_TRUE(AwaitLine(QStringLiteral("Loop ended: 3 boards, 2 passed, 1 failed.")));
    EXPECT_EQ(Boards("h.jsonl"), std::vector<int>({1, 2, 3}));
    EXPECT_FALSE(Dialog().Looping());
    EXPECT_TRUE(ScanButton()->isEnabled());
}

TEST_F(QtLoopTest, TheStopControlEndsTheWaitAndTheWindowStaysResponsive)
{
    NoHubs();
    Dialog().SetOptions(Options({"--loop"}));
    Show();
    ASSERT_TRUE(Dialog().Looping());
    QPushButton* stop = StopControl(Dialog());
    ASSERT_NE(stop, nullptr);
    // Below every control of the dialog, inside the window.
    const QRect line = Dialog().GetDlgItem(IDC_PROTECTIONS)->geometry();
    EXPECT_GT(stop->geometry().top(), line.bottom());
    EXPECT_TRUE(Dialog().rect().contains(stop->geometry()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LampPixel() == LampColour(kLampBlue); }, 5000));
    EXPECT_FALSE(ScanButton()->isEnabled());
    // Input is taken while the loop waits.
    const qsizetype before = LogBox()->toPlainText().size();
    QTest::keyClicks(LogBox(), QStringLiteral("x"));
    EXPECT_EQ(LogBox()->toPlainText().size(), before + 1);
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_FALSE(Dialog().Looping());
    EXPECT_TRUE(LineOf(Dialog()).contains(QStringLiteral("Loop ended: 0 boards, 0 passed, 0 failed.")));
    EXPECT_TRUE(ScanButton()->isEnabled());
}

// Without --loop the window is as it was: no stop control, no timer.
TEST_F(QtLoopTest, NoLoopWithoutTheOption)
{
    Plug();
    Show();
    EXPECT_FALSE(Dialog().Looping());
    EXPECT_EQ(StopControl(Dialog()), nullptr);
}
