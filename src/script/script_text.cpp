// Value forms of the setup script that need no platform call: escape turning
// and integer parsing.
#include <stddef.h>
#include <string.h>

#include "script.h"
#include "text.h"

// \t and \n become a tab and a line feed; any other escaped byte, and a
// backslash at the very end, stay as written. The scan steps over double-byte
// characters, so the 0x5C trail byte of characters such as ソ or 表 is never
// taken for a backslash.
void script_turn_escapes(char *text)
{
    char *p = text;
    while (*p) {
        if (*p != '\\') {
            p = text_next(p);
            continue;
        }
        char escaped = p[1];
        if (escaped == '\0')
            break;
        if (escaped == 't' || escaped == 'n') {
            *p = escaped == 't' ? '\t' : '\n';
            memmove(p + 1, p + 2, strlen(p + 2) + 1);
        }
        p++;
    }
}

int script_parse_int(const char *text, int fallback)
{
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    int negative = 0;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        p++;
    }
    if (*p < '0' || *p > '9')
        return fallback;
    // Accumulate as a negative number so that INT_MIN is reachable; clamp
    // instead of overflowing on absurdly long numbers.
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
        p++;
    }
    if (negative)
        return (int)(-value);
    return value > 2147483647LL ? 2147483647 : (int)value;
}

unsigned int script_parse_uint(const char *text, unsigned int fallback)
{
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == '+')
        p++;
    if (*p < '0' || *p > '9')
        return fallback;
    unsigned long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (unsigned)(*p - '0');
        if (value > 0xFFFFFFFFULL)
            value = 0xFFFFFFFFULL;
        p++;
    }
    return (unsigned int)value;
}
