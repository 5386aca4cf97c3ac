// Bounded text helpers. Every copy or format into a fixed buffer goes through
// these: the result is cut to the buffer, never splits a double-byte
// character of code page 932, and is always terminated.
//
// Nothing here calls Windows, so the same code is built and tested natively.
#pragma once

#include <stdarg.h>
#include <stddef.h>

// 1 when b starts a double-byte character in code page 932.
int text_is_lead_byte(unsigned char b);

// The character after the one at p (steps over a double-byte pair; never
// steps past the terminating zero).
const char *text_next(const char *p);
char *text_next(char *p);

// First and last occurrence of the single-byte character c, stepping over
// double-byte characters so that a trail byte never matches. NULL if none.
const char *text_find(const char *s, char c);
char *text_find(char *s, char c);
const char *text_find_last(const char *s, char c);
char *text_find_last(char *s, char c);

// Length of the longest prefix of s, at most max_len bytes, that does not end
// inside a double-byte character. Reads no byte at or beyond max_len, so s
// need not be terminated within it.
size_t text_fit(const char *s, size_t max_len);

// Copy src into dst (size bytes), cut to fit. Returns the length stored.
size_t text_copy(char *dst, size_t size, const char *src);

// Copy at most n bytes of src (fewer if it ends sooner), cut to fit. Reads
// no byte of src at or beyond n.
size_t text_copy_n(char *dst, size_t size, const char *src, size_t n);

// Append src to the text already in dst, cut to fit. Returns the new length.
size_t text_append(char *dst, size_t size, const char *src);

// The next comma-separated field from p on, copied into field (size bytes,
// cut to fit): commas before it are skipped, so a run of commas is one
// separator and no field is empty; blanks stay in the field. Returns where
// the field ends (at its comma or the end of the text), or NULL when only
// commas or nothing remain. Script list entries (file_N, start_N) are split
// with it.
const char *text_next_field(const char *p, char *field, size_t size);

// printf-like formatting into dst, cut to fit. Conversions: %s, %d, %u,
// %x, %c, %%, with an optional l, ll or z on the integer ones. Unknown
// conversions are copied as they stand. Returns the length stored.
size_t text_format(char *dst, size_t size, const char *fmt, ...);
size_t text_format_v(char *dst, size_t size, const char *fmt, va_list args);

// Compare ignoring ASCII letter case (double-byte characters compare exactly).
int text_equal_nocase(const char *a, const char *b);

// n / d and, when remainder is not NULL, n % d (d not 0). Written out so that
// the 32-bit program does not take the run-time library's 64-bit division,
// which brings its unwind tables along.
unsigned long long text_divide(unsigned long long n, unsigned long long d, unsigned long long *remainder);
