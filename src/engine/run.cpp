// The run: the progress dialog carries out the whole installation or removal
// while it is being created, as install() or uninstall() orders the steps,
// and hands the outcome to finish_run.
#include <windows.h>

#include "engine.h"
#include "registry.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "ui.h"

// Whether the script asks for the program group, with the Start-menu status
// shown when it does. A negative count asks for nothing; one beyond the
// entries present ends after the last of them.
static int start_menu_asked(HWND dialog)
{
    if (script_read_int("startmenu", "menus", 0) <= 0)
        return 0;
    show_status_step(dialog, MSG_STATUS_STARTMENU);
    return 1;
}

static unsigned int last_start_entry(void)
{
    return script_read_last_entry("startmenu", "menus", "start");
}

// Whether a [registry] switch (version, path, uninstall) asks for its entry,
// with the registry status shown when it does.
static int registry_asked(HWND dialog, const char *key)
{
    if (script_read_int("registry", key, 0) == 0)
        return 0;
    show_status_step(dialog, MSG_STATUS_REGISTRY);
    return 1;
}

// The files, then the Start menu and the three registry entries. A failed
// file step ends the run; what the later steps report does not change its
// outcome.
static CompletionCode install(HWND dialog)
{
    if (!process_file_list(dialog))
        return InstallFailed;
    if (start_menu_asked(dialog))
        create_program_group(last_start_entry());
    if (registry_asked(dialog, "version"))
        apply_version_key();
    if (registry_asked(dialog, "path"))
        apply_app_path();
    if (registry_asked(dialog, "uninstall"))
        apply_uninstall_entry();
    return InstallSucceeded;
}

// The registrations first (the Start menu and the three registry entries, as
// the script's switches ask), then the keys only a removal touches, the
// uninstall list, the files (the file step removes in Uninstall mode), and
// the log of what could not go.
static CompletionCode uninstall(HWND dialog)
{
    if (start_menu_asked(dialog))
        remove_program_group(dialog, last_start_entry());
    if (registry_asked(dialog, "version"))
        remove_version_key(dialog);
    if (registry_asked(dialog, "path"))
        remove_app_path(dialog);
    if (registry_asked(dialog, "uninstall"))
        remove_uninstall_entry(dialog);
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
    // A failed file step takes back what the run changed before the closing
    // message; later steps never fail the installation, which stays whole
    // and removable.
    if (code == InstallFailed)
        undo_installation(dialog);
    forget_journal();
    end_paced_run();
    finish_run(code);
}

void run_without_window(void)
{
    run(NULL);
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
