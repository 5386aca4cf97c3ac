// Removal of a key with everything below it, and the subkey count that
// decides whether an emptied parent goes too.
#include <windows.h>

#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "shell.h"
#include "ui.h"

// The subkeys of the open key, from the last index down (the indexes still
// to visit stay valid while the subkeys behind them disappear), then the key
// itself. A subkey that stays makes the key's own deletion fail; a subkey
// whose name cannot be read ends the removal there. What stays is named on
// the status line: the removal must not look complete when it is not.
static void delete_subkeys_and_key(HWND dialog, HKEY key, HKEY root, const char *path)
{
    DWORD subkeys = 0;
    LONG status = sys_RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    for (DWORD index = subkeys; status == ERROR_SUCCESS && index-- > 0;) {
        char name[SETUP_PATH_SIZE];
        DWORD name_size = sizeof name;
        status = sys_RegEnumKeyExA(key, index, name, &name_size, NULL, NULL, NULL, NULL);
        if (status == ERROR_SUCCESS)
            delete_key_tree(dialog, key, name);
    }
    if (status == ERROR_SUCCESS)
        status = sys_RegDeleteKeyA(root, path);
    log_event("registry key %s deleted: result %ld", path, status);
    if (status != ERROR_SUCCESS)
        show_status_message(dialog, MSG_REMOVE_FAILED, path);
}

void delete_key_tree(HWND dialog, HKEY root, const char *path)
{
    // The caller's key is named with its full path; the keys below it
    // come here with the open parent as root, so they show their bare names.
    show_status_message(dialog, MSG_STATUS_DELETING, path);

    HKEY key;
    LONG status = sys_RegOpenKeyExA(root, path, 0, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        // A key that is not there is removed already.
        if (status != ERROR_FILE_NOT_FOUND)
            show_status_message(dialog, MSG_REMOVE_FAILED, path);
        return;
    }
    delete_subkeys_and_key(dialog, key, root, path);
    sys_RegCloseKey(key);
}

unsigned int count_subkeys(HKEY root, const char *path)
{
    HKEY key;
    LONG status = sys_RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? 1 : SUBKEYS_UNKNOWN;
    DWORD subkeys = 0;
    status = sys_RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    sys_RegCloseKey(key);
    return status == ERROR_SUCCESS ? (unsigned int)subkeys : SUBKEYS_UNKNOWN;
}
