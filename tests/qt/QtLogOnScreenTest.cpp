// The log box on the window's surface while a handler holds the thread: each
// time the engine sets the log, what has really been painted must be the
// log's text, not the text of an earlier push.
#include "QtWindowFixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {
// What the window's surface holds over widget's area now.
QImage SurfaceOf(QWidget* widget)
{
    QWidget* window = widget->window();
    const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
    return shot.copy(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size())).convertToFormat(QImage::Format_RGB32);
}

// After every push of the log, the box's surface against a fresh render of
// the text it holds.
class LogProbeDialog : public CQtTolvaneDlg {
public:
    using CQtTolvaneDlg::CQtTolvaneDlg;

    struct Push {
        QString text;
        bool surfaceShowsIt = false;
    };
    std::vector<Push> pushes;

    void SetLogText(const std::wstring& text) override
    {
        CQtTolvaneDlg::SetLogText(text);
        Probe();
    }
    void AppendLogText(const std::wstring& log, std::size_t shownLength) override
    {
        CQtTolvaneDlg::AppendLogText(log, shownLength);
        Probe();
    }

private:
    void Probe()
    {
        if (!isVisible())
            return;
        auto* box = qobject_cast<QPlainTextEdit*>(GetDlgItem(IDC_LOG));
        const QImage rendered = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        pushes.push_back({box->toPlainText(), SurfaceOf(box) == rendered});
    }
};
} // namespace

TEST_F(QtWindowTest, TheLogOnTheSurfaceIsTheLogAtEveryPushOfARun)
{
    WriteBench(dir,
               PlainHub(1, 1, "UpdateMs=50\n") + PlainHub(2, 2, "UpdateMs=50\n") + PlainHub(3, 2, "UpdateMs=50\n"));
    LogProbeDialog probe(*engine);
    probe.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&probe));
    probe.pushes.clear();
    // The success box at the end is answered as soon as it opens.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
                box->accept();
    });
    closer.start(10);
    QTest::mouseClick(qobject_cast<QPushButton*>(probe.GetDlgItem(IDC_START_UPGRADE)), Qt::LeftButton);

    // The scan's list, then each hub's line before and after its write.
    ASSERT_GE(probe.pushes.size(), 4u);
    for (const LogProbeDialog::Push& push : probe.pushes)
        EXPECT_TRUE(push.surfaceShowsIt) << push.text.toStdString();
    EXPECT_TRUE(probe.pushes.back().text.contains(QStringLiteral("Device(1): GL.BIN")));
}
