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
// replaced by "$$$" (FOO.DLL becomes FOO.$$$).
void temporary_replacement_name(const char *target_name, char *out, size_t size);
