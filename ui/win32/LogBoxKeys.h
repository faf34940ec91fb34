// Enter in the log box, as a Windows dialog takes it: the multi-line edit
// control would keep the key for itself (and under Wine drop it), so the
// dialog's standard OK command would never come.
#ifndef TOLVANE_UI_WIN32_LOGBOXKEYS_H
#define TOLVANE_UI_WIN32_LOGBOXKEYS_H

#include <windows.h>

// From now on Enter typed into logBox reaches its dialog as IDOK, through
// the dialog manager, and no key starts a new line in it; typing otherwise
// works as before. False when the control could not be subclassed.
bool RouteLogBoxEnterToDialog(HWND logBox);

#endif
