#include "QtTolvaneDlg.h"

#include "DialogTable.h"
#include "LampWidget.h"
#include "Platform.h"
#include "resource.h"

#include <QFontInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

// The artwork sits in this static library and nothing else refers to it, so
// without this reference the linker would leave it out of the program.
static void LoadArtwork()
{
    Q_INIT_RESOURCE(Tolvane);
}

namespace {
const QString kPreferredFace = QString::fromWCharArray(dialog_table::kFontFace);
const QString kFallbackFace = QStringLiteral("Liberation Serif");

// Qt keeps paragraphs apart with "\n"; the engine's "\r\n" would leave a
// stray carriage return in every line. The text goes through the platform's
// UTF-8 so that the box shows exactly what tolvane-cli prints, image names
// that are not UTF-8 included.
QString FromWindowsText(const std::wstring& text)
{
    QString converted = QString::fromStdString(tolvane::platform::WideToUtf8(text));
    converted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return converted;
}

// The table's entry for a control, checked when the window is compiled.
template <int Id>
const dialog_table::Control& Entry()
{
    static_assert(dialog_table::Has(Id), "the dialog table has no control with this id");
    return *dialog_table::Find(Id);
}

QString TextOf(const dialog_table::Control& control)
{
    return QString::fromWCharArray(control.text);
}

bool IsEnter(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}
} // namespace

QFont TolvaneDialogFont()
{
    static_assert(dialog_table::kFontWeight == 700, "the template asks for bold type");
    QFont font(kPreferredFace, dialog_table::kFontPoints, QFont::Bold);
    // Font matching would quietly substitute any face; pick the serif whose
    // widths the dialog units were laid out for instead.
    if (QFontInfo(font).family().compare(kPreferredFace, Qt::CaseInsensitive) != 0)
        font.setFamily(kFallbackFace);
    return font;
}

CQtTolvaneDlg::CQtTolvaneDlg(CHubUpgrader& upgrader, QWidget* parent) : QDialog(parent), CTolvaneDlg(upgrader)
{
    LoadArtwork();
    setWindowTitle(QString::fromWCharArray(dialog_table::kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/Tolvane.ico")));
    setFont(TolvaneDialogFont());
    m_units = BaseUnitsOf(font());
    setFixedSize(DialogSize(m_units, dialog_table::kWidth, dialog_table::kHeight));

    // Created in the template's order, which is also the tab order.
    m_scan = new QPushButton(TextOf(Entry<IDC_SCAN_DEVICE>()), this);
    Place(m_scan, Entry<IDC_SCAN_DEVICE>());
    m_start = new QPushButton(TextOf(Entry<IDC_START_UPGRADE>()), this);
    Place(m_start, Entry<IDC_START_UPGRADE>());
    // Enter is dealt out in keyPressEvent. Qt would otherwise mark the first
    // button for good as the one Enter presses, where Windows marks the
    // focused one and leaves OK the default.
    m_scan->setAutoDefault(false);
    m_start->setAutoDefault(false);

    m_log = new QPlainTextEdit(this);
    Place(m_log, Entry<IDC_LOG>());
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // ES_AUTOHSCROLL without WS_HSCROLL: long lines scroll with the caret,
    // and no bar takes the room of the visible lines.
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // In a Windows dialog Tab leaves a multi-line edit box, and Enter is the
    // dialog's OK rather than a new line.
    m_log->setTabChangesFocus(true);
    // The engine lines up its log with tabs; a Windows edit box stops every
    // 32 dialog units.
    m_log->setTabStopDistance(MulDiv(32, m_units.x, 4));
    m_log->installEventFilter(this);

    m_logo = new QLabel(this);
    Place(m_logo, Entry<IDC_LOGO>());
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setPixmap(QPixmap(QStringLiteral(":/Logo.bmp")));

    m_progress = new QProgressBar(this);
    Place(m_progress, Entry<IDC_PROGRESS>());
    m_progress->setTextVisible(false);
    m_progress->setRange(0, kProgressMaximum);
    m_progress->setValue(0);

    m_lamp = new CLampWidget(this);
    Place(m_lamp, Entry<IDC_LAMP>());

    m_protections = new QLabel(this);
    Place(m_protections, Entry<IDC_PROTECTIONS>());
    QFont lineFont = font();
    lineFont.setPointSize(dialog_table::kProtectionsPoints);
    lineFont.setBold(false);
    m_protections->setFont(lineFont);
    // File names are shown as text, never as markup.
    m_protections->setTextFormat(Qt::PlainText);
    m_protections->setWordWrap(true);
    m_protections->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    connect(m_scan, &QPushButton::clicked, this, [this] { OnScanDevice(); });
    connect(m_start, &QPushButton::clicked, this, [this] { OnStartUpgrade(); });
}

CQtTolvaneDlg::~CQtTolvaneDlg() = default;

void CQtTolvaneDlg::Place(QWidget* control, const dialog_table::Control& entry) const
{
    const dialog_table::Rect& r = entry.rect;
    control->setGeometry(DialogRect(m_units, r.x, r.y, r.width, r.height));
}

QWidget* CQtTolvaneDlg::GetDlgItem(int id) const
{
    switch (id) {
    case IDC_SCAN_DEVICE:
        return m_scan;
    case IDC_START_UPGRADE:
        return m_start;
    case IDC_LOG:
        return m_log;
    case IDC_LOGO:
        return m_logo;
    case IDC_PROGRESS:
        return m_progress;
    case IDC_LAMP:
        return m_lamp;
    case IDC_PROTECTIONS:
        return m_protections;
    default:
        return nullptr;
    }
}

QPushButton* CQtTolvaneDlg::Button(int id) const
{
    return qobject_cast<QPushButton*>(GetDlgItem(id));
}

void CQtTolvaneDlg::setVisible(bool visible)
{
    if (visible && !m_initialised) {
        m_initialised = true;
        InitDialogLogic();
    }
    QDialog::setVisible(visible);
}

// The engine pushes its log, bar and lamp from inside a handler that holds
// the thread for seconds; painting them at once lets the operator follow the
// run instead of seeing only its end.
void CQtTolvaneDlg::SetLogText(const std::wstring& text)
{
    m_log->setPlainText(FromWindowsText(text));
    ShowLogFromStart();
}

void CQtTolvaneDlg::AppendLogText(const std::wstring& log, std::size_t shownLength)
{
    // A line end split between two pushes, or text the operator typed into
    // the box, needs the whole text to come out as SetLogText shows it.
    const bool splitLineEnd =
        shownLength > 0 && shownLength < log.size() && log[shownLength - 1] == L'\r' && log[shownLength] == L'\n';
    if (shownLength > log.size() || splitLineEnd || m_log->document()->isModified()) {
        SetLogText(log);
        return;
    }
    QTextCursor end(m_log->document());
    end.movePosition(QTextCursor::End);
    end.insertText(FromWindowsText(log.substr(shownLength)));
    ShowLogFromStart();
}

void CQtTolvaneDlg::ShowLogFromStart()
{
    // The box now holds what the engine pushed, nothing the operator typed.
    m_log->document()->setModified(false);
    // The newest line is at the end, yet the box shows the run from its
    // first line, as the Windows edit box does after its text is replaced.
    m_log->moveCursor(QTextCursor::Start);
    m_log->verticalScrollBar()->setValue(0);
    m_log->horizontalScrollBar()->setValue(0);
    m_log->repaint();
}

void CQtTolvaneDlg::SetProgressRange(int lower, int upper)
{
    // A Windows progress bar keeps its position inside a new range; Qt's
    // would empty itself.
    const int position = m_progress->value();
    m_progress->setRange(lower, upper);
    m_progress->setValue(std::clamp(position, lower, std::max(lower, upper)));
    m_progress->repaint();
}

void CQtTolvaneDlg::SetProgressPos(int position)
{
    // Qt ignores a value outside the range where Windows clamps it.
    m_progress->setValue(std::clamp(position, m_progress->minimum(), m_progress->maximum()));
    m_progress->repaint();
}

void CQtTolvaneDlg::EnableControl(int id, bool enable)
{
    if (QWidget* control = GetDlgItem(id))
        control->setEnabled(enable);
}

void CQtTolvaneDlg::ShowPressed(int id, bool pressed)
{
    if (QPushButton* button = Button(id)) {
        button->setDown(pressed);
        button->repaint();
    }
}

void CQtTolvaneDlg::FillLamp(const ColourRef* colour)
{
    if (colour)
        m_lamp->Fill(*colour);
    else
        m_lamp->Refill();
}

void CQtTolvaneDlg::ShowCompletedMessage(const std::wstring& text)
{
    QMessageBox box(this);
    box.setWindowTitle(QString());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(FromWindowsText(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void CQtTolvaneDlg::ShowProtections(const std::wstring& text)
{
    m_protections->setText(QString::fromStdWString(text));
    m_protections->repaint();
}

void CQtTolvaneDlg::RunLoopTimer(bool run)
{
    if (!m_loopTimer) {
        m_loopTimer = new QTimer(this);
        connect(m_loopTimer, &QTimer::timeout, this, [this] { OnLoopTick(); });
        // Below the line, so that the specified controls keep their places.
        const dialog_table::Rect& line = Entry<IDC_PROTECTIONS>().rect;
        m_stopLoop = new QPushButton(QStringLiteral("Stop Loop"), this);
        m_stopLoop->setAutoDefault(false);
        m_stopLoop->setGeometry(DialogRect(m_units, line.x, line.y + line.height + 2, 60, 14));
        setFixedSize(DialogSize(m_units, dialog_table::kWidth, dialog_table::kHeight + 18));
        m_stopLoop->show();
        connect(m_stopLoop, &QPushButton::clicked, this, [this] { OnStopLoop(); });
    }
    if (run)
        m_loopTimer->start(static_cast<int>(LoopPollMs()));
    else
        m_loopTimer->stop();
    m_stopLoop->setEnabled(Looping());
}

void CQtTolvaneDlg::done(int result)
{
    OnStopLoop();
    QDialog::done(result);
}

void CQtTolvaneDlg::keyPressEvent(QKeyEvent* event)
{
    // As in Windows, a focused push button takes Enter; anywhere else Enter
    // is the dialog's OK, which ends the program.
    if (IsEnter(event)) {
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isEnabled())
            button->click();
        else
            accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CQtTolvaneDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_log && event->type() == QEvent::KeyPress && IsEnter(static_cast<QKeyEvent*>(event))) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
