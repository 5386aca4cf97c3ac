// Minimal progress dialog: it shows its status area and ends the run at once,
// as a rehearsal (/DEBUG) does; the progress driver replaces it.
#include "setup.h"
#include "ui.h"
#include "wizard.h"

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    (void)wparam;
    if (message == WM_INITDIALOG) {
        center_on_backdrop(dialog);
        prepare_status_area(dialog);
        finish_run(session.debug_run ? DebugRun : Cancelled);
        return 1;
    }
    return 0;
}
