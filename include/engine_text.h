// File-list logic that needs no platform call.
#pragma once

#include <stddef.h>

enum { FILE_FIELD_SIZE = 260 };

struct FileEntry {
    char source_name[FILE_FIELD_SIZE];
    char target_name[FILE_FIELD_SIZE];
    char disk_label[FILE_FIELD_SIZE];
    int kind;          // 1: application file; anything else: shared file
    unsigned int size; // bytes the progress bar advances by
};

// Splits "source,target,label,kind,size": runs of commas are one separator,
// leading commas are skipped, blanks stay in the fields, text after the fifth
// field is ignored. 1 when all five fields were present.
int parse_file_entry(const char *text, FileEntry *entry);

// Leading blanks, an optional sign, then digits up to the first other
// character; 0 without digits.
int parse_entry_number(const char *text);

// done * 100 / total, rounded down, without overflow for any 32-bit values.
unsigned int progress_percentage(unsigned int done, unsigned int total);

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
