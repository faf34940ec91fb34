// The main window on Linux: dialog 102 of the Windows program drawn with Qt
// Widgets from the same dialog table, at the same places in dialog units and
// in the same font. Two windows over one window logic, kept apart on purpose:
// the logic decides what happens; this class only shows it.
#ifndef TOLVANE_UI_QT_QTTOLVANEDLG_H
#define TOLVANE_UI_QT_QTTOLVANEDLG_H

#include "DialogUnits.h"
#include "TolvaneDlg.h"

#include <QDialog>

class CLampWidget;
class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace dialog_table {
struct Control;
}

// Times New Roman, 12 pt, bold, or its metric twin Liberation Serif where
// Times New Roman is not installed.
QFont TolvaneDialogFont();

class CQtTolvaneDlg : public QDialog, public CTolvaneDlg {
    Q_OBJECT
public:
    explicit CQtTolvaneDlg(CHubUpgrader& upgrader = theHubUpgrader, QWidget* parent = nullptr);
    ~CQtTolvaneDlg() override;

    // The control with this resource id; null for an id the window lacks.
    QWidget* GetDlgItem(int id) const;
    const DialogBaseUnits& BaseUnits() const { return m_units; }

    // The first showing runs the automatic scan while the window is still
    // hidden, as a Windows dialog initialises before it appears.
    void setVisible(bool visible) override;

    void SetLogText(const std::wstring& text) override;
    void AppendLogText(const std::wstring& log, std::size_t shownLength) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;

protected:
    void EnableControl(int id, bool enable) override;
    void ShowPressed(int id, bool pressed) override;
    void FillLamp(const ColourRef* colour) override;
    void ShowCompletedMessage(const std::wstring& text) override;
    void ShowProtections(const std::wstring& text) override;
    void RunLoopTimer(bool run) override;
    // The window's close (and Escape) ends the loop first.
    void done(int result) override;

    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* Button(int id) const;
    void Place(QWidget* control, const dialog_table::Control& entry) const;
    void ShowLogFromStart();

    DialogBaseUnits m_units;
    bool m_initialised = false;
    QPushButton* m_scan = nullptr;
    QPushButton* m_start = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QLabel* m_logo = nullptr;
    QProgressBar* m_progress = nullptr;
    CLampWidget* m_lamp = nullptr;
    QLabel* m_protections = nullptr;
    // --loop only: the loop's timer and its stop control below the line.
    QTimer* m_loopTimer = nullptr;
    QPushButton* m_stopLoop = nullptr;
};

#endif
