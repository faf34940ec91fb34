// Resource ids of the upgrade program, grouped by kind. Shared by the
// resource script, the Windows dialog and the window logic.
#ifndef TOLVANE_UI_RESOURCE_H
#define TOLVANE_UI_RESOURCE_H

// Dialogs
#define IDD_TOLVANE_DIALOG 102

// Icons and bitmaps
#define IDR_MAINFRAME 128
#define IDB_LOGO 138

// Controls of the main dialog
#define IDC_SCAN_DEVICE 1000
#define IDC_START_UPGRADE 1001
#define IDC_LOG 1002
#define IDC_LOGO 1005
#define IDC_PROGRESS 1006
#define IDC_LAMP 1007
#define IDC_PROTECTIONS 1008
// Made at run time, with --loop only: below the template's controls.
#define IDC_STOP_LOOP 1009

#endif
