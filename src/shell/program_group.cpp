// The program group: one DDE conversation with the shell's program-group
// service PROGMAN, one execute command per [startmenu] entry. The shell makes
// the group folder and the shortcut files itself.
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

size_t build_group_command(char *buffer, unsigned int n)
{
    char key[32];
    char value[SCRIPT_MENU_SIZE];
    char group_name[SETUP_PATH_SIZE];
    char program_file[SETUP_PATH_SIZE];
    char item_title[SETUP_PATH_SIZE];
    char format[SCRIPT_MENU_SIZE];

    text_format(key, sizeof key, "start_%u", n);
    memset(value, 0, sizeof value);
    if (script_read_string("startmenu", key, "", value, sizeof value) == 0)
        return 0;
    if (!split_entry_fields(value, group_name, program_file, item_title))
        return 0;
    load_catalogue_text(MSG_PROGMAN_COMMAND, format, sizeof format);
    return text_format(buffer, GROUP_COMMAND_LIMIT, format, group_name, group_name, session.destination_dir,
                       program_file, item_title);
}

static void show_group_failure(UINT text_id)
{
    show_message(text_id, CAP_DDE, MB_OK | MB_ICONHAND, session.application_name);
}

int create_program_group(unsigned int count)
{
    DWORD instance = 0;
    if (sys_DdeInitializeA(&instance, group_dde_callback, CBF_SKIP_ALLNOTIFICATIONS, 0) != DMLERR_NO_ERROR) {
        show_group_failure(MSG_DDE_INIT);
        return 0;
    }
    HSZ service = sys_DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ topic = sys_DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = NULL;
    if (service != NULL && topic != NULL)
        conversation = sys_DdeConnect(instance, service, topic, NULL);
    if (conversation == NULL) {
        show_group_failure(MSG_DDE_CONNECT);
        // Ending the instance releases the string handles too.
        sys_DdeUninitialize(instance);
        return 0;
    }

    HGLOBAL block = sys_GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SCRIPT_MENU_SIZE);
    char *command = block != NULL ? (char *)sys_GlobalLock(block) : NULL;
    if (command == NULL) {
        if (block != NULL)
            sys_GlobalFree(block);
        show_group_failure(MSG_DDE_MEMORY);
        sys_DdeDisconnect(conversation);
        sys_DdeUninitialize(instance);
        return 0;
    }

    // Missing and short entries are skipped; the first refused command ends
    // the loop. (n != 0 stops a wrap-around at the largest count.)
    int result = 1;
    for (unsigned int n = 1; n != 0 && n <= count; n++) {
        size_t len = build_group_command(command, n);
        if (len == 0)
            continue;
        HDDEDATA done = sys_DdeClientTransaction((LPBYTE)command, (DWORD)len + 1, conversation, NULL, 0,
                                                 XTYP_EXECUTE, GROUP_TRANSACTION_TIMEOUT, NULL);
        if (done == NULL) {
            show_group_failure(MSG_DDE_SEND);
            result = 0;
            break;
        }
    }

    sys_GlobalUnlock(block);
    sys_GlobalFree(block);
    sys_DdeDisconnect(conversation);
    sys_DdeUninitialize(instance);
    return result;
}

int update_program_group(unsigned int count)
{
    if (session.run_mode == RunModeUninstall)
        return remove_program_group(count);
    return create_program_group(count);
}
