#include "TolvaneWinDlg.h"

#include "DialogTable.h"
#include "LogBoxKeys.h"
#include "resource.h"

#include <commctrl.h>

namespace {
// The engine sets the log, the bar and the line from inside a handler that
// holds the window's thread for the whole run, so no WM_PAINT would reach
// them until it ends: each is painted as soon as it is set, and the screen
// shows what the control holds at every moment. No input is taken meanwhile.
void PaintNow(HWND control)
{
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}
} // namespace

CTolvaneWinDlg::CTolvaneWinDlg(HINSTANCE hInstance, HWND hWndParent)
    : m_hInstance(hInstance), m_hWndParent(hWndParent), m_hIcon(LoadIconW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME)))
{}

CTolvaneWinDlg::~CTolvaneWinDlg()
{
    if (m_brLamp)
        DeleteObject(m_brLamp);
    if (m_protectionsFont)
        DeleteObject(m_protectionsFont);
}

INT_PTR CTolvaneWinDlg::DoModal()
{
    return DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_TOLVANE_DIALOG), m_hWndParent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CTolvaneWinDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dlg = reinterpret_cast<CTolvaneWinDlg*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        dlg->m_hWnd = hWnd;
        return dlg->OnInitDialog();
    }
    // Messages such as WM_SETFONT arrive before WM_INITDIALOG has told the
    // window which object it belongs to; they keep their default handling.
    auto* dlg = reinterpret_cast<CTolvaneWinDlg*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    return dlg ? dlg->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CTolvaneWinDlg::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_TIMER:
        if (wParam == IDC_STOP_LOOP)
            OnLoopTick();
        return TRUE;
    case WM_QUERYDRAGICON:
        // One of the few messages whose result a dialog procedure returns
        // directly rather than through DWLP_MSGRESULT.
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        switch (LOWORD(wParam)) {
        case IDC_SCAN_DEVICE:
            OnScanDevice();
            return TRUE;
        case IDC_START_UPGRADE:
            OnStartUpgrade();
            return TRUE;
        case IDC_STOP_LOOP:
            OnStopLoop();
            return TRUE;
        case IDOK:
        case IDCANCEL:
            // Enter (unless a focused push button takes it), Escape and the
            // close box all end the dialog; the log box takes no Enter of
            // its own. A running loop ends first.
            OnStopLoop();
            EndDialog(m_hWnd, LOWORD(wParam));
            return TRUE;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

BOOL CTolvaneWinDlg::OnInitDialog()
{
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    RouteLogBoxEnterToDialog(Item(IDC_LOG));
    SetProtectionsFont();
    // The scan runs here, before the window is first shown: the operator
    // sees the dialog only with the hubs already listed or the failure told.
    InitDialogLogic();
    return TRUE;
}

void CTolvaneWinDlg::SetProtectionsFont()
{
    // Scaled from the dialog's own font, so it follows the system DPI as
    // the dialog units do.
    LOGFONTW face{};
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    if (dialogFont == nullptr || GetObjectW(dialogFont, sizeof face, &face) == 0)
        return;
    face.lfHeight = MulDiv(face.lfHeight, dialog_table::kProtectionsPoints, dialog_table::kFontPoints);
    face.lfWidth = 0;
    face.lfWeight = FW_NORMAL;
    m_protectionsFont = CreateFontIndirectW(&face);
    if (m_protectionsFont)
        SendMessageW(Item(IDC_PROTECTIONS), WM_SETFONT, reinterpret_cast<WPARAM>(m_protectionsFont), FALSE);
}

void CTolvaneWinDlg::OnPaint()
{
    PAINTSTRUCT ps;
    if (IsIconic(m_hWnd)) {
        HDC dc = BeginPaint(m_hWnd, &ps);
        SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT rect;
        GetClientRect(m_hWnd, &rect);
        const int x = (rect.right - rect.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (rect.bottom - rect.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, m_hIcon);
        EndPaint(m_hWnd, &ps);
    } else {
        // What the default handling would do: a dialog paints nothing but its
        // background, which BeginPaint erases. Handling it here validates the
        // window before the lamp is drawn over it; DefDlgProc cannot be asked
        // from inside the dialog procedure without calling it again.
        BeginPaint(m_hWnd, &ps);
        EndPaint(m_hWnd, &ps);
    }
    RepaintLamp();
}

void CTolvaneWinDlg::FillLamp(const ColourRef* colour)
{
    // The lamp is an owner-drawn static that the dialog never draws in
    // WM_DRAWITEM: it is filled straight into its device context, so the
    // colour shows even while a scan or an upgrade keeps the window busy.
    HWND lamp = Item(IDC_LAMP);
    m_pLampDC = GetDC(lamp);
    GetWindowRect(lamp, &m_rcLamp);
    if (colour) {
        HBRUSH replaced = m_brLamp;
        m_brLamp = CreateSolidBrush(*colour);
        if (replaced)
            DeleteObject(replaced);
    }
    m_rcLampFill = {0, 0, m_rcLamp.right - m_rcLamp.left, m_rcLamp.bottom - m_rcLamp.top};
    if (m_brLamp)
        FillRect(m_pLampDC, &m_rcLampFill, m_brLamp);
    ReleaseDC(lamp, m_pLampDC);
    m_pLampDC = nullptr;
}

void CTolvaneWinDlg::EnableControl(int id, bool enable)
{
    EnableWindow(Item(id), enable ? TRUE : FALSE);
}

void CTolvaneWinDlg::ShowPressed(int id, bool pressed)
{
    SendMessageW(Item(id), BM_SETSTATE, pressed ? TRUE : FALSE, 0);
}

void CTolvaneWinDlg::SetProgressRange(int lower, int upper)
{
    SendMessageW(Item(IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    PaintNow(Item(IDC_PROGRESS));
}

void CTolvaneWinDlg::SetProgressPos(int position)
{
    SendMessageW(Item(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
    PaintNow(Item(IDC_PROGRESS));
}

void CTolvaneWinDlg::SetLogText(const std::wstring& text)
{
    SetWindowTextW(Item(IDC_LOG), text.c_str());
    PaintNow(Item(IDC_LOG));
}

void CTolvaneWinDlg::AppendLogText(const std::wstring& log, std::size_t shownLength)
{
    HWND box = Item(IDC_LOG);
    // Text the operator typed, or a line end split between two pushes, needs
    // the whole text to come out as SetLogText shows it.
    const bool splitLineEnd =
        shownLength > 0 && shownLength < log.size() && log[shownLength - 1] == L'\r' && log[shownLength] == L'\n';
    const LRESULT boxLength = GetWindowTextLengthW(box);
    if (shownLength > log.size() || splitLineEnd || SendMessageW(box, EM_GETMODIFY, 0, 0) != 0 || boxLength < 0 ||
        static_cast<std::size_t>(boxLength) != shownLength) {
        SetLogText(log);
        return;
    }
    // Replacing a selection obeys the box's text limit, which SetWindowText
    // does not; without lifting it a long log would be cut off.
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    const std::wstring added = log.substr(shownLength);
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(boxLength), boxLength);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
    // As after SetWindowText: caret and view at the start, nothing modified.
    SendMessageW(box, EM_SETSEL, 0, 0);
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
    SendMessageW(box, EM_SETMODIFY, FALSE, 0);
    PaintNow(box);
}

void CTolvaneWinDlg::ShowProtections(const std::wstring& text)
{
    SetWindowTextW(Item(IDC_PROTECTIONS), text.c_str());
    PaintNow(Item(IDC_PROTECTIONS));
}

void CTolvaneWinDlg::ShowCompletedMessage(const std::wstring& text)
{
    MessageBoxW(m_hWnd, text.c_str(), L"", 0);
}

void CTolvaneWinDlg::RunLoopTimer(bool run)
{
    AddStopControl();
    // The timer's id is the stop control's, which exists only with the loop.
    if (run)
        SetTimer(m_hWnd, IDC_STOP_LOOP, LoopPollMs(), nullptr);
    else
        KillTimer(m_hWnd, IDC_STOP_LOOP);
    EnableWindow(m_stopLoop, Looping() ? TRUE : FALSE);
}

void CTolvaneWinDlg::AddStopControl()
{
    if (m_stopLoop)
        return;
    RECT line{};
    GetWindowRect(Item(IDC_PROTECTIONS), &line);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&line), 2);
    RECT size{0, 0, 60, 18};
    MapDialogRect(m_hWnd, &size);
    m_stopLoop = CreateWindowExW(0, L"BUTTON", L"Stop Loop", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                 line.left, line.bottom + 2, size.right, size.bottom - 4, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STOP_LOOP)), m_hInstance, nullptr);
    SendMessageW(m_stopLoop, WM_SETFONT, SendMessageW(m_hWnd, WM_GETFONT, 0, 0), FALSE);
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + size.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
}
