// Recording the top-level windows of the watched processes: "show" when a
// window becomes visible, "change" when what it shows changes, "hide" when
// it is hidden or destroyed.
#pragma once

#include <windows.h>

#include "window_model.h"

struct Tracked {
    HWND hwnd;
    int in_use;
    int shown;                  // recorded as visible
    long long visible_since;    // transcript time it was first seen visible, -1 when hidden
    long long shown_at;         // transcript time of the last "show"
    long long quiet_until;      // no messages to it before then (it did not answer)
    int claimed;                // an expect step has taken it since it was shown
    int icon;                   // recognised message-box icon (UID_ICON_UNKNOWN until then)
    UidWindow info;             // what the last record said
};

// Looks at every top-level window once; writes the transcript lines.
// settle_ms: how long the first record of a message box may wait for its
// icon to be recognised on the screen (it must have been painted).
void winrec_poll(int settle_ms);

// Records every window that is still shown as hidden (at the end of a run).
void winrec_hide_all(void);

int winrec_count(void);
Tracked *winrec_at(int i);
Tracked *winrec_find(HWND hwnd);

// Reads a window's current state into w (not recorded).
void winrec_describe(HWND hwnd, UidWindow *w);
