// The registry (src/registry): the application's entries, shared-file counts,
// removal of key trees.
#pragma once

#include <stddef.h>

#include "setup_types.h"

// ---------------------------------------------------------------------------
// No platform call: built into setup.exe and natively as well.
// ---------------------------------------------------------------------------

// registry_text.cpp

// A folder (259) joined to a script value (259), two quotes, the zero. Key
// paths have at most 259 characters (SETUP_PATH_SIZE).
enum { REGISTRY_VALUE_SIZE = 528 };

// base (which ends in its own backslash) followed by name, into path. The
// length, or 0 when name is empty or the whole would not fit: a key path cut
// short names another key, and a removal would delete that one with all
// below it.
size_t registry_key_path(char *path, size_t size, const char *base, const char *name);

// Cuts path at its last backslash (stepping over double-byte characters, whose
// trail byte may be the backslash code). 1 when a backslash was found and a
// non-empty parent is left; 0 otherwise (path is then unchanged or empty).
int registry_cut_last_component(char *path);

// The command line of the Uninstall entry: the program part of command (up to
// its first blank or tab, or the text between leading double quotes) joined to
// destination_dir inside double quotes, then the rest of command as it
// stands. "setup.exe /UNINSTALL" under C:\Program Files\Tool\ gives
// "C:\Program Files\Tool\setup.exe" /UNINSTALL. The length, or 0 when command
// is empty or the whole would not fit (a command cut short could lose its
// closing quote or arguments).
size_t registry_uninstall_command(char *out, size_t size, const char *destination_dir, const char *command);

// 1 when the program part of a command line is program_path, without regard
// to letter case: the text between leading double quotes, or for an unquoted
// command its start up to a blank, a tab or the end (so that an unquoted
// path with blanks is recognised too).
int registry_command_runs(const char *command, const char *program_path);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// Platform calls: setup.exe and the tests under Wine.
// ---------------------------------------------------------------------------

#include <windows.h>

// key_tree.cpp

// Key removal, depth first, naming each key on the progress dialog's status
// line. What cannot go stays, with all above it.
void delete_key_tree(HWND dialog, HKEY root, const char *path);
// Number of subkeys; 1 when the key is not there, SUBKEYS_UNKNOWN when it
// cannot be opened or examined (it stays, and the caller says so).
#define SUBKEYS_UNKNOWN 0xFFFFFFFFu
unsigned int count_subkeys(HKEY root, const char *path);

// shared_counts.cpp

// What update_shared_count did to a count: the file step deletes a shared
// file only on CountReachedZero.
enum RegistryResult : unsigned int {
    CountReachedZero = 49009,
    CountChanged = 49010,
    CountKeyOpenFailed = 49011,
    CountQueryFailed = 49012,
    CountAlreadyZero = 49013,
    CountWriteFailed = 49014,
};

// SharedDLLs counts of shared files (target name relative to system_dir).
// A count that cannot be raised in a key that is there is reported (message
// 32014 naming the file); without the key no counts are kept, silently.
RegistryResult update_shared_count(const char *target_name, int raise);
// After a shared file was deleted: its count value goes too.
void delete_shared_count(HWND dialog, const char *full_path);
// A failed installation's undo: the count value_name set back to the number
// it held before, with its type and length, or deleted where there was none.
void restore_shared_count(const char *value_name, int existed, DWORD type, DWORD length, DWORD before);

// registry_entries.cpp

// The application's entries of [registry], each skipped when its key name is
// empty or the path would not fit. An installation writes the version key,
// the App Paths entry and the Uninstall entry (a key or value that cannot be
// made is reported, naming the application); an uninstallation removes them,
// and the class keys and the user's settings key, which nothing here writes.
void apply_version_key(void);
void apply_app_path(void);
void apply_uninstall_entry(void);
void remove_version_key(HWND dialog);
// Message 32014 (registration of name failed), caption 16000.
void report_register_failure(const char *name);
void remove_app_path(HWND dialog);
void remove_uninstall_entry(HWND dialog);
void remove_class_keys(HWND dialog);
void remove_user_key(HWND dialog);

// 1 when the UninstallString of the application's Uninstall entry starts
// program_path: the running program is the uninstaller of that installation.
int uninstall_entry_runs(const char *program_path);
#endif
