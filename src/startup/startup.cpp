// The start-up sequence, then the wizard as a fixed sequence of modal
// dialogs over the backdrop window.
#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

void probe_windows_version(void)
{
    session.is_nt = (sys_GetVersion() & 0x80000000u) == 0 ? 1 : 0;
}

// The command line into the session: 1 when it is accepted.
static int parse_command_line(char *text, int *show_help)
{
    CommandLine line;
    int accepted = command_line_apply(text, &line);
    session.run_mode = line.run_mode;
    session.debug_run = line.debug_run;
    session.unattended = line.unattended;
    session.no_restart = line.no_restart;
    *show_help = line.show_help;
    if (!accepted)
        return 0;
    if (line.dir[0] != '\0') {
        // An absolute folder that still fits with its final backslash.
        if (!command_line_folder_is_absolute(line.dir))
            return 0;
        path_destination(line.dir, "", session.given_dir, sizeof session.given_dir);
        if (!path_ends_in_backslash(session.given_dir))
            return 0;
    }
    // Made absolute here, so that the temporary copy writes to the same file.
    if (line.log[0] != '\0') {
        DWORD len = sys_GetFullPathNameA(line.log, sizeof session.log_path, session.log_path, NULL);
        if (len == 0 || len >= sizeof session.log_path)
            return 0;
    }
    return 1;
}

static const char *page_name(int template_id)
{
    switch (template_id) {
    case IDD_START:
        return "start prompt";
    case IDD_WELCOME:
        return session.run_mode == RunModeUninstall ? "farewell page" : "welcome page";
    case IDD_COPYRIGHT:
        return "licence page";
    case IDD_SETUP:
        return "setup page";
    default:
        return "progress dialog";
    }
}

// Once finish_run has closed the backdrop, no further page may be shown.
static int show_page(int template_id, DLGPROC procedure)
{
    if (!IsWindow(session.backdrop_window))
        return 0;
    log_event("%s shown", page_name(template_id));
    DialogBoxParamA(session.instance, MAKEINTRESOURCEA(template_id), session.backdrop_window, procedure, 0);
    return IsWindow(session.backdrop_window);
}

static void run_wizard(void)
{
    // Unattended, every page is taken as accepted: the setup page's probe,
    // figures and checks still run.
    if (session.unattended) {
        if (session.run_mode == RunModeUninstall || accept_setup_page())
            show_page(IDD_PROGRESS, progress_dialog_proc);
        return;
    }
    if (session.run_mode != RunModeUninstall) {
        session.info_page = 0;
        if (!show_page(IDD_START, info_page_proc))
            return;
    }
    session.info_page = 1;
    if (!show_page(IDD_WELCOME, info_page_proc))
        return;
    if (session.run_mode != RunModeUninstall) {
        for (;;) {
            session.info_page = 2;
            if (!show_page(IDD_COPYRIGHT, info_page_proc))
                return;
            if (!show_page(IDD_SETUP, setup_page_proc))
                return;
            if (!session.back_requested)
                break;
            session.back_requested = 0;
        }
    }
    show_page(IDD_PROGRESS, progress_dialog_proc);
}

static int is_named_setup_exe(const char *module_path)
{
    const char *slash = text_find_last(module_path, '\\');
    return text_equal_nocase(slash ? slash + 1 : module_path, "setup.exe");
}

// What an exit code tells the caller, for the log.
static const char *exit_code_meaning(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return "done";
    case ERROR_SUCCESS_REBOOT_REQUIRED:
        return "done; Windows must restart to finish";
    case ERROR_INSTALL_USEREXIT:
        return "cancelled";
    case ERROR_DISK_FULL:
        return "not enough disk space";
    case ERROR_INSTALL_ALREADY_RUNNING:
        return "another setup is running";
    case ERROR_INSTALL_PACKAGE_INVALID:
        return "the script is missing, cannot be read or is refused";
    default:
        return "failed";
    }
}

// One setup at a time on the machine: a second run meets the first one's
// lock. The lock stays with the process until it ends. Where no lock can be
// made at all, the run goes on without one.
static int take_run_lock(void)
{
    // Global\ reaches every session of a terminal server; systems without
    // sessions refuse the prefix and take the bare name after it.
    static const char global_name[] = "Global\\TableDrivenSetup.Run";
    HANDLE lock = sys_CreateMutexA(NULL, FALSE, global_name);
    if (lock == NULL)
        lock = sys_CreateMutexA(NULL, FALSE, global_name + sizeof "Global\\" - 1);
    session.run_lock = lock;
    if (lock == NULL || GetLastError() != ERROR_ALREADY_EXISTS)
        return 1;
    show_message(MSG_ALREADY_RUNNING, CAP_START_ERROR, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

// The run after start-up: the wizard over the backdrop, or with /QUIET no
// window at all. Its end (finish_run) sets the exit code.
static void run_after_start(void)
{
    session.exit_code = ERROR_INSTALL_FAILURE;
    if (session.given_dir[0] != '\0' && session.run_mode != RunModeUninstall)
        text_copy(session.destination_dir, sizeof session.destination_dir, session.given_dir);
    if (session.unattended == UnattendedQuiet) {
        if (session.run_mode == RunModeUninstall || accept_setup_page())
            run_without_window();
        return;
    }
    if (!register_backdrop_class() || !create_backdrop_window())
        return;
    run_wizard();
}

static DWORD start_up(char *command_line)
{
    char given[512];
    text_copy(given, sizeof given, command_line);
    int show_help = 0;
    if (!parse_command_line(command_line, &show_help))
        return ERROR_INVALID_COMMAND_LINE;
    if (show_help) {
        // Asked for, so shown even in an unattended run.
        session.unattended = UnattendedNone;
        show_message(MSG_USAGE, CAP_USAGE, MB_OK | MB_ICONINFORMATION);
        return ERROR_SUCCESS;
    }
    if (session.log_path[0] != '\0' && !open_run_log(session.log_path))
        return ERROR_INSTALL_LOG_FAILURE;
    log_event("started: %s", given);
    if (!discover_environment())
        return ERROR_INSTALL_FAILURE;
    log_event("program %s, script %s, medium %s, Windows %s, system %s", session.module_path, session.script_path,
              session.source_dir, session.windows_dir, session.system_dir);
    int from_medium = session.run_mode == RunModeSetup && is_named_setup_exe(session.module_path);
    // Without its script a run would install or remove nothing and still
    // report success. Only a /DEBUG walk through the pages does what it says
    // without one, and not from the medium, whose start copies the script.
    if ((!session.debug_run || from_medium) && !script_can_be_read()) {
        show_message(MSG_SCRIPT_MISSING, CAP_START_ERROR, MB_OK | MB_ICONSTOP, session.script_path);
        return ERROR_INSTALL_PACKAGE_INVALID;
    }
    // Before anything is copied or shown: a name that leaves its folder or
    // names a whole registry root is never acted on.
    if (!script_names_are_safe())
        return ERROR_INSTALL_PACKAGE_INVALID;
    if (from_medium)
        return start_temporary_copy();
    if (!session.debug_run && !take_run_lock())
        return ERROR_INSTALL_ALREADY_RUNNING;
    run_after_start();
    return session.exit_code;
}

DWORD setup_main(HINSTANCE instance, char *command_line)
{
    session.instance = instance;
    load_system_libraries();
    probe_windows_version();
    DWORD code = start_up(command_line);
    log_event("exit code %lu: %s", code, exit_code_meaning(code));
    return code;
}
