#include "TolvaneApp.h"

#include "TolvaneWinDlg.h"

#include <commctrl.h>

CTolvaneApp theApp;

BOOL CTolvaneApp::InitInstance()
{
    // The progress bar's class lives in the common controls; the version 6
    // manifest gives the buttons and the bar the current visual style.
    INITCOMMONCONTROLSEX InitCtrls;
    InitCtrls.dwSize = sizeof(InitCtrls);
    InitCtrls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&InitCtrls);

    CTolvaneWinDlg dlg(m_hInstance);
    // Whether the operator left with Enter, Escape or the close box makes no
    // difference: every upgrade is finished before a button can end it.
    dlg.DoModal();
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int)
{
    theApp.m_hInstance = hInstance;
    theApp.InitInstance();
    return 0;
}
