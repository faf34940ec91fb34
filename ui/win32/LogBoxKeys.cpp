#include "LogBoxKeys.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kSubclassId = 1;

bool CtrlDown()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

// The edit control asks for every key; for a plain Enter it now declines, so
// the dialog manager handles the key as it does for any control that does
// not want it: with no default push button, it sends IDOK. Ctrl+Enter stays
// with the control, which would start a new line with it; WM_CHAR stops that.
LRESULT CALLBACK LogBoxProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_GETDLGCODE) {
        LRESULT code = DefSubclassProc(hWnd, message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && !CtrlDown())
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        return code;
    }
    if (message == WM_CHAR && (wParam == L'\r' || wParam == L'\n'))
        return 0;
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(hWnd, LogBoxProc, kSubclassId);
    return DefSubclassProc(hWnd, message, wParam, lParam);
}
} // namespace

bool RouteLogBoxEnterToDialog(HWND logBox)
{
    return logBox && SetWindowSubclass(logBox, LogBoxProc, kSubclassId, 0) != FALSE;
}
