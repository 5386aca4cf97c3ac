// Registry path and value forming that needs no platform call.
#pragma once

#include <stddef.h>

enum {
    REGISTRY_PATH_SIZE = 260,   // key paths: at most 259 characters
    REGISTRY_VALUE_SIZE = 528,  // a folder (259) joined to a script value (259), two quotes, the zero
};

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
