// Answers to windows: the actions of a scenario, done the way a user's
// input arrives (posted, so that a modal loop that the answer opens does
// not hold up the driver).
#pragma once

#include <windows.h>

#include <stddef.h>

#include "window_model.h"

enum ActResult { ACT_DONE = 1, ACT_WAIT, ACT_FAIL };

// Each returns ACT_WAIT while the window or control is not there, hidden or
// disabled (a user could not use it yet); detail receives a short note for
// the transcript or the failure message.

// Clicks the control with this id: WM_COMMAND/BN_CLICKED to its parent for
// push buttons, BM_CLICK for check boxes and radio buttons (so that their
// state changes as a click would change it).
int action_click(HWND window, int id, char *detail, size_t detail_size);

// Sets the control's text (WM_SETTEXT, UTF-16).
int action_type(HWND window, int id, const char *utf8, char *detail, size_t detail_size);

// Escape or Enter as the dialog manager handles them: Escape is IDCANCEL;
// Enter is the default button (DM_GETDEFID, else IDOK). A message box
// without a Cancel button ignores Escape unless its only button is OK.
int action_key(HWND window, const UidWindow *info, int key, char *detail, size_t detail_size);

// The button Enter would press in a window that waits for an answer (see
// uid_enter_button; a dialog's default is asked with DM_GETDEFID), or 0.
int action_enter_button(HWND window, UidWindow *info);

// WM_CLOSE.
int action_close(HWND window, char *detail, size_t detail_size);
