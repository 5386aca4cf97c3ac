// Start-up (src/startup): entry point, command line and run modes, discovery
// of the folders, restart from a temporary copy, then the wizard.
#pragma once

#include <stddef.h>

#include "setup_types.h"

// ---------------------------------------------------------------------------
// No platform call: built into setup.exe and natively as well.
// ---------------------------------------------------------------------------

// command_line.cpp

// Splits text (cut up in place) at blanks and tabs and applies its tokens
// into line (cleared first): /SETUP, /TEMP, /UNINSTALL, /DEBUG, /QUIET, /S,
// /PASSIVE, /NORESTART, /? and /DIR=, /LOG= with a value, in any letter
// case; of the run modes and of /QUIET and /PASSIVE the last one wins, and
// so does the last value. A token may be quoted whole, or a value after its
// '='. Returns 1 when every token was known, 0 at the first unknown one, a
// value that is empty or longer than a path, or a stray quote.
int command_line_apply(char *text, CommandLine *line);

// 1 when folder is an absolute folder name (C:\... or \\server\share...)
// without a wildcard or a character that no file name may hold.
int command_line_folder_is_absolute(const char *folder);

// The command-line tail: the text after the program's name (quoted or not)
// and the blanks after it, as the platform hands a program's WinMain.
const char *command_line_tail(const char *command_line);

// paths.cpp: path forming used by the environment discovery; each result is
// cut to its buffer.

// The folder of a program: everything up to and including the last backslash
// of its path.
void path_folder_of(const char *path, char *folder, size_t size);
// The script beside a program: the text after the last full stop of the file
// name replaced by "inf" (".inf" appended when the name has no full stop).
void path_script_of(const char *module_path, char *script, size_t size);
// program_files, a backslash unless it ends in one, the folder name, and a
// final backslash unless the result already ends in one.
void path_destination(const char *program_files, const char *folder_name, char *dest, size_t size);
// 1 when the text ends in a backslash that is a character of its own (not the
// trail byte of a double-byte character).
int path_ends_in_backslash(const char *path);

// folder followed by name, into path. The length, or 0 (and path empty) when
// the whole does not fit: a path cut short names another file, which would
// then be copied over or deleted.
size_t path_join(char *path, size_t size, const char *folder, const char *name);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// Platform calls: setup.exe and the tests under Wine.
// ---------------------------------------------------------------------------

#include <windows.h>

// startup.cpp

// The start-up sequence and the wizard: everything setup_entry (main.cpp)
// does once the command line is known. Returns the process's exit code.
DWORD setup_main(HINSTANCE instance, char *command_line);
// session.is_nt from the platform's version word.
void probe_windows_version(void);

// environment.cpp

// The folders and paths of the run into the session: Windows, system and
// Program Files folders, the program, its script, the medium, the
// destination and the application's name. 0 when the run cannot go on.
int discover_environment(void);

// bootstrap.cpp

// Started from the medium: the program and its script are copied to the
// temporary folder and the copy is started with /TEMP and the switches of
// this run; a failure is reported. Returns the exit code: an unattended run
// waits for the copy and returns its code, an interactive one ends at once.
DWORD start_temporary_copy(void);
#endif
