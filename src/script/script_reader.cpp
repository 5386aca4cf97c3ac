// Reading the setup script through the platform's profile-file functions:
// they give case-insensitive section and key names, the first matching key,
// and a missing file read as a file without keys.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "text.h"
#include "ui.h"

enum {
    SCRIPT_READ_SIZE = SCRIPT_MENU_SIZE + 2,
    // One section's lines (or its key names): room for some 80,000 list
    // entries. A section that does not fit is read entry by entry, each
    // read a search of the section: lists of 10,000 entries took minutes.
    // The buffer is uninitialised data and costs the program file nothing.
    SCRIPT_KEY_LIST_SIZE = 4 * 1024 * 1024,
};

size_t script_read_string(const char *section, const char *key, const char *fallback, char *buf, size_t size)
{
    if (size == 0)
        return 0;
    // Read one byte more than the caller keeps, then cut on a character
    // boundary: the profile functions may end a cut value on a lead byte.
    char raw[SCRIPT_READ_SIZE];
    size_t ask = size + 1 < sizeof raw ? size + 1 : sizeof raw;
    memset(raw, 0, sizeof raw);
    sys_GetPrivateProfileStringA(section, key, fallback, raw, (DWORD)ask, session.script_path);
    raw[sizeof raw - 1] = '\0';
    return text_copy(buf, size, raw);
}

size_t script_read_text(const char *section, const char *key, const char *fallback, char *buf, size_t size)
{
    size_t len = script_read_string(section, key, fallback, buf, size);
    if (len == 0)
        return 0;
    script_turn_escapes(buf);
    return len;
}

int script_read_int(const char *section, const char *key, int fallback)
{
    char value[64];
    script_read_string(section, key, "", value, sizeof value);
    return (int)script_parse_number(value, (unsigned int)fallback, NumberSigned);
}

unsigned int script_read_uint(const char *section, const char *key, unsigned int fallback)
{
    char value[64];
    script_read_string(section, key, "", value, sizeof value);
    return script_parse_number(value, fallback, NumberUnsigned);
}

// A numbered list is read with its section at once: a profile read per key
// costs about as much as copying a small file, for every entry of a list of
// thousands. The section's lines are looked up key by key as the profile
// reader looks them up (script_section_value).
static char list_lines[SCRIPT_KEY_LIST_SIZE];
static char list_section[32];
static char list_stem[16];
static DWORD list_len;
static int list_whole;
// Where the search for the next entry starts, when the entries ascend: the
// line after the last one found (a list of thousands is read in one pass).
static int list_ascends;
static unsigned int list_last_read;
static size_t list_cursor;

// The 95/98 family hands over 32 KiB of a section at most: a longer one may
// have been cut there.
enum { SECTION_LIMIT_95 = 32000 };

unsigned int script_read_last_entry(const char *section, const char *count_key, const char *stem)
{
    list_section[0] = '\0';
    int count = script_read_int(section, count_key, 0);
    if (count < 1)
        return 0;
    list_len = sys_GetPrivateProfileSectionA(section, list_lines, sizeof list_lines, session.script_path);
    list_whole = list_len < sizeof list_lines - 2 && (session.is_nt || list_len < SECTION_LIMIT_95);
    text_copy(list_section, sizeof list_section, section);
    text_copy(list_stem, sizeof list_stem, stem);
    list_ascends = script_entries_ascend(list_lines, list_len, stem);
    list_last_read = 0;
    list_cursor = 0;
    if (list_whole)
        return script_last_entry(count, script_highest_entry(list_lines, list_len, stem));
    // A long section may be cut: its key names alone fit more entries. A
    // list cut at the buffer ends in a name that may be cut too; the names
    // before it are whole.
    DWORD len = sys_GetPrivateProfileStringA(section, NULL, "", list_lines, sizeof list_lines, session.script_path);
    if (len >= sizeof list_lines - 2) {
        len = sizeof list_lines - 2;
        while (len > 0 && list_lines[len - 1] != '\0')
            len--;
    }
    list_len = 0;
    return script_last_entry(count, script_highest_entry(list_lines, len, stem));
}

size_t script_read_entry(const char *section, const char *key, char *buf, size_t size)
{
    if (size == 0)
        return 0;
    const char *value;
    size_t value_len;
    if (list_whole && text_equal_nocase(section, list_section)) {
        unsigned int n = script_entry_number(key, list_stem);
        size_t from = 0;
        int onward = list_ascends && n > list_last_read;
        if (onward) {
            from = list_cursor;
            list_last_read = n;
        }
        if (!script_section_value(list_lines + from, list_len - from, key, &value, &value_len))
            return text_copy(buf, size, "");
        if (onward)
            list_cursor = (size_t)(value - list_lines) + strlen(value) + 1;
        return text_copy_n(buf, size, value, value_len);
    }
    return script_read_string(section, key, "", buf, size);
}

static void read_for_rules(void *, const char *section, const char *key, char *buf, size_t size)
{
    script_read_entry(section, key, buf, size);
}

static unsigned int last_entry_for_rules(void *, const char *section, const char *count_key, const char *stem)
{
    return script_read_last_entry(section, count_key, stem);
}

int script_names_are_safe(void)
{
    static const ScriptSource source = {NULL, read_for_rules, last_entry_for_rules};
    ScriptFault fault;
    if (!script_find_unsafe_name(&source, &fault))
        return 1;
    show_message(MSG_SCRIPT_UNSAFE_NAME, CAP_START_ERROR, MB_OK | MB_ICONSTOP, fault.section, fault.key);
    return 0;
}

int script_can_be_read(void)
{
    // The platform's own test: a file whose attributes can be read is one
    // the profile functions read. (A handle opened here to try would stay
    // open if it could not be closed, and keep the uninstaller's folder.)
    DWORD attributes = sys_GetFileAttributesA(session.script_path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void script_set_window_text(HWND window, const char *section, const char *key, const char *fallback)
{
    char text[SCRIPT_TEXT_SIZE];
    memset(text, 0, sizeof text);
    script_read_text(section, key, fallback, text, sizeof text);
    SetWindowTextA(window, text);
}
