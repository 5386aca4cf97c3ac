// Fuzz target for the checker's reader of the script (include/check.h,
// src/check/profile_file.cpp): the input is a whole script file.
//
// There is no platform here to compare with (tests/win/check does that under
// Wine), so it checks what must hold of every file:
//   - no byte read or written outside a buffer (each buffer is a heap block
//     of exactly its size);
//   - a value read into any buffer is terminated inside it, and the result
//     is the platform's cut of the value read whole: as many units as the
//     buffer holds (less a pair of quotes), then as many whole characters of
//     code page 932 as fit, the rest of the buffer untouched but its last
//     byte, which is then the terminator;
//   - each first key of a section reads as the program's own section lookup
//     (script_section_value) finds it in the section's lines as the platform
//     hands them over whole, for the program's kind of names (ASCII);
//   - a key's bytes [value_from, value_to) in a code page 932 file decode to
//     its value;
//   - letter case and blanks around a name do not change what a lookup finds.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "check.h"
#include "fuzz_support.h"
#include "script.h"

namespace {

const unsigned sizes[] = {1, 2, 3, 4, 5, 6, 17, 261, 521, 1042};
const char fill = '\x5A';

// The value whole, and the result: no value takes more than two bytes for
// each byte of the file.
std::string read_whole(const ProfileFile &file, size_t file_size, const std::string &section,
                       const std::string &key, int *result)
{
    std::vector<char> buf(file_size * 2 + 8, fill);
    *result = profile_get_string(&file, section.c_str(), key.c_str(), "", buf.data(), (unsigned)buf.size());
    return std::string(buf.data(), buf.data() + (*result >= 0 ? *result : 0));
}

std::string narrow(const WideText &w)
{
    return cp932_from_wide(w.data(), w.size());
}

// A name that comes back as the same units when looked up by its bytes.
bool round_trips(const WideText &w)
{
    return cp932_argument_to_wide(narrow(w).c_str()) == w;
}

bool is_ascii(const std::string &s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

bool blank_at_ends(const std::string &s)
{
    return !s.empty() && (s[0] == ' ' || s[0] == '\t' || s.back() == ' ' || s.back() == '\t');
}

// Every buffer size against the value read whole: units cut to size - 1,
// the quotes' rule, then the bytes that fit.
void check_cuts(const ProfileFile &file, const std::string &section, const std::string &key, const WideText &raw,
                const std::string &whole)
{
    std::vector<std::string> chars = characters(whole);
    bool quoted = raw.size() >= 2 && (raw[0] == '\'' || raw[0] == '"') && raw.back() == raw[0];
    size_t rest = raw.size() - (quoted ? 1 : 0);
    check(chars.size() == rest - (quoted ? 1 : 0), "one character for each unit of the value");
    for (unsigned size : sizes) {
        size_t units = rest < size - 1 ? rest : size - 1;
        // The closing quote goes only when the buffer held all the rest; when
        // it held exactly that much, the last unit kept goes instead.
        if (quoted && size >= rest && units > 0)
            units--;
        std::string expected;
        size_t kept = 0;
        bool cut = false;
        for (size_t i = 0; i < units; i++) {
            if (expected.size() + chars[i].size() > size - 1) {
                cut = true;
                break;
            }
            expected += chars[i];
            kept++;
        }
        std::vector<char> buf(size, fill);
        int r = profile_get_string(&file, section.c_str(), key.c_str(), "", buf.data(), size);
        if (!cut) {
            check(r == (int)expected.size(), "the result is the length written");
            check(memcmp(buf.data(), expected.data(), expected.size()) == 0, "the value's first units");
            check(buf[r] == '\0', "terminated after the value");
            continue;
        }
        // A character did not fit: the result is size - 1, whatever was
        // written before it stays, the bytes after it are untouched.
        check(r == (int)size - 1, "a cut value gives size - 1");
        check(memcmp(buf.data(), expected.data(), expected.size()) == 0, "whole characters before the cut");
        for (size_t i = expected.size(); i < size - 1; i++)
            check(buf[i] == fill, "bytes after the cut untouched");
        check(buf[size - 1] == '\0', "the last byte terminates");
    }
}

// The value of a key in the lines of its section, by the program's lookup.
void check_section_lookup(const ProfileSection &section, const ProfileKey &key, const std::string &name,
                          const std::string &whole)
{
    std::string lines = profile_section_lines(&section);
    const char *value = NULL;
    size_t value_len = 0;
    int found = script_section_value(lines.data(), lines.size(), name.c_str(), &value, &value_len);
    check(found == key.has_value, "the program's lookup finds a value where the reader does");
    if (found)
        check(std::string(value, value_len) == whole, "the program's lookup finds the reader's value");
}

// In a code page 932 file, the units of a key's bytes [value_from,
// value_to): its value as written, before a zero unit cuts it.
WideText written_value(const ProfileKey &key, const uint8_t *data)
{
    return cp932_to_wide(data + key.value_from, key.value_to - key.value_from, NULL);
}

void check_offsets(const ProfileFile &file, const ProfileKey &key, const uint8_t *data, size_t size)
{
    check(key.value_from <= key.value_to && key.value_to <= size, "the value's bytes inside the file");
    if (file.encoding != PROFILE_ANSI)
        return;
    WideText units = written_value(key, data);
    size_t len = 0;
    while (len < units.size() && units[len] != 0)
        len++;
    check(WideText(units.begin(), units.begin() + len) == key.value, "the value's bytes decode to the value");
}

// A value that a zero unit cut may end in a blank or tab, which the
// program's lookup would trim. Known exactly in a code page 932 file; in the
// others any value ending so is left out.
bool cut_by_zero(const ProfileFile &file, const ProfileKey &key, const uint8_t *data)
{
    if (file.encoding == PROFILE_ANSI)
        return written_value(key, data).size() != key.value.size();
    return blank_at_ends(narrow(key.value));
}

std::string swap_case(const std::string &s)
{
    std::string out = s;
    for (char &c : out)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            c = (char)(c ^ 0x20);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    // The file's bytes in a block of their own size.
    std::vector<uint8_t> bytes(data, data + size);
    ProfileFile file;
    profile_load(&file, bytes.data(), bytes.size());
    check(!file.sections.empty() && file.sections[0].name.empty() && file.sections[0].line == 0,
          "the nameless section comes first");

    for (const ProfileSection &section : file.sections) {
        if (!round_trips(section.name))
            continue;
        std::string section_name = narrow(section.name);
        if (profile_find_section(&file, section_name.c_str()) != &section)
            continue;
        // The program's lookup sees the names as bytes and trims blanks and
        // tabs around them: only where every name of the section comes back
        // unchanged from its bytes and has none at its ends (it can, where a
        // zero unit cuts it, and the two lookups then differ).
        bool names_alike = true;
        for (const ProfileKey &key : section.keys)
            names_alike = names_alike && round_trips(key.name) && !blank_at_ends(narrow(key.name));
        for (const ProfileKey &key : section.keys) {
            check_offsets(file, key, bytes.data(), bytes.size());
            if (!round_trips(key.name))
                continue;
            std::string name = narrow(key.name);
            if (profile_find_key(&section, name.c_str()) != &key)
                continue;
            int result;
            std::string whole = read_whole(file, bytes.size(), section_name, name, &result);
            check(result >= 0 && strlen(whole.c_str()) == whole.size(), "the value read whole has no zero");
            if (key.has_value)
                check_cuts(file, section_name, name, key.value, whole);
            else
                check(whole.empty(), "a line without '=' reads as the fallback");
            if (is_ascii(name) && is_ascii(section_name)) {
                check(profile_find_key(&section, swap_case(name).c_str()) == &key, "letter case does not count");
                check(profile_find_key(&section, (" \t" + name + "\x1a\r").c_str()) == &key,
                      "blanks around the name do not count");
            }
            if (names_alike && is_ascii(name) && !name.empty() && name[0] != ';' &&
                round_trips(key.value) && !cut_by_zero(file, key, bytes.data()))
                check_section_lookup(section, key, name, whole);
        }
        // No key holds '=' in its name: the fallback, less its trailing
        // spaces.
        char buf[8];
        memset(buf, fill, sizeof buf);
        int r = profile_get_string(&file, section_name.c_str(), "no=key", "fb  ", buf, sizeof buf);
        check(r == 2 && strcmp(buf, "fb") == 0, "a missing key reads as the fallback");
    }
    return 0;
}
