// The main dialog on Windows: the shared window logic of CTolvaneDlg over a
// modal dialog made from template IDD_TOLVANE_DIALOG, with its controls
// driven through plain Win32 calls. The Qt window is its twin on purpose:
// one window logic, shown by each system's own means.
#ifndef TOLVANE_UI_WIN32_TOLVANEWINDLG_H
#define TOLVANE_UI_WIN32_TOLVANEWINDLG_H

#include "TolvaneDlg.h"

#include <windows.h>

#include <cstddef>
#include <string>

class CTolvaneWinDlg final : public CTolvaneDlg {
public:
    explicit CTolvaneWinDlg(HINSTANCE hInstance, HWND hWndParent = nullptr);
    ~CTolvaneWinDlg() override;
    CTolvaneWinDlg(const CTolvaneWinDlg&) = delete;
    CTolvaneWinDlg& operator=(const CTolvaneWinDlg&) = delete;

    // Runs the dialog until EndDialog; returns its result, or -1 when the
    // template could not be made into a window.
    INT_PTR DoModal();

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

private:
    // The stop control, below the protections line, the dialog grown by its
    // height; once.
    void AddStopControl();
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnPaint();
    HICON OnQueryDragIcon() const { return m_hIcon; }
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    // The protections line's smaller font, made from the dialog's.
    void SetProtectionsFont();

    HINSTANCE m_hInstance;
    HWND m_hWndParent;
    HWND m_hWnd = nullptr;
    HICON m_hIcon;
    HDC m_pLampDC = nullptr;
    RECT m_rcLamp{};
    // The lamp's current colour; none until the first fill.
    HBRUSH m_brLamp = nullptr;
    RECT m_rcLampFill{};
    HFONT m_protectionsFont = nullptr;
    HWND m_stopLoop = nullptr;
};

#endif
