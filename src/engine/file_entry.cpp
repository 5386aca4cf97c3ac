// File-list entries and progress arithmetic: no platform call.
#include <string.h>

#include "engine.h"
#include "text.h"

int parse_entry_number(const char *text)
{
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    int negative = 0;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    // Accumulate unsigned and wrap as a 32-bit number would; sizes near the
    // 32-bit limit stay exact when read back as unsigned.
    unsigned int value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10u + (unsigned int)(*p++ - '0');
    return (int)(negative ? 0u - value : value);
}

// The next field: commas before it are skipped, the field runs to the next
// comma or the end. Commas are single-byte characters that cannot be a
// trail byte in code page 932, but the scan steps over characters all the
// same.
static const char *next_field(const char *p, char *field, size_t size)
{
    while (*p == ',')
        p++;
    if (*p == '\0')
        return NULL;
    const char *start = p;
    while (*p != '\0' && *p != ',')
        p = text_next(p);
    text_copy_n(field, size, start, (size_t)(p - start));
    return p;
}

int parse_file_entry(const char *text, FileEntry *entry)
{
    char kind[SETUP_PATH_SIZE], size[SETUP_PATH_SIZE];
    memset(entry, 0, sizeof *entry);
    const char *p = text;
    if (!(p = next_field(p, entry->source_name, sizeof entry->source_name)))
        return 0;
    if (!(p = next_field(p, entry->target_name, sizeof entry->target_name)))
        return 0;
    if (!(p = next_field(p, entry->disk_label, sizeof entry->disk_label)))
        return 0;
    if (!(p = next_field(p, kind, sizeof kind)))
        return 0;
    if (!next_field(p, size, sizeof size))
        return 0;
    entry->kind = parse_entry_number(kind);
    entry->size = (unsigned int)parse_entry_number(size);
    return 1;
}

unsigned int progress_percentage(unsigned int done, unsigned int total)
{
    if (total == 0)
        return 0;
    return (unsigned int)text_divide((unsigned long long)done * 100u, total, NULL);
}
