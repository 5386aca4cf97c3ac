// Removal of a key with everything below it, and the subkey count that
// decides whether an emptied parent goes too.
#include <windows.h>

#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "ui.h"

// The subkeys of the open key, from the last index down (the indexes still
// to visit stay valid while the subkeys behind them disappear), then the key
// itself. A subkey that stays makes the key's own deletion fail; a subkey
// whose name cannot be read ends the removal there.
static void delete_subkeys_and_key(HWND dialog, HKEY key, HKEY root, const char *path)
{
    DWORD subkeys = 0;
    if (sys_RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS)
        return;
    for (DWORD index = subkeys; index-- > 0;) {
        char name[SETUP_PATH_SIZE];
        DWORD name_size = sizeof name;
        if (sys_RegEnumKeyExA(key, index, name, &name_size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            return;
        delete_key_tree(dialog, key, name);
    }
    sys_RegDeleteKeyA(root, path);
}

void delete_key_tree(HWND dialog, HKEY root, const char *path)
{
    // The caller's key is named with its full path; the keys below it
    // come here with the open parent as root, so they show their bare names.
    show_status_message(dialog, MSG_STATUS_DELETING, path);

    HKEY key;
    if (sys_RegOpenKeyExA(root, path, 0, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    delete_subkeys_and_key(dialog, key, root, path);
    sys_RegCloseKey(key);
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
