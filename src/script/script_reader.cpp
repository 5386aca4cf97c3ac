// Reading the setup script through the platform's profile-file functions:
// they give case-insensitive section and key names, the first matching key,
// and a missing file read as a file without keys.
#include <string.h>

#include "platform.h"
#include "script.h"
#include "setup.h"
#include "text.h"

enum { SCRIPT_READ_SIZE = SCRIPT_MENU_SIZE + 2 };

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
