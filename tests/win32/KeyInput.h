// Real key presses for a window of another process: the window is brought
// to the foreground and the keys go in through SendInput, so they take the
// same road as the operator's (the focused control, the dialog manager).
#ifndef TOLVANE_TESTS_WIN32_KEYINPUT_H
#define TOLVANE_TESTS_WIN32_KEYINPUT_H

#include <windows.h>

#include <initializer_list>

// Moves the keyboard focus of dialog to control as Tab would (WM_NEXTDLGCTL)
// and waits until that thread reports it; false on timeout.
bool FocusDialogControl(HWND dialog, HWND control, DWORD timeoutMs);

// The control that has the keyboard focus in window's thread, or null.
HWND FocusOf(HWND window);

// Makes window the foreground window, then presses the virtual keys in
// order and releases them in reverse (VK_CONTROL, VK_RETURN: Ctrl+Enter).
// False when the window cannot be brought forward or the input is refused.
bool PressKeys(HWND window, std::initializer_list<WORD> keys);

#endif
