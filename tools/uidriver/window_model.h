// What the UI driver knows about one top-level window at one moment: its
// caption, styles, child controls and, for a message box, its text,
// buttons, icon and default button. Filled from Windows by winrec.cpp;
// classified, compared and written as JSON here, without Windows calls.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "json_text.h"

enum {
    UID_CLASS_MAX = 128,
    UID_CAPTION_MAX = 1024,
    UID_MAX_CONTROLS = 128,
    UID_POOL_SIZE = 65536,  // UTF-8 texts of all controls of one window
};

enum UidIcon {
    UID_ICON_UNKNOWN = 0,  // has an icon, not yet recognised
    UID_ICON_NONE,
    UID_ICON_STOP,         // MB_ICONHAND, MB_ICONERROR, MB_ICONSTOP
    UID_ICON_QUESTION,
    UID_ICON_EXCLAMATION,  // MB_ICONWARNING
    UID_ICON_INFORMATION,  // MB_ICONASTERISK
};

enum UidKind { UID_KIND_WINDOW = 0, UID_KIND_DIALOG, UID_KIND_MESSAGEBOX };

// Dialog ids of a message box: the text static, the icon static (Windows
// uses 20, Wine's user32 uses 1088) and the button range IDOK..IDCONTINUE.
enum {
    UID_MB_TEXT_ID = 0xFFFF,
    UID_MB_ICON_ID_WINDOWS = 0x14,
    UID_MB_ICON_ID_WINE = 1088,
    UID_MB_FIRST_BUTTON = 1,
    UID_MB_LAST_BUTTON = 11,
};

struct UidControl {
    int id;
    char cls[UID_CLASS_MAX];
    uint32_t style;
    int visible;
    int enabled;
    uint32_t text_off;  // into UidWindow::pool
    uint32_t text_len;
    int is_progress;    // msctls_progress32: pos, lo, hi are valid
    int pos, lo, hi;
};

struct UidWindow {
    unsigned long pid;
    unsigned long long hwnd;
    unsigned long long owner;
    char cls[UID_CLASS_MAX];
    char caption[UID_CAPTION_MAX];  // UTF-8
    uint32_t style;
    uint32_t exstyle;
    int maximized;
    int visible;
    int enabled;
    int ncontrols;
    int controls_truncated;
    UidControl controls[UID_MAX_CONTROLS];
    // Set by uid_classify.
    int kind;
    int mb_text_index;    // control holding a message box's text, or -1
    int mb_icon_index;    // control holding its icon, or -1
    int has_icon_image;   // the icon static shows an icon (set by the caller)
    int icon;             // UidIcon, set by the caller for a message box
    int dm_defid;         // DM_GETDEFID's id, 0 when none (set by the caller)
    int default_button;   // set by uid_classify
    uint32_t pool_used;
    char pool[UID_POOL_SIZE];
};

// Empties w (no controls, empty texts).
void uid_window_clear(UidWindow *w);

// Adds a control with the given UTF-8 text; returns it, or NULL when the
// window has UID_MAX_CONTROLS already. A text that does not fit the pool
// is cut (at a character boundary).
UidControl *uid_add_control(UidWindow *w, int id, const char *cls, uint32_t style, int visible,
                            int enabled, const char *text_utf8);

const char *uid_control_text(const UidWindow *w, const UidControl *c);

// Decides the kind, finds a message box's text and icon statics and the
// default button (the button with BS_DEFPUSHBUTTON, else dm_defid when that
// names one of the buttons, else 0).
void uid_classify(UidWindow *w);

// The button that Enter presses in w, when a user could press it now: a
// message box's default button; for a dialog, the button dm_defid names
// (the caller asks DM_GETDEFID). 0 when that button is missing, hidden or
// disabled (a progress dialog without buttons, an OK that is not yet
// enabled) and for windows that are not dialogs: nothing waits for Enter.
int uid_enter_button(const UidWindow *w);

// 1 when a and b differ in what the transcript reports as a change:
// caption, visibility, enabled state, maximised state, the controls, their
// texts, visibility, enabled state, progress position and range, the icon.
int uid_window_differs(const UidWindow *a, const UidWindow *b);

const char *uid_icon_name(int icon);
// Accepts the names of uid_icon_name and the aliases hand, error, warning,
// asterisk, info. Returns -1 for anything else.
int uid_icon_from_name(const char *name);
const char *uid_kind_name(int kind);

// Writes the members of the window's record (after "event" and "t", which
// the caller writes): pid, hwnd, owner, class, caption, style, exstyle,
// maximized, visible, enabled, kind, controls[...], and for a message box
// text, buttons[...], icon, default.
void uid_window_json(JsonLine *j, const UidWindow *w);
