// Fuzz target for the checker's rules and --fix (src/check): the input is a
// whole script file, checked against a medium of two files held in memory.
// What must hold of every script:
//   - the rules and the fix never read or write outside a buffer;
//   - every finding has a place in the file (its line is one of the file's
//     lines, or 0 for the file as a whole) and says what is wrong;
//   - a script that is UTF-8 gets no finding of a value that is not code
//     page 932 (the one finding for the file covers them), and the fix
//     refuses it;
//   - a fixed script holds no wrong size or total any more, and fixing it
//     again changes nothing.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "check.h"
#include "fuzz_support.h"

namespace {

int open_file(void *, const char *, const char *name, size_t max, uint64_t *size, std::string *head)
{
    static const std::string program(300, 'p'), text = "terms\r\n";
    const std::string *file = NULL;
    if (strcmp(name, "a.exe") == 0)
        file = &program;
    else if (strcmp(name, "t.txt") == 0)
        file = &text;
    if (file == NULL)
        return 0;
    *size = file->size();
    *head = file->substr(0, max);
    return 1;
}

int knows_label(void *, const char *label)
{
    return label != NULL && strcmp(label, "D2") == 0;
}

// Digits from at; the position after them, or npos when there are none.
size_t skip_digits(const std::string &s, size_t at)
{
    size_t p = at;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9')
        p++;
    return p > at ? p : std::string::npos;
}

bool has_at(const std::string &s, size_t at, const char *text)
{
    return at != std::string::npos && s.compare(at, strlen(text), text) == 0;
}

// The two findings of a wrong number, by their whole shape: a file's name
// inside another finding may hold any of their words.
//   "size N, but NAME has N bytes"
//   "N, but the application (kind 1) entries add up to N" (or "the shared")
// each with "; setupcheck --fix writes it" when the fix can write it.
bool wrong_size(const CheckFinding &f)
{
    static const std::string fix_writes = "; setupcheck --fix writes it";
    std::string w = f.what;
    if (w.size() >= fix_writes.size() && w.compare(w.size() - fix_writes.size(), fix_writes.size(), fix_writes) == 0)
        w.resize(w.size() - fix_writes.size());
    if (has_at(w, 0, "size ") && has_at(w, skip_digits(w, 5), ", but ")) {
        size_t tail = w.rfind(" has ");
        return tail != std::string::npos && has_at(w, skip_digits(w, tail + 5), " bytes") &&
               skip_digits(w, tail + 5) + 6 == w.size();
    }
    size_t after = skip_digits(w, 0);
    for (const char *kind : {", but the application (kind 1) entries add up to ", ", but the shared entries add up to "})
        if (has_at(w, after, kind))
            return skip_digits(w, after + strlen(kind)) == w.size();
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    CheckMedium medium = {NULL, open_file, knows_label, "setup.inf"};
    CheckScript script;
    check_script_load(&script, bytes);
    std::vector<CheckFinding> findings;
    check_script(&script, &medium, &findings);
    size_t lines = 1;
    for (char c : bytes)
        lines += c == '\n';
    int utf8 = check_is_utf8(&script);
    for (const CheckFinding &f : findings) {
        check(f.line <= lines, "a finding's line is in the file");
        check(!f.what.empty(), "a finding says what is wrong");
        check(!utf8 || f.what.compare(0, 28, "not valid code page 932 text") != 0,
              "a UTF-8 script's values are not reported one by one");
    }

    std::string fixed, why;
    int changed = check_fix(&script, &medium, &fixed, &why);
    check(!utf8 || (!changed && !why.empty()), "the fix refuses a UTF-8 script");
    if (!changed)
        return 0;
    CheckScript again;
    check_script_load(&again, fixed);
    findings.clear();
    check_script(&again, &medium, &findings);
    for (const CheckFinding &f : findings)
        check(!wrong_size(f), "a fixed script holds no wrong size or total");
    // Digits written over a total can take away the only bytes that kept the
    // script from reading as UTF-8; the fix then refuses it, saying why.
    std::string twice;
    check(!check_fix(&again, &medium, &twice, &why) && (why.empty() || check_is_utf8(&again)),
          "fixing a fixed script changes nothing");
    return 0;
}
