// Splitting a [startmenu] entry into its three fields. Shared by the creation
// of the program group and its removal; calls no platform service.
#include "shell.h"

#include "text.h"

// The next comma-separated token of *cursor, terminated in place; leading
// commas are skipped, so a run of commas is one separator and no token is
// empty. NULL when only commas (or nothing) remain. A comma is a single-byte
// character of its own, so double-byte characters are stepped over whole.
static char *next_field(char **cursor)
{
    char *p = *cursor;
    while (*p == ',')
        p++;
    if (*p == '\0') {
        *cursor = p;
        return NULL;
    }
    char *start = p;
    while (*p != '\0' && *p != ',')
        p = text_next(p);
    if (*p == ',')
        *p++ = '\0';
    *cursor = p;
    return start;
}

int split_entry_fields(char *value, char *group_name, char *program_file, char *item_title)
{
    char *fields[3] = {group_name, program_file, item_title};
    char *cursor = value;
    for (int i = 0; i < 3; i++)
        fields[i][0] = '\0';
    for (int i = 0; i < 3; i++) {
        char *token = next_field(&cursor);
        if (token == NULL)
            return 0;
        // A field longer than its buffer is cut on a character boundary.
        text_copy(fields[i], SETUP_PATH_SIZE, token);
    }
    return 1;
}
