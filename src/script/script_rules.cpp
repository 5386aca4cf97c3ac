// The rules every script keeps: names joined to a folder stay inside it,
// registry names joined to a base key have no empty component, and numbered
// lists end at their highest entry. No platform call: the program and an
// author's tools apply the same rules.
#include <string.h>

#include "engine.h"
#include "script.h"
#include "shell.h"
#include "text.h"

int script_name_stays_inside(const char *name)
{
    if (text_find(name, ':') != NULL)
        return 0;
    if (name[0] == '\\' || name[0] == '/')
        return 0;
    // The platform takes "..", and a component of dots and blanks that it
    // trims to "..", as the folder above.
    const char *p = name;
    while (*p != '\0') {
        int dots = 0, only_dots = 1;
        while (*p != '\0' && *p != '\\' && *p != '/') {
            if (*p == '.')
                dots++;
            else if (*p != ' ')
                only_dots = 0;
            p = text_next(p);
        }
        if (dots > 0 && only_dots)
            return 0;
        if (*p != '\0')
            p++;
    }
    return 1;
}

int script_key_name_is_whole(const char *name)
{
    if (name[0] == '\\')
        return 0;
    // Stepping over characters: 0x5C is also the trail byte of ソ or 表.
    for (const char *p = name; *p != '\0'; p = text_next(p)) {
        if (*p == '\\' && (p[1] == '\\' || p[1] == '\0'))
            return 0;
    }
    return 1;
}

static int ascii_lower(int c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// N of a name "stem_N", or 0 when the name is not one.
static unsigned int entry_number(const char *name, size_t len, const char *stem)
{
    size_t stem_len = strlen(stem);
    if (len < stem_len + 2)
        return 0;
    for (size_t i = 0; i < stem_len; i++) {
        if (ascii_lower((unsigned char)name[i]) != ascii_lower((unsigned char)stem[i]))
            return 0;
    }
    const char *digits = name + stem_len + 1;
    size_t count = len - stem_len - 1;
    if (name[stem_len] != '_' || digits[0] == '0' || count > 10)
        return 0;
    unsigned long long value = 0;
    for (size_t i = 0; i < count; i++) {
        if (digits[i] < '0' || digits[i] > '9')
            return 0;
        value = value * 10 + (unsigned)(digits[i] - '0');
    }
    return value > 0xFFFFFFFFULL ? 0 : (unsigned int)value;
}

static int is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// The next line of a section: its key and, after the first '=', its value,
// each without the blanks around it. Returns the start of the line after it,
// or NULL at the end of the lines.
struct SectionLine {
    const char *key, *value;
    size_t key_len, value_len;
    int has_value;
};

static const char *next_line(const char *p, const char *end, SectionLine *line)
{
    if (p >= end || *p == '\0')
        return NULL;
    const char *stop = p;
    while (stop < end && *stop != '\0')
        stop++;
    const char *equals = p;
    while (equals < stop && *equals != '=')
        equals++;
    const char *key_end = equals;
    while (p < key_end && is_blank(*p))
        p++;
    while (key_end > p && is_blank(key_end[-1]))
        key_end--;
    line->key = p;
    line->key_len = (size_t)(key_end - p);
    line->has_value = equals < stop;
    const char *value = equals < stop ? equals + 1 : stop, *value_end = stop;
    while (value < value_end && is_blank(*value))
        value++;
    while (value_end > value && is_blank(value_end[-1]))
        value_end--;
    line->value = value;
    line->value_len = (size_t)(value_end - value);
    return stop < end ? stop + 1 : stop;
}

unsigned int script_highest_entry(const char *lines, size_t len, const char *stem)
{
    unsigned int highest = 0;
    SectionLine line;
    // A comment line (";file_1=...") is no stem_N.
    for (const char *p = lines; (p = next_line(p, lines + len, &line)) != NULL;) {
        unsigned int n = entry_number(line.key, line.key_len, stem);
        if (n > highest)
            highest = n;
    }
    return highest;
}

unsigned int script_entry_number(const char *key, const char *stem)
{
    return entry_number(key, strlen(key), stem);
}

int script_entries_ascend(const char *lines, size_t len, const char *stem)
{
    unsigned int previous = 0;
    SectionLine line;
    for (const char *p = lines; (p = next_line(p, lines + len, &line)) != NULL;) {
        unsigned int n = entry_number(line.key, line.key_len, stem);
        if (n == 0)
            continue;
        if (n <= previous)
            return 0;
        previous = n;
    }
    return 1;
}

int script_section_value(const char *lines, size_t len, const char *key, const char **value, size_t *value_len)
{
    size_t want = strlen(key);
    SectionLine line;
    for (const char *p = lines; (p = next_line(p, lines + len, &line)) != NULL;) {
        if (line.key_len != want || (line.key_len > 0 && line.key[0] == ';'))
            continue;
        size_t i = 0;
        while (i < want && ascii_lower((unsigned char)line.key[i]) == ascii_lower((unsigned char)key[i]))
            i++;
        if (i < want)
            continue;
        if (!line.has_value)
            return 0;
        *value = line.value;
        *value_len = line.value_len;
        char quote = line.value_len >= 2 ? line.value[0] : 0;
        if ((quote == '"' || quote == '\'') && line.value[line.value_len - 1] == quote) {
            *value = line.value + 1;
            *value_len = line.value_len - 2;
        }
        return 1;
    }
    return 0;
}

unsigned int script_last_entry(int count, unsigned int highest)
{
    if (count < 1)
        return 0;
    return (unsigned int)count < highest ? (unsigned int)count : highest;
}

static int fault_at(ScriptFault *fault, const char *section, const char *key)
{
    fault->section = section;
    text_copy(fault->key, sizeof fault->key, key);
    return 1;
}

// One value joined to a folder.
static int folder_name_breaks(const ScriptSource *source, const char *section, const char *key, ScriptFault *fault)
{
    char value[SETUP_PATH_SIZE];
    source->read(source->context, section, key, value, sizeof value);
    return script_name_stays_inside(value) ? 0 : fault_at(fault, section, key);
}

// One value joined to a base key.
static int key_name_breaks(const ScriptSource *source, const char *key, ScriptFault *fault)
{
    char value[SETUP_PATH_SIZE];
    source->read(source->context, "registry", key, value, sizeof value);
    return script_key_name_is_whole(value) ? 0 : fault_at(fault, "registry", key);
}

static int file_entry_breaks(char *value)
{
    FileEntry entry;
    if (!parse_file_entry(value, &entry))
        return 0;
    return !script_name_stays_inside(entry.source_name) || !script_name_stays_inside(entry.target_name);
}

static int uninst_entry_breaks(char *value)
{
    return !script_name_stays_inside(value);
}

static int clsid_entry_breaks(char *value)
{
    return !script_key_name_is_whole(value);
}

static int start_entry_breaks(char *value)
{
    char group[SETUP_PATH_SIZE], program[SETUP_PATH_SIZE], title[SETUP_PATH_SIZE];
    if (!split_entry_fields(value, group, program, title))
        return 0;
    return !script_name_stays_inside(group) || !script_name_stays_inside(title);
}

// Every entry of a numbered list, read as the program reads it (size bytes),
// each value judged by breaks().
static int list_breaks(const ScriptSource *source, const char *section, const char *count_key, const char *stem,
                       size_t size, int (*breaks)(char *value), ScriptFault *fault)
{
    char value[SCRIPT_MENU_SIZE];
    char key[32];
    unsigned int last = source->last_entry(source->context, section, count_key, stem);
    for (unsigned int n = 1; n != 0 && n <= last; n++) {
        text_format(key, sizeof key, "%s_%u", stem, n);
        source->read(source->context, section, key, value, size);
        if (breaks(value))
            return fault_at(fault, section, key);
    }
    return 0;
}

int script_find_unsafe_name(const ScriptSource *source, ScriptFault *fault)
{
    static const char *const registry_names[] = {"version_key", "path_key", "uninstall_key", "user_key"};
    if (folder_name_breaks(source, "general", "default_dir", fault) ||
        folder_name_breaks(source, "copyright", "file", fault) ||
        list_breaks(source, "files", "files", "file", SCRIPT_TEXT_SIZE, file_entry_breaks, fault) ||
        list_breaks(source, "files", "uninst", "uninst", SCRIPT_TEXT_SIZE, uninst_entry_breaks, fault) ||
        list_breaks(source, "startmenu", "menus", "start", SCRIPT_MENU_SIZE, start_entry_breaks, fault))
        return 1;
    for (size_t i = 0; i < sizeof registry_names / sizeof registry_names[0]; i++) {
        if (key_name_breaks(source, registry_names[i], fault))
            return 1;
    }
    return list_breaks(source, "registry", "classes", "clsid", SCRIPT_TEXT_SIZE, clsid_entry_breaks, fault);
}
