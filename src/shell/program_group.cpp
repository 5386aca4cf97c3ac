// The program group of [startmenu]. An installation makes it through one DDE
// conversation with the shell's program-group service PROGMAN, one execute
// command per entry; the shell makes the group folder and the shortcut files
// itself. An uninstallation deletes the shortcuts again: nothing of the
// installation was recorded, so each shortcut's path is formed anew from the
// same entries, in the programs folder of the Start menu where the shell
// made it.
//
// The shell reads the commands of an ANSI conversation with the system's
// code page, which need not be the program's: the script is code page 932
// whatever the system's, and the program may run with 932 as a code page of
// its own on another system. So on the NT family, where the system's code
// page is not 932, the conversation is a Unicode one, each command
// converted from 932 here. Where it is 932 the ANSI conversation is right as
// it stands and stays (Wine's shell, too, reads only that one right there:
// its DDE server takes a Unicode command with any character above U+00FF for
// an ANSI one). Windows 95/98 have only the ANSI conversation.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "text.h"
#include "ui.h"

enum {
    // The command may take up to 1023 characters of the 1040-byte buffer.
    GROUP_COMMAND_LIMIT = 1024,
    GROUP_TRANSACTION_TIMEOUT = 5000,
};

// Advise data is acknowledged; the conversation asks for nothing else.
static HDDEDATA CALLBACK group_dde_callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return type == XTYP_ADVDATA ? (HDDEDATA)(ULONG_PTR)DDE_FACK : (HDDEDATA)NULL;
}

struct StartEntry {
    char group_name[SETUP_PATH_SIZE];
    char program_file[SETUP_PATH_SIZE];
    char item_title[SETUP_PATH_SIZE];
};

// Entry N of [startmenu], read whole and split into its three fields. 0 when
// it is missing, empty or has fewer than three fields.
static int read_start_entry(unsigned int n, StartEntry *entry)
{
    char key[32];
    char value[SCRIPT_MENU_SIZE];
    text_format(key, sizeof key, "start_%u", n);
    memset(value, 0, sizeof value);
    if (script_read_string("startmenu", key, "", value, sizeof value) == 0)
        return 0;
    return split_entry_fields(value, entry->group_name, entry->program_file, entry->item_title);
}

size_t build_group_command(char *buffer, unsigned int n)
{
    StartEntry entry;
    char format[SCRIPT_MENU_SIZE];
    if (!read_start_entry(n, &entry))
        return 0;
    load_catalogue_text(MSG_PROGMAN_COMMAND, format, sizeof format);
    return text_format(buffer, GROUP_COMMAND_LIMIT, format, entry.group_name, entry.group_name,
                       session.destination_dir, entry.program_file, entry.item_title);
}

static void show_group_failure(UINT text_id)
{
    show_message(text_id, CAP_DDE, MB_OK | MB_ICONHAND, session.application_name);
}

// 1 when the system's ANSI code page (the shell's, which a program's own
// code page does not change) is 932. Unknown counts as another one.
static int system_code_page_is_932(void)
{
    HKEY key;
    if (sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", 0,
                          KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    char value[8] = "";
    DWORD size = sizeof value - 1;
    LONG read = sys_RegQueryValueExA(key, "ACP", NULL, NULL, (BYTE *)value, &size);
    sys_RegCloseKey(key);
    return read == ERROR_SUCCESS && strcmp(value, "932") == 0;
}

static HSZ progman_name(DWORD instance, int wide)
{
    return wide ? sys_DdeCreateStringHandleW(instance, L"PROGMAN", CP_WINUNICODE)
                : sys_DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
}

// Sends one command (CP932, length len) as an execute transaction, in a
// Unicode conversation as UTF-16: one unit at most per byte, so it fits.
static HDDEDATA send_group_command(HCONV conversation, int wide, char *command, size_t len)
{
    WCHAR text[GROUP_COMMAND_LIMIT];
    LPBYTE data = (LPBYTE)command;
    DWORD size = (DWORD)len + 1;
    if (wide) {
        int units = sys_MultiByteToWideChar(932, 0, command, (int)size, text, GROUP_COMMAND_LIMIT);
        // Without the tables of code page 932 there is nothing right to send.
        if (units == 0)
            return NULL;
        data = (LPBYTE)text;
        size = (DWORD)units * sizeof(WCHAR);
    }
    return sys_DdeClientTransaction(data, size, conversation, NULL, 0, XTYP_EXECUTE, GROUP_TRANSACTION_TIMEOUT,
                                    NULL);
}

void create_program_group(unsigned int count)
{
    DWORD instance = 0;
    int wide = session.is_nt && !system_code_page_is_932();
    UINT (*initialize)(LPDWORD, PFNCALLBACK, DWORD, DWORD) = wide ? sys_DdeInitializeW : sys_DdeInitializeA;
    if (initialize(&instance, group_dde_callback, CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR) {
        show_group_failure(MSG_DDE_INIT);
        return;
    }
    HSZ service = progman_name(instance, wide);
    HSZ topic = progman_name(instance, wide);
    HCONV conversation = NULL;
    if (service != NULL && topic != NULL)
        conversation = sys_DdeConnect(instance, service, topic, NULL);
    if (conversation == NULL) {
        show_group_failure(MSG_DDE_CONNECT);
        // Ending the instance releases the string handles too.
        sys_DdeUninitialize(instance);
        return;
    }

    HGLOBAL block = sys_GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SCRIPT_MENU_SIZE);
    char *command = block != NULL ? (char *)sys_GlobalLock(block) : NULL;
    if (command == NULL) {
        if (block != NULL)
            sys_GlobalFree(block);
        show_group_failure(MSG_DDE_MEMORY);
        sys_DdeDisconnect(conversation);
        sys_DdeUninitialize(instance);
        return;
    }

    // Missing and short entries are skipped; the first refused command ends
    // the loop. (n != 0 stops a wrap-around at the largest count.)
    for (unsigned int n = 1; n != 0 && n <= count; n++) {
        size_t len = build_group_command(command, n);
        if (len == 0)
            continue;
        HDDEDATA done = send_group_command(conversation, wide, command, len);
        log_event("start menu %s: %s", command, done != NULL ? "done" : "refused");
        if (done == NULL) {
            show_group_failure(MSG_DDE_SEND);
            break;
        }
    }

    sys_GlobalUnlock(block);
    sys_GlobalFree(block);
    sys_DdeDisconnect(conversation);
    sys_DdeUninitialize(instance);
}

// "\ｽﾀｰﾄ ﾒﾆｭｰ\ﾌﾟﾛｸﾞﾗﾑ\" in code page 932 (half-width katakana, one byte each):
// the Start menu's programs folder under the Windows folder of a Japanese
// Windows 95/98 without a per-user Start menu.
static const char programs_subfolder[] =
    "\\\xBD\xC0\xB0\xC4 \xD2\xC6\xAD\xB0\\\xCC\xDF\xDB\xB8\xDE\xD7\xD1\\";

// 1 when a file (not a folder) of that name may exist: only the platform's
// "not found" says it is gone; any other failure leaves it to the deletion.
static int shortcut_exists(const char *path)
{
    DWORD attributes = sys_GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return !path_not_found();
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

void remove_program_group(HWND dialog, unsigned int count)
{
    char programs[SETUP_PATH_SIZE];
    StartEntry entry;
    char shortcut[SETUP_PATH_SIZE];
    char folder[SETUP_PATH_SIZE];

    form_programs_folder(programs, sizeof programs);
    for (unsigned int n = 1; n != 0 && n <= count; n++) {
        if (!read_start_entry(n, &entry))
            return;
        // A path that does not fit names no shortcut the shell could have
        // made; cut, it might name another file. Taken as missing.
        size_t len =
            text_format(shortcut, sizeof shortcut, "%s%s\\%s.lnk", programs, entry.group_name, entry.item_title);
        if (len != strlen(programs) + strlen(entry.group_name) + 1 + strlen(entry.item_title) + 4)
            continue;
        if (!shortcut_exists(shortcut))
            continue;
        int deleted = sys_DeleteFileA(shortcut);
        log_event("start menu %s: %s", shortcut, deleted ? "deleted" : "could not be deleted");
        if (!deleted) {
            show_status_message(dialog, MSG_REMOVE_FAILED, shortcut);
            return;
        }
        // Goes only when the folder has become empty.
        text_format(folder, sizeof folder, "%s%s", programs, entry.group_name);
        sys_RemoveDirectoryA(folder);
    }
}
