// The setup script (setup.inf beside the program): every value is read key by
// key, when it is needed, with a default.
#pragma once

#include <stddef.h>

#include <windows.h>

#include "script_text.h"

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

// The number of the last entry stem_N of a numbered list to read: the count
// key's value, but no further than the highest entry present in the section
// (a count far beyond the entries must not loop for hours); 0 for a count
// below 1.
unsigned int script_read_last_entry(const char *section, const char *count_key, const char *stem);

// An entry of the list that script_read_last_entry opened last, read as
// script_read_string reads it (empty default); any other key is read
// through the profile functions.
size_t script_read_entry(const char *section, const char *key, char *buf, size_t size);

// The start-up check of the names the script joins to folders and registry
// paths. A script that breaks a rule is refused with one message naming the
// section and key; 0 then, and the run must end before anything is changed.
int script_names_are_safe(void);

// Script text lookup into a zeroed 520-byte buffer, shown as the window's text.
void script_set_window_text(HWND window, const char *section, const char *key, const char *fallback);

// Write a value; used only on the temporary copy of the script.
int script_write_string(const char *section, const char *key, const char *value);
