// Removal of the program group's shortcuts at uninstall time. Nothing of the
// installation was recorded: each shortcut's path is formed again from the
// same [startmenu] entries, in the programs folder of the Start menu where
// the shell made it.
#include <string.h>

#include "platform.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "text.h"

// "\ｽﾀｰﾄ ﾒﾆｭｰ\ﾌﾟﾛｸﾞﾗﾑ\" in code page 932 (half-width katakana, one byte each):
// the Start menu's programs folder under the Windows folder of a Japanese
// Windows 95/98 without a per-user Start menu.
static const char programs_subfolder[] =
    "\\\xBD\xC0\xB0\xC4 \xD2\xC6\xAD\xB0\\\xCC\xDF\xDB\xB8\xDE\xD7\xD1\\";

// 1 when a file (not a folder) of that name exists.
static int shortcut_exists(const char *path)
{
    DWORD attributes = sys_GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The programs folder the shell keeps the group in: the user's own on the
// NT family (and wherever the shell says), else the one under the Windows
// folder.
static void form_programs_folder(char *programs, size_t size)
{
    char shell_folder[MAX_PATH];
    memset(shell_folder, 0, sizeof shell_folder);
    if (sys_SHGetSpecialFolderPathA(NULL, shell_folder, CSIDL_PROGRAMS, FALSE) && shell_folder[0] != '\0') {
        text_format(programs, size, "%s\\", shell_folder);
        return;
    }
    text_format(programs, size, "%s%s", session.windows_dir, programs_subfolder);
}

int remove_program_group(unsigned int count)
{
    char programs[SETUP_PATH_SIZE];
    char key[32];
    char value[SCRIPT_MENU_SIZE];
    char group_name[SETUP_PATH_SIZE];
    char program_file[SETUP_PATH_SIZE];
    char item_title[SETUP_PATH_SIZE];
    char shortcut[SETUP_PATH_SIZE];
    char folder[SETUP_PATH_SIZE];

    form_programs_folder(programs, sizeof programs);
    for (unsigned int n = 1; n != 0 && n <= count; n++) {
        text_format(key, sizeof key, "start_%u", n);
        memset(value, 0, sizeof value);
        if (script_read_string("startmenu", key, "", value, sizeof value) == 0)
            return 0;
        if (!split_entry_fields(value, group_name, program_file, item_title))
            return 0;
        // A path that does not fit names no shortcut the shell could have
        // made; cut, it might name another file. Taken as missing.
        size_t len = text_format(shortcut, sizeof shortcut, "%s%s\\%s.lnk", programs, group_name, item_title);
        if (len != strlen(programs) + strlen(group_name) + 1 + strlen(item_title) + 4)
            continue;
        if (!shortcut_exists(shortcut))
            continue;
        if (!sys_DeleteFileA(shortcut))
            return 0;
        // Goes only when the folder has become empty.
        text_format(folder, sizeof folder, "%s%s", programs, group_name);
        sys_RemoveDirectoryA(folder);
    }
    return 1;
}
