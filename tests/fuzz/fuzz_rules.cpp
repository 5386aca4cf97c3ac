// Fuzz target for the rules every script keeps: names inside their folder,
// registry names without empty components, the highest numbered entry of a
// key list, and the start-up check over a fuzzed script. Each rule is
// compared with a plain reference written here over whole characters.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script.h"

namespace {

// Components between single-byte separator characters.
std::vector<std::string> components(const std::string &s, const std::string &separators)
{
    std::vector<std::string> out(1);
    for (const std::string &c : characters(s)) {
        if (c.size() == 1 && separators.find(c[0]) != std::string::npos)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

bool reference_inside(const std::string &name)
{
    for (const std::string &c : characters(name))
        if (c == ":")
            return false;
    if (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        return false;
    for (const std::string &part : components(name, "\\/")) {
        if (part.find('.') != std::string::npos && part.find_first_not_of(". ") == std::string::npos)
            return false;
    }
    return true;
}

bool reference_whole(const std::string &name)
{
    if (name.empty())
        return true;
    for (const std::string &part : components(name, "\\"))
        if (part.empty())
            return false;
    return true;
}

unsigned long long reference_number(const std::string &name, const std::string &stem)
{
    if (name.size() < stem.size() + 2 || name[stem.size()] != '_')
        return 0;
    for (size_t i = 0; i < stem.size(); i++)
        if (tolower((unsigned char)name[i]) != tolower((unsigned char)stem[i]))
            return 0;
    std::string digits = name.substr(stem.size() + 1);
    if (digits[0] == '0' || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    unsigned long long n = strtoull(digits.c_str(), NULL, 10);
    return n > 0xFFFFFFFFULL ? 0 : n;
}

void fuzz_names(const std::string &name)
{
    check(script_name_stays_inside(name.c_str()) == (reference_inside(name) ? 1 : 0), "inside as the reference");
    check(script_key_name_is_whole(name.c_str()) == (reference_whole(name) ? 1 : 0), "whole as the reference");
}

void fuzz_key_list(const std::string &list, const std::string &stem)
{
    unsigned long long want = 0;
    size_t at = 0;
    while (at < list.size() && list[at] != '\0') {
        size_t end = list.find('\0', at);
        if (end == std::string::npos)
            end = list.size();
        // The key: the text before the first '=', blanks and tabs around it
        // dropped; comment lines have none.
        std::string line = list.substr(at, end - at);
        std::string key = line.substr(0, line.find('='));
        size_t from = key.find_first_not_of(" \t"), to = key.find_last_not_of(" \t");
        key = from == std::string::npos ? "" : key.substr(from, to - from + 1);
        unsigned long long n = key.empty() || key[0] == ';' ? 0 : reference_number(key, stem);
        if (n > want)
            want = n;
        at = end + 1;
    }
    // The list is given without a terminator after its last byte.
    std::vector<char> exact(list.begin(), list.end());
    check(script_highest_entry(exact.data(), exact.size(), stem.c_str()) == want, "highest as the reference");
    // Every value found lies within the lines, and a key that is no line's
    // is never found.
    const char *value = NULL;
    size_t value_len = 0;
    if (script_section_value(exact.data(), exact.size(), "file_1", &value, &value_len))
        check(value >= exact.data() && value + value_len <= exact.data() + exact.size(), "value within the lines");
    check(!script_section_value(exact.data(), exact.size(), "no such key at all, surely", &value, &value_len) ||
              list.find("no such key at all, surely") != std::string::npos,
          "only a key that is there is found");
}

// A fuzzed script: the start-up check must end, and name a key it read.
struct FuzzScript {
    std::map<std::string, std::string> values; // "section/key"
    std::map<std::string, unsigned int> last;  // "section/stem"
    std::vector<std::string> read_keys;

    static void read(void *context, const char *section, const char *key, char *buf, size_t size)
    {
        auto *s = static_cast<FuzzScript *>(context);
        std::string name = std::string(section) + "/" + key;
        s->read_keys.push_back(name);
        auto found = s->values.find(name);
        snprintf(buf, size, "%s", found == s->values.end() ? "" : found->second.c_str());
    }
    static unsigned int last_entry(void *context, const char *section, const char *, const char *stem)
    {
        auto *s = static_cast<FuzzScript *>(context);
        auto found = s->last.find(std::string(section) + "/" + stem);
        return found == s->last.end() ? 0 : found->second;
    }
};

void fuzz_script(FuzzedDataProvider &in)
{
    static const char *const keys[] = {
        "general/default_dir", "copyright/file",      "files/file_1",          "files/file_2",
        "files/uninst_1",      "startmenu/start_1",   "registry/version_key",  "registry/path_key",
        "registry/uninstall_key", "registry/user_key", "registry/clsid_1",     "registry/clsid_3",
    };
    FuzzScript script;
    for (const char *key : keys)
        if (in.ConsumeBool())
            script.values[key] = in.ConsumeRandomLengthString(1200);
    for (const char *list : {"files/file", "files/uninst", "startmenu/start", "registry/clsid"})
        script.last[list] = in.ConsumeIntegralInRange<unsigned int>(0, 4);
    ScriptSource source = {&script, FuzzScript::read, FuzzScript::last_entry};
    ScriptFault fault = {NULL, ""};
    if (script_find_unsafe_name(&source, &fault)) {
        check(fault.section != NULL, "a fault names its section");
        check(script.read_keys.back() == std::string(fault.section) + "/" + fault.key,
              "the fault is the value read last");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        fuzz_names(std::string(in.ConsumeRemainingBytesAsString().c_str()));
        break;
    case 1: {
        std::string stem = in.ConsumeBool() ? "file" : "start";
        fuzz_key_list(in.ConsumeRemainingBytesAsString(), stem);
        break;
    }
    default:
        fuzz_script(in);
        break;
    }
    return 0;
}
