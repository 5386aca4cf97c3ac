// Reference counts of shared files in the machine-wide SharedDLLs key: one
// value per file, named by its full path, holding the number of
// installations that use it.
#include <windows.h>

#include "engine.h"
#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "setup.h"
#include "shell.h"
#include "text.h"
#include "ui.h"

static const char shared_dlls_key[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// system_dir (259) and a target name (259) never need cutting here: a value
// name cut short would count another file.
enum { SHARED_VALUE_NAME_SIZE = 2 * SETUP_PATH_SIZE };

static const REGSAM shared_dlls_access = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

// Raises or lowers the count of value_name in the open key.
static RegistryResult change_count(HKEY key, const char *value_name, int raise)
{
    // Four bytes, little-endian; a shorter value reads with zero high bytes
    // and is written back as long as it was, with its own type, so a count
    // stored as binary data by another installer stays binary.
    DWORD count = 0, type = 0, length = sizeof count;
    int existed = sys_RegQueryValueExA(key, value_name, NULL, &type, (BYTE *)&count, &length) == ERROR_SUCCESS;
    if (!existed) {
        log_event("shared count %s: none", value_name);
        if (!raise)
            return CountQueryFailed;
        count = 0;
        // No value, or one longer than a count: it starts again at one.
        type = REG_DWORD;
        length = sizeof count;
    } else if (!raise && count == 0) {
        return CountAlreadyZero;
    }
    DWORD before = count;
    count = raise ? count + 1 : count - 1;
    LONG status = sys_RegSetValueExA(key, value_name, 0, type, (const BYTE *)&count, length);
    log_event("shared count %s: %lu -> %lu, result %ld", value_name, before, count, status);
    if (status != ERROR_SUCCESS)
        return CountWriteFailed;
    if (raise)
        journal_note_count(value_name, existed, type, length, before);
    return !raise && count == 0 ? CountReachedZero : CountChanged;
}

RegistryResult update_shared_count(const char *target_name, int raise)
{
    // Installing into the previous version's folder: its installation
    // counted these files already.
    if (raise && session.over_previous_version)
        return CountChanged;

    // The key belongs to the system; it is never created here, and where
    // there is none, no counts are kept. A count that cannot be raised in
    // a key that is there lets a later removal take the file from programs
    // that still use it: the user is told.
    HKEY key;
    LONG status = sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, shared_dlls_access, &key);
    RegistryResult result = CountKeyOpenFailed;
    if (status == ERROR_SUCCESS) {
        char value_name[SHARED_VALUE_NAME_SIZE];
        text_format(value_name, sizeof value_name, "%s%s", session.system_dir, target_name);
        result = change_count(key, value_name, raise);
        sys_RegCloseKey(key);
    }
    if (status == ERROR_FILE_NOT_FOUND)
        log_event("shared count of %s: the system keeps no counts", target_name);
    else if (raise && result != CountChanged)
        report_register_failure(target_name);
    return result;
}

void delete_shared_count(HWND dialog, const char *full_path)
{
    // The value is named by the key's path, a backslash and its own name.
    char value_path[STATUS_TEXT_SIZE];
    text_format(value_path, sizeof value_path, "%s\\%s", shared_dlls_key, full_path);
    show_status_message(dialog, MSG_STATUS_DELETING, value_path);

    // A key that cannot be opened keeps the count as surely as a refused
    // deletion: both are shown and logged.
    HKEY key;
    LONG status = sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, shared_dlls_access, &key);
    if (status == ERROR_SUCCESS) {
        status = sys_RegDeleteValueA(key, full_path);
        sys_RegCloseKey(key);
    }
    log_event("shared count %s deleted: result %ld", full_path, status);
    if (status != ERROR_SUCCESS) {
        show_status_message(dialog, MSG_REMOVE_FAILED, value_path);
        log_removal_failure('\\', shared_dlls_key, full_path);
    }
}

void restore_shared_count(const char *value_name, int existed, DWORD type, DWORD length, DWORD before)
{
    HKEY key;
    LONG status = sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, shared_dlls_access, &key);
    if (status == ERROR_SUCCESS) {
        status = existed ? sys_RegSetValueExA(key, value_name, 0, type, (const BYTE *)&before, length)
                         : sys_RegDeleteValueA(key, value_name);
        sys_RegCloseKey(key);
    }
    if (existed)
        log_event("undo: shared count %s back to %lu: result %ld", value_name, before, status);
    else
        log_event("undo: shared count %s deleted: result %ld", value_name, status);
}
