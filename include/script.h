// The setup script (src/script): setup.inf beside the program, read key by key
// when a value is needed, with a default; and the rules every script keeps.
#pragma once

#include <stddef.h>

#include "setup_types.h"

// ---------------------------------------------------------------------------
// No platform call: built into setup.exe and natively as well.
// ---------------------------------------------------------------------------

// script_text.cpp

// Buffers that script values are read into besides SETUP_PATH_SIZE (paths
// and single names); a longer value is cut.
enum {
    SCRIPT_TEXT_SIZE = 520,   // page texts and list entries
    SCRIPT_MENU_SIZE = 1040,  // program-group entries
};

// Turn the escapes \t and \n into tab and line feed, in place.
void script_turn_escapes(char *text);

// How script_parse_number takes a number's sign and a number beyond 32 bits.
// The script's own integer keys are ints and its byte totals unsigned; both
// clamp, so that an absurdly long number gives the nearest limit. The kind
// and size of a file entry follow one rule, a signed number, yet a size may
// go up to 4294967295: they wrap as a 32-bit number does, so that both
// readings of the same bits hold (a size of -1 is 4294967295).
enum NumberForm {
    NumberSigned,   // int: clamped at -2147483648 and 2147483647
    NumberUnsigned, // byte counts: no minus sign, clamped at 4294967295
    NumberWrapped,  // file entries: either sign, wrapped to 32 bits
};

// A leading decimal number: blanks and tabs, a sign, then digits up to the
// first other character; the fallback when no digit follows. The result is
// the 32 bits of the number in its form (cast a NumberSigned one to int).
unsigned int script_parse_number(const char *text, unsigned int fallback, NumberForm form);

// script_rules.cpp: the rules every script keeps, checked once at start-up
// before anything is copied or shown. A value joined to a folder or to a key
// path as it stands could otherwise name something outside the application:
// a removal would then delete it.

// 1 when name, joined to a folder, stays inside it: no drive and no colon
// anywhere, no leading backslash or slash, no component made of dots (such
// as "..") between backslashes or slashes. An empty name passes: it names
// the folder itself or nothing, as the key's own rules say.
int script_name_stays_inside(const char *name);

// 1 when a registry key name, joined to a fixed base key, has no empty
// component: no leading, trailing or doubled backslash ("\" alone would name
// the base key itself). An empty name passes: it names no key and the entry
// is skipped.
int script_key_name_is_whole(const char *name);

// A section as the profile reader hands it over whole: lines each ended by a
// zero byte, the whole by an empty line or after len bytes. A line is
// "key=value" or a bare key; blanks and tabs around the key and the value do
// not count, and a line starting with ';' is a comment. A list of key names
// alone has the same form.

// The highest N of the keys "stem_N" in such lines, N written as the program
// writes it (decimal, no leading zero, no sign); stem compared without letter
// case. 0 when there is none.
unsigned int script_highest_entry(const char *lines, size_t len, const char *stem);

// N of a key "stem_N" written as the program writes it; 0 for any other key.
unsigned int script_entry_number(const char *key, const char *stem);

// 1 when the keys "stem_N" of such lines come with N strictly rising, as a
// list is written: no key is there twice, and the entry after N is never
// found before it (a reader may go on from where it found N).
int script_entries_ascend(const char *lines, size_t len, const char *stem);

// The value of key in such lines, as the profile reader gives it for that
// key: the first line whose key matches (without letter case) counts, and a
// value in matching single or double quotes loses them. 1 and the value's
// start and length when that line has a value; 0 when the key is missing or
// its first line has no "=".
int script_section_value(const char *lines, size_t len, const char *key, const char **value, size_t *value_len);

// The last entry of a numbered list to read: count, but no further than the
// highest entry present; 0 for a count below 1. Entries may have gaps.
unsigned int script_last_entry(int count, unsigned int highest);

// Where the rules read the script from: the program's profile reader, or an
// author's tool's own.
struct ScriptSource {
    void *context;
    // The value of key in section as it stands (no escapes turned), cut to
    // size on a character boundary; "" when the key is missing.
    void (*read)(void *context, const char *section, const char *key, char *buf, size_t size);
    // The number of the last entry stem_N to read, as script_last_entry
    // gives it for the section's count key.
    unsigned int (*last_entry)(void *context, const char *section, const char *count_key, const char *stem);
};

// The first value that breaks a rule: its section and key.
struct ScriptFault {
    const char *section;
    char key[32];
};

// Looks at every name the program joins to a folder ([general] default_dir,
// [copyright] file, the source and target of [files] file_N, uninst_N, the
// group and item title of [startmenu] start_N) or to a registry path
// ([registry] version_key, path_key, uninstall_key, user_key, clsid_N).
// 1 and the first offending value in fault when one breaks its rule, 0 when
// all keep them.
int script_find_unsafe_name(const ScriptSource *source, ScriptFault *fault);

#ifdef _WIN32
// ---------------------------------------------------------------------------
// Platform calls: setup.exe and the tests under Wine.
// ---------------------------------------------------------------------------

#include <windows.h>

// script_reader.cpp

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

// 1 when the script is there as a file. The profile functions read a
// missing or unreadable file as one without keys, which the run must not
// take for a script.
int script_can_be_read(void);

// Script text lookup into a zeroed 520-byte buffer, shown as the window's text.
void script_set_window_text(HWND window, const char *section, const char *key, const char *fallback);
#endif
