// setupcheck, the author's checker: reads a medium's setup.inf as the
// program reads it and reports every mistake before the medium ships.
// Portable code (no platform call): built natively and for Windows.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// cp932_map.cpp: code page 932 as the platform converts it (tables taken
// from the platform itself by tools/cp932_tables).
// ---------------------------------------------------------------------------

typedef std::vector<uint16_t> WideText;

// Bytes to UTF-16 as MultiByteToWideChar(932, 0, ...) converts them: a lead
// byte takes the byte after it whatever it is (a line feed too) but for a
// zero byte; an unknown pair or a lead byte alone gives the platform's
// default character (U+30FB). When offsets is not NULL, it gets the byte
// offset of each UTF-16 unit's first byte.
WideText cp932_to_wide(const unsigned char *bytes, size_t len, std::vector<size_t> *offsets);

// UTF-16 to bytes as WideCharToMultiByte(932, 0, ...) converts them (best
// fit, '?' for a character without one).
std::string cp932_from_wide(const uint16_t *wide, size_t len);

// 1 when the bytes are code page 932 text that comes back unchanged from the
// platform's conversion to UTF-16 and back; 0 and the offset of the first
// byte that does not in *bad otherwise.
int cp932_round_trips(const unsigned char *bytes, size_t len, size_t *bad);

// A zero-ended argument of the profile functions (section, key, default) as
// they convert it: as cp932_to_wide, except that a lead byte at the end
// gives a zero unit, where the string then ends.
WideText cp932_argument_to_wide(const char *text);

// The platform's lower case of a unit (towlower), with which the profile
// functions compare section and key names.
uint16_t cp932_lower_unit(uint16_t unit);

// ---------------------------------------------------------------------------
// profile_file.cpp: the script read as the platform's profile functions read
// it (GetPrivateProfileStringA of the platform this program is tested on).
// ---------------------------------------------------------------------------

enum ProfileEncoding { PROFILE_ANSI = 1, PROFILE_UTF8, PROFILE_UTF16LE, PROFILE_UTF16BE };

// One line of a section as the reader keeps it: the key name (blanks
// around it trimmed) and, for a line with '=', the value (blanks around it
// trimmed). Name and value end at a zero unit, as the platform reads them;
// value_from and value_to cover the value as written, past such a unit.
struct ProfileKey {
    WideText name;
    WideText value;
    int has_value;      // 0 for a line without '='
    unsigned line;      // 1-based line of the file, counted in line feeds
    size_t value_from;  // the value's bytes in the file: [value_from, value_to)
    size_t value_to;    // (for a line without '=': both at the line's end)
};

// A section: the lines after its header up to the next header. The first
// section of a file is the nameless one before any header.
struct ProfileSection {
    WideText name;      // between '[' and the last ']' of the header line
    unsigned line;      // line of the header (0 for the nameless section)
    std::vector<ProfileKey> keys;
};

struct ProfileFile {
    ProfileEncoding encoding;
    std::vector<ProfileSection> sections;
};

// Reads a file's bytes as the profile functions do.
void profile_load(ProfileFile *file, const unsigned char *data, size_t len);

// GetPrivateProfileStringA(section, key, fallback, buf, size) over the file,
// byte for byte: the same text in buf and the same result. section and key
// are not NULL; buf holds size bytes (size > 0).
int profile_get_string(const ProfileFile *file, const char *section, const char *key, const char *fallback,
                       char *buf, unsigned size);

// The section that a lookup of name finds (the first of that name), or NULL.
const ProfileSection *profile_find_section(const ProfileFile *file, const char *name);

// name as a lookup compares it with the names of the file: in UTF-16, the
// blanks around it dropped.
WideText profile_query_name(const char *name);

// The key that a lookup of name in section finds (the first of that name),
// or NULL.
const ProfileKey *profile_find_key(const ProfileSection *section, const char *name);

// The section in the form GetPrivateProfileSectionA hands it over, without
// its size limit (empty for a NULL section): "name=value", or the bare name of a line without '=',
// each ended by a zero byte; comments (';') and lines without name and
// value left out.
std::string profile_section_lines(const ProfileSection *section);

// ---------------------------------------------------------------------------
// check_script.cpp: values read as the program reads them.
// ---------------------------------------------------------------------------

struct CheckScript {
    std::string bytes;  // the file as it stands
    ProfileFile file;
};

void check_script_load(CheckScript *script, const std::string &bytes);

// The value the program gets for key (the fallback when it is missing), cut
// to size bytes as the program cuts it. Returns the length stored.
size_t check_read(const CheckScript *script, const char *section, const char *key, const char *fallback, char *buf,
                  size_t size);

// The value whole, however long ("" when the key is missing).
std::string check_read_whole(const CheckScript *script, const char *section, const char *key);

// A leading decimal number as the program reads counts and switches.
int check_read_int(const CheckScript *script, const char *section, const char *key, int fallback);

// The last entry stem_N that the program reads, as it works it out.
unsigned int check_last_entry(const CheckScript *script, const char *section, const char *count_key,
                              const char *stem);

// A name or value of the file in code page 932, as the platform hands it
// over.
std::string check_narrow(const WideText &text);

// The line of key in section, else of the section's header, else 0.
unsigned check_line_of(const CheckScript *script, const char *section, const char *key);

// Field index (from 0) of an entry split as the program splits entries: runs
// of commas are one separator, leading commas are skipped. 1 and its bytes
// [*from, *to) when there is such a field.
int check_field(const char *text, int index, size_t *from, size_t *to);

// 1 when the text starts with a number as the program reads numbers.
int check_is_number(const char *text);

// 1 when the file, read as code page 932 (it has no byte-order mark), is
// UTF-8 instead: all of it decodes as UTF-8 and it holds at least one
// character of more than one byte (ASCII alone is code page 932 as well).
// The program then reads every Japanese value garbled.
int check_is_utf8(const CheckScript *script);

// The shell command that converts the UTF-8 file name (in the current
// folder) to code page 932 in place.
std::string check_utf8_conversion(const char *name);

// ---------------------------------------------------------------------------
// check_rules.cpp: the mistakes a script can hold.
// ---------------------------------------------------------------------------

// Where the files of a medium are: the folder of the script, and a folder for
// each further disk, known by the label that file entries name.
struct CheckMedium {
    void *context;
    // 1 when name (a path below the folder of the disk labelled label; the
    // script's folder for any label it does not know) is a file: its size in
    // *size and up to max bytes of its start in *head.
    int (*open)(void *context, const char *label, const char *name, size_t max, uint64_t *size, std::string *head);
    // 1 when the label names a disk of its own.
    int (*knows_label)(void *context, const char *label);
    const char *script_name;  // the script's own name on the medium
};

enum CheckLevel { CHECK_ERROR, CHECK_WARNING };

struct CheckFinding {
    unsigned line;      // 0: the file as a whole
    CheckLevel level;
    std::string where;  // "section/key", "[section]" or ""
    std::string what;
};

void check_script(const CheckScript *script, const CheckMedium *medium, std::vector<CheckFinding> *findings);

// 1 when the file holds a version resource (a program or library in the
// platform's executable format); only the first bytes are needed.
int check_has_version_resource(const std::string &head, uint64_t size);
enum { CHECK_VERSION_HEAD = 1 << 20 };

// ---------------------------------------------------------------------------
// check_fix.cpp: sizes and totals written in.
// ---------------------------------------------------------------------------

// The script with each file entry's size and the two totals made right, all
// other bytes as they stand. 1 when it changed; 0 and the reason in *why
// when it cannot be fixed (a file that is not code page 932).
int check_fix(const CheckScript *script, const CheckMedium *medium, std::string *fixed, std::string *why);
