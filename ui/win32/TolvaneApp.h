// The application object of Tolvane.exe: one per process, with static
// storage, as the dialog-based program has always been built.
#ifndef TOLVANE_UI_WIN32_TOLVANEAPP_H
#define TOLVANE_UI_WIN32_TOLVANEAPP_H

#include "WindowOptions.h"

#include <windows.h>

class CTolvaneApp {
public:
    // Shows the main dialog until the operator ends it; when it cannot be
    // opened, tells the operator so and sets m_nExitCode. Returns FALSE, so
    // the program ends with the dialog: there is no message loop of its own.
    BOOL InitInstance();

    HINSTANCE m_hInstance = nullptr;
    WindowOptions m_options;
    // 0 once the dialog has run; 1 when it could not be opened.
    int m_nExitCode = 0;
};

extern CTolvaneApp theApp;

#endif
