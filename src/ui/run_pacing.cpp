// The progress dialog while a step runs. The whole run happens inside the
// dialog's creation, away from any message loop; a window that does not
// look at its messages for seconds is shown as not responding, and a click
// on it offers to end the program in the middle of an installation. So
// every PACE_MS the dialog looks at its queue: paint and other messages are
// handled, input is dropped (nothing may start anew until the run has
// ended). The names and the bar are only noted as they change, and drawn as
// they are now every SHOW_MS: drawing them for every file would cost more
// than the copy of a small file, and even at every look it would take a
// twentieth of the run.
#include <windows.h>

#include <commctrl.h>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "text.h"
#include "ui.h"

enum { PACE_MS = 50, SHOW_MS = 250 };

static HWND paced_dialog;
static DWORD paced_at, shown_at;
static int clock_started;
static char pending_first[SETUP_PATH_SIZE];
static char pending_second[SETUP_PATH_SIZE];
static int first_pending, second_pending, bar_pending;

static int is_input(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

static void look_at_queue(void)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (is_input(msg.message))
            continue;
        if (msg.message == WM_QUIT) {
            // Not ours to take: the loop that ends the program sees it again.
            PostQuitMessage((int)msg.wParam);
            return;
        }
        // Keys are dropped above, so there is nothing to translate.
        DispatchMessageA(&msg);
    }
}

static void show_noted(void)
{
    HWND dialog = paced_dialog;
    if (first_pending)
        SetDlgItemTextA(dialog, IDC_SOURCE_FILE, pending_first);
    if (second_pending)
        SetDlgItemTextA(dialog, IDC_TARGET_FILE, pending_second);
    first_pending = second_pending = 0;
    if (bar_pending && session.total_bytes != 0) {
        HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
        InvalidateRect(bar, NULL, TRUE);
        SendMessageA(bar, PBM_SETPOS, progress_percentage(session.done_bytes, session.total_bytes), 0);
    }
    bar_pending = 0;
}

void pace_run(void)
{
    // The first look comes PACE_MS into the step: a short step is not held
    // up by painting a dialog that its closing message will paint anyway.
    DWORD now = sys_GetTickCount();
    if (!clock_started) {
        clock_started = 1;
        paced_at = shown_at = now;
        return;
    }
    if (now - paced_at < PACE_MS)
        return;
    paced_at = now;
    if (paced_dialog && now - shown_at >= SHOW_MS) {
        shown_at = now;
        show_noted();
    }
    look_at_queue();
}

void show_paced_now(void)
{
    if (paced_dialog)
        show_noted();
}

void forget_noted_names(void)
{
    first_pending = second_pending = 0;
}

void note_file_names(HWND dialog, const char *first, const char *second)
{
    paced_dialog = dialog;
    text_copy(pending_first, sizeof pending_first, first);
    first_pending = 1;
    if (second) {
        text_copy(pending_second, sizeof pending_second, second);
        second_pending = 1;
    }
    pace_run();
}

void note_progress(HWND dialog)
{
    paced_dialog = dialog;
    bar_pending = 1;
    pace_run();
}

void begin_paced_run(HWND dialog)
{
    paced_dialog = dialog;
    clock_started = 0;
    first_pending = second_pending = bar_pending = 0;
    session.run_busy = 1;
}

void end_paced_run(void)
{
    show_paced_now();
    paced_dialog = NULL;
    session.run_busy = 0;
}
