// The setup script (setup.inf beside the program): every value is read key by
// key, when it is needed, with a default.
#pragma once

#include <stddef.h>

#include <windows.h>

#include "script_text.h"

enum {
    SCRIPT_NAME_SIZE = 260,   // paths and single names
    SCRIPT_TEXT_SIZE = 520,   // page texts and list entries
    SCRIPT_MENU_SIZE = 1040,  // program-group entries
};

// Plain read of a value without escape handling, cut to the buffer without
// splitting a double-byte character. Returns the length stored.
size_t script_read_string(const char *section, const char *key, const char *fallback, char *buf, size_t size);

// Read a value (or the fallback when the key is missing) and turn the escapes
// \t and \n into tab and line feed. Returns the length as read, before the
// escapes were turned; 0 for an empty value.
size_t script_read_text(const char *section, const char *key, const char *fallback, char *buf, size_t size);

// A leading decimal number; the fallback when the key is missing or its value
// does not start with one.
int script_read_int(const char *section, const char *key, int fallback);

// The same for byte counts: unsigned, up to 4294967295.
unsigned int script_read_uint(const char *section, const char *key, unsigned int fallback);

// Script text lookup into a zeroed 520-byte buffer, shown as the window's text.
void script_set_window_text(HWND window, const char *section, const char *key, const char *fallback);

// Write a value; used only on the temporary copy of the script.
int script_write_string(const char *section, const char *key, const char *value);
