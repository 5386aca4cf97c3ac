// A setup started from the medium copies itself and its script to the
// temporary folder, records in the copied script where the medium is, starts
// the copy with /TEMP and ends: disks may be changed while the copy runs.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

// The copy's path and every switch, each value a whole path, quoted.
enum { COMMAND_LINE_SIZE = 1024 };

static void disk_error(UINT text_id)
{
    show_message(text_id, CAP_DISK_ERROR, MB_OK | MB_ICONSTOP);
}

// The placeholder's name with the given extension after its last full stop.
static void copy_name(const char *placeholder, const char *extension, char *name, size_t size)
{
    text_copy(name, size, placeholder);
    char *file = text_find_last(name, '\\');
    char *dot = text_find_last(file ? file : name, '.');
    if (dot)
        dot[1] = '\0';
    else
        text_append(name, size, ".");
    text_append(name, size, extension);
}

// Starts the copy. An interactive run ends at once, so that the medium can
// be changed while the copy runs; an unattended one waits for the copy and
// ends with its exit code, so that whoever started setup.exe sees the whole
// installation's end.
static int start_copy(char *command, DWORD *exit_code)
{
    if (!session.unattended) {
        if (sys_WinExec(command, SW_SHOWMAXIMIZED) <= 31)
            return 0;
        *exit_code = ERROR_SUCCESS;
        return 1;
    }
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    if (!sys_CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 0;
    // A copy whose end cannot be learnt counts as failed.
    if (sys_WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !sys_GetExitCodeProcess(process.hProcess, exit_code))
        *exit_code = ERROR_INSTALL_FAILURE;
    log_event("the temporary copy ended with exit code %lu", *exit_code);
    sys_CloseHandle(process.hThread);
    sys_CloseHandle(process.hProcess);
    return 1;
}

// The copies of the program and its script (exe_copy, inf_copy), the medium
// recorded in the script's copy, and the copy started. Returns how many of
// the two copies must go again: none once the copy has started, or those a
// failed step leaves behind (its message shown already).
static int copy_and_start(const char *exe_copy, const char *inf_copy, DWORD *exit_code)
{
    char command[COMMAND_LINE_SIZE];
    if (!sys_CopyFileA(session.module_path, exe_copy, FALSE)) {
        disk_error(MSG_NO_TEMP_FILE);
        return 0;
    }
    if (!sys_CopyFileA(session.script_path, inf_copy, FALSE)) {
        disk_error(MSG_NO_TEMP_FILE);
        return 1;
    }

    // Files on a CD-ROM are read-only, and a copy keeps the attribute: the
    // script copy could not be written and neither copy could be deleted.
    sys_SetFileAttributesA(exe_copy, FILE_ATTRIBUTE_NORMAL);
    sys_SetFileAttributesA(inf_copy, FILE_ATTRIBUTE_NORMAL);

    // Without srcdir the copy cannot find the medium and would end without a
    // word: a write that fails ends the start here.
    if (!sys_WritePrivateProfileStringA("general", "tmpexe", exe_copy, inf_copy) ||
        !sys_WritePrivateProfileStringA("general", "tmpinf", inf_copy, inf_copy) ||
        !sys_WritePrivateProfileStringA("general", "srcdir", session.source_dir, inf_copy)) {
        disk_error(MSG_NO_TEMP_FILE);
        return 2;
    }

    // The path is quoted: a temporary folder with blanks must not make the
    // platform try a shorter, unintended program name first. The switches of
    // this run go on to the copy.
    static const char *const shown[] = {"", " /PASSIVE", " /QUIET"};
    char dir[SETUP_PATH_SIZE + 8] = "", log[SETUP_PATH_SIZE + 8] = "";
    if (session.given_dir[0] != '\0')
        text_format(dir, sizeof dir, " \"/DIR=%s\"", session.given_dir);
    if (session.log_path[0] != '\0')
        text_format(log, sizeof log, " \"/LOG=%s\"", session.log_path);
    const char *debug = session.debug_run ? " /DEBUG" : "";
    const char *no_restart = session.no_restart ? " /NORESTART" : "";
    const char *unattended = shown[session.unattended];
    size_t whole_len = strlen(exe_copy) + strlen(debug) + strlen(unattended) + strlen(no_restart) + strlen(dir) +
                       strlen(log) + sizeof "\"\" /TEMP" - 1;
    size_t command_len = text_format(command, sizeof command, "\"%s\" /TEMP%s%s%s%s%s", exe_copy, debug, unattended,
                                     no_restart, dir, log);
    // A command cut at the buffer would lose its switches: never start that.
    // One that fills the buffer exactly is whole.
    log_event("starting the temporary copy: %s", command);
    if (command_len < whole_len || !start_copy(command, exit_code)) {
        disk_error(MSG_CANNOT_START_COPY);
        return 2;
    }
    return 0;
}

DWORD start_temporary_copy(void)
{
    char root[4];
    char temp_dir[SETUP_PATH_SIZE];
    char current_dir[SETUP_PATH_SIZE];
    char placeholder[SETUP_PATH_SIZE];
    char exe_copy[SETUP_PATH_SIZE];
    char inf_copy[SETUP_PATH_SIZE];

    text_copy_n(root, sizeof root, session.module_path, 3);
    UINT type = sys_GetDriveTypeA(root);
    if (type < DRIVE_REMOVABLE || type > DRIVE_RAMDISK) {
        disk_error(MSG_NO_DISK);
        return ERROR_INSTALL_FAILURE;
    }

    DWORD len = sys_GetTempPathA(sizeof temp_dir, temp_dir);
    if (len == 0 || len >= sizeof temp_dir) {
        disk_error(MSG_NO_TEMP_FILE);
        return ERROR_INSTALL_FAILURE;
    }
    len = sys_GetCurrentDirectoryA(sizeof current_dir, current_dir);
    if (len == 0 || len >= sizeof current_dir || text_equal_nocase(temp_dir, current_dir) ||
        sys_GetTempFileNameA(temp_dir, "~stp", 0, placeholder) == 0) {
        disk_error(MSG_NO_TEMP_FILE);
        return ERROR_INSTALL_FAILURE;
    }
    copy_name(placeholder, "exe", exe_copy, sizeof exe_copy);
    copy_name(placeholder, "inf", inf_copy, sizeof inf_copy);

    // What a failed start made goes again. The placeholder, which kept the
    // copies' number taken while they were made, goes in any case.
    const char *const copies[] = {exe_copy, inf_copy};
    DWORD exit_code = ERROR_INSTALL_FAILURE;
    int made = copy_and_start(exe_copy, inf_copy, &exit_code);
    for (int i = 0; i < made; i++)
        sys_DeleteFileA(copies[i]);
    sys_DeleteFileA(placeholder);
    return exit_code;
}
