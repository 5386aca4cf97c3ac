// Value forms of the setup script that need no platform call: escape turning
// and number parsing.
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

unsigned int script_parse_number(const char *text, unsigned int fallback, NumberForm form)
{
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    int negative = 0;
    // A byte count has no minus sign: "-1" is no number there.
    if (*p == '+' || (*p == '-' && form != NumberUnsigned))
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return fallback;
    // The wrapped value keeps the low 32 bits; the clamped one stops just
    // beyond them, so that it never overflows however long the number.
    unsigned int wrapped = 0;
    unsigned long long clamped = 0;
    while (*p >= '0' && *p <= '9') {
        unsigned int digit = (unsigned int)(*p++ - '0');
        wrapped = wrapped * 10u + digit;
        clamped = clamped * 10u + digit;
        if (clamped > 0xFFFFFFFFULL)
            clamped = 0x100000000ULL;
    }
    if (form == NumberWrapped)
        return negative ? 0u - wrapped : wrapped;
    unsigned long long limit = form == NumberUnsigned ? 0xFFFFFFFFULL : negative ? 0x80000000ULL : 0x7FFFFFFFULL;
    unsigned int value = (unsigned int)(clamped < limit ? clamped : limit);
    return negative ? 0u - value : value;
}
