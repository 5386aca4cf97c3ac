// Splitting a [startmenu] entry into its three fields. Shared by the program
// group, its removal and the script's rules; calls no platform service.
#include "shell.h"

#include "text.h"

int split_entry_fields(char *value, char *group_name, char *program_file, char *item_title)
{
    char *const fields[] = {group_name, program_file, item_title};
    for (char *field : fields)
        field[0] = '\0';
    char *p = value;
    for (char *field : fields) {
        const char *end = text_next_field(p, field, SETUP_PATH_SIZE);
        if (end == NULL)
            return 0;
        // Each field is also cut off in place at its comma.
        p = value + (end - value);
        if (*p == ',')
            *p++ = '\0';
    }
    return 1;
}
