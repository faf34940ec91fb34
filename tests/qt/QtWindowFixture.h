// The Linux window on a bench of its own: a fresh engine with no settling
// pause, a scratch folder with settings and one fitting image, and helpers
// to read back what the operator would see.
#ifndef TOLVANE_TESTS_QTWINDOWFIXTURE_H
#define TOLVANE_TESTS_QTWINDOWFIXTURE_H

#include "Bench.h"
#include "Images.h"
#include "LampWidget.h"
#include "QtTolvaneDlg.h"
#include "ScratchDir.h"
#include "resource.h"

#include <QColor>
#include <QImage>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline QColor LampColour(ColourRef colour)
{
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

// What the widget itself paints at a point, rendered afresh.
inline QColor GrabbedPixel(QWidget* widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point);
}

// What the window's surface holds at the widget's centre right now: only
// what has really been painted, not what is merely scheduled for painting.
inline QColor SurfacePixel(QWidget* widget)
{
    QWidget* window = widget->window();
    const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
    return shot.pixelColor(widget->mapTo(window, widget->rect().center()));
}

class QtWindowTest : public testing::Test {
protected:
    QtWindowTest()
    {
        bUpgradeReady = 0;
        engine->SetSettleMs(0);
        dir.Write("SpiFlash.ini", "[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n");
        WriteImage(dir, "GL.BIN", PlainImage());
    }
    ~QtWindowTest() override { bUpgradeReady = 0; }

    void Hubs(const std::string& more = "") { WriteBench(dir, PlainHub(1, 1, more)); }
    void NoHubs() { WriteBench(dir, ""); }

    // Created on first use, so that a test writes its bench first.
    CQtTolvaneDlg& Dialog()
    {
        if (!m_dialog)
            m_dialog = std::make_unique<CQtTolvaneDlg>(*engine);
        return *m_dialog;
    }
    // Until the window is exposed nothing reaches its surface.
    void Show()
    {
        Dialog().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dialog()));
    }

    QPushButton* ScanButton() { return qobject_cast<QPushButton*>(Dialog().GetDlgItem(IDC_SCAN_DEVICE)); }
    QPushButton* StartButton() { return qobject_cast<QPushButton*>(Dialog().GetDlgItem(IDC_START_UPGRADE)); }
    QPlainTextEdit* LogBox() { return qobject_cast<QPlainTextEdit*>(Dialog().GetDlgItem(IDC_LOG)); }
    QProgressBar* Progress() { return qobject_cast<QProgressBar*>(Dialog().GetDlgItem(IDC_PROGRESS)); }
    CLampWidget* Lamp() { return qobject_cast<CLampWidget*>(Dialog().GetDlgItem(IDC_LAMP)); }

    QColor LampPixel() { return GrabbedPixel(Lamp(), Lamp()->rect().center()); }

    // Options as the command line gives them; a test's own are understood.
    static WindowOptions Options(const std::vector<std::string>& args)
    {
        WindowOptions options;
        std::string error;
        EXPECT_TRUE(ParseWindowOptions(args, options, error)) << error;
        return options;
    }

    // The engine's log as the box must show it: the same text, with each
    // "\r\n" a line break.
    QString EngineLog() const
    {
        return QString::fromStdWString(engine->m_strLog).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }

    ScratchDir dir;
    std::unique_ptr<CHubUpgrader> engine = std::make_unique<CHubUpgrader>();
    std::unique_ptr<CQtTolvaneDlg> m_dialog;
};

#endif
