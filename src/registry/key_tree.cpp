// Removal of a key with everything below it, and the subkey count that
// decides whether an emptied parent goes too.
#include <windows.h>

#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "ui.h"

RegistryResult delete_key_tree(HWND dialog, HKEY root, const char *path)
{
    // The caller's key is named with its full path; the keys below it
    // come here with the open parent as root, so they show their bare names.
    show_status_message(dialog, MSG_STATUS_DELETING, path);

    HKEY key;
    if (sys_RegOpenKeyExA(root, path, 0, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return KeyOpenFailed;

    DWORD subkeys = 0;
    if (sys_RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS) {
        sys_RegCloseKey(key);
        return KeyQueryFailed;
    }

    // From the last index down: the indexes still to visit stay valid while
    // the subkeys behind them disappear.
    for (DWORD index = subkeys; index-- > 0;) {
        char name[SETUP_PATH_SIZE];
        DWORD name_size = sizeof name;
        if (sys_RegEnumKeyExA(key, index, name, &name_size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) {
            sys_RegCloseKey(key);
            return KeyEnumFailed;
        }
        // A subkey that stays makes the deletion of this key fail below.
        delete_key_tree(dialog, key, name);
    }

    if (sys_RegDeleteKeyA(root, path) != ERROR_SUCCESS) {
        sys_RegCloseKey(key);
        return KeyDeleteFailed;
    }
    sys_RegCloseKey(key);
    return KeyDeleted;
}

unsigned int count_subkeys(HKEY root, const char *path)
{
    HKEY key;
    if (sys_RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 1;
    DWORD subkeys = 0;
    LONG status = sys_RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    sys_RegCloseKey(key);
    return status == ERROR_SUCCESS ? (unsigned int)subkeys : 1;
}
