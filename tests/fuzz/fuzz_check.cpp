// Fuzz target for the checker's rules and --fix (src/check): the input is a
// whole script file, checked against a medium of two files held in memory.
// What must hold of every script:
//   - the rules and the fix never read or write outside a buffer;
//   - every finding has a place in the file (its line is one of the file's
//     lines, or 0 for the file as a whole) and says what is wrong;
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

bool wrong_size(const CheckFinding &f)
{
    return (f.what.compare(0, 5, "size ") == 0 && f.what.find(" bytes") != std::string::npos) ||
           f.what.find("entries add up to") != std::string::npos;
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
    for (const CheckFinding &f : findings) {
        check(f.line <= lines, "a finding's line is in the file");
        check(!f.what.empty(), "a finding says what is wrong");
    }

    std::string fixed, why;
    if (!check_fix(&script, &medium, &fixed, &why))
        return 0;
    CheckScript again;
    check_script_load(&again, fixed);
    findings.clear();
    check_script(&again, &medium, &findings);
    for (const CheckFinding &f : findings)
        check(!wrong_size(f), "a fixed script holds no wrong size or total");
    std::string twice;
    check(!check_fix(&again, &medium, &twice, &why) && why.empty(), "fixing a fixed script changes nothing");
    return 0;
}
