// Installation engine: progress driver, file lists, versioned copy,
// uninstall list.
#pragma once

#include <windows.h>

// Progress bar: adds an entry's size to done_bytes and moves the bar to the
// percentage of total_bytes (nothing when total_bytes is 0).
void advance_progress(HWND dialog, unsigned int size);

// File lists of [files]. 1 when every entry was handled, 0 when one failed.
int process_file_list(HWND dialog);
// Removes one entry at uninstallation (kind 1: application file in the
// destination folder; other kinds: shared file in the system folder).
// 1 to go on, 0 to end the file step.
int remove_file_entry(HWND dialog, const char *target_name, int kind);

// Versioned copy through the platform's version installer. 1 when the file
// was installed or the user chose to keep the existing one, 0 when it was
// not installed (shared files then fail silently).
int install_versioned_file(int shared, const char *source_name, const char *target_name);
// A shared file in use: installed under a temporary name (FOO.$$$) and
// moved into place at the next start of Windows.
void replace_file_at_restart(const char *source_name, const char *target_name);

// Uninstall list: [files] uninst_N, deleted from the destination folder.
void remove_uninstall_list(HWND dialog);
