// Fuzz target for the bounded CP932 text helpers (include/text.h).
//
// Each input picks one operation, a buffer size and its texts. The buffer is
// a heap block of exactly that size, so the address sanitizer sees any byte
// written or read outside it; the checks below are worked out independently
// of the code under test:
//   - the result is terminated inside the buffer and at most size-1 long;
//   - it is a prefix of the uncut result, cut on a character boundary (a
//     double-byte character is never split), and cut as late as possible;
//   - scans for an ASCII byte never stop on the trail byte of a pair.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text.h"

namespace {

// Bytes of the character that starts at i in a text of len bytes: a lead
// byte with a byte after it starts a pair.
size_t char_len(const char *s, size_t len, size_t i)
{
    return lead(s[i]) && i + 1 < len ? 2 : 1;
}

bool is_boundary(const char *s, size_t len, size_t r)
{
    size_t i = 0;
    while (i < r)
        i += char_len(s, len, i);
    return i == r;
}

// r bytes were kept of a text of len bytes, with room for max: r is a
// character boundary, and the next character (a lead byte always asks for
// two bytes) would not have fitted.
void check_cut(const char *src, size_t len, size_t max, size_t r)
{
    check(r <= max, "length within the room");
    check(r <= len, "length within the text");
    check(is_boundary(src, len, r), "cut on a character boundary");
    if (r < len)
        check(r + (lead(src[r]) ? 2 : 1) > max, "cut as late as possible");
}

void check_output(const char *dst, size_t size, size_t r, const char *expected, size_t expected_len)
{
    check(size > 0, "output only with a buffer");
    check(r <= size - 1, "length below the buffer size");
    check(dst[r] == '\0', "terminated");
    check(strlen(dst) == r, "no terminator inside");
    check(r <= expected_len && memcmp(dst, expected, r) == 0, "a prefix of the uncut text");
}

// A text with no NUL and no lone lead byte at its end.
std::string well_formed(std::string s, bool drop_percent)
{
    std::string out;
    for (char c : s) {
        if (c == '\0' || (drop_percent && c == '%'))
            continue;
        out += c;
    }
    size_t i = 0;
    while (i < out.size()) {
        size_t n = char_len(out.data(), out.size(), i);
        if (i + n > out.size() || (n == 1 && lead(out[i]))) {
            out.resize(i);
            break;
        }
        i += n;
    }
    return out;
}

void fuzz_copy(FuzzedDataProvider &in, size_t size)
{
    std::string src = in.ConsumeRandomLengthString(300);
    const char *s = src.c_str();
    size_t len = strlen(s);
    char *dst = new char[size];
    size_t r = text_copy(dst, size, s);
    if (size == 0)
        check(r == 0, "nothing stored without a buffer");
    else {
        check_output(dst, size, r, s, len);
        check_cut(s, len, size - 1, r);
        check(r == text_fit(s, size - 1), "copy keeps what fits");
    }
    delete[] dst;
}

void fuzz_copy_n(FuzzedDataProvider &in, size_t size)
{
    // A counted piece without a terminator: nothing at or past n may be read.
    std::vector<char> piece = in.ConsumeBytes<char>(in.ConsumeIntegralInRange<size_t>(0, 300));
    size_t n = piece.size();
    char *src = new char[n ? n : 1];
    if (n)
        memcpy(src, piece.data(), n);
    size_t len = strnlen(src, n);
    char *dst = new char[size];
    size_t r = text_copy_n(dst, size, src, n);
    if (size == 0)
        check(r == 0, "nothing stored without a buffer");
    else {
        check_output(dst, size, r, src, len);
        check_cut(src, len, n < size - 1 ? n : size - 1, r);
    }
    delete[] dst;
    delete[] src;
}

void fuzz_append(FuzzedDataProvider &in, size_t size, bool terminated)
{
    std::string first = in.ConsumeRandomLengthString(300);
    std::string second = in.ConsumeRandomLengthString(300);
    char *dst = new char[size];
    size_t before = 0;
    if (terminated)
        before = text_copy(dst, size, first.c_str());
    else if (size > 0)
        memset(dst, 'x', size);  // no terminator anywhere
    std::string kept(dst, size == 0 ? 0 : (terminated ? before : size - 1));

    const char *s = second.c_str();
    size_t len = strlen(s);
    size_t r = text_append(dst, size, s);
    if (size == 0) {
        check(r == 0, "nothing stored without a buffer");
    } else {
        std::string whole = kept + std::string(s, len);
        check_output(dst, size, r, whole.c_str(), whole.size());
        check(r >= kept.size(), "text already there is kept");
        check_cut(s, len, size - 1 - kept.size(), r - kept.size());
    }
    delete[] dst;
}

// One conversion of the format with an argument of its type (a fixed menu,
// so that every argument has its conversion's type), and its uncut text by
// the C library.
struct Conversion {
    int kind;
    long long sv;
    unsigned long long uv;
    std::string text;
};

const char *const kSpecs[] = {"%d", "%u", "%x", "%llu", "%lld", "%ld", "%lx", "%zu", "%%", "%c"};

Conversion pick_conversion(FuzzedDataProvider &in)
{
    Conversion c = {in.ConsumeIntegralInRange<int>(0, 9), 0, 0, ""};
    char buf[64] = "";
    switch (c.kind) {
    case 0:
        c.sv = in.ConsumeIntegral<int>();
        snprintf(buf, sizeof buf, "%d", (int)c.sv);
        break;
    case 1:
        c.uv = in.ConsumeIntegral<unsigned>();
        snprintf(buf, sizeof buf, "%u", (unsigned)c.uv);
        break;
    case 2:
        c.uv = in.ConsumeIntegral<unsigned>();
        snprintf(buf, sizeof buf, "%x", (unsigned)c.uv);
        break;
    case 3:
        c.uv = in.ConsumeIntegral<unsigned long long>();
        snprintf(buf, sizeof buf, "%llu", c.uv);
        break;
    case 4:
        c.sv = in.ConsumeIntegral<long long>();
        snprintf(buf, sizeof buf, "%lld", c.sv);
        break;
    case 5:
        c.sv = in.ConsumeIntegral<long>();
        snprintf(buf, sizeof buf, "%ld", (long)c.sv);
        break;
    case 6:
        c.uv = in.ConsumeIntegral<unsigned long>();
        snprintf(buf, sizeof buf, "%lx", (unsigned long)c.uv);
        break;
    case 7:
        c.uv = in.ConsumeIntegral<size_t>();
        snprintf(buf, sizeof buf, "%zu", (size_t)c.uv);
        break;
    case 8:
        snprintf(buf, sizeof buf, "%%");
        break;
    default:
        c.sv = in.ConsumeIntegralInRange<int>(0x20, 0x7E);
        snprintf(buf, sizeof buf, "%c", (int)c.sv);
        break;
    }
    c.text = buf;
    return c;
}

size_t format_with(char *dst, size_t size, const std::string &fmt, const Conversion &c, const char *s1,
                   const char *s2)
{
    const char *f = fmt.c_str();
    switch (c.kind) {
    case 0:
        return text_format(dst, size, f, s1, (int)c.sv, s2);
    case 1:
    case 2:
        return text_format(dst, size, f, s1, (unsigned)c.uv, s2);
    case 3:
        return text_format(dst, size, f, s1, c.uv, s2);
    case 4:
        return text_format(dst, size, f, s1, c.sv, s2);
    case 5:
        return text_format(dst, size, f, s1, (long)c.sv, s2);
    case 6:
        return text_format(dst, size, f, s1, (unsigned long)c.uv, s2);
    case 7:
        return text_format(dst, size, f, s1, (size_t)c.uv, s2);
    case 8:
        return text_format(dst, size, f, s1, s2);  // "%%" takes no argument
    default:
        return text_format(dst, size, f, s1, (int)c.sv, s2);
    }
}

void fuzz_format(FuzzedDataProvider &in, size_t size)
{
    // Literal text (no '%'), a string, one more conversion, a string.
    std::string lit[4];
    for (std::string &l : lit)
        l = well_formed(in.ConsumeRandomLengthString(100), true);
    std::string s1 = well_formed(in.ConsumeRandomLengthString(200), false);
    std::string s2 = well_formed(in.ConsumeRandomLengthString(200), false);
    Conversion conv = pick_conversion(in);

    std::string fmt = lit[0] + "%s" + lit[1] + kSpecs[conv.kind] + lit[2] + "%s" + lit[3];
    std::string whole = lit[0] + s1 + lit[1] + conv.text + lit[2] + s2 + lit[3];

    // The uncut text first, in a buffer with room to spare.
    std::vector<char> big(whole.size() + 64);
    size_t full = format_with(big.data(), big.size(), fmt, conv, s1.c_str(), s2.c_str());
    check(full == whole.size() && memcmp(big.data(), whole.data(), full) == 0, "uncut text as the C library");

    char *dst = new char[size];
    size_t r = format_with(dst, size, fmt, conv, s1.c_str(), s2.c_str());
    if (size == 0)
        check(r == 0, "nothing stored without a buffer");
    else {
        check_output(dst, size, r, whole.c_str(), whole.size());
        check_cut(whole.c_str(), whole.size(), size - 1, r);
    }
    delete[] dst;
}

void fuzz_scan(FuzzedDataProvider &in)
{
    char c = (char)in.ConsumeIntegralInRange<int>(1, 127);
    std::string src = in.ConsumeRandomLengthString(300);
    const char *s = src.c_str();
    size_t len = strlen(s);
    const char *first = NULL, *last = NULL;
    size_t steps = 0;
    for (size_t i = 0; i < len; i += char_len(s, len, i)) {
        if (s[i] == c) {
            if (!first)
                first = s + i;
            last = s + i;
        }
        steps++;
    }
    check(text_find(s, c) == first, "first match on a character start");
    check(text_find_last(s, c) == last, "last match on a character start");
    const char *p = s;
    for (size_t i = 0; i < steps; i++)
        p = text_next(p);
    check(p == s + len && text_next(p) == p, "stepping ends on the terminator");
}

void fuzz_fit(FuzzedDataProvider &in)
{
    size_t max = in.ConsumeIntegralInRange<size_t>(0, 320);
    std::string src = in.ConsumeRandomLengthString(300);
    const char *s = src.c_str();
    size_t len = strlen(s);
    check_cut(s, len, max, text_fit(s, max));
}

// Characters of a text: single bytes compare without regard to ASCII case,
// pairs exactly.
bool reference_equal_nocase(const char *a, const char *b)
{
    size_t la = strlen(a), lb = strlen(b), i = 0, j = 0;
    while (i < la && j < lb) {
        size_t na = char_len(a, la, i), nb = char_len(b, lb, j);
        if (na != nb)
            return false;
        if (na == 2) {
            if (a[i] != b[j] || a[i + 1] != b[j + 1])
                return false;
        } else {
            char x = a[i], y = b[j];
            if (x >= 'A' && x <= 'Z')
                x = (char)(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z')
                y = (char)(y - 'A' + 'a');
            if (x != y)
                return false;
        }
        i += na;
        j += nb;
    }
    return i == la && j == lb;
}

void fuzz_equal(FuzzedDataProvider &in)
{
    std::string a = in.ConsumeRandomLengthString(100);
    std::string b;
    if (in.ConsumeBool()) {
        // Often the same text with some ASCII letters' case changed.
        b = a;
        for (char &ch : b) {
            if (in.ConsumeBool() && ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')))
                ch = (char)(ch ^ 0x20);
        }
    } else {
        b = in.ConsumeRandomLengthString(100);
    }
    int got = text_equal_nocase(a.c_str(), b.c_str());
    check(got == text_equal_nocase(b.c_str(), a.c_str()), "symmetric");
    check((got != 0) == reference_equal_nocase(a.c_str(), b.c_str()), "equal by characters");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    int op = in.ConsumeIntegralInRange<int>(0, 8);
    size_t buf = in.ConsumeIntegralInRange<size_t>(0, 300);
    switch (op) {
    case 0:
        fuzz_copy(in, buf);
        break;
    case 1:
        fuzz_copy_n(in, buf);
        break;
    case 2:
        fuzz_append(in, buf, true);
        break;
    case 3:
        fuzz_append(in, buf, false);
        break;
    case 4:
    case 5:
        fuzz_format(in, buf);
        break;
    case 6:
        fuzz_scan(in);
        break;
    case 7:
        fuzz_fit(in);
        break;
    default:
        fuzz_equal(in);
        break;
    }
    return 0;
}
