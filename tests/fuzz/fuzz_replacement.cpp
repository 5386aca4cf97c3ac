// Fuzz target for the in-use replacement text (include/engine.h): the
// temporary name, the search for the [rename] header in the head of
// wininit.ini and the block appended to it.
//
// Every buffer is a heap block of exactly its size, so the address sanitizer
// sees any byte read or written outside it. The expected results are formed
// here independently of the code under test:
//   - the temporary name is the target up to its third-last character plus
//     "$$$" (".$$$" appended to shorter names and to names ending in "$$$"),
//     cut to the buffer, and never the target itself;
//   - the header counts where the eight bytes match inside the text (before
//     the first zero or Ctrl-Z) and start on a character boundary;
//   - the block is the header text, CR LF and the entry, or nothing at all.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "engine.h"
#include "fuzz_support.h"
#include "text.h"

namespace {

// Character starts of a zero-terminated text: a lead byte followed by a
// non-zero byte starts a pair.
std::vector<size_t> char_starts(const std::string &s)
{
    std::vector<size_t> starts;
    size_t i = 0;
    while (i < s.size()) {
        starts.push_back(i);
        i += lead(s[i]) && i + 1 < s.size() ? 2 : 1;
    }
    return starts;
}

std::string no_zero(std::string s)
{
    std::string out;
    for (char c : s)
        if (c != '\0')
            out += c;
    return out;
}

// The longest prefix of s of at most max bytes that ends on a boundary.
std::string fit(const std::string &s, size_t max)
{
    size_t kept = 0;
    for (size_t start : char_starts(s)) {
        if (start > max)
            break;
        kept = start;
    }
    if (s.size() <= max)
        kept = s.size();
    return s.substr(0, kept);
}

// No lone lead byte at the end.
bool well_formed(const std::string &s)
{
    std::vector<size_t> starts = char_starts(s);
    return starts.empty() || !lead(s[starts.back()]) || starts.back() + 2 == s.size();
}

void fuzz_temp_name(FuzzedDataProvider &in)
{
    size_t size = in.ConsumeIntegralInRange<size_t>(1, 300);
    std::string target = no_zero(in.ConsumeRandomLengthString(280));
    char *out = new char[size];
    temporary_replacement_name(target.c_str(), out, size);

    std::vector<size_t> starts = char_starts(target);
    std::string expected;
    bool ends_in_dollars = target.size() >= 3 && target.compare(target.size() - 3, 3, "$$$") == 0;
    if (starts.size() < 3 || ends_in_dollars)
        expected = target + ".$$$";
    else
        expected = target.substr(0, starts[starts.size() - 3]) + "$$$";
    size_t len = strnlen(out, size);
    check(len < size, "terminated inside the buffer");
    std::string got(out, len);
    check(expected.compare(0, got.size(), got) == 0, "a prefix of the name");
    // A lone lead byte at the end of the target pairs with the ending, so
    // the boundaries of the whole name hold for well-formed targets only.
    if (well_formed(target))
        check(got == fit(expected, size - 1), "the name, cut to the buffer on a character boundary");
    if (expected.size() < size)
        check(got != target, "never the target's own name");
    delete[] out;
}

void fuzz_has_section(FuzzedDataProvider &in)
{
    std::vector<char> bytes = in.ConsumeBytes<char>(in.ConsumeIntegralInRange<size_t>(0, 9000));
    size_t len = bytes.size();
    char *head = new char[len ? len : 1];
    if (len)
        memcpy(head, bytes.data(), len);

    size_t text_len = 0;
    while (text_len < len && head[text_len] != '\0' && head[text_len] != '\x1a')
        text_len++;
    // Boundaries over the text alone: a lead byte before the end of the text
    // stands alone.
    std::string text(head, text_len);
    std::vector<size_t> starts = char_starts(text);
    bool expected = false;
    for (size_t s : starts)
        if (text.compare(s, 8, "[rename]") == 0)
            expected = true;
    check((wininit_has_rename_section(head, len) != 0) == expected, "header found exactly at character starts");
    delete[] head;
}

void fuzz_block(FuzzedDataProvider &in)
{
    bool new_file = in.ConsumeBool();
    size_t size = in.ConsumeIntegralInRange<size_t>(0, 1200);
    std::string dir = no_zero(in.ConsumeRandomLengthString(300));
    std::string target = no_zero(in.ConsumeRandomLengthString(300));
    std::string temp = no_zero(in.ConsumeRandomLengthString(300));
    std::vector<char> head = in.ConsumeRemainingBytes<char>();
    head.reserve(1); // an existing file's head is never a null pointer, even when empty
    char *out = new char[size ? size : 1];
    out[0] = 'q';
    size_t r = wininit_rename_block(new_file ? NULL : head.data(), head.size(), dir.c_str(), target.c_str(),
                                    temp.c_str(), out, size);

    std::string header = new_file ? "[rename]"
                         : wininit_has_rename_section(head.data(), head.size()) ? ""
                                                                                 : "\r\n[rename]";
    std::string expected = header + "\r\n" + dir + target + "=" + dir + temp;
    if (size == 0) {
        check(r == 0 && out[0] == 'q', "nothing written without a buffer");
    } else if (r != 0) {
        check(r == expected.size() && memcmp(out, expected.c_str(), r + 1) == 0, "the whole block or nothing");
    } else {
        check(out[0] == '\0', "nothing when it does not fit");
        // A lone lead byte at the end of a name may ask for one byte more
        // room than it takes; well-formed names fit whenever the block does.
        bool names_well_formed = well_formed(dir) && well_formed(target) && well_formed(temp);
        check(!(names_well_formed && expected.size() < size), "the block when it fits");
    }
    delete[] out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        fuzz_temp_name(in);
        break;
    case 1:
        fuzz_has_section(in);
        break;
    default:
        fuzz_block(in);
        break;
    }
    return 0;
}
