// Minimal page procedures: each page shows its template and leads on with
// command 1 or ends the run with command 2. The information pages, the setup
// page and the progress dialog replace these with their full behaviour.
#include "setup.h"
#include "ui.h"
#include "wizard.h"

static INT_PTR minimal_page(HWND page, UINT message, WPARAM wparam, int ends_run)
{
    if (message == WM_INITDIALOG) {
        center_on_backdrop(page);
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    if (wparam == IDOK) {
        if (ends_run)
            finish_run(session.debug_run ? DebugRun : Cancelled);
        else
            EndDialog(page, 0);
        return 1;
    }
    if (wparam == IDCANCEL) {
        finish_run(Cancelled);
        return 1;
    }
    return 0;
}

INT_PTR CALLBACK info_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    return minimal_page(page, message, wparam, 0);
}

INT_PTR CALLBACK setup_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    if (message == WM_COMMAND && wparam == 1010) {
        session.back_requested = 1;
        EndDialog(page, 0);
        return 1;
    }
    return minimal_page(page, message, wparam, 0);
}

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
