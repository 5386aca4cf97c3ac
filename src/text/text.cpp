// Bounded, code-page-932-aware string helpers.
#include "text.h"

#include <string.h>

int text_is_lead_byte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

const char *text_next(const char *p)
{
    if (*p == '\0')
        return p;
    if (text_is_lead_byte((unsigned char)*p) && p[1] != '\0')
        return p + 2;
    return p + 1;
}

char *text_next(char *p)
{
    return const_cast<char *>(text_next(static_cast<const char *>(p)));
}

const char *text_find(const char *s, char c)
{
    for (const char *p = s; *p; p = text_next(p)) {
        if (*p == c)
            return p;
    }
    return NULL;
}

char *text_find(char *s, char c)
{
    return const_cast<char *>(text_find(static_cast<const char *>(s), c));
}

const char *text_find_last(const char *s, char c)
{
    const char *found = NULL;
    for (const char *p = s; *p; p = text_next(p)) {
        if (*p == c)
            found = p;
    }
    return found;
}

char *text_find_last(char *s, char c)
{
    return const_cast<char *>(text_find_last(static_cast<const char *>(s), c));
}

size_t text_fit(const char *s, size_t max_len)
{
    size_t i = 0;
    while (i < max_len && s[i] != '\0') {
        if (!text_is_lead_byte((unsigned char)s[i])) {
            i++;
            continue;
        }
        // A pair that does not fit stops here; its trail byte is not read,
        // as it may lie beyond the max_len bytes the caller vouches for.
        if (i + 2 > max_len)
            break;
        // A lead byte that ends the text is a character of its own.
        i += s[i + 1] != '\0' ? 2 : 1;
    }
    return i;
}

size_t text_copy_n(char *dst, size_t size, const char *src, size_t n)
{
    if (size == 0)
        return 0;
    size_t len = text_fit(src, n < size - 1 ? n : size - 1);
    memmove(dst, src, len);
    dst[len] = '\0';
    return len;
}

const char *text_next_field(const char *p, char *field, size_t size)
{
    while (*p == ',')
        p++;
    if (*p == '\0')
        return NULL;
    // A comma is never the trail byte of a double-byte character, but the
    // scan steps over characters all the same.
    const char *start = p;
    while (*p != '\0' && *p != ',')
        p = text_next(p);
    // A field that runs to the end of the text is copied as text: a lead
    // byte that ends it is a character of its own.
    if (*p == '\0')
        text_copy(field, size, start);
    else
        text_copy_n(field, size, start, (size_t)(p - start));
    return p;
}

size_t text_copy(char *dst, size_t size, const char *src)
{
    return text_copy_n(dst, size, src, (size_t)-1);
}

size_t text_append(char *dst, size_t size, const char *src)
{
    if (size == 0)
        return 0;
    size_t used = 0;
    while (used < size - 1 && dst[used] != '\0')
        used++;
    return used + text_copy(dst + used, size - used, src);
}

unsigned long long text_divide(unsigned long long n, unsigned long long d, unsigned long long *remainder)
{
    // Bit by bit, high to low: d << bit never overflows where it is used,
    // because (n >> bit) >= d.
    unsigned long long q = 0;
    for (int bit = 63; bit >= 0; bit--) {
        if ((n >> bit) >= d) {
            n -= d << bit;
            q |= 1ULL << bit;
        }
    }
    if (remainder)
        *remainder = n;
    return q;
}

namespace {

// Output cursor that stops at the buffer's end and keeps whole characters.
struct Sink {
    char *dst;
    size_t size;
    size_t len;
    int full;
};

void sink_put(Sink *sink, const char *s, size_t n)
{
    if (sink->full)
        return;
    size_t room = sink->size - 1 - sink->len;
    size_t take = n <= room ? n : text_fit(s, room);
    if (take > n)
        take = n;
    memcpy(sink->dst + sink->len, s, take);
    sink->len += take;
    if (take < n)
        sink->full = 1;
}

void sink_number(Sink *sink, unsigned long long value, int negative, unsigned base)
{
    char digits[24];
    size_t n = 0;
    do {
        unsigned long long d;
        value = text_divide(value, base, &d);
        digits[sizeof digits - 1 - n++] = (char)(d < 10 ? '0' + d : 'a' + d - 10);
    } while (value != 0);
    if (negative)
        digits[sizeof digits - 1 - n++] = '-';
    sink_put(sink, digits + sizeof digits - n, n);
}

} // namespace

size_t text_format_v(char *dst, size_t size, const char *fmt, va_list args)
{
    if (size == 0)
        return 0;
    Sink sink = {dst, size, 0, 0};
    const char *p = fmt;
    while (*p && !sink.full) {
        if (*p != '%') {
            const char *next = text_next(p);
            sink_put(&sink, p, (size_t)(next - p));
            p = next;
            continue;
        }
        const char *start = p++;
        int longs = 0, sized = 0;
        while (*p == 'l') {
            longs++;
            p++;
        }
        if (*p == 'z') {
            sized = 1;
            p++;
        }
        char conv = *p;
        if (conv != '\0')
            p++;
        switch (conv) {
        case '%':
            sink_put(&sink, "%", 1);
            break;
        case 'c': {
            char c = (char)va_arg(args, int);
            sink_put(&sink, &c, 1);
            break;
        }
        case 's': {
            const char *s = va_arg(args, const char *);
            if (s == NULL)
                s = "(null)";
            sink_put(&sink, s, strlen(s));
            break;
        }
        case 'd': {
            long long v;
            if (sized)
                v = (long long)va_arg(args, ptrdiff_t);
            else if (longs >= 2)
                v = va_arg(args, long long);
            else if (longs == 1)
                v = va_arg(args, long);
            else
                v = va_arg(args, int);
            unsigned long long mag = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
            sink_number(&sink, mag, v < 0, 10);
            break;
        }
        case 'u':
        case 'x': {
            unsigned long long v;
            if (sized)
                v = va_arg(args, size_t);
            else if (longs >= 2)
                v = va_arg(args, unsigned long long);
            else if (longs == 1)
                v = va_arg(args, unsigned long);
            else
                v = va_arg(args, unsigned int);
            sink_number(&sink, v, 0, conv == 'x' ? 16 : 10);
            break;
        }
        default:
            // Not a conversion this program uses: keep the text as written.
            sink_put(&sink, start, (size_t)(p - start));
            break;
        }
    }
    dst[sink.len] = '\0';
    return sink.len;
}

size_t text_format(char *dst, size_t size, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    size_t len = text_format_v(dst, size, fmt, args);
    va_end(args);
    return len;
}

int text_equal_nocase(const char *a, const char *b)
{
    for (;;) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (text_is_lead_byte(x) && a[1] != '\0') {
            if (x != y || a[1] != b[1])
                return 0;
            a += 2;
            b += 2;
            continue;
        }
        if (x >= 'A' && x <= 'Z')
            x = (unsigned char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (unsigned char)(y - 'A' + 'a');
        if (x != y)
            return 0;
        if (x == '\0')
            return 1;
        a++;
        b++;
    }
}
