// The mistakes a script can hold, each found as the program would meet it:
// through the same reader, the same buffers and the same splitting.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>

#include "check.h"
#include "engine.h"
#include "script.h"
#include "shell.h"
#include "startup.h"
#include "text.h"

namespace {

enum KeyKind {
    KEY_TEXT,     // shown; a missing key shows its placeholder
    KEY_STRING,   // read as it stands
    KEY_NUMBER,   // a count, a switch or a figure
    KEY_WRITTEN,  // written by the program into its own copy
};

// When a text is shown: in an installation, in a removal, or both.
enum { SHOWN_SETUP = 1, SHOWN_REMOVAL = 2 };

struct KnownKey {
    const char *section;
    const char *key;  // a numbered list's entries: the stem with "_N"
    KeyKind kind;
    size_t size;      // the program's buffer
    unsigned shown;
};

const size_t TEXT = SCRIPT_TEXT_SIZE, NAME = SETUP_PATH_SIZE;

const KnownKey known_keys[] = {
    {"general", "srcdir", KEY_WRITTEN, NAME, 0},
    {"general", "tmpexe", KEY_WRITTEN, NAME, 0},
    {"general", "tmpinf", KEY_WRITTEN, NAME, 0},
    {"general", "default_dir", KEY_STRING, NAME, 0},
    {"general", "application", KEY_STRING, NAME, 0},
    {"general", "title", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"general", "msg", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"general", "title_uninstall", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"general", "msg_uninstall", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"font", "Height", KEY_NUMBER, 64, 0},
    {"font", "Width", KEY_NUMBER, 64, 0},
    {"font", "Escapement", KEY_NUMBER, 64, 0},
    {"font", "Orientation", KEY_NUMBER, 64, 0},
    {"font", "Weight", KEY_NUMBER, 64, 0},
    {"font", "Italic", KEY_NUMBER, 64, 0},
    {"font", "Underline", KEY_NUMBER, 64, 0},
    {"font", "StrikeOut", KEY_NUMBER, 64, 0},
    {"font", "CharSet", KEY_NUMBER, 64, 0},
    {"font", "OutPrecision", KEY_NUMBER, 64, 0},
    {"font", "ClipPrecision", KEY_NUMBER, 64, 0},
    {"font", "Quality", KEY_NUMBER, 64, 0},
    {"font", "PitchAndFamily", KEY_NUMBER, 64, 0},
    {"font", "FaceName", KEY_STRING, 32, 0},
    {"start", "title", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"start", "msg", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"welcome", "title", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"welcome", "msg1", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"welcome", "msg2", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"welcome", "msg3", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"welcome", "msg4", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"welcome", "msg5", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"goodby", "title", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"goodby", "msg1", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"goodby", "msg2", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"goodby", "msg3", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"goodby", "msg4", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"goodby", "msg5", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"copyright", "title", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"copyright", "msg1", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"copyright", "msg2", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"copyright", "file", KEY_STRING, NAME, 0},
    {"setup", "title", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"setup", "msg1", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"setup", "msg2", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"setup", "msg_sub1", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"setup", "msg_sub2", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"setup", "system", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"setup", "destination", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"oldver", "check", KEY_NUMBER, 64, 0},
    {"oldver", "key", KEY_STRING, NAME, 0},
    {"oldver", "value", KEY_STRING, NAME, 0},
    {"oldver", "data", KEY_STRING, 263, 0},
    // Shown only when the probe finds the older version (checked below).
    {"oldver", "title", KEY_TEXT, TEXT, 0},
    {"oldver", "msg", KEY_TEXT, TEXT, 0},
    {"oldver", "path", KEY_STRING, NAME, 0},
    {"oldver", "dir", KEY_STRING, NAME, 0},
    {"files", "dsttotal", KEY_NUMBER, 64, 0},
    {"files", "systotal", KEY_NUMBER, 64, 0},
    {"files", "files", KEY_NUMBER, 64, 0},
    {"files", "file_N", KEY_STRING, TEXT, 0},
    {"files", "uninst", KEY_NUMBER, 64, 0},
    {"files", "uninst_N", KEY_STRING, TEXT, 0},
    {"registry", "version", KEY_NUMBER, 64, 0},
    {"registry", "path", KEY_NUMBER, 64, 0},
    {"registry", "uninstall", KEY_NUMBER, 64, 0},
    {"registry", "version_key", KEY_STRING, NAME, 0},
    {"registry", "version_value", KEY_STRING, NAME, 0},
    {"registry", "path_key", KEY_STRING, NAME, 0},
    {"registry", "uninstall_key", KEY_STRING, NAME, 0},
    {"registry", "uninstall_command", KEY_STRING, NAME, 0},
    {"registry", "uninstall_dispname", KEY_STRING, NAME, 0},
    {"registry", "uninstall_icon", KEY_STRING, NAME, 0},
    {"registry", "uninstall_version", KEY_STRING, NAME, 0},
    {"registry", "uninstall_publisher", KEY_STRING, NAME, 0},
    {"registry", "classes", KEY_NUMBER, 64, 0},
    {"registry", "clsid_N", KEY_STRING, TEXT, 0},
    {"registry", "user_key", KEY_STRING, NAME, 0},
    {"startmenu", "menus", KEY_NUMBER, 64, 0},
    {"startmenu", "start_N", KEY_STRING, SCRIPT_MENU_SIZE, 0},
    {"break", "title", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"break", "msg", KEY_TEXT, TEXT, SHOWN_SETUP},
    {"break", "title_uninstall", KEY_TEXT, TEXT, SHOWN_REMOVAL},
    {"break", "msg_uninstall", KEY_TEXT, TEXT, SHOWN_REMOVAL},
};

const char *const known_sections[] = {"general", "font",  "start",    "welcome",   "goodby", "copyright",
                                      "setup",   "oldver", "files",   "registry", "startmenu", "break"};

struct NumberedList {
    const char *section, *count_key, *stem;
};
const NumberedList lists[] = {
    {"files", "files", "file"},
    {"files", "uninst", "uninst"},
    {"registry", "classes", "clsid"},
    {"startmenu", "menus", "start"},
};

// A count this far above its highest entry is no gap left on purpose.
enum { COUNT_SLACK = 10 };

// The licence text control shows this many bytes of the file.
enum { LICENCE_SHOWN = 32768 };

struct Checker {
    const CheckScript *script;
    const CheckMedium *medium;
    std::vector<CheckFinding> *findings;
    int utf8;  // UTF-8 read as code page 932: one finding for the file says so
};

void report(Checker *c, CheckLevel level, unsigned line, const std::string &where, const char *fmt, ...)
{
    char what[1024];
    va_list args;
    va_start(args, fmt);
    text_format_v(what, sizeof what, fmt, args);
    va_end(args);
    c->findings->push_back(CheckFinding{line, level, where, what});
}

std::string where_of(const char *section, const std::string &key)
{
    return std::string(section) + "/" + key;
}

int ascii_lower(int ch)
{
    return ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch;
}

// Edits (letter case aside) that turn a into b; two letters swapped count
// as one, the commonest slip.
size_t distance(const std::string &a, const std::string &b)
{
    // One block for the table (row i at i * w): a script of 10,000 unknown
    // sections asks for this 10,000 times per known name.
    const size_t w = b.size() + 1;
    std::vector<size_t> d((a.size() + 1) * w);
    for (size_t i = 0; i <= a.size(); i++)
        d[i * w] = i;
    for (size_t j = 0; j <= b.size(); j++)
        d[j] = j;
    auto same = [](char x, char y) { return ascii_lower((unsigned char)x) == ascii_lower((unsigned char)y); };
    for (size_t i = 1; i <= a.size(); i++) {
        for (size_t j = 1; j <= b.size(); j++) {
            size_t &here = d[i * w + j];
            here = std::min(std::min(d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1),
                            d[(i - 1) * w + j - 1] + (same(a[i - 1], b[j - 1]) ? 0 : 1));
            if (i > 1 && j > 1 && same(a[i - 1], b[j - 2]) && same(a[i - 2], b[j - 1]))
                here = std::min(here, d[(i - 2) * w + j - 2] + 1);
        }
    }
    return d[a.size() * w + b.size()];
}

// The nearest of the names, when it is near enough to be the one meant.
std::string nearest(const std::string &name, const std::vector<std::string> &names)
{
    std::string best;
    size_t best_distance = (size_t)-1;
    size_t limit = name.size() < 5 ? 1 : 2;
    for (const std::string &candidate : names) {
        // Names whose lengths differ by more than the limit are further apart.
        size_t apart = name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (apart > limit)
            continue;
        size_t d = distance(name, candidate);
        if (d < best_distance) {
            best_distance = d;
            best = candidate;
        }
    }
    return best_distance <= limit ? best : std::string();
}

const NumberedList *list_of(const char *section, const std::string &key, unsigned int *n)
{
    for (const NumberedList &list : lists) {
        if (strcmp(list.section, section) != 0)
            continue;
        *n = script_entry_number(key.c_str(), list.stem);
        if (*n != 0)
            return &list;
    }
    return NULL;
}

const KnownKey *known_key(const char *section, const std::string &key)
{
    unsigned int n;
    const NumberedList *list = list_of(section, key, &n);
    for (const KnownKey &known : known_keys) {
        if (strcmp(known.section, section) != 0)
            continue;
        if (list != NULL ? strncmp(known.key, list->stem, strlen(list->stem)) == 0 && strchr(known.key, '_') != NULL
                         : text_equal_nocase(known.key, key.c_str()))
            return &known;
    }
    return NULL;
}

// The platform's code page 932 reads the value's bytes back unchanged.
void check_bytes(Checker *c, const ProfileKey &key, const std::string &where)
{
    const std::string &bytes = c->script->bytes;
    if (c->script->file.encoding != PROFILE_ANSI || c->utf8 || key.value_to <= key.value_from ||
        key.value_to > bytes.size())
        return;
    size_t bad;
    if (!cp932_round_trips((const unsigned char *)bytes.data() + key.value_from, key.value_to - key.value_from, &bad))
        report(c, CHECK_ERROR, key.line, where, "not valid code page 932 text (byte %u of the value)",
               (unsigned)(bad + 1));
}

int has_japanese(const std::string &text)
{
    for (unsigned char ch : text)
        if (ch >= 0x80)
            return 1;
    return 0;
}

// Sections: the known ones read once, the first of a name only.
// A name as the reader compares names: unit by unit, letter case folded.
static WideText folded(const WideText &name)
{
    WideText out(name);
    for (uint16_t &unit : out)
        unit = cp932_lower_unit(unit);
    return out;
}

void check_sections(Checker *c)
{
    const ProfileFile &file = c->script->file;
    std::vector<std::string> names(std::begin(known_sections), std::end(known_sections));
    // The first section of each name, found once: a lookup per section
    // would take time in the square of their number (10,000 sections).
    std::map<WideText, const ProfileSection *> first_of;
    for (const ProfileSection &section : file.sections)
        first_of.insert({folded(section.name), &section});
    for (size_t i = 0; i < file.sections.size(); i++) {
        const ProfileSection &section = file.sections[i];
        std::string name = check_narrow(section.name);
        if (i == 0) {
            for (const ProfileKey &key : section.keys) {
                std::string key_name = check_narrow(key.name);
                if (!key_name.empty() && key_name[0] != ';')
                    report(c, CHECK_WARNING, key.line, "", "line before the first section: never read");
            }
            continue;
        }
        // The name as a lookup by its bytes gives it: one that does not
        // come back from code page 932 finds no section, or another.
        auto found = first_of.find(folded(profile_query_name(name.c_str())));
        const ProfileSection *first = found == first_of.end() ? NULL : found->second;
        if (first == NULL) {
            report(c, CHECK_ERROR, section.line, "[" + name + "]", "section never read: no lookup finds this name");
            continue;
        }
        if (first != &section) {
            report(c, CHECK_ERROR, section.line, "[" + name + "]",
                   "section repeated: only the first (line %u) is read, these lines never are", first->line);
            continue;
        }
        int known = 0;
        for (const char *k : known_sections)
            known |= text_equal_nocase(k, name.c_str());
        if (known)
            continue;
        std::string guess = nearest(name, names);
        if (!guess.empty())
            report(c, CHECK_ERROR, section.line, "[" + name + "]", "section never read: did you mean [%s]?",
                   guess.c_str());
        else
            report(c, CHECK_WARNING, section.line, "[" + name + "]", "section never read");
    }
}

// Keys of the known sections: read once, spelt as the program spells them,
// with a value, kept whole by the program's buffer, in code page 932.
void check_keys(Checker *c, const char *section_name)
{
    const ProfileSection *section = profile_find_section(&c->script->file, section_name);
    if (section == NULL)
        return;
    std::vector<std::string> names;
    for (const KnownKey &known : known_keys)
        if (strcmp(known.section, section_name) == 0)
            names.push_back(known.key);
    for (const ProfileKey &key : section->keys) {
        std::string name = check_narrow(key.name);
        if (name.empty() || name[0] == ';')
            continue;
        std::string where = where_of(section_name, name);
        const ProfileKey *first = profile_find_key(section, name.c_str());
        if (first == NULL) {
            // A name with a zero byte or a character that does not come back
            // the same: no lookup finds it.
            report(c, CHECK_ERROR, key.line, where, "key never read: no lookup finds this name");
            continue;
        }
        if (first != &key) {
            report(c, CHECK_ERROR, key.line, where, "key repeated: only the first (line %u) is read", first->line);
            continue;
        }
        const KnownKey *known = known_key(section_name, name);
        if (known == NULL) {
            std::string guess = nearest(name, names);
            if (!guess.empty())
                report(c, CHECK_ERROR, key.line, where, "key never read: did you mean %s?", guess.c_str());
            else
                report(c, CHECK_ERROR, key.line, where, "key never read");
            continue;
        }
        if (!key.has_value) {
            report(c, CHECK_ERROR, key.line, where, "line without '=': the key has no value");
            continue;
        }
        check_bytes(c, key, where);
        std::string value = check_read_whole(c->script, section_name, name.c_str());
        // Converted from UTF-8, Japanese text takes fewer bytes.
        if (known->kind != KEY_NUMBER && value.size() > known->size - 1 && !(c->utf8 && has_japanese(value)))
            report(c, CHECK_ERROR, key.line, where, "%u bytes long: the program keeps only the first %u",
                   (unsigned)value.size(), (unsigned)known->size - 1);
        if (known->kind == KEY_NUMBER && !check_is_number(value.c_str()))
            report(c, CHECK_ERROR, key.line, where, "\"%s\" is not a number", value.c_str());
    }
}

// Texts the pages show: a missing one shows its placeholder.
void check_texts(Checker *c, unsigned shown)
{
    int probe = check_read_int(c->script, "oldver", "check", 0) != 0;
    for (const KnownKey &known : known_keys) {
        if (known.kind != KEY_TEXT)
            continue;
        int oldver = strcmp(known.section, "oldver") == 0;
        if (oldver ? !probe : (known.shown & shown) == 0)
            continue;
        std::string where = where_of(known.section, known.key);
        const ProfileSection *section = profile_find_section(&c->script->file, known.section);
        const ProfileKey *key = section != NULL ? profile_find_key(section, known.key) : NULL;
        if (key == NULL || !key->has_value) {
            // In UTF-8 read as code page 932 a lead byte can take the line
            // end with it, and the next key with the line: the file's own
            // finding says why.
            if (key == NULL && !c->utf8)
                report(c, CHECK_ERROR, section != NULL ? section->line : 0, where,
                       "missing: the program shows its placeholder instead");
            continue;
        }
        if (check_read_whole(c->script, known.section, known.key).empty())
            report(c, CHECK_WARNING, key->line, where, "left empty: the program shows nothing there");
    }
}

// The start-up check the program makes: a name that leaves its folder or a
// registry name with an empty component refuses the whole script.
void read_for_rules(void *context, const char *section, const char *key, char *buf, size_t size)
{
    check_read((const CheckScript *)context, section, key, "", buf, size);
}

unsigned int last_entry_for_rules(void *context, const char *section, const char *count_key, const char *stem)
{
    return check_last_entry((const CheckScript *)context, section, count_key, stem);
}

void check_names(Checker *c)
{
    ScriptSource source = {(void *)c->script, read_for_rules, last_entry_for_rules};
    ScriptFault fault;
    if (script_find_unsafe_name(&source, &fault))
        report(c, CHECK_ERROR, check_line_of(c->script, fault.section, fault.key), where_of(fault.section, fault.key),
               "names a place outside the application's folder or key: the program refuses the script");
}

// Counts against the entries present: entries above the count are never
// read; a count far above them is a slip.
void check_counts(Checker *c)
{
    for (const NumberedList &list : lists) {
        const ProfileSection *section = profile_find_section(&c->script->file, list.section);
        std::string lines = profile_section_lines(section);
        unsigned int highest = script_highest_entry(lines.data(), lines.size(), list.stem);
        int count = check_read_int(c->script, list.section, list.count_key, 0);
        unsigned line = check_line_of(c->script, list.section, list.count_key);
        std::string where = where_of(list.section, list.count_key);
        if (highest > 0 && (count < 1 || (unsigned int)count < highest))
            report(c, CHECK_ERROR, line, where, "%d, but %s_%u is present: entries above %d are never read", count,
                   list.stem, highest, count < 0 ? 0 : count);
        else if (count > 0 && (unsigned long long)count > (unsigned long long)highest + COUNT_SLACK)
            report(c, CHECK_ERROR, line, where, "%d, far above the highest entry present (%s_%u)", count,
                   list.stem, highest);
    }
}

struct Installed {
    std::string target;  // lower case
    int kind;
    unsigned int n;
};

std::string lower(const std::string &s)
{
    std::string out;
    for (const char *p = s.c_str(); *p != '\0'; p = text_next(p)) {
        out += (char)ascii_lower((unsigned char)*p);
        if (text_is_lead_byte((unsigned char)*p) && p[1] != '\0')
            out += p[1];
    }
    return out;
}

int is_versioned_kind(const std::string &name)
{
    const char *dot = text_find_last(name.c_str(), '.');
    if (dot == NULL)
        return 0;
    return text_equal_nocase(dot, ".dll") || text_equal_nocase(dot, ".ocx") || text_equal_nocase(dot, ".exe");
}

// Of an entry written with five fields or more, those of the first five
// left empty ("disk label is empty"); "" when fewer than five were written.
// The program takes a run of commas as one separator, so an empty field
// leaves it one short.
std::string empty_fields(const char *text)
{
    static const char *const names[5] = {"source name", "target name", "disk label", "kind", "size"};
    std::vector<const char *> empty;
    const char *p = text;
    int field = 0;
    for (; field < 5; field++) {
        const char *start = p;
        while (*p != '\0' && *p != ',')
            p = text_next(p);
        if (p == start)
            empty.push_back(names[field]);
        if (*p == '\0')
            break;
        p++;
    }
    if (field < 4 || empty.empty())
        return "";
    std::string out;
    for (size_t i = 0; i < empty.size(); i++)
        out += std::string(i == 0 ? "" : i + 1 == empty.size() ? " and " : ", ") + empty[i];
    return out + (empty.size() == 1 ? " is empty" : " are empty");
}

// The file entries: on the medium, of the size their field says, each
// target once; and the totals the setup page shows.
void check_files(Checker *c, std::vector<Installed> *installed)
{
    unsigned int last = check_last_entry(c->script, "files", "files", "file");
    // sums as written; fixed as --fix makes them, with each file's size.
    unsigned long long sums[2] = {0, 0}, fixed[2] = {0, 0};
    std::vector<size_t> wrong;  // the findings of a wrong figure
    for (unsigned int n = 1; n <= last; n++) {
        char key[32], text[SCRIPT_TEXT_SIZE];
        text_format(key, sizeof key, "file_%u", n);
        if (check_read(c->script, "files", key, "", text, sizeof text) == 0)
            continue;
        unsigned line = check_line_of(c->script, "files", key);
        std::string where = where_of("files", key);
        FileEntry entry;
        if (!parse_file_entry(text, &entry)) {
            std::string empty = empty_fields(text);
            if (empty.empty())
                report(c, CHECK_ERROR, line, where, "fewer than five fields: the program skips this entry");
            else
                report(c, CHECK_ERROR, line, where, "%s: the program skips this entry", empty.c_str());
            continue;
        }
        sums[entry.kind == 1 ? 0 : 1] += entry.size;
        size_t from, to;
        if (check_field(text, 4, &from, &to) && !check_is_number(std::string(text + from, to - from).c_str()))
            report(c, CHECK_ERROR, line, where, "the size field is not a number");

        uint64_t size = 0;
        std::string head;
        int own_script = text_equal_nocase(entry.source_name, c->medium->script_name);
        int found = own_script || c->medium->open(c->medium->context, entry.disk_label, entry.source_name,
                                                  CHECK_VERSION_HEAD, &size, &head);
        if (own_script) {
            size = c->script->bytes.size();
            head = c->script->bytes;
        }
        if (!found) {
            if (c->medium->knows_label(c->medium->context, entry.disk_label))
                report(c, CHECK_ERROR, line, where, "%s is not on the disk labelled \"%s\"", entry.source_name,
                       entry.disk_label);
            else
                report(c, CHECK_ERROR, line, where, "%s is not on the medium", entry.source_name);
        } else if (size != entry.size) {
            if (size <= 0xFFFFFFFFu)
                wrong.push_back(c->findings->size());
            report(c, CHECK_ERROR, line, where, "size %u, but %s has %llu bytes", entry.size, entry.source_name,
                   (unsigned long long)size);
        }
        fixed[entry.kind == 1 ? 0 : 1] += found && size <= 0xFFFFFFFFu ? size : entry.size;
        if (found && entry.kind != 1 && !(is_versioned_kind(entry.target_name) && check_has_version_resource(head, size)))
            report(c, CHECK_WARNING, line, where,
                   "shared file without a version resource: the version installer cannot compare it");

        std::string target = lower(entry.target_name);
        int folder = entry.kind == 1 ? 1 : 0;
        for (const Installed &before : *installed) {
            if (before.target == target && (before.kind == 1 ? 1 : 0) == folder) {
                report(c, CHECK_ERROR, line, where, "target %s is also installed by file_%u", entry.target_name,
                       before.n);
                break;
            }
        }
        installed->push_back(Installed{target, entry.kind, n});
    }
    static const char *const total_keys[2] = {"dsttotal", "systotal"};
    for (int i = 0; i < 2; i++) {
        char value[64];
        check_read(c->script, "files", total_keys[i], "", value, sizeof value);
        unsigned int total = script_parse_number(value, 0, NumberUnsigned);
        if (total != sums[i]) {
            wrong.push_back(c->findings->size());
            report(c, CHECK_ERROR, check_line_of(c->script, "files", total_keys[i]), where_of("files", total_keys[i]),
                   "%u, but the %s entries add up to %llu", total, i == 0 ? "application (kind 1)" : "shared",
                   sums[i]);
        }
    }
    // --fix writes every such figure, unless a total would pass the 32 bits
    // the program reads (it then writes none).
    if (c->script->file.encoding != PROFILE_ANSI || c->utf8 || fixed[0] > 0xFFFFFFFFu || fixed[1] > 0xFFFFFFFFu)
        return;
    for (size_t at : wrong)
        (*c->findings)[at].what += "; setupcheck --fix writes it";
}

// The start-menu entries: three fields each, and no gap (the removal stops
// at the first missing entry and leaves the items after it behind).
void check_menus(Checker *c)
{
    unsigned int last = check_last_entry(c->script, "startmenu", "menus", "start");
    unsigned int gap = 0;
    for (unsigned int n = 1; n <= last; n++) {
        char key[32], text[SCRIPT_MENU_SIZE], group[260], program[260], title[260];
        text_format(key, sizeof key, "start_%u", n);
        if (check_read(c->script, "startmenu", key, "", text, sizeof text) == 0) {
            if (gap == 0)
                gap = n;
            continue;
        }
        unsigned line = check_line_of(c->script, "startmenu", key);
        if (gap != 0) {
            report(c, CHECK_ERROR, line, where_of("startmenu", key),
                   "start_%u is missing: the removal stops there and leaves this item behind", gap);
            gap = 0;
        }
        if (!split_entry_fields(text, group, program, title))
            report(c, CHECK_ERROR, line, where_of("startmenu", key), "fewer than three fields");
    }
}

// 1 when a kind 1 entry installs name (relative to the application's
// folder; letter case ignored).
int installs(const std::vector<Installed> &installed, const std::string &name)
{
    std::string wanted = lower(name);
    for (const Installed &file : installed)
        if (file.kind == 1 && file.target == wanted)
            return 1;
    return 0;
}

// The icon the list of programs shows for the Uninstall entry is a file the
// setup installs into the application's folder.
void check_uninstall_icon(Checker *c, const std::vector<Installed> &installed)
{
    char icon[SETUP_PATH_SIZE];
    if (check_read(c->script, "registry", "uninstall_icon", "", icon, sizeof icon) != 0 && !installs(installed, icon))
        report(c, CHECK_ERROR, check_line_of(c->script, "registry", "uninstall_icon"), "registry/uninstall_icon",
               "%s is not installed into the application's folder by any file_N: the list of programs shows no "
               "icon",
               icon);
}

// The program that the Uninstall entry runs must be one the setup installs,
// and its script must lie beside it.
void check_uninstall_command(Checker *c, const std::vector<Installed> &installed)
{
    char command[SETUP_PATH_SIZE];
    if (check_read(c->script, "registry", "uninstall_command", "", command, sizeof command) == 0)
        return;
    std::string program;
    const char *p = command;
    while (*p == ' ')
        p++;
    char end = ' ';
    if (*p == '"') {
        end = '"';
        p++;
    }
    for (; *p != '\0' && *p != end; p = text_next(p)) {
        program += *p;
        if (text_is_lead_byte((unsigned char)*p) && p[1] != '\0')
            program += p[1];
    }
    unsigned line = check_line_of(c->script, "registry", "uninstall_command");
    if (!installs(installed, program)) {
        report(c, CHECK_ERROR, line, "registry/uninstall_command",
               "%s is not installed into the application's folder by any file_N", program.c_str());
        return;
    }
    // The uninstaller reads the script named as itself with ".inf", in its
    // own folder: without it, it reads no entries and removes nothing.
    char script[SETUP_PATH_SIZE];
    path_script_of(program.c_str(), script, sizeof script);
    if (!installs(installed, script))
        report(c, CHECK_ERROR, line, "registry/uninstall_command",
               "%s is not installed beside %s: the uninstaller will run without its script and remove nothing",
               script, program.c_str());
}

void check_copyright(Checker *c)
{
    char name[SETUP_PATH_SIZE];
    if (check_read(c->script, "copyright", "file", "", name, sizeof name) == 0)
        return;
    unsigned line = check_line_of(c->script, "copyright", "file");
    uint64_t size = 0;
    std::string head;
    if (!c->medium->open(c->medium->context, NULL, name, LICENCE_SHOWN, &size, &head)) {
        report(c, CHECK_ERROR, line, "copyright/file", "%s is not on the medium", name);
        return;
    }
    size_t bad;
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0 || head.compare(0, 2, "\xFF\xFE") == 0 ||
        head.compare(0, 2, "\xFE\xFF") == 0)
        report(c, CHECK_ERROR, line, "copyright/file", "%s is not code page 932 text: it is Unicode", name);
    else if (!cp932_round_trips((const unsigned char *)head.data(), head.size(), &bad))
        report(c, CHECK_ERROR, line, "copyright/file", "%s is not code page 932 text (byte %u)", name,
               (unsigned)(bad + 1));
    if (size > LICENCE_SHOWN)
        report(c, CHECK_WARNING, line, "copyright/file", "%s has %llu bytes: the page shows the first %u", name,
               (unsigned long long)size, (unsigned)LICENCE_SHOWN);
}

// The backdrop draws its line in the [font] font: Japanese needs the
// Japanese character set (128).
void check_font(Checker *c)
{
    int charset = check_read_int(c->script, "font", "CharSet", 128) & 0xFF;
    if (charset == 128)
        return;
    static const char *const drawn[] = {"msg", "msg_uninstall"};
    for (const char *key : drawn) {
        if (has_japanese(check_read_whole(c->script, "general", key))) {
            unsigned line = check_line_of(c->script, "font", "CharSet");
            report(c, CHECK_ERROR, line, "font/CharSet",
                   "%d, but general/%s is Japanese: it is drawn unreadably (use 128)", charset, key);
            return;
        }
    }
}

void check_oldver(Checker *c)
{
    if (check_read_int(c->script, "oldver", "check", 0) == 0)
        return;
    unsigned line = check_line_of(c->script, "oldver", "check");
    static const char *const probe[] = {"key", "value", "data"};
    for (const char *key : probe) {
        if (check_read_whole(c->script, "oldver", key).empty()) {
            report(c, CHECK_WARNING, line, "oldver/check", "no %s: the probe never finds an older version", key);
            return;
        }
    }
    static const char *const folder[] = {"path", "dir"};
    for (const char *key : folder) {
        if (check_read_whole(c->script, "oldver", key).empty()) {
            report(c, CHECK_WARNING, line, "oldver/check",
                   "no %s: an older version is found but its folder is not taken over", key);
            return;
        }
    }
}

}  // namespace

void check_script(const CheckScript *script, const CheckMedium *medium, std::vector<CheckFinding> *findings)
{
    Checker checker = {script, medium, findings, check_is_utf8(script)};
    Checker *c = &checker;
    if (script->file.encoding != PROFILE_ANSI) {
        report(c, CHECK_ERROR, 0, "", "the file is %s, not code page 932: save it as Shift-JIS (CP932)",
               script->file.encoding == PROFILE_UTF8 ? "UTF-8" : "UTF-16");
    }
    // The values it garbles are not reported one by one.
    if (c->utf8)
        report(c, CHECK_ERROR, 0, "",
               "the file is UTF-8 without a byte-order mark, not code page 932: the program reads its Japanese "
               "text garbled; convert it: %s",
               check_utf8_conversion(medium->script_name).c_str());
    check_sections(c);
    for (const char *section : known_sections)
        check_keys(c, section);
    unsigned shown = SHOWN_SETUP;
    if (check_read_int(script, "registry", "uninstall", 0) != 0)
        shown |= SHOWN_REMOVAL;
    check_texts(c, shown);
    check_names(c);
    check_counts(c);
    std::vector<Installed> installed;
    check_files(c, &installed);
    check_menus(c);
    check_uninstall_command(c, installed);
    check_uninstall_icon(c, installed);
    check_copyright(c);
    check_font(c);
    check_oldver(c);
}
