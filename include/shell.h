// The shell side (src/shell): the program group and its removal, the end of
// every run, the removal error log and self-removal.
#pragma once

#include "setup_types.h"

// ---------------------------------------------------------------------------
// No platform call: built into setup.exe and natively as well.
// ---------------------------------------------------------------------------

// entry_fields.cpp

// Cuts value in place at commas (leading commas skipped, runs of commas one
// separator, blanks kept) into group name, program file and item title,
// each copied into a SETUP_PATH_SIZE buffer. 1 when all three were found.
int split_entry_fields(char *value, char *group_name, char *program_file, char *item_title);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// Platform calls: setup.exe and the tests under Wine.
// ---------------------------------------------------------------------------

#include <stddef.h>

#include <windows.h>

// program_group.cpp

// The program group of [startmenu] entries 1 to count: made through DDE
// (every failure reported with its message; the first refused command ends
// it), or its shortcuts and emptied group folders deleted (the first entry
// that cannot be read ends it; a shortcut that cannot be deleted ends it too,
// named on the dialog's status line).
void create_program_group(unsigned int count);
void remove_program_group(HWND dialog, unsigned int count);
// Entry N of [startmenu] formatted as the shell command; its length, or 0.
size_t build_group_command(char *buffer, unsigned int n);

// completion.cpp

// The one way out of every run that got past start-up: shows the closing
// message, cleans up after the run mode and closes the backdrop window.
void finish_run(CompletionCode code);

// self_removal.cpp

// Self-removal at the end of a run: the running program (and with
// remove_folder its folder) is deleted at the next start of Windows (NT
// family) or by a hidden batch file once the program has ended (95/98).
void remove_self(int remove_folder);

// run_log.cpp

// The log of the run asked for by /LOG: the file opened for appending (and
// begun with a byte-order mark when new); 0 when it cannot be opened.
int open_run_log(const char *path);
// One line: the time, the process, the run mode and the event, a format
// filled as text_format fills it. Nothing without a log.
void log_event(const char *format, ...);

// removal_log.cpp

// Removal error log (delerr.log).
void log_removal_failure(char separator, const char *key_path, const char *value_name);
void append_to_removal_log(const char *text);
void write_removal_log(void);
#endif
