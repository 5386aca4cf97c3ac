// File-list entries and progress arithmetic: no platform call.
#include <string.h>

#include "engine.h"
#include "script.h"
#include "text.h"

int parse_file_entry(const char *text, FileEntry *entry)
{
    char kind[SETUP_PATH_SIZE], size[SETUP_PATH_SIZE];
    char *const fields[] = {entry->source_name, entry->target_name, entry->disk_label, kind, size};
    memset(entry, 0, sizeof *entry);
    const char *p = text;
    for (char *field : fields) {
        if (!(p = text_next_field(p, field, SETUP_PATH_SIZE)))
            return 0;
    }
    entry->kind = (int)script_parse_number(kind, 0, NumberWrapped);
    entry->size = script_parse_number(size, 0, NumberWrapped);
    return 1;
}

unsigned int progress_percentage(unsigned int done, unsigned int total)
{
    if (total == 0)
        return 0;
    return (unsigned int)text_divide((unsigned long long)done * 100u, total, NULL);
}
