// JSON lines and UTF conversions for the UI driver's transcript.
#include "json_text.h"

#include <stdio.h>
#include <string.h>

static size_t put_utf8(uint32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (char)(0xC0 | (c >> 6));
        out[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (char)(0xE0 | (c >> 12));
        out[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        out[2] = (char)(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (c >> 18));
    out[1] = (char)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (char)(0x80 | (c & 0x3F));
    return 4;
}

size_t utf16_to_utf8(const uint16_t *in, size_t n, char *out, size_t size)
{
    size_t len = 0;
    if (size == 0)
        return 0;
    for (size_t i = 0; i < n; i++) {
        uint32_t c = in[i];
        if (c == 0 && n == (size_t)-1)
            break;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        char tmp[4];
        size_t k = put_utf8(c, tmp);
        if (len + k + 1 > size)
            break;
        memcpy(out + len, tmp, k);
        len += k;
    }
    out[len] = 0;
    return len;
}

// Decodes one UTF-8 character at s (n bytes available). Returns its length,
// or 0 for an invalid sequence (then *c is U+FFFD and one byte is consumed
// by the caller).
static size_t get_utf8(const unsigned char *s, size_t n, uint32_t *c)
{
    unsigned char b = s[0];
    size_t k;
    uint32_t v, min;
    *c = 0xFFFD;
    if (b < 0x80) {
        *c = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        k = 2; v = b & 0x1F; min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        k = 3; v = b & 0x0F; min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        k = 4; v = b & 0x07; min = 0x10000;
    } else {
        return 0;
    }
    if (k > n)
        return 0;
    for (size_t i = 1; i < k; i++) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        v = (v << 6) | (s[i] & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        return 0;
    *c = v;
    return k;
}

size_t utf8_to_utf16(const char *in, uint16_t *out, size_t size)
{
    const unsigned char *s = (const unsigned char *)in;
    size_t n = strlen(in), i = 0, len = 0;
    if (size == 0)
        return 0;
    while (i < n) {
        uint32_t c;
        size_t k = get_utf8(s + i, n - i, &c);
        i += k ? k : 1;
        size_t units = c >= 0x10000 ? 2 : 1;
        if (len + units + 1 > size)
            break;
        if (units == 2) {
            c -= 0x10000;
            out[len++] = (uint16_t)(0xD800 + (c >> 10));
            out[len++] = (uint16_t)(0xDC00 + (c & 0x3FF));
        } else {
            out[len++] = (uint16_t)c;
        }
    }
    out[len] = 0;
    return len;
}

size_t json_escape_append(char *dst, size_t size, size_t len, const char *utf8, size_t n)
{
    const unsigned char *s = (const unsigned char *)utf8;
    size_t start = len;
    // Room for the closing quote and the terminator is checked per piece.
#define PUT(p, k)                                   \
    do {                                            \
        if (len + (k) + 1 > size) {                 \
            if (size > start)                       \
                dst[start] = 0;                     \
            return (size_t)-1;                      \
        }                                           \
        memcpy(dst + len, (p), (k));                \
        len += (k);                                 \
    } while (0)
    PUT("\"", 1);
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            char esc[8];
            switch (b) {
            case '"': PUT("\\\"", 2); break;
            case '\\': PUT("\\\\", 2); break;
            case '\n': PUT("\\n", 2); break;
            case '\r': PUT("\\r", 2); break;
            case '\t': PUT("\\t", 2); break;
            case '\b': PUT("\\b", 2); break;
            case '\f': PUT("\\f", 2); break;
            default:
                if (b < 0x20) {
                    snprintf(esc, sizeof esc, "\\u%04x", b);
                    PUT(esc, 6);
                } else {
                    PUT(&s[i], 1);
                }
            }
            i++;
            continue;
        }
        uint32_t c;
        size_t k = get_utf8(s + i, n - i, &c);
        if (k == 0) {
            PUT("\\ufffd", 6);
            i++;
        } else {
            PUT(&s[i], k);
            i += k;
        }
    }
    PUT("\"", 1);
#undef PUT
    dst[len] = 0;
    return len;
}

static void raw(JsonLine *j, const char *s, size_t n)
{
    if (j->overflow)
        return;
    if (j->len + n + 1 > j->size) {
        j->overflow = 1;
        return;
    }
    memcpy(j->buf + j->len, s, n);
    j->len += n;
    j->buf[j->len] = 0;
}

static void raw_s(JsonLine *j, const char *s)
{
    raw(j, s, strlen(s));
}

// Comma and key before a member or element.
static void member(JsonLine *j, const char *key)
{
    if (j->overflow)
        return;
    if (j->count[j->depth]++ > 0)
        raw(j, ",", 1);
    if (key) {
        size_t r = json_escape_append(j->buf, j->size, j->len, key, strlen(key));
        if (r == (size_t)-1) {
            j->overflow = 1;
            return;
        }
        j->len = r;
        raw(j, ":", 1);
    }
}

void json_begin(JsonLine *j, char *buf, size_t size)
{
    j->buf = buf;
    j->size = size;
    j->len = 0;
    j->depth = 0;
    j->overflow = 0;
    memset(j->count, 0, sizeof j->count);
    if (size)
        buf[0] = 0;
    raw(j, "{", 1);
}

void json_str_n(JsonLine *j, const char *key, const char *utf8, size_t n)
{
    member(j, key);
    if (j->overflow)
        return;
    size_t r = json_escape_append(j->buf, j->size, j->len, utf8, n);
    if (r == (size_t)-1)
        j->overflow = 1;
    else
        j->len = r;
}

void json_str(JsonLine *j, const char *key, const char *utf8)
{
    if (!utf8) {
        json_null(j, key);
        return;
    }
    json_str_n(j, key, utf8, strlen(utf8));
}

void json_int(JsonLine *j, const char *key, long long value)
{
    char tmp[32];
    member(j, key);
    snprintf(tmp, sizeof tmp, "%lld", value);
    raw_s(j, tmp);
}

void json_uint(JsonLine *j, const char *key, unsigned long long value)
{
    char tmp[32];
    member(j, key);
    snprintf(tmp, sizeof tmp, "%llu", value);
    raw_s(j, tmp);
}

void json_bool(JsonLine *j, const char *key, int value)
{
    member(j, key);
    raw_s(j, value ? "true" : "false");
}

void json_null(JsonLine *j, const char *key)
{
    member(j, key);
    raw_s(j, "null");
}

void json_hex(JsonLine *j, const char *key, uint32_t value)
{
    char tmp[16];
    snprintf(tmp, sizeof tmp, "0x%08X", (unsigned)value);
    json_str(j, key, tmp);
}

static void open_level(JsonLine *j, const char *key, const char *bracket)
{
    member(j, key);
    raw_s(j, bracket);
    if (j->depth + 1 >= JSON_DEPTH) {
        j->overflow = 1;
        return;
    }
    j->depth++;
    j->count[j->depth] = 0;
}

static void close_level(JsonLine *j, const char *bracket)
{
    if (j->depth == 0) {
        j->overflow = 1;
        return;
    }
    j->depth--;
    raw_s(j, bracket);
}

void json_array_begin(JsonLine *j, const char *key) { open_level(j, key, "["); }
void json_array_end(JsonLine *j) { close_level(j, "]"); }
void json_object_begin(JsonLine *j, const char *key) { open_level(j, key, "{"); }
void json_object_end(JsonLine *j) { close_level(j, "}"); }

int json_end(JsonLine *j)
{
    if (j->depth != 0)
        j->overflow = 1;
    raw(j, "}\n", 2);
    return !j->overflow;
}
