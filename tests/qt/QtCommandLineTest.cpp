// The Linux window's command line and the line under its controls: a word
// it does not understand stops it before any scan, with a box that names
// the word; the protections line shows what was given, and how a run ended.
#include "QtWindowFixture.h"

#include "TolvaneApp.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>

namespace {
// Answers every message box that opens and keeps its title and text.
class BoxCloser {
public:
    BoxCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(window);
                if (!box || !box->isVisible())
                    continue;
                titles.push_back(box->windowTitle());
                texts.push_back(box->text());
                box->accept();
            }
            for (QWidget* window : QApplication::topLevelWidgets())
                dialogShown = dialogShown || (qobject_cast<CQtTolvaneDlg*>(window) && window->isVisible());
        });
        m_timer.start(10);
    }

    std::vector<QString> titles;
    std::vector<QString> texts;
    bool dialogShown = false;

private:
    QTimer m_timer;
};

QString LineText(CQtTolvaneDlg& dialog)
{
    return qobject_cast<QLabel*>(dialog.GetDlgItem(IDC_PROTECTIONS))->text();
}
} // namespace

TEST_F(QtWindowTest, ACommandLineItDoesNotUnderstandStopsTheWindowBeforeAnyScan)
{
    const struct {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{"--histroy", "h.jsonl", "--aproved", "approved.txt"}, "unknown option \"--histroy\""},
        {{"--history", "h.jsonl", "--aproved", "approved.txt"}, "unknown option \"--aproved\""},
        {{"--history", "h.jsonl", "--history", "g.jsonl"}, "--history is given more than once"},
        {{"--history", "h.jsonl", "--approved"}, "--approved: the approved list needs a file name"},
        {{"--history", "h.jsonl", "--approved", "ok.txt", "--signature", "s"}, "--signature needs --trust"},
    };
    Hubs();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        CHubUpgrader fresh;
        BoxCloser closer;
        EXPECT_EQ(RunTolvaneWindow(c.args, fresh), 2);
        ASSERT_EQ(closer.texts.size(), 1u);
        EXPECT_EQ(closer.titles.front(), QStringLiteral("Tolvane"));
        const std::string text = closer.texts.front().toStdString();
        EXPECT_NE(text.find(std::string("command line: ") + c.named + ".\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\n  --trust KEY "), std::string::npos) << text;
        EXPECT_FALSE(closer.dialogShown);
        // No scan: the engine wrote nothing, and no history was begun.
        EXPECT_TRUE(fresh.m_strLog.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "h.jsonl"));
    }
}

TEST_F(QtWindowTest, TheProtectionsLineShowsWhatWasGivenBelowTheControls)
{
    const struct {
        const char* name;
        std::vector<std::string> args;
        QString before;
        QString after;
    } cases[] = {
        {"nothing",
         {},
         QStringLiteral("No history, no approved list, no verification."),
         QStringLiteral("No history, no approved list, no verification. Last upgrade: 0 of 1 hub programmed; hub 1: "
                        "library result 4.")},
        {"history and verification",
         {"--history", "h\x1b.jsonl", "--verify"},
         QStringLiteral("History h\\x1B.jsonl; no approved list; verification on."),
         QStringLiteral("History h\\x1B.jsonl; no approved list; verification on. Last upgrade: 0 of 1 hub "
                        "programmed; hub 1: library result 4.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Hubs("UpdateResult=4\n");
        m_dialog.reset();
        Dialog().SetOptions(Options(c.args));
        Show();
        EXPECT_EQ(LineText(Dialog()), c.before);
        QTest::mouseClick(StartButton(), Qt::LeftButton);
        EXPECT_EQ(LineText(Dialog()), c.after);

        // Under every other control, inside the window.
        const QRect line = Dialog().GetDlgItem(IDC_PROTECTIONS)->geometry();
        for (const int id : {IDC_SCAN_DEVICE, IDC_START_UPGRADE, IDC_LOG, IDC_LOGO, IDC_PROGRESS, IDC_LAMP})
            EXPECT_GT(line.top(), Dialog().GetDlgItem(id)->geometry().bottom()) << id;
        EXPECT_TRUE(Dialog().rect().contains(line));
    }
}
