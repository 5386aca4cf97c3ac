// Registry: the application's entries, shared-file counts, key removal.
#pragma once

#include <windows.h>

enum RegistryResult : unsigned int {
    KeyDeleted = 49000,
    KeyOpenFailed = 49001,
    KeyQueryFailed = 49002,
    KeyDeleteFailed = 49003,
    KeyEnumFailed = 49004,
    CountReachedZero = 49009,
    CountChanged = 49010,
    CountKeyOpenFailed = 49011,
    CountQueryFailed = 49012,
    CountAlreadyZero = 49013,
    CountWriteFailed = 49014,
};

// Key removal, depth first, naming each key on the progress dialog's status
// line.
RegistryResult delete_key_tree(HWND dialog, HKEY root, const char *path);
// Number of subkeys, or 1 when the key cannot be opened or examined.
unsigned int count_subkeys(HKEY root, const char *path);

// SharedDLLs counts of shared files (target name relative to system_dir).
RegistryResult update_shared_count(const char *target_name, int raise);
// After a shared file was deleted: its count value goes too.
void delete_shared_count(HWND dialog, const char *full_path);

// 1 when the UninstallString of the application's Uninstall entry starts
// program_path: the running program is the uninstaller of that installation.
int uninstall_entry_runs(const char *program_path);

// The application's entries: written in Setup/TempCopy, removed in
// Uninstall mode.
int apply_version_key(HWND dialog);
int apply_app_path(HWND dialog);
int apply_uninstall_entry(HWND dialog);
void remove_class_keys(HWND dialog);
int remove_user_key(HWND dialog);
