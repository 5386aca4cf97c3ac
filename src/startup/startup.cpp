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

void setup_main(HINSTANCE instance, char *command_line)
{
    session.instance = instance;
    load_system_libraries();
    probe_windows_version();
    if (!parse_command_line(command_line))
        return;
    if (!discover_environment())
        return;
    // Before anything is copied or shown: a name that leaves its folder or
    // names a whole registry root is never acted on.
    if (!script_names_are_safe())
        return;
    if (session.run_mode == RunModeSetup && is_named_setup_exe(session.module_path)) {
        start_temporary_copy();
        return;
    }
    if (!register_backdrop_class() || !create_backdrop_window())
        return;
    run_wizard();
}
