// A setup started from the medium copies itself and its script to the
// temporary folder, records in the copied script where the medium is, starts
// the copy with /TEMP and ends: disks may be changed while the copy runs.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

enum { COMMAND_LINE_SIZE = 270 };

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

// The copies of the program and its script (exe_copy, inf_copy), the medium
// recorded in the script's copy, and the copy started. Returns how many of
// the two copies must go again: none once the copy has started, or those a
// failed step leaves behind (its message shown already).
static int copy_and_start(const char *exe_copy, const char *inf_copy)
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
    // platform try a shorter, unintended program name first.
    const char *debug = session.debug_run ? " /DEBUG" : "";
    size_t whole_len = strlen(exe_copy) + strlen(debug) + sizeof "\"\" /TEMP" - 1;
    size_t command_len = text_format(command, sizeof command, "\"%s\" /TEMP%s", exe_copy, debug);
    // A command cut at the buffer would lose its switches: never start that.
    // One that fills the buffer exactly is whole.
    if (command_len < whole_len || sys_WinExec(command, SW_SHOWMAXIMIZED) <= 31) {
        disk_error(MSG_CANNOT_START_COPY);
        return 2;
    }
    return 0;
}

void start_temporary_copy(void)
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
        return;
    }

    DWORD len = sys_GetTempPathA(sizeof temp_dir, temp_dir);
    if (len == 0 || len >= sizeof temp_dir) {
        disk_error(MSG_NO_TEMP_FILE);
        return;
    }
    len = sys_GetCurrentDirectoryA(sizeof current_dir, current_dir);
    if (len == 0 || len >= sizeof current_dir || text_equal_nocase(temp_dir, current_dir) ||
        sys_GetTempFileNameA(temp_dir, "~stp", 0, placeholder) == 0) {
        disk_error(MSG_NO_TEMP_FILE);
        return;
    }
    copy_name(placeholder, "exe", exe_copy, sizeof exe_copy);
    copy_name(placeholder, "inf", inf_copy, sizeof inf_copy);

    // What a failed start made goes again. The placeholder, which kept the
    // copies' number taken while they were made, goes in any case.
    const char *const copies[] = {exe_copy, inf_copy};
    int made = copy_and_start(exe_copy, inf_copy);
    for (int i = 0; i < made; i++)
        sys_DeleteFileA(copies[i]);
    sys_DeleteFileA(placeholder);
}
