// The progress dialog: it performs the whole installation or removal while
// it is being created, in a fixed order of steps, and hands the outcome to
// finish_run.
#include <windows.h>

#include "engine.h"
#include "registry.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "ui.h"

void advance_progress(HWND dialog, unsigned int size)
{
    if (session.total_bytes == 0)
        return;
    session.done_bytes += size;
    note_progress(dialog);
}

// Start menu, then the three registry entries, each only when the script
// asks for it. Their results do not change the run's outcome.
static void register_application(HWND dialog)
{
    // A negative count asks for nothing; one beyond the entries present
    // ends after the last of them.
    if (script_read_int("startmenu", "menus", 0) > 0) {
        show_status_step(dialog, MSG_STATUS_STARTMENU);
        update_program_group(script_read_last_entry("startmenu", "menus", "start"));
    }
    if (script_read_int("registry", "version", 0) != 0) {
        show_status_step(dialog, MSG_STATUS_REGISTRY);
        apply_version_key(dialog);
    }
    if (script_read_int("registry", "path", 0) != 0) {
        show_status_step(dialog, MSG_STATUS_REGISTRY);
        apply_app_path(dialog);
    }
    if (script_read_int("registry", "uninstall", 0) != 0) {
        show_status_step(dialog, MSG_STATUS_REGISTRY);
        apply_uninstall_entry(dialog);
    }
}

static CompletionCode install(HWND dialog)
{
    int files_done = process_file_list(dialog);
    if (files_done)
        register_application(dialog);
    return files_done ? InstallSucceeded : InstallFailed;
}

static CompletionCode uninstall(HWND dialog)
{
    register_application(dialog);
    show_status_step(dialog, MSG_STATUS_REGISTRY);
    remove_class_keys(dialog);
    remove_user_key(dialog);
    remove_uninstall_list(dialog);
    int files_done = process_file_list(dialog);
    if (session.removal_log)
        write_removal_log();
    return files_done ? UninstallSucceeded : UninstallFailed;
}

static void run(HWND dialog)
{
    if (session.debug_run) {
        finish_run(DebugRun);
        return;
    }
    begin_paced_run(dialog);
    CompletionCode code = session.run_mode == RunModeUninstall ? uninstall(dialog) : install(dialog);
    end_paced_run();
    finish_run(code);
}

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)wparam;
    (void)lparam;
    switch (message) {
    case WM_INITDIALOG:
        center_on_backdrop(dialog);
        prepare_status_area(dialog);
        // The run happens inside this call, before the dialog's creation
        // returns: the dialog never waits for input.
        SendMessageA(dialog, WM_CREATE, 0, 0);
        return 0;
    case WM_CREATE:
        run(dialog);
        return 1;
    default:
        return 0;
    }
}
