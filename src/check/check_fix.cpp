// Sizes and totals written into the script, so that no author counts bytes:
// only the digits of each size field and the values of dsttotal and systotal
// change; every other byte (code page 932 text, line ends) stays.
#include <algorithm>

#include "check.h"
#include "engine.h"
#include "script.h"
#include "text.h"

namespace {

struct Edit {
    size_t from, to;
    std::string text;
};

// The size of the file an entry names; the script's own size when the entry
// installs the script itself.
int size_of(const CheckScript *script, const CheckMedium *medium, const FileEntry &entry, uint64_t *size)
{
    if (text_equal_nocase(entry.source_name, medium->script_name)) {
        *size = script->bytes.size();
        return 1;
    }
    std::string head;
    return medium->open(medium->context, entry.disk_label, entry.source_name, 0, size, &head);
}

// The digits of the size field inside the value's bytes as the file holds
// them (a value in quotes keeps its fields in place).
int size_digits(const std::string &raw, size_t *from, size_t *to)
{
    size_t field_from, field_to;
    if (!check_field(raw.c_str(), 4, &field_from, &field_to))
        return 0;
    size_t p = field_from;
    while (p < field_to && (raw[p] == ' ' || raw[p] == '\t'))
        p++;
    if (p < field_to && raw[p] == '+')
        p++;
    size_t digits = p;
    while (p < field_to && raw[p] >= '0' && raw[p] <= '9')
        p++;
    if (p == digits) {
        // No number at all: the whole field becomes one.
        *from = field_from;
        *to = field_to;
        return 1;
    }
    *from = digits;
    *to = p;
    return 1;
}

size_t offset_of_line(const std::string &bytes, unsigned line)
{
    size_t at = 0;
    for (unsigned l = 1; l < line; l++) {
        size_t lf = bytes.find('\n', at);
        if (lf == std::string::npos)
            return bytes.size();
        at = lf + 1;
    }
    return at;
}

std::string number(unsigned long long n)
{
    char text[32];
    text_format(text, sizeof text, "%llu", n);
    return text;
}

// One pass: the edits that make the current text right. *too_large is set
// when a total would pass 4294967295, the most the program reads: no digits
// written could then make the script right.
std::vector<Edit> edits_for(const CheckScript *script, const CheckMedium *medium, bool *too_large)
{
    std::vector<Edit> edits;
    const ProfileSection *files = profile_find_section(&script->file, "files");
    unsigned int last = check_last_entry(script, "files", "files", "file");
    unsigned long long sums[2] = {0, 0};
    for (unsigned int n = 1; n <= last; n++) {
        char key[32], text[SCRIPT_TEXT_SIZE];
        text_format(key, sizeof key, "file_%u", n);
        if (check_read(script, "files", key, "", text, sizeof text) == 0)
            continue;
        FileEntry entry;
        if (!parse_file_entry(text, &entry))
            continue;
        uint64_t size;
        const ProfileKey *line = files != NULL ? profile_find_key(files, key) : NULL;
        if (line != NULL && size_of(script, medium, entry, &size) && size <= 0xFFFFFFFFu) {
            std::string raw = script->bytes.substr(line->value_from, line->value_to - line->value_from);
            size_t from, to;
            if (size != entry.size && size_digits(raw, &from, &to))
                edits.push_back(Edit{line->value_from + from, line->value_from + to, number(size)});
            entry.size = (unsigned int)size;
        }
        sums[entry.kind == 1 ? 0 : 1] += entry.size;
    }
    if (files == NULL)
        return edits;
    *too_large = sums[0] > 0xFFFFFFFFu || sums[1] > 0xFFFFFFFFu;
    static const char *const total_keys[2] = {"dsttotal", "systotal"};
    std::string missing;
    for (int i = 0; i < 2; i++) {
        const ProfileKey *line = profile_find_key(files, total_keys[i]);
        if (line == NULL || !line->has_value)
            missing += std::string(total_keys[i]) + "=" + number(sums[i]) + "\r\n";
        else if (check_read_whole(script, "files", total_keys[i]) != number(sums[i]))
            edits.push_back(Edit{line->value_from, line->value_to, number(sums[i])});
    }
    if (!missing.empty()) {
        // A missing total goes right under the section's header.
        size_t at = offset_of_line(script->bytes, files->line + 1);
        if (at == script->bytes.size() && !script->bytes.empty() && script->bytes.back() != '\n')
            missing = "\r\n" + missing;
        edits.push_back(Edit{at, at, missing});
    }
    return edits;
}

}  // namespace

int check_fix(const CheckScript *script, const CheckMedium *medium, std::string *fixed, std::string *why)
{
    if (script->file.encoding != PROFILE_ANSI) {
        *why = "the file is not code page 932 text";
        return 0;
    }
    if (check_is_utf8(script)) {
        // Sizes written now would not hold once it is converted: its own
        // size changes, and the program cannot read it as it stands.
        *why = "the file is UTF-8, not code page 932: convert it first: " +
               check_utf8_conversion(medium->script_name);
        return 0;
    }
    CheckScript current;
    check_script_load(&current, script->bytes);
    // The script may list itself: its size changes with the digits written,
    // so it is written again until it keeps its length.
    enum { ROUNDS = 8 };
    for (int round = 0; round < ROUNDS; round++) {
        bool too_large = false;
        std::vector<Edit> edits = edits_for(&current, medium, &too_large);
        if (too_large) {
            *why = "the entries add up to more than 4294967295 bytes, the most a total can hold";
            return 0;
        }
        if (edits.empty()) {
            *fixed = current.bytes;
            return current.bytes != script->bytes;
        }
        std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.from > b.from; });
        std::string bytes = current.bytes;
        for (const Edit &edit : edits)
            bytes.replace(edit.from, edit.to - edit.from, edit.text);
        check_script_load(&current, bytes);
    }
    *why = "the script's own size does not settle (a size crosses a power of ten); add or remove a byte of text";
    return 0;
}
