// Environment discovery: the folders and paths every later step works with.
#include <string.h>

#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

static const char current_version_key[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// The ProgramFilesDir value, or the root of the Windows drive without it.
static void find_program_files(void)
{
    HKEY key;
    int found = 0;
    if (sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, current_version_key, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char value[SETUP_PATH_SIZE];
        DWORD type = REG_SZ;
        DWORD size = sizeof value - 1;
        memset(value, 0, sizeof value);
        if (sys_RegQueryValueExA(key, "ProgramFilesDir", NULL, &type, (BYTE *)value, &size) == ERROR_SUCCESS) {
            text_copy(session.program_files_dir, sizeof session.program_files_dir, value);
            found = 1;
        }
        sys_RegCloseKey(key);
    }
    if (!found)
        text_copy_n(session.program_files_dir, sizeof session.program_files_dir, session.windows_dir, 3);
}

int discover_environment(void)
{
    char default_dir[SETUP_PATH_SIZE];
    session.windows_dir[0] = '\0';
    session.system_dir[0] = '\0';
    session.program_files_dir[0] = '\0';
    session.source_dir[0] = '\0';
    session.destination_dir[0] = '\0';
    session.previous_version_dir[0] = '\0';
    session.script_path[0] = '\0';
    session.application_name[0] = '\0';
    session.module_path[0] = '\0';
    default_dir[0] = '\0';

    UINT len = sys_GetWindowsDirectoryA(session.windows_dir, SETUP_PATH_SIZE);
    if (len == 0 || len >= SETUP_PATH_SIZE)
        return 0;
    len = sys_GetSystemDirectoryA(session.system_dir, SETUP_PATH_SIZE);
    if (len == 0 || len >= SETUP_PATH_SIZE - 1)
        return 0;
    text_append(session.system_dir, sizeof session.system_dir, "\\");
    DWORD module_len = sys_GetModuleFileNameA(NULL, session.module_path, SETUP_PATH_SIZE);
    if (module_len == 0 || module_len >= SETUP_PATH_SIZE)
        return 0;

    find_program_files();
    path_script_of(session.module_path, session.script_path, sizeof session.script_path);

    if (session.run_mode == RunModeTempCopy) {
        if (script_read_string("general", "srcdir", "", session.source_dir, sizeof session.source_dir) == 0)
            return 0;
    } else {
        path_folder_of(session.module_path, session.source_dir, sizeof session.source_dir);
    }

    script_read_string("general", "default_dir", "", default_dir, sizeof default_dir);
    path_destination(session.program_files_dir, default_dir, session.destination_dir,
                     sizeof session.destination_dir);
    // The uninstaller that the Uninstall entry names removes the installation
    // it belongs to, wherever the user put it, not Program Files\default_dir.
    if (session.run_mode == RunModeUninstall && uninstall_entry_runs(session.module_path))
        path_folder_of(session.module_path, session.destination_dir, sizeof session.destination_dir);

    if (session.run_mode != RunModeUninstall && text_equal_nocase(session.source_dir, session.destination_dir)) {
        show_message(MSG_SAME_FOLDER, CAP_START_ERROR, MB_OK | MB_ICONSTOP);
        return 0;
    }

    script_read_string("general", "application", "", session.application_name, sizeof session.application_name);
    return 1;
}
