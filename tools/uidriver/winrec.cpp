// Window recording of the UI driver.
#include "winrec.h"

#include <commctrl.h>

#include <string.h>

#include "json_text.h"
#include "procwatch.h"
#include "screen.h"
#include "transcript.h"

enum {
    MAX_TRACKED = 64,
    SEND_TIMEOUT_MS = 100,
    QUIET_MS = 500,  // no messages to a window that did not answer, for this long
    MAX_TEXT_UNITS = 32768,
};

static Tracked tracked[MAX_TRACKED];
static UidWindow scratch;
static wchar_t wide[MAX_TEXT_UNITS];
static char utf8[MAX_TEXT_UNITS * 3];

// Windows of the input method and similar helpers that every GUI process
// owns: not part of what a program shows.
static int ignored_class(const char *cls)
{
    return strcmp(cls, "IME") == 0 || strcmp(cls, "MSCTFIME UI") == 0 ||
           strcmp(cls, "tooltips_class32") == 0;
}

static void class_utf8(HWND hwnd, char *out, size_t size)
{
    wchar_t cls[256];
    int n = GetClassNameW(hwnd, cls, 256);
    utf16_to_utf8((const uint16_t *)cls, n > 0 ? (size_t)n : 0, out, size);
}

// A window's text without sending it a message: Wine (like Windows) keeps
// the text that DefWindowProc set with the window, so this never waits for
// a busy program.
static const char *stored_text(HWND hwnd)
{
    int n = InternalGetWindowText(hwnd, wide, MAX_TEXT_UNITS);
    utf16_to_utf8((const uint16_t *)wide, n > 0 ? (size_t)n : 0, utf8, sizeof utf8);
    return utf8;
}

// Edit fields keep their text themselves: ask with WM_GETTEXT, within a
// short time. *busy is set when the program did not answer; further
// questions to it are then skipped in this poll.
static const char *asked_text(HWND hwnd, int *busy)
{
    DWORD_PTR len = 0;
    if (!*busy && SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &len)) {
        DWORD_PTR got = 0;
        if (len >= MAX_TEXT_UNITS)
            len = MAX_TEXT_UNITS - 1;
        wide[0] = 0;
        if (SendMessageTimeoutW(hwnd, WM_GETTEXT, (WPARAM)(len + 1), (LPARAM)wide, SMTO_ABORTIFHUNG,
                                SEND_TIMEOUT_MS, &got)) {
            if (got > len)
                got = len;
            utf16_to_utf8((const uint16_t *)wide, (size_t)got, utf8, sizeof utf8);
            return utf8;
        }
    }
    *busy = 1;
    return stored_text(hwnd);
}

static int ask(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, int *busy, DWORD_PTR *result)
{
    if (*busy)
        return 0;
    if (SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, result))
        return 1;
    *busy = 1;
    return 0;
}

static int class_has(const char *cls, const char *part)
{
    char low[UID_CLASS_MAX];
    size_t i = 0;
    for (; cls[i] && i + 1 < sizeof low; i++)
        low[i] = (char)(cls[i] >= 'A' && cls[i] <= 'Z' ? cls[i] - 'A' + 'a' : cls[i]);
    low[i] = 0;
    return strstr(low, part) != NULL;
}

struct ChildWalk {
    UidWindow *w;
    const UidWindow *previous;  // for progress values that could not be read
    int busy;
};

// The control at the same place in the previous record, if it is the same.
static const UidControl *previous_control(const ChildWalk *walk, int id)
{
    int i = walk->w->ncontrols;
    if (!walk->previous || i >= walk->previous->ncontrols || walk->previous->controls[i].id != id)
        return NULL;
    return &walk->previous->controls[i];
}

static BOOL CALLBACK add_child(HWND child, LPARAM lp)
{
    ChildWalk *walk = (ChildWalk *)lp;
    UidWindow *w = walk->w;
    char cls[UID_CLASS_MAX];
    class_utf8(child, cls, sizeof cls);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    int id = (int)(GetDlgCtrlID(child) & 0xFFFF);
    const UidControl *before = previous_control(walk, id);
    const char *text;
    if (class_has(cls, "edit") || class_has(cls, "combobox")) {
        if (walk->busy && before)
            text = uid_control_text(walk->previous, before);  // not asked again: keep
        else
            text = asked_text(child, &walk->busy);
    } else {
        text = stored_text(child);
    }
    UidControl *c = uid_add_control(w, id, cls, (uint32_t)style, (style & WS_VISIBLE) != 0,
                                    (style & WS_DISABLED) == 0, text);
    if (!c)
        return FALSE;
    if (class_has(cls, "msctls_progress32")) {
        DWORD_PTR pos, lo, hi;
        if (ask(child, PBM_GETPOS, 0, 0, &walk->busy, &pos) && ask(child, PBM_GETRANGE, TRUE, 0, &walk->busy, &lo) &&
            ask(child, PBM_GETRANGE, FALSE, 0, &walk->busy, &hi)) {
            c->is_progress = 1;
            c->pos = (int)pos;
            c->lo = (int)lo;
            c->hi = (int)hi;
        } else {
            // Keep what was read before rather than report a change.
            if (before && before->is_progress) {
                c->is_progress = 1;
                c->pos = before->pos;
                c->lo = before->lo;
                c->hi = before->hi;
            }
        }
    }
    return TRUE;
}

// Reads the window's state into w. quiet: send the program no messages
// (it did not answer lately); returns 1 when a message was not answered.
static int describe(HWND hwnd, UidWindow *w, const UidWindow *previous, int quiet)
{
    DWORD pid = 0;
    uid_window_clear(w);
    GetWindowThreadProcessId(hwnd, &pid);
    w->pid = pid;
    w->hwnd = (unsigned long long)(ULONG_PTR)hwnd;
    w->owner = (unsigned long long)(ULONG_PTR)GetWindow(hwnd, GW_OWNER);
    class_utf8(hwnd, w->cls, sizeof w->cls);
    int n = InternalGetWindowText(hwnd, wide, MAX_TEXT_UNITS);
    utf16_to_utf8((const uint16_t *)wide, n > 0 ? (size_t)n : 0, w->caption, sizeof w->caption);
    w->style = (uint32_t)GetWindowLongW(hwnd, GWL_STYLE);
    w->exstyle = (uint32_t)GetWindowLongW(hwnd, GWL_EXSTYLE);
    w->maximized = IsZoomed(hwnd) != 0;
    w->visible = IsWindowVisible(hwnd) != 0;
    w->enabled = IsWindowEnabled(hwnd) != 0;
    ChildWalk walk = {w, previous, quiet};
    EnumChildWindows(hwnd, add_child, (LPARAM)&walk);
    int unanswered = walk.busy && !quiet;
    uid_classify(w);
    if (w->kind != UID_KIND_MESSAGEBOX)
        return unanswered;
    if (w->default_button == 0) {
        // No button has the default style: ask the dialog manager.
        DWORD_PTR defid = 0;
        if (ask(hwnd, DM_GETDEFID, 0, 0, &walk.busy, &defid) && HIWORD(defid) == DC_HASDEFID) {
            w->dm_defid = LOWORD(defid);
            uid_classify(w);
        }
    }
    w->has_icon_image = 0;
    if (w->mb_icon_index >= 0) {
        HWND icon = GetDlgItem(hwnd, w->controls[w->mb_icon_index].id);
        DWORD_PTR image = 0;
        if (icon && ask(icon, STM_GETICON, 0, 0, &walk.busy, &image))
            w->has_icon_image = image != 0;
        else
            w->has_icon_image = 1;  // not known: look at the screen
    }
    w->icon = w->has_icon_image ? UID_ICON_UNKNOWN : UID_ICON_NONE;
    return walk.busy && !quiet;
}

void winrec_describe(HWND hwnd, UidWindow *w)
{
    describe(hwnd, w, NULL, 0);
}

static void record(const char *event, const UidWindow *w, int destroyed)
{
    JsonLine *j = transcript_begin(event);
    uid_window_json(j, w);
    if (destroyed)
        json_bool(j, "destroyed", 1);
    transcript_write(j);
}

int winrec_count(void)
{
    return MAX_TRACKED;
}

Tracked *winrec_at(int i)
{
    return i >= 0 && i < MAX_TRACKED && tracked[i].in_use ? &tracked[i] : NULL;
}

Tracked *winrec_find(HWND hwnd)
{
    for (int i = 0; i < MAX_TRACKED; i++)
        if (tracked[i].in_use && tracked[i].hwnd == hwnd)
            return &tracked[i];
    return NULL;
}

static int settle;
static int seen[MAX_TRACKED];

static BOOL CALLBACK visit(HWND hwnd, LPARAM lp)
{
    (void)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (!procwatch_is_watched(pid))
        return TRUE;
    Tracked *t = winrec_find(hwnd);
    if (!t && !IsWindowVisible(hwnd))
        return TRUE;
    char cls[UID_CLASS_MAX];
    class_utf8(hwnd, cls, sizeof cls);
    if (ignored_class(cls))
        return TRUE;
    if (!t) {
        for (int i = 0; i < MAX_TRACKED && !t; i++)
            if (!tracked[i].in_use)
                t = &tracked[i];
        if (!t)
            return TRUE;  // more windows than the table holds: not recorded
        memset(t, 0, offsetof(Tracked, info));
        t->in_use = 1;
        t->hwnd = hwnd;
        t->icon = UID_ICON_UNKNOWN;
        t->visible_since = -1;
        t->quiet_until = 0;
        uid_window_clear(&t->info);
    }
    seen[t - tracked] = 1;

    long long now = transcript_now();
    if (describe(hwnd, &scratch, t->shown ? &t->info : NULL, now < t->quiet_until))
        t->quiet_until = now + QUIET_MS;
    if (!scratch.visible)
        t->visible_since = -1;
    else if (t->visible_since < 0)
        t->visible_since = now;
    if (scratch.icon == UID_ICON_UNKNOWN) {
        // Read from the screen until recognised (the box may not be
        // painted yet at first sight), then kept.
        if (t->icon == UID_ICON_UNKNOWN && scratch.visible)
            t->icon = screen_recognise_icon(GetDlgItem(hwnd, scratch.controls[scratch.mb_icon_index].id));
        scratch.icon = t->icon;
    }

    if (scratch.visible && !t->shown) {
        // A message box is first recorded with its icon, unless it cannot
        // be recognised within the settle time.
        if (scratch.icon == UID_ICON_UNKNOWN && now - t->visible_since < settle)
            return TRUE;
        t->shown = 1;
        t->shown_at = now;
        t->claimed = 0;
        record("show", &scratch, 0);
    } else if (!scratch.visible && t->shown) {
        t->shown = 0;
        record("hide", &scratch, 0);
    } else if (t->shown && uid_window_differs(&t->info, &scratch)) {
        record("change", &scratch, 0);
    }
    memcpy(&t->info, &scratch, sizeof scratch);
    return TRUE;
}

void winrec_poll(int settle_ms)
{
    settle = settle_ms;
    memset(seen, 0, sizeof seen);
    EnumWindows(visit, 0);
    for (int i = 0; i < MAX_TRACKED; i++) {
        Tracked *t = &tracked[i];
        if (!t->in_use || seen[i])
            continue;
        // Gone: destroyed (or its process ended).
        if (t->shown) {
            t->info.visible = 0;
            record("hide", &t->info, 1);
        }
        t->in_use = 0;
    }
}

void winrec_hide_all(void)
{
    for (int i = 0; i < MAX_TRACKED; i++) {
        Tracked *t = &tracked[i];
        if (t->in_use && t->shown) {
            t->info.visible = 0;
            record("hide", &t->info, !IsWindow(t->hwnd));
            t->shown = 0;
        }
    }
}
