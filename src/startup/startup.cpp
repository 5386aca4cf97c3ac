// The start-up sequence, then the wizard as a fixed sequence of modal
// dialogs over the backdrop window.
#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

void probe_windows_version(void)
{
    session.is_nt = (sys_GetVersion() & 0x80000000u) == 0 ? 1 : 0;
}

static int parse_command_line(char *text)
{
    return command_line_apply(text, &session.run_mode, &session.debug_run);
}

// Once finish_run has closed the backdrop, no further page may be shown.
static int show_page(int template_id, DLGPROC procedure)
{
    if (!IsWindow(session.backdrop_window))
        return 0;
    DialogBoxParamA(session.instance, MAKEINTRESOURCEA(template_id), session.backdrop_window, procedure, 0);
    return IsWindow(session.backdrop_window);
}

static void run_wizard(void)
{
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

DWORD setup_main(HINSTANCE instance, char *command_line)
{
    session.instance = instance;
    load_system_libraries();
    probe_windows_version();
    if (!parse_command_line(command_line))
        return 0;
    if (!discover_environment())
        return 0;
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
        return 0;
    if (from_medium) {
        start_temporary_copy();
        return 0;
    }
    if (!register_backdrop_class() || !create_backdrop_window())
        return 0;
    run_wizard();
    return 0;
}
