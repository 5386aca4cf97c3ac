// Start-menu entry splitting: no platform call.
#pragma once

// Cuts value in place at commas (leading commas skipped, runs of commas one
// separator, blanks kept) into group name, program file and item title,
// each copied into a 260-byte buffer. 1 when all three were found.
int split_entry_fields(char *value, char *group_name, char *program_file, char *item_title);
