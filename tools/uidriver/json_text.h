// JSON lines for the UI driver's transcript: one object per line, UTF-8.
//
// Nothing here calls Windows: the same code is built natively and tested
// there (tests/native/uidriver_logic_test.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

// UTF-16 (n units, or up to a zero unit when n is (size_t)-1) to UTF-8 in
// out (size bytes). A lone surrogate becomes U+FFFD. The result is cut
// before a character that does not fit (never in the middle of one) and
// always terminated. Returns the number of bytes stored.
size_t utf16_to_utf8(const uint16_t *in, size_t n, char *out, size_t size);

// UTF-8 to UTF-16 (zero-terminated in, size units out). Invalid bytes
// become U+FFFD. Cut before a character that does not fit, always
// terminated. Returns the number of units stored.
size_t utf8_to_utf16(const char *in, uint16_t *out, size_t size);

// One JSON object being built in a caller's buffer. Arrays and objects
// nest up to JSON_DEPTH levels. When the buffer runs out, `overflow` is set
// and later writes are dropped; json_end then reports failure.
enum { JSON_DEPTH = 8 };

struct JsonLine {
    char *buf;
    size_t size;
    size_t len;
    int depth;
    int count[JSON_DEPTH];  // members written so far at each level
    int overflow;
};

// Starts an object: "{".
void json_begin(JsonLine *j, char *buf, size_t size);

// Members of the innermost object (key given) or array elements (key NULL).
void json_str(JsonLine *j, const char *key, const char *utf8);
void json_str_n(JsonLine *j, const char *key, const char *utf8, size_t n);
void json_int(JsonLine *j, const char *key, long long value);
void json_uint(JsonLine *j, const char *key, unsigned long long value);
void json_bool(JsonLine *j, const char *key, int value);
void json_null(JsonLine *j, const char *key);
// A 32-bit value as a string "0x%08X" (styles).
void json_hex(JsonLine *j, const char *key, uint32_t value);

void json_array_begin(JsonLine *j, const char *key);
void json_array_end(JsonLine *j);
void json_object_begin(JsonLine *j, const char *key);
void json_object_end(JsonLine *j);

// Ends the outer object with "}\n". Returns 1, or 0 when the line did not
// fit or the nesting is unbalanced (the buffer then holds no usable line).
int json_end(JsonLine *j);

// Appends the JSON string literal (with quotes) for n bytes of UTF-8 text:
// quote, backslash and control characters are escaped (\n \t \r \b \f or
// \u00XX), invalid UTF-8 bytes become \ufffd. Returns the new length of
// dst, or (size_t)-1 when it did not fit (dst is then left as it was).
size_t json_escape_append(char *dst, size_t size, size_t len, const char *utf8, size_t n);
