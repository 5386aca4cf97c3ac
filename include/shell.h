// Start menu and completion: program group, its removal, removal error log,
// self-removal.
#pragma once

#include <stddef.h>

#include <windows.h>

enum { START_MENU_ENTRY_SIZE = 1040, START_MENU_FIELD_SIZE = 260 };

// The start-menu step: creates the program group through DDE, or removes its
// shortcuts in Uninstall mode. 1 on success.
int update_program_group(unsigned int count);
int create_program_group(unsigned int count);
int remove_program_group(unsigned int count);
// Entry N of [startmenu] formatted as the shell command; its length, or 0.
size_t build_group_command(char *buffer, unsigned int n);

// Self-removal at the end of a run: the running program (and with
// remove_folder its folder) is deleted at the next start of Windows (NT
// family) or by a hidden batch file once the program has ended (95/98).
void remove_self(int remove_folder);

// Removal error log (delerr.log).
void log_removal_failure(char separator, const char *key_path, const char *value_name);
void append_to_removal_log(const char *text);
void write_removal_log(void);
