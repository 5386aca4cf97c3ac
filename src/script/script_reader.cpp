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
    // The key names of one section: room for some 20,000 numbered entries.
    SCRIPT_KEY_LIST_SIZE = 256 * 1024,
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
    return script_parse_int(value, fallback);
}

unsigned int script_read_uint(const char *section, const char *key, unsigned int fallback)
{
    char value[64];
    script_read_string(section, key, "", value, sizeof value);
    return script_parse_uint(value, fallback);
}

unsigned int script_read_last_entry(const char *section, const char *count_key, const char *stem)
{
    static char key_list[SCRIPT_KEY_LIST_SIZE];
    int count = script_read_int(section, count_key, 0);
    if (count < 1)
        return 0;
    // With no key name, the profile reader lists the section's key names.
    // A list cut at the buffer ends in a name that may be cut too; the
    // names before it are whole.
    DWORD len = sys_GetPrivateProfileStringA(section, NULL, "", key_list, sizeof key_list, session.script_path);
    if (len >= sizeof key_list - 2) {
        len = sizeof key_list - 2;
        while (len > 0 && key_list[len - 1] != '\0')
            len--;
    }
    return script_last_entry(count, script_highest_entry(key_list, len, stem));
}

static void read_for_rules(void *, const char *section, const char *key, char *buf, size_t size)
{
    script_read_string(section, key, "", buf, size);
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
    show_message_args(MSG_SCRIPT_UNSAFE_NAME, CAP_START_ERROR, MB_OK | MB_ICONSTOP, fault.section, fault.key);
    return 0;
}

void script_set_window_text(HWND window, const char *section, const char *key, const char *fallback)
{
    char text[SCRIPT_TEXT_SIZE];
    memset(text, 0, sizeof text);
    script_read_text(section, key, fallback, text, sizeof text);
    SetWindowTextA(window, text);
}

int script_write_string(const char *section, const char *key, const char *value)
{
    return sys_WritePrivateProfileStringA(section, key, value, session.script_path) ? 1 : 0;
}
