// Fuzz target for the splitting of [startmenu] entries: the three fields are
// compared with a plain reference tokenizer written here, the field buffers
// are exactly 260 bytes on the heap (so the sanitizer sees any overrun), and
// the value must be cut in place at the fields it gave.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "shell.h"

namespace {

struct Token {
    size_t at;
    std::string text;
};

// Commas separate; a run of them is one separator; a double-byte character
// is stepped over whole (a lead byte swallows what follows it).
std::vector<Token> reference_tokens(const std::string &s)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (tokens.size() < 3) {
        while (i < s.size() && s[i] == ',')
            i++;
        if (i == s.size())
            break;
        size_t start = i;
        while (i < s.size() && s[i] != ',')
            i += lead((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        tokens.push_back({start, s.substr(start, i - start)});
        if (i < s.size())
            i++;
    }
    return tokens;
}

// At most 259 bytes, never half of a double-byte character.
std::string reference_cut(const std::string &t)
{
    size_t j = 0;
    while (j < t.size() && j < 259) {
        if (!lead((unsigned char)t[j])) {
            j++;
            continue;
        }
        if (j + 2 > 259)
            break;
        j += j + 1 < t.size() ? 2 : 1;
    }
    return t.substr(0, j);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A profile value: at most 1039 bytes, no zero byte inside.
    std::string value((const char *)data, size < 1039 ? size : 1039);
    value = value.substr(0, strlen(value.c_str()));

    std::vector<char> buf(value.begin(), value.end());
    buf.push_back('\0');
    char *fields[3];
    for (char *&f : fields) {
        f = (char *)malloc(260);
        memset(f, 'Z', 260);
    }
    int found = split_entry_fields(buf.data(), fields[0], fields[1], fields[2]);

    std::vector<Token> tokens = reference_tokens(value);
    check(found == (tokens.size() == 3), "found exactly when there are three fields");
    for (size_t i = 0; i < 3; i++) {
        std::string expected = i < tokens.size() ? reference_cut(tokens[i].text) : "";
        check(memchr(fields[i], '\0', 260) != NULL, "field terminated within its buffer");
        check(expected == fields[i], "field as the reference cuts it");
        if (i < tokens.size()) {
            // Cut in place: the field starts where it did and ends at a zero.
            const char *in_place = buf.data() + tokens[i].at;
            check(tokens[i].text == in_place, "value cut in place at the field's end");
        }
    }
    for (char *f : fields)
        free(f);
    return 0;
}
