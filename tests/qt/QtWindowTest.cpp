#include "QtWindowFixture.h"

#include "DialogTable.h"
#include "FileDigest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

namespace {
// Closes every message box as soon as its event loop runs and remembers it,
// together with what the window showed behind it at that moment.
class BoxWatcher {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        int buttonCount = 0;
        int progressBehind = -1;
        QColor lampBehind;
    };

    BoxWatcher(QProgressBar* progress, CLampWidget* lamp)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, progress, lamp] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(window);
                if (!box || !box->isVisible())
                    continue;
                Box seen;
                seen.title = box->windowTitle();
                seen.text = box->text();
                seen.icon = box->icon();
                seen.buttons = box->standardButtons();
                seen.buttonCount = static_cast<int>(box->buttons().size());
                seen.progressBehind = progress->value();
                seen.lampBehind = SurfacePixel(lamp);
                boxes.push_back(seen);
                if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                    QTest::mouseClick(ok, Qt::LeftButton);
                else
                    box->reject();
            }
        });
        m_timer.start(10);
    }

    std::vector<Box> boxes;

private:
    QTimer m_timer;
};

// Samples the lamp on the window's surface each time the logic fills it,
// that is while a handler still holds the thread and nothing else has been
// painted since.
class ProbeDialog : public CQtTolvaneDlg {
public:
    using CQtTolvaneDlg::CQtTolvaneDlg;

    std::vector<QColor> lampOnSurface;

protected:
    void FillLamp(const ColourRef* colour) override
    {
        CQtTolvaneDlg::FillLamp(colour);
        if (isVisible())
            lampOnSurface.push_back(SurfacePixel(GetDlgItem(IDC_LAMP)));
    }
};
} // namespace

TEST_F(QtWindowTest, PassingStartUpScanShowsTheHubsAndReadiesTheUpgrade)
{
    Hubs();
    Show();
    EXPECT_EQ(LogBox()->toPlainText(), EngineLog());
    EXPECT_TRUE(LogBox()->toPlainText().contains(QStringLiteral("V/PID = 05E3/0610")));
    EXPECT_FALSE(LogBox()->toPlainText().contains(QLatin1Char('\r')));
    EXPECT_TRUE(StartButton()->isEnabled());
    EXPECT_TRUE(ScanButton()->isEnabled());
    EXPECT_FALSE(ScanButton()->isDown());
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_EQ(bUpgradeReady, 1);
}

TEST_F(QtWindowTest, FailingStartUpScanShowsRedAndKeepsTheUpgradeOff)
{
    NoHubs();
    Show();
    EXPECT_EQ(LogBox()->toPlainText(), EngineLog());
    EXPECT_FALSE(LogBox()->toPlainText().isEmpty());
    EXPECT_FALSE(StartButton()->isEnabled());
    EXPECT_TRUE(ScanButton()->isEnabled());
    EXPECT_EQ(LampPixel(), LampColour(kLampRed));
    EXPECT_EQ(bUpgradeReady, 0);

    // The operator attaches a hub and scans again by hand.
    Hubs();
    QTest::mouseClick(ScanButton(), Qt::LeftButton);
    EXPECT_TRUE(StartButton()->isEnabled());
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_EQ(LogBox()->toPlainText(), EngineLog());
}

TEST_F(QtWindowTest, ScanRunsOnceAndBeforeTheWindowFirstAppears)
{
    Hubs();
    struct ShowSpy : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Show) {
                ++shows;
                lampAtShow = lamp->Colour();
                logAtShow = log->toPlainText();
            }
            return false;
        }
        CLampWidget* lamp = nullptr;
        QPlainTextEdit* log = nullptr;
        int shows = 0;
        std::optional<ColourRef> lampAtShow;
        QString logAtShow;
    } spy;
    spy.lamp = Lamp();
    spy.log = LogBox();
    Dialog().installEventFilter(&spy);

    Show();
    ASSERT_EQ(spy.shows, 1);
    EXPECT_EQ(spy.lampAtShow, std::optional<ColourRef>(kLampGreen));
    EXPECT_EQ(spy.logAtShow, EngineLog());

    // Showing the window again is no new start: the hub is gone, yet the
    // window still reports the first scan.
    Dialog().hide();
    NoHubs();
    Show();
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_TRUE(StartButton()->isEnabled());
}

TEST_F(QtWindowTest, SuccessfulUpgradeShowsTheBoxThenEndsGreenWithTheBarReset)
{
    Hubs();
    Show();
    BoxWatcher watcher(Progress(), Lamp());
    QTest::mouseClick(StartButton(), Qt::LeftButton);

    ASSERT_EQ(watcher.boxes.size(), 1u);
    const BoxWatcher::Box& box = watcher.boxes.front();
    EXPECT_EQ(box.text, QStringLiteral("Upgrade is completed.\nPlease power cycle the hub."));
    EXPECT_TRUE(box.title.isEmpty()) << box.title.toStdString();
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.buttonCount, 1);
    EXPECT_EQ(box.progressBehind, 100);
    EXPECT_EQ(box.lampBehind, LampColour(kLampGreen));

    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_FALSE(StartButton()->isEnabled());
    EXPECT_FALSE(StartButton()->isDown());
    EXPECT_TRUE(ScanButton()->isEnabled());
    EXPECT_EQ(LogBox()->toPlainText(), EngineLog());
    EXPECT_NE(dir.Read("HubBench.ini.state").find("Hub1=0x0200"), std::string::npos);
    EXPECT_EQ(bUpgradeReady, 0);
}

TEST_F(QtWindowTest, FailedUpgradeEndsRedWithTheBarWhereItStoppedAndNoBox)
{
    Hubs("UpdateResult=4\n");
    Show();
    BoxWatcher watcher(Progress(), Lamp());
    QTest::mouseClick(StartButton(), Qt::LeftButton);

    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_EQ(Progress()->value(), 50);
    EXPECT_EQ(LampPixel(), LampColour(kLampRed));
    EXPECT_FALSE(StartButton()->isEnabled());
    EXPECT_TRUE(ScanButton()->isEnabled());
    EXPECT_EQ(LogBox()->toPlainText(), EngineLog());
    EXPECT_TRUE(dir.Read("HubBench.ini.state").empty());
}

TEST_F(QtWindowTest, LampShowsEveryStateOnTheSurfaceWhileTheHandlerRuns)
{
    Hubs();
    ProbeDialog probe(*engine);
    auto* lamp = qobject_cast<CLampWidget*>(probe.GetDlgItem(IDC_LAMP));
    auto* start = qobject_cast<QPushButton*>(probe.GetDlgItem(IDC_START_UPGRADE));
    auto* progress = qobject_cast<QProgressBar*>(probe.GetDlgItem(IDC_PROGRESS));

    // Before any scan the lamp is plain dialog background.
    EXPECT_EQ(GrabbedPixel(lamp, lamp->rect().center()), probe.palette().color(QPalette::Window));

    probe.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&probe));
    probe.lampOnSurface.clear();
    BoxWatcher watcher(progress, lamp);
    QTest::mouseClick(start, Qt::LeftButton);

    EXPECT_EQ(probe.lampOnSurface, (std::vector<QColor>{LampColour(kLampYellow), LampColour(kLampGreen)}));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes.front().lampBehind, LampColour(kLampGreen));

    // The whole lamp is filled, to its corners.
    const QImage image = lamp->grab().toImage();
    for (const QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1)})
        EXPECT_EQ(image.pixelColor(corner), LampColour(kLampGreen));
}

TEST_F(QtWindowTest, LongLogIsShownFromItsFirstLine)
{
    std::string bench;
    for (int n = 1; n <= 32; ++n)
        bench += HubSection(n, 0x05E3, 0x0610, 0x0100, 1 + n % 5, "ChipVersion=0x10\n");
    WriteBench(dir, bench);
    Show();

    QPlainTextEdit* log = LogBox();
    EXPECT_EQ(log->toPlainText(), EngineLog());
    EXPECT_GT(log->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(log->verticalScrollBar()->value(), 0);
    EXPECT_EQ(log->cursorForPosition(QPoint(2, 2)).blockNumber(), 0);
    EXPECT_EQ(log->textCursor().position(), 0);
}

TEST_F(QtWindowTest, LongLinesScrollWithTheCaretButShowNoHorizontalBar)
{
    NoHubs();
    Show();
    QPlainTextEdit* log = LogBox();
    Dialog().SetLogText(L"short\r\n");
    const int visibleHeight = log->viewport()->height();

    Dialog().SetLogText(std::wstring(400, L'W') + L"\r\nsecond line\r\n");
    // The box lays out its text, and shows or hides its bars, in the event loop.
    QTest::qWait(50);
    EXPECT_FALSE(log->horizontalScrollBar()->isVisible());
    EXPECT_EQ(log->viewport()->height(), visibleHeight);
    EXPECT_EQ(log->horizontalScrollBar()->value(), 0);

    log->setFocus();
    log->moveCursor(QTextCursor::Start);
    log->moveCursor(QTextCursor::EndOfLine);
    EXPECT_GT(log->horizontalScrollBar()->value(), 0) << "the box does not follow the caret along a long line";
}

TEST_F(QtWindowTest, ControlsSitAtTheirDialogUnitsInTheDialogFont)
{
    NoHubs();
    CQtTolvaneDlg& dialog = Dialog();
    const QFontInfo face(dialog.font());
    EXPECT_TRUE(face.family() == QStringLiteral("Times New Roman") ||
                face.family() == QStringLiteral("Liberation Serif"))
        << face.family().toStdString();
    EXPECT_TRUE(face.bold());
    EXPECT_EQ(face.pointSize(), 12);
    EXPECT_EQ(QFontInfo(LogBox()->font()).family(), face.family());

    const QFontMetrics metrics(dialog.font());
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int unitX = (alphabet / 26 + 1) / 2;
    const int unitY = metrics.height();
    ASSERT_GT(unitX, 0);
    const auto px = [unitX](int units) { return (units * unitX + 2) / 4; };
    const auto py = [unitY](int units) { return (units * unitY + 4) / 8; };

    EXPECT_EQ(dialog.size(), QSize(px(dialog_table::kWidth), py(dialog_table::kHeight)));
    for (const dialog_table::Control& entry : dialog_table::kControls) {
        const QWidget* control = dialog.GetDlgItem(entry.id);
        ASSERT_NE(control, nullptr) << entry.id;
        const dialog_table::Rect& r = entry.rect;
        EXPECT_EQ(control->geometry(), QRect(px(r.x), py(r.y), px(r.width), py(r.height))) << entry.id;
        if (const auto* button = qobject_cast<const QPushButton*>(control)) {
            EXPECT_EQ(button->text(), QString::fromWCharArray(entry.text)) << entry.id;
        }
    }
    EXPECT_EQ(dialog.windowTitle(), QString::fromWCharArray(dialog_table::kCaption));
}

TEST_F(QtWindowTest, IconAndLogoComeFromTheProgramsOwnArtwork)
{
    NoHubs();
    CQtTolvaneDlg& dialog = Dialog();
    EXPECT_TRUE(dialog.windowIcon().availableSizes().contains(QSize(32, 32)));
    auto* logo = qobject_cast<QLabel*>(dialog.GetDlgItem(IDC_LOGO));
    ASSERT_NE(logo, nullptr);
    const QPixmap pixmap = logo->pixmap();
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(32, 32));
}

TEST_F(QtWindowTest, ProgressBarKeepsItsPositionInsideTheRangeAsWindowsDoes)
{
    NoHubs();
    CQtTolvaneDlg& window = Dialog();
    window.SetProgressRange(0, 10);
    window.SetProgressPos(25);
    EXPECT_EQ(Progress()->value(), 10);
    window.SetProgressRange(0, 4);
    EXPECT_EQ(Progress()->value(), 4);
    window.SetProgressRange(6, 8);
    EXPECT_EQ(Progress()->value(), 6);
    window.SetProgressPos(-3);
    EXPECT_EQ(Progress()->value(), 6);
}

TEST_F(QtWindowTest, ImageNameThatIsNotUtf8ShowsAsTolvaneCliPrintsIt)
{
    // Listed first, and too short for its target: the warning names it.
    ImageParams cut;
    cut.targetId = 0x0D12;
    cut.size = 28800;
    std::string bytes;
    std::string error;
    ASSERT_TRUE(BuildImage(cut, bytes, error)) << error;
    dir.Write("Bin/BAD\xE9.BIN", bytes);
    Hubs();
    Show();
    BoxWatcher watcher(Progress(), Lamp());
    QTest::mouseClick(StartButton(), Qt::LeftButton);

    ASSERT_EQ(watcher.boxes.size(), 1u) << LogBox()->toPlainText().toStdString();
    const QString warning = QString::fromUtf8("  Warning !!!BAD\xC3\xA9.BIN bin file is illgal...\n");
    EXPECT_TRUE(LogBox()->toPlainText().contains(warning)) << LogBox()->toPlainText().toStdString();
}

// Added text must leave the box as writing the whole log would: the same
// text, a line end split between two pushes joined, text the operator typed
// gone, and the view at the first line.
TEST_F(QtWindowTest, AddedLogTextShowsAsTheWholeTextWould)
{
    Hubs();
    Show();
    QPlainTextEdit* log = LogBox();
    struct Case {
        std::wstring before;
        std::wstring after;
        bool typed;
    };
    std::wstring many;
    for (int i = 0; i < 200; ++i)
        many += L"  Warning !!!BAD" + std::to_wstring(i) + L".BIN bin file is illgal...\r\n";
    const Case cases[] = {
        {L"1 device  found:\r\n", L"1 device  found:\r\n" + many, false},
        {L"line\r", L"line\r\nnext\r\n", false},
        {L"tab\t", L"tab\tafter\r\n", false},
        {L"kept\r\n", L"kept\r\nadded\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromStdWString(c.after).toStdString());
        Dialog().SetLogText(c.before);
        if (c.typed)
            log->insertPlainText(QStringLiteral("typed"));
        Dialog().AppendLogText(c.after, c.before.size());
        const QString appended = log->toPlainText();
        Dialog().SetLogText(c.after);
        EXPECT_EQ(appended, log->toPlainText());
        EXPECT_EQ(appended, QString::fromStdWString(c.after).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        Dialog().AppendLogText(c.after, c.after.size()); // nothing added
        EXPECT_EQ(log->toPlainText(), appended);
        EXPECT_EQ(log->verticalScrollBar()->value(), 0);
        EXPECT_EQ(log->textCursor().position(), 0);
    }
}

namespace {
std::vector<std::string> HistoryKinds(const std::string& text)
{
    std::vector<std::string> kinds;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
        kinds.push_back(parsed.is_discarded() ? "torn" : parsed.value("kind", "?"));
    }
    return kinds;
}
} // namespace

TEST_F(QtWindowTest, UpgradeThroughTheButtonKeepsTheHistory)
{
    Hubs();
    Dialog().SetOptions(Options({"--history", "h.jsonl"}));
    Show();
    BoxWatcher watcher(Progress(), Lamp());
    QTest::mouseClick(StartButton(), Qt::LeftButton);

    EXPECT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(LampPixel(), LampColour(kLampGreen));
    EXPECT_EQ(LogBox()->toPlainText(), EngineLog());
    const std::string text = dir.Read("h.jsonl");
    EXPECT_EQ(HistoryKinds(text), (std::vector<std::string>{"run-start", "write-start", "result", "run-end"}));
    EXPECT_NE(text.find("\"program\":\"Tolvane\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"outcome\":\"programmed\""), std::string::npos) << text;
}

TEST_F(QtWindowTest, AHistoryThatCannotBeOpenedEndsRedWithOneErrorLineAndNoHubTouched)
{
    // An empty name never comes from the command line, which refuses it;
    // the press refuses it too.
    WindowOptions noName;
    noName.history = "";
    const struct {
        WindowOptions options;
        QString log;
    } cases[] = {
        {Options({"--history=folder"}),
         QStringLiteral("!!!Error cannot write the history to folder: Is a directory\n")},
        {noName, QStringLiteral("!!!Error cannot write the history to : no file name was given\n")},
    };
    Hubs();
    std::filesystem::create_directories(dir.Path() / "folder");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log.toStdString());
        m_dialog.reset();
        Dialog().SetOptions(c.options);
        Show();
        BoxWatcher watcher(Progress(), Lamp());
        QTest::mouseClick(StartButton(), Qt::LeftButton);

        EXPECT_TRUE(watcher.boxes.empty());
        EXPECT_EQ(LogBox()->toPlainText(), c.log);
        EXPECT_EQ(LampPixel(), LampColour(kLampRed));
        EXPECT_FALSE(StartButton()->isEnabled());
        EXPECT_TRUE(ScanButton()->isEnabled());
        EXPECT_EQ(dir.Read("HubBench.ini.state"), "");
    }
}

TEST_F(QtWindowTest, TheApprovedListDecidesWhichImageTheButtonWrites)
{
    // The list is written as sha256sum writes it, from the image's hash.
    tolvane::platform::FileDigest digest;
    std::string error;
    ASSERT_TRUE(tolvane::platform::Sha256File((dir.Path() / "Bin" / "GL.BIN").string(), digest, error)) << error;
    const struct {
        const char* name;
        std::string list;
        bool written;
        const char* logLine; // "" for a press that writes the hub
    } cases[] = {
        {"listed", digest.sha256 + "  Bin/GL.BIN\n", true, ""},
        {"unlisted", digest.sha256 + "  OTHER.BIN\n", false,
         "!!!Error GL.BIN is not in the approved list, not written\n!!!Error Device(1):=> Upgrade failed\n"},
        {"malformed", "not a list\n", false, "!!!Error cannot use the approved list ok.txt: line 1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Hubs();
        dir.Remove("HubBench.ini.state");
        dir.Write("ok.txt", c.list);
        m_dialog.reset();
        Dialog().SetOptions(Options({"--approved", "ok.txt"}));
        Show();
        BoxWatcher watcher(Progress(), Lamp());
        QTest::mouseClick(StartButton(), Qt::LeftButton);

        EXPECT_EQ(watcher.boxes.size(), c.written ? 1u : 0u);
        EXPECT_EQ(LampPixel(), LampColour(c.written ? kLampGreen : kLampRed));
        EXPECT_NE(LogBox()->toPlainText().toStdString().find(c.logLine), std::string::npos)
            << LogBox()->toPlainText().toStdString();
        EXPECT_EQ(dir.Read("HubBench.ini.state").empty(), !c.written);
    }
}

TEST_F(QtWindowTest, VerifyAddsItsLinesAfterTheRunAndTurnsTheLampRedForAHubWithoutItsFirmware)
{
    const struct {
        const char* name;
        const char* hubMore;
        bool passed;
        const char* verifyLine;
    } cases[] = {
        {"takes its firmware", "", true, "   =>Verify successful\n"},
        {"keeps its old firmware", "NoVersionChange=1\n", false, "!!!Error Device(1):=> Verify failed, FW Version = "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Hubs(c.hubMore);
        dir.Remove("HubBench.ini.state");
        m_dialog.reset();
        Dialog().SetOptions(Options({"--verify"}));
        Show();
        BoxWatcher watcher(Progress(), Lamp());
        QTest::mouseClick(StartButton(), Qt::LeftButton);

        EXPECT_EQ(watcher.boxes.size(), c.passed ? 1u : 0u);
        EXPECT_EQ(LampPixel(), LampColour(c.passed ? kLampGreen : kLampRed));
        const std::string log = LogBox()->toPlainText().toStdString();
        const std::size_t run = log.find("=>Upgrade successful");
        const std::size_t verify = log.find(c.verifyLine);
        ASSERT_NE(run, std::string::npos) << log;
        ASSERT_NE(verify, std::string::npos) << log;
        EXPECT_LT(run, verify) << log;
    }
}
