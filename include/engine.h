// The engine (src/engine): the run (install() and uninstall(), carried out
// inside the progress dialog), the file step, the versioned copy and the
// uninstall list.
#pragma once

#include <stddef.h>

#include "setup_types.h"

// ---------------------------------------------------------------------------
// No platform call: built into setup.exe and natively as well.
// ---------------------------------------------------------------------------

// file_entry.cpp

struct FileEntry {
    char source_name[SETUP_PATH_SIZE];
    char target_name[SETUP_PATH_SIZE];
    char disk_label[SETUP_PATH_SIZE];
    int kind;          // 1: application file; anything else: shared file
    unsigned int size; // bytes the progress bar advances by
};

// Splits "source,target,label,kind,size": runs of commas are one separator,
// leading commas are skipped, blanks stay in the fields, text after the fifth
// field is ignored. 1 when all five fields were present.
int parse_file_entry(const char *text, FileEntry *entry);

// done * 100 / total, rounded down, without overflow for any 32-bit values.
unsigned int progress_percentage(unsigned int done, unsigned int total);

// replacement_name.cpp

// The temporary name of an in-use replacement: the last three characters
// replaced by "$$$" (FOO.DLL becomes FOO.$$$); a double-byte character counts
// as one. A name of fewer than three characters, or one that ends in "$$$",
// gets ".$$$" appended (A becomes A.$$$).
void temporary_replacement_name(const char *target_name, char *out, size_t size);

// Windows 95/98 renames files at its next start from the [rename] section of
// wininit.ini. Of an existing file the first WININIT_HEAD_SIZE bytes are
// looked at.
enum { WININIT_HEAD_SIZE = 8196 };

// 1 when the text holds "[rename]" (this letter case), starting at a
// character; the text ends after len bytes or at a zero or Ctrl-Z byte.
int wininit_has_rename_section(const char *head, size_t len);

// The bytes to append to wininit.ini for one rename, line ends as CR LF:
// "[rename]" for a new file (head NULL), CR LF + "[rename]" for a file whose
// head has no such section, nothing more for one that has; then CR LF,
// system_dir + target_name, "=", system_dir + temp_name. Returns the length
// stored in out; 0 (and out empty) when it does not fit.
size_t wininit_rename_block(const char *head, size_t head_len, const char *system_dir, const char *target_name,
                            const char *temp_name, char *out, size_t size);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// Platform calls: setup.exe and the tests under Wine.
// ---------------------------------------------------------------------------

#include <windows.h>

// run.cpp

// The progress dialog: the installation (install()) or the removal
// (uninstall()) runs inside its creation and ends in finish_run.
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// The same run with no window at all (/QUIET).
void run_without_window(void);

// file_list.cpp

// The file step, [files] file_1 ... file_N: installed from the medium, or
// removed in Uninstall mode. 1 when every entry was handled, 0 when one
// failed.
int process_file_list(HWND dialog);
// Progress bar: adds an entry's size to done_bytes and moves the bar to the
// percentage of total_bytes (nothing when total_bytes is 0).
void advance_progress(HWND dialog, unsigned int size);
// Removes one entry at uninstallation (kind 1: application file in the
// destination folder; other kinds: shared file in the system folder).
// 1 to go on, 0 to end the file step.
int remove_file_entry(HWND dialog, const char *target_name, int kind);
// Deletes an installed file, taking off the read-only attribute a file copied
// from a CD keeps. Nonzero when it is gone.
BOOL delete_installed_file(const char *path);

// versioned_copy.cpp

// Versioned copy through the platform's version installer. 1 when the file
// was installed or the user chose to keep the existing one, 0 when it was
// not installed (shared files then fail silently).
int install_versioned_file(int shared, const char *source_name, const char *target_name);
// A shared file in use: installed under a temporary name (FOO.$$$) and
// moved into place at the next start of Windows.
void replace_file_at_restart(const char *source_name, const char *target_name);
// Deletes a file at the next start of Windows (one in use now). 1 when that
// was arranged.
int delete_file_at_restart(const char *path);

// uninstall_list.cpp

// Uninstall list: [files] uninst_N, deleted from the destination folder.
void remove_uninstall_list(HWND dialog);

// install_journal.cpp

// What an installation changed, in the order it changed it, so that a run
// that fails part-way can take its own changes back.
enum JournalKind : unsigned char {
    JournalFolderCreated,        // removed again when empty
    JournalFileCreated,          // none stood there before: deleted again
    JournalFileReplaced,         // the old content is gone: it stays
    JournalCountRaised,          // set back to its value before, or deleted
    JournalReplacementScheduled, // waits for the next start of Windows: it stays
};

// Room for the steps of one more file entry, made before the entry changes
// anything; 0 when memory refuses it.
int journal_make_room(void);
void journal_note(JournalKind kind, const char *path);
void journal_note_count(const char *value_name, int existed, DWORD type, DWORD length, DWORD before);
// A temporary copy now waits for its replacement at the next start of
// Windows: it stays.
void journal_note_scheduled(const char *path);
// Takes back what the journal holds, newest first, each step logged.
void undo_installation(HWND dialog);
// Empties the journal at the end of every run.
void forget_journal(void);
#endif
