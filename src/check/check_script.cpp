// The script's values as the program gets them: the platform's reader, then
// the program's own cut to its buffer (never inside a double-byte character).
#include <string.h>

#include "check.h"
#include "script.h"
#include "text.h"

void check_script_load(CheckScript *script, const std::string &bytes)
{
    script->bytes = bytes;
    profile_load(&script->file, (const unsigned char *)script->bytes.data(), script->bytes.size());
}

size_t check_read(const CheckScript *script, const char *section, const char *key, const char *fallback, char *buf,
                  size_t size)
{
    if (size == 0)
        return 0;
    // The program asks for one byte more than it keeps, at most this many.
    enum { PROGRAM_READ_SIZE = SCRIPT_MENU_SIZE + 2 };
    char raw[PROGRAM_READ_SIZE];
    memset(raw, 0, sizeof raw);
    size_t ask = size + 1 < sizeof raw ? size + 1 : sizeof raw;
    profile_get_string(&script->file, section, key, fallback, raw, (unsigned)ask);
    raw[sizeof raw - 1] = '\0';
    return text_copy(buf, size, raw);
}

std::string check_read_whole(const CheckScript *script, const char *section, const char *key)
{
    // No value is longer than the file that holds it, in any encoding.
    std::vector<char> buf(script->bytes.size() * 2 + 8);
    profile_get_string(&script->file, section, key, "", buf.data(), (unsigned)buf.size());
    return std::string(buf.data());
}

int check_read_int(const CheckScript *script, const char *section, const char *key, int fallback)
{
    char value[64];
    check_read(script, section, key, "", value, sizeof value);
    return (int)script_parse_number(value, (unsigned int)fallback, NumberSigned);
}

std::string check_narrow(const WideText &text)
{
    // A name or value ends at a zero unit, as the platform's strings do.
    size_t len = 0;
    while (len < text.size() && text[len] != 0)
        len++;
    return cp932_from_wide(text.data(), len);
}

unsigned int check_last_entry(const CheckScript *script, const char *section, const char *count_key,
                              const char *stem)
{
    int count = check_read_int(script, section, count_key, 0);
    std::string lines = profile_section_lines(profile_find_section(&script->file, section));
    return script_last_entry(count, script_highest_entry(lines.data(), lines.size(), stem));
}

unsigned check_line_of(const CheckScript *script, const char *section, const char *key)
{
    const ProfileSection *found = profile_find_section(&script->file, section);
    if (found == NULL)
        return 0;
    const ProfileKey *line = key != NULL ? profile_find_key(found, key) : NULL;
    return line != NULL ? line->line : found->line;
}

int check_field(const char *text, int index, size_t *from, size_t *to)
{
    const char *p = text;
    for (int i = 0;; i++) {
        while (*p == ',')
            p++;
        if (*p == '\0')
            return 0;
        const char *start = p;
        while (*p != '\0' && *p != ',')
            p = text_next(p);
        if (i == index) {
            *from = (size_t)(start - text);
            *to = (size_t)(p - text);
            return 1;
        }
    }
}

int check_is_number(const char *text)
{
    // No fallback can tell itself from a value: two can.
    return script_parse_number(text, 1, NumberSigned) != 1 || script_parse_number(text, 2, NumberSigned) != 2;
}

int check_is_utf8(const CheckScript *script)
{
    if (script->file.encoding != PROFILE_ANSI)
        return 0;
    const unsigned char *s = (const unsigned char *)script->bytes.data();
    size_t len = script->bytes.size();
    int multi_byte = 0;
    for (size_t i = 0; i < len;) {
        unsigned char ch = s[i];
        if (ch < 0x80) {
            i++;
            continue;
        }
        // Bytes to follow, and the range of the first of them: no longer
        // form than the character needs, no surrogate, nothing past U+10FFFF.
        size_t follow;
        unsigned char low = 0x80, high = 0xBF;
        if (ch >= 0xC2 && ch <= 0xDF) {
            follow = 1;
        } else if (ch >= 0xE0 && ch <= 0xEF) {
            follow = 2;
            low = ch == 0xE0 ? 0xA0 : 0x80;
            high = ch == 0xED ? 0x9F : 0xBF;
        } else if (ch >= 0xF0 && ch <= 0xF4) {
            follow = 3;
            low = ch == 0xF0 ? 0x90 : 0x80;
            high = ch == 0xF4 ? 0x8F : 0xBF;
        } else {
            return 0;
        }
        if (len - i - 1 < follow || s[i + 1] < low || s[i + 1] > high)
            return 0;
        for (size_t k = 2; k <= follow; k++)
            if ((s[i + k] & 0xC0) != 0x80)
                return 0;
        i += follow + 1;
        // Japanese in UTF-8 takes three bytes a character. Pairs alone are
        // common in code page 932 too: half-width katakana such as ﾃｱ
        // (C3 B1) read as one two-byte UTF-8 character.
        if (follow >= 2)
            multi_byte = 1;
    }
    return multi_byte;
}

// A file name as one shell word: as it stands when it is plain, else in
// single quotes (a quote inside written as '\'').
static std::string shell_word(const std::string &name)
{
    std::string quoted;
    int plain = !name.empty();
    for (const char *p = name.c_str(); *p != '\0';) {
        const char *next = text_next(p);
        char ch = *p;
        int ascii = next - p == 1 && (unsigned char)ch < 0x80;
        plain &= ascii && ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                           ch == '.' || ch == '_' || ch == '-');
        if (ascii && ch == '\'')
            quoted += "'\\''";
        else
            quoted.append(p, (size_t)(next - p));
        p = next;
    }
    return plain ? name : "'" + quoted + "'";
}

std::string check_utf8_conversion(const char *name)
{
    // A name that starts with '-' would be taken for an option.
    std::string path = name[0] == '-' ? std::string("./") + name : std::string(name);
    std::string from = shell_word(path), to = shell_word(path + ".cp932");
    return "iconv -f utf-8 -t cp932 " + from + " > " + to + " && mv " + to + " " + from;
}
