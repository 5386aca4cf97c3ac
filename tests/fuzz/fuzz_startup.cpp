// Fuzz target for the start-up's platform-free logic: script escapes and
// integers, the command line and path forming. Each result is compared with
// a plain reference written here, character by character.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script.h"
#include "setup_types.h"
#include "text.h"
#include "startup.h"

namespace {

// Escapes turned over whole characters: a backslash is only ever a
// single-byte character of its own.
std::string reference_escapes(const std::string &s)
{
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = (unsigned char)s[i];
        if (lead(c) && i + 1 < s.size()) {
            out += s.substr(i, 2);
            i += 2;
            continue;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == 't' || s[i + 1] == 'n')) {
            out += s[i + 1] == 't' ? '\t' : '\n';
            i += 2;
            continue;
        }
        out += (char)c;
        i++;
    }
    return out;
}

void fuzz_escapes(const std::string &text)
{
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    script_turn_escapes(buf.data());
    check(std::string(buf.data()) == reference_escapes(text), "escapes as the reference turns them");
}

void fuzz_int(const std::string &text, int fallback)
{
    int value = (int)script_parse_number(text.c_str(), (unsigned)fallback, NumberSigned);
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        i++;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        check(value == fallback, "no leading number gives the fallback");
        return;
    }
    long long expected = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && expected <= 2147483648LL)
        expected = expected * 10 + (text[i++] - '0');
    if (negative)
        expected = expected > 2147483648LL ? -2147483648LL : -expected;
    else if (expected > 2147483647LL)
        expected = 2147483647LL;
    check(value == expected, "leading decimal, clamped");
}

// The reference splitting: tokens at blanks and tabs; a quote may open a
// token or the value after its first '=' and must close before a blank or
// the end; double-byte characters are taken whole.
void fuzz_command_line(const std::string &text)
{
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    CommandLine got;
    int accepted = command_line_apply(buf.data(), &got);

    CommandLine want;
    memset(&want, 0, sizeof want);
    int want_accepted = 1;
    std::string line(text.c_str()); // the program sees the text up to a zero
    size_t i = 0;
    auto blank = [&](size_t k) { return k < line.size() && (line[k] == ' ' || line[k] == '\t'); };
    for (;;) {
        while (blank(i))
            i++;
        if (i >= line.size())
            break;
        int quoted = line[i] == '"';
        if (quoted)
            i++;
        std::string token;
        long value_at = -1;
        int ok = 1;
        for (;;) {
            if (i >= line.size()) {
                ok = !quoted;
                break;
            }
            char c = line[i];
            if (c == '"') {
                if (quoted) {
                    i++;
                    ok = i >= line.size() || blank(i);
                    break;
                }
                if ((long)token.size() != value_at) {
                    ok = 0;
                    break;
                }
                quoted = 1;
                i++;
                continue;
            }
            if (!quoted && blank(i))
                break;
            if (c == '=' && value_at < 0 && !quoted)
                value_at = (long)token.size() + 1;
            token += c;
            if (lead((unsigned char)c) && i + 1 < line.size())
                token += line[++i];
            i++;
        }
        if (!ok) {
            want_accepted = 0;
            break;
        }
        if (i < line.size())
            i++; // the separator or the closing quote's blank
        std::string upper;
        for (char t : token)
            upper += (t >= 'a' && t <= 'z') ? (char)(t - 32) : t;
        std::string head = upper.substr(0, 5);
        if (head == "/DIR=" || head == "/LOG=") {
            std::string value = token.substr(5);
            if (value.empty() || text_fit(value.c_str(), SETUP_PATH_SIZE - 1) != value.size()) {
                want_accepted = 0;
                break;
            }
            snprintf(head == "/DIR=" ? want.dir : want.log, SETUP_PATH_SIZE, "%s", value.c_str());
        } else if (upper == "/SETUP")
            want.run_mode = RunModeSetup;
        else if (upper == "/TEMP")
            want.run_mode = RunModeTempCopy;
        else if (upper == "/UNINSTALL")
            want.run_mode = RunModeUninstall;
        else if (upper == "/DEBUG")
            want.debug_run = 1;
        else if (upper == "/QUIET" || upper == "/S")
            want.unattended = UnattendedQuiet;
        else if (upper == "/PASSIVE")
            want.unattended = UnattendedPassive;
        else if (upper == "/NORESTART")
            want.no_restart = 1;
        else if (upper == "/?")
            want.show_help = 1;
        else {
            want_accepted = 0;
            break;
        }
    }
    check(accepted == want_accepted, "accepted as the reference splits");
    if (!accepted)
        return;
    check(got.run_mode == want.run_mode && got.debug_run == want.debug_run, "mode and debug flag as the reference");
    check(got.unattended == want.unattended && got.no_restart == want.no_restart && got.show_help == want.show_help,
          "switches as the reference");
    check(strcmp(got.dir, want.dir) == 0 && strcmp(got.log, want.log) == 0, "values as the reference");
    check(!got.dir[0] || command_line_folder_is_absolute(got.dir) == command_line_folder_is_absolute(want.dir),
          "folder test is stable");
}

// Text as the platform hands it over never ends in half a double-byte
// character; drop such a byte from fuzzed names.
std::string whole_characters(const std::string &s)
{
    size_t i = 0;
    while (i < s.size()) {
        if (lead((unsigned char)s[i]) && i + 1 >= s.size())
            return s.substr(0, i);
        i += lead((unsigned char)s[i]) ? 2 : 1;
    }
    return s;
}

void fuzz_paths(const std::string &a_in, const std::string &b_in, size_t size)
{
    std::string a = whole_characters(a_in), b = whole_characters(b_in);
    std::vector<char> out(size + 1, '\x7f');
    path_destination(a.c_str(), b.c_str(), out.data(), size);
    check(strnlen(out.data(), size) < size, "destination terminated in its buffer");
    check(out[size] == '\x7f', "nothing written past the buffer");
    std::string dest(out.data());
    std::string whole = a.c_str();
    if (dest.size() + 4 < size && dest.size() >= 1)
        check(path_ends_in_backslash(dest.c_str()), "a destination with room ends in a backslash");

    std::fill(out.begin(), out.end(), '\x7f');
    path_folder_of(a.c_str(), out.data(), size);
    check(strnlen(out.data(), size) < size && out[size] == '\x7f', "folder within its buffer");
    std::string folder(out.data());
    check(whole.compare(0, folder.size(), folder) == 0, "the folder is a prefix of the path");

    std::fill(out.begin(), out.end(), '\x7f');
    path_script_of(a.c_str(), out.data(), size);
    check(strnlen(out.data(), size) < size && out[size] == '\x7f', "script path within its buffer");
}

// The code under test sees C strings: the text up to its first zero.
std::string c_text(const std::string &bytes)
{
    return std::string(bytes.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    int which = in.ConsumeIntegralInRange(0, 3);
    switch (which) {
    case 0:
        fuzz_escapes(c_text(in.ConsumeRemainingBytesAsString()));
        break;
    case 1: {
        int fallback = in.ConsumeIntegral<int>();
        fuzz_int(c_text(in.ConsumeRemainingBytesAsString()), fallback);
        break;
    }
    case 2:
        fuzz_command_line(c_text(in.ConsumeRemainingBytesAsString()));
        break;
    default: {
        size_t room = in.ConsumeIntegralInRange<size_t>(1, 300);
        std::string a = in.ConsumeRandomLengthString(300);
        fuzz_paths(c_text(a), c_text(in.ConsumeRemainingBytesAsString()), room);
        break;
    }
    }
    return 0;
}
