// Dialog 102, the main window, as one table: caption, font, size, and every
// control with its class, text, style and place in dialog units. The Qt
// window is built from it; the Windows program takes its template from
// Tolvane.rc, and a test reads that template back from the built Tolvane.exe
// and checks it against this table, so the two cannot drift apart.
#ifndef TOLVANE_UI_DIALOGTABLE_H
#define TOLVANE_UI_DIALOGTABLE_H

#include "resource.h"

#include <cstdint>

namespace dialog_table {

struct Rect {
    int x, y, width, height;
};

struct Control {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text; // empty for none
    int bitmapId;        // the bitmap the control shows in place of a text, or 0
    Rect rect;
    // As the template stores it, with the WS_CHILD | WS_VISIBLE (and for push
    // buttons and edit boxes WS_TABSTOP) that the resource compiler adds.
    std::uint32_t style;
    std::uint32_t exStyle;
};

inline constexpr int kDialogId = IDD_TOLVANE_DIALOG;
inline constexpr wchar_t kCaption[] = L"USB3 Hub FW Upgrade Tool V2.8";
inline constexpr int kWidth = 172;
// 115 for the controls the operators know, and a band below them for the
// protections line.
inline constexpr int kHeight = 137;
// DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU
inline constexpr std::uint32_t kStyle = 0x90C800C0u;
inline constexpr std::uint32_t kExStyle = 0x00040000u; // WS_EX_APPWINDOW

inline constexpr wchar_t kFontFace[] = L"Times New Roman";
inline constexpr int kFontPoints = 12;
inline constexpr int kFontWeight = 700;

// In the template's order, which is also the tab order.
inline constexpr Control kControls[] = {
    // BS_PUSHBUTTON | WS_TABSTOP
    {IDC_SCAN_DEVICE, L"Button", L"Scan Device", 0, {45, 5, 60, 20}, 0x50010000u, 0},
    {IDC_START_UPGRADE, L"Button", L"Start Upgrade", 0, {108, 5, 60, 20}, 0x50010000u, 0},
    // ES_MULTILINE | ES_AUTOHSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP
    {IDC_LOG, L"Edit", L"", 0, {4, 29, 165, 67}, 0x50A10084u, 0},
    // SS_BITMAP | SS_CENTERIMAGE
    {IDC_LOGO, L"Static", L"", IDB_LOGO, {4, 5, 20, 20}, 0x5000020Eu, 0},
    // WS_BORDER
    {IDC_PROGRESS, L"msctls_progress32", L"", 0, {4, 102, 163, 6}, 0x50800000u, 0},
    // SS_OWNERDRAW | SS_RIGHTJUST | SS_REALSIZEIMAGE: the bits the lamp has always carried
    {IDC_LAMP, L"Static", L"", 0, {25, 7, 16, 16}, 0x50000C0Du, 0},
    // SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL: the protections line, below
    // every other control, wrapped (long names too) over three lines of its
    // smaller font; "&" in a file name stays an ampersand.
    {IDC_PROTECTIONS, L"Static", L"", 0, {4, 112, 165, 22}, 0x50002080u, 0},
};

// The protections line's font: the dialog's face, regular, this size.
inline constexpr int kProtectionsPoints = 9;

// Whether the dialog has a control with this id; usable in static_assert
// (unlike a comparison of Find's pointer, which some builds do not fold).
constexpr bool Has(int id)
{
    for (const Control& control : kControls) {
        if (control.id == id)
            return true;
    }
    return false;
}

// The control with this id, or null for an id the dialog lacks.
constexpr const Control* Find(int id)
{
    for (const Control& control : kControls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

} // namespace dialog_table

#endif
