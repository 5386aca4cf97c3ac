// The end of every run: the closing message, the clean-up of the run mode,
// and the close of the backdrop window.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "ui.h"

// The cancel notice comes from the script, per mode.
static void show_cancel_notice(void)
{
    char caption[SCRIPT_TEXT_SIZE];
    char text[SCRIPT_TEXT_SIZE];
    memset(caption, 0, sizeof caption);
    memset(text, 0, sizeof text);
    if (session.run_mode == RunModeUninstall) {
        script_read_text("break", "title_uninstall", "[break]title_uninstall", caption, sizeof caption);
        script_read_text("break", "msg_uninstall", "[break]msg_uninstall", text, sizeof text);
    } else {
        script_read_text("break", "title", "[break]title", caption, sizeof caption);
        script_read_text("break", "msg", "[break]msg", text, sizeof text);
    }
    show_box(text, caption, MB_OK | MB_ICONEXCLAMATION);
}

static void show_closing_message(CompletionCode code)
{
    switch (code) {
    case Cancelled:
        show_cancel_notice();
        break;
    case InstallSucceeded:
        show_message(session.restart_needed ? MSG_SETUP_DONE_RESTART : MSG_SETUP_DONE, CAP_END,
                         MB_OK | MB_ICONINFORMATION, session.application_name);
        break;
    case InstallFailed:
        show_message(MSG_SETUP_FAILED, CAP_END, MB_OK | MB_ICONEXCLAMATION, session.application_name);
        break;
    case SetupRefused:
        show_message(MSG_NO_SPACE, CAP_END, MB_OK | MB_ICONEXCLAMATION, session.application_name);
        break;
    case UninstallSucceeded:
        show_message(MSG_REMOVAL_DONE, CAP_END, MB_OK | MB_ICONINFORMATION, session.application_name,
                          session.destination_dir);
        break;
    case UninstallFailed:
        show_message(MSG_REMOVAL_FAILED, CAP_END, MB_OK | MB_ICONEXCLAMATION, session.application_name,
                          session.destination_dir);
        break;
    case DebugRun:
        show_message(MSG_DEBUG_RUN, CAP_END, MB_OK | MB_ICONINFORMATION);
        break;
    }
}

// The exit code of a run's end, for the programs that start setup.exe and
// wait for it (deployment tools count 0 and 3010 as success).
static DWORD exit_code_of(CompletionCode code)
{
    switch (code) {
    case Cancelled:
        return ERROR_INSTALL_USEREXIT;
    case InstallSucceeded:
    case UninstallSucceeded:
        return session.restart_needed ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
    case SetupRefused:
        return session.space_refused ? ERROR_DISK_FULL : ERROR_INSTALL_FAILURE;
    case DebugRun:
        return ERROR_SUCCESS;
    default:
        return session.user_cancelled ? ERROR_INSTALL_USEREXIT : ERROR_INSTALL_FAILURE;
    }
}

void finish_run(CompletionCode code)
{
    session.exit_code = exit_code_of(code);
    log_event("end of the run: completion %u", (unsigned)code);
    show_closing_message(code);
    sys_SetCurrentDirectoryA(session.windows_dir);
    if (session.removal_log) {
        sys_GlobalFree(session.removal_log);
        session.removal_log = NULL;
    }
    if (session.run_mode == RunModeUninstall && !session.debug_run &&
        (code == UninstallSucceeded || code == UninstallFailed)) {
        remove_self(1);
    } else if (session.run_mode == RunModeTempCopy) {
        sys_DeleteFileA(session.script_path);
        remove_self(0);
    }
    SendMessageA(session.backdrop_window, WM_CLOSE, 0, 0);
}
