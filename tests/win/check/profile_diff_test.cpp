// The checker's reader against the platform: every script is written to a
// new file and read both by GetPrivateProfileStringA and by
// profile_get_string, for the file's own names, case and blank variants of
// them, the program's names, several fallbacks and buffer sizes; result and
// every byte of the buffer (pre-filled with a pattern) must agree.
//
// The scripts: a table of edge cases, generated scripts (a fixed seed: the
// same corpus on every run) in code page 932, UTF-8 and UTF-16, and the seed
// corpus of the fuzz target (tests/fuzz/corpus/fuzz_profile).
#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "check.h"

namespace {

typedef std::vector<uint16_t> Units;

std::string hex(const std::string &bytes, size_t max = 96)
{
    std::string out;
    char two[4];
    for (size_t i = 0; i < bytes.size() && i < max; i++) {
        snprintf(two, sizeof two, "%02X", (unsigned char)bytes[i]);
        out += two;
    }
    if (bytes.size() > max)
        out += "...";
    return out;
}

std::string bytes_of(const char *text, size_t len)
{
    return std::string(text, len);
}
#define B(literal) bytes_of(literal, sizeof literal - 1)

// ---------------------------------------------------------------------------
// The code page tables against the platform, exhaustively.
// ---------------------------------------------------------------------------

Units platform_to_wide(const std::string &bytes)
{
    WCHAR out[8];
    int n = MultiByteToWideChar(932, 0, bytes.data(), (int)bytes.size(), out, 8);
    return Units(out, out + (n > 0 ? n : 0));
}

TEST(Cp932Tables, BytesAndPairsDecodeAndRoundTripAsOnThePlatform)
{
    std::vector<std::string> texts;
    for (int b = 0; b < 256; b++) {
        texts.push_back(std::string(1, (char)b));
        if (IsDBCSLeadByteEx(932, (BYTE)b))
            for (int t = 0; t < 256; t++)
                texts.push_back(std::string(1, (char)b) + (char)t);
    }
    int wrong = 0;
    for (const std::string &text : texts) {
        Units platform = platform_to_wide(text);
        Units ours = cp932_to_wide((const unsigned char *)text.data(), text.size(), NULL);
        char back[8];
        int n = WideCharToMultiByte(932, 0, (const WCHAR *)platform.data(), (int)platform.size(), back, 8, NULL,
                                    NULL);
        size_t bad = 0;
        int round = cp932_round_trips((const unsigned char *)text.data(), text.size(), &bad);
        if (ours != platform || round != (std::string(back, n > 0 ? n : 0) == text)) {
            EXPECT_LT(++wrong, 10) << "bytes " << hex(text);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Cp932Tables, EveryUnitEncodesAsOnThePlatform)
{
    int wrong = 0;
    for (unsigned u = 0; u < 0x10000; u++) {
        WCHAR unit = (WCHAR)u;
        char out[8];
        int n = WideCharToMultiByte(932, 0, &unit, 1, out, sizeof out, NULL, NULL);
        uint16_t ours_unit = (uint16_t)u;
        if (cp932_from_wide(&ours_unit, 1) != std::string(out, n > 0 ? n : 0)) {
            EXPECT_LT(++wrong, 10) << "unit " << std::hex << u;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Cp932Tables, ArgumentsConvertAsForTheProfileFunctions)
{
    typedef NTSTATUS(WINAPI * FromAsciiz)(UNICODE_STRING *, const char *);
    typedef void(WINAPI * FreeString)(UNICODE_STRING *);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FromAsciiz from_asciiz = (FromAsciiz)(void *)GetProcAddress(ntdll, "RtlCreateUnicodeStringFromAsciiz");
    FreeString free_string = (FreeString)(void *)GetProcAddress(ntdll, "RtlFreeUnicodeString");
    ASSERT_TRUE(from_asciiz != NULL && free_string != NULL);
    int wrong = 0;
    for (int b = 1; b < 256; b++)
        for (int t = 0; t < 256; t++) {
            char text[4] = {(char)b, (char)t, 'x', 0};
            UNICODE_STRING s;
            ASSERT_GE(from_asciiz(&s, text), 0);
            // The functions read it as a zero-ended string.
            Units platform;
            for (size_t i = 0; i < s.Length / sizeof(WCHAR) && s.Buffer[i] != 0; i++)
                platform.push_back(s.Buffer[i]);
            free_string(&s);
            if (cp932_argument_to_wide(text) != platform) {
                EXPECT_LT(++wrong, 10) << "argument " << hex(text);
            }
        }
    EXPECT_EQ(wrong, 0);
}

// ---------------------------------------------------------------------------
// Scripts read both ways.
// ---------------------------------------------------------------------------

struct Query {
    std::string section, key, fallback;
    bool every_size;
};

const unsigned fixed_sizes[] = {1, 2, 3, 4, 5, 17, 261, 521, 1042};

const char *const fallbacks[] = {
    "", "dflt", "d  ", "   ", "'q'", "\"q\"", "\x82\xa0\x82\xa0", "a\x81", " x \t",
    "'\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0'",
};

// The program's own names.
const char *const program_names[][2] = {
    {"general", "title"}, {"general", "default_dir"}, {"files", "files"}, {"files", "file_1"},
    {"registry", "clsid_1"}, {"startmenu", "start_1"}, {"setup", "msg1"}, {"", ""}, {"general", ""}, {"", "title"},
};

std::string swap_case(const std::string &s)
{
    std::string out = s;
    for (size_t i = 0; i < out.size(); i++) {
        unsigned char c = (unsigned char)out[i];
        // Trail bytes stay: only whole single-byte letters change.
        if (IsDBCSLeadByteEx(932, c) && i + 1 < out.size()) {
            i++;
            continue;
        }
        if (c >= 'a' && c <= 'z')
            out[i] = (char)(c - 32);
        else if (c >= 'A' && c <= 'Z')
            out[i] = (char)(c + 32);
    }
    return out;
}

// A name of the file as a query: its bytes in code page 932, up to a zero.
std::string narrow(const Units &name)
{
    std::string s = cp932_from_wide(name.data(), name.size());
    return s.substr(0, strlen(s.c_str()));
}

class ProfileDiff : public ::testing::Test {
protected:
    std::string folder;
    unsigned files = 0, calls = 0, failures = 0;

    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%sprofdiff.%lu.%s", temp, GetCurrentProcessId(),
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        folder = name;
        CreateDirectoryA(folder.c_str(), NULL);
    }

    void TearDown() override
    {
        // The files of a disagreement stay for a look.
        if (failures != 0) {
            printf("scripts kept in %s\n", folder.c_str());
            return;
        }
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
            while (FindNextFileA(h, &found));
            FindClose(h);
        }
        RemoveDirectoryA(folder.c_str());
        printf("%u scripts, %u lookups\n", files, calls);
    }

    // A new name for every script: the platform keeps read files by name
    // and time. The time is set back an hour, so that it keeps this one
    // rather than reading it again for every lookup.
    std::string write_script(const std::string &bytes)
    {
        char name[32];
        snprintf(name, sizeof name, "\\s%05u.inf", files++);
        std::string path = folder + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, NULL);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER t;
        t.LowPart = now.dwLowDateTime;
        t.HighPart = now.dwHighDateTime;
        t.QuadPart -= 36000000000ULL;
        FILETIME past = {t.LowPart, t.HighPart};
        SetFileTime(h, NULL, NULL, &past);
        CloseHandle(h);
        return path;
    }

    void lookup(const std::string &path, const ProfileFile &file, const std::string &bytes, const Query &q,
                unsigned size)
    {
        calls++;
        const size_t guard = 8;
        std::string platform(size + guard, '\0'), ours(size + guard, '\0');
        for (size_t i = 0; i < platform.size(); i++)
            platform[i] = ours[i] = (char)(0x41 + (i * 7) % 190);
        int r1 = GetPrivateProfileStringA(q.section.c_str(), q.key.c_str(), q.fallback.c_str(), &platform[0], size,
                                          path.c_str());
        int r2 = profile_get_string(&file, q.section.c_str(), q.key.c_str(), q.fallback.c_str(), &ours[0], size);
        if (r1 == r2 && platform == ours)
            return;
        failures++;
        ADD_FAILURE() << path << " (" << bytes.size() << " bytes: " << hex(bytes, 48) << ")\n  section "
                      << hex(q.section) << " key " << hex(q.key) << " fallback " << hex(q.fallback) << " size "
                      << size << "\n  platform " << r1 << " " << hex(platform) << "\n  reader   " << r2 << " "
                      << hex(ours);
    }

    // A section whole, both ways: the lines GetPrivateProfileSectionA hands
    // over, and the reader's.
    void section_lines(const std::string &path, const ProfileFile &file, const std::string &bytes,
                       const std::string &name)
    {
        calls++;
        std::string platform(bytes.size() * 4 + 64, '\x5A');
        DWORD r = GetPrivateProfileSectionA(name.c_str(), &platform[0], (DWORD)platform.size(), path.c_str());
        const ProfileSection *section = profile_find_section(&file, name.c_str());
        std::string ours = section != NULL ? profile_section_lines(section) : "";
        if (r == ours.size() && platform.compare(0, r + 1, ours + '\0') == 0)
            return;
        failures++;
        ADD_FAILURE() << path << " section " << hex(name) << "\n  platform " << r << " " << hex(platform.substr(0, r))
                      << "\n  reader   " << ours.size() << " " << hex(ours);
    }

    // Reads the script both ways for every query and size.
    void compare(const std::string &bytes, const std::vector<std::string> &names = {})
    {
        if (failures > 20)
            return;
        std::string path = write_script(bytes);
        ProfileFile file;
        profile_load(&file, (const unsigned char *)bytes.data(), bytes.size());

        // Each file's own names at every size for its first key, at the
        // largest size and one of the others (in turn) for the rest.
        std::vector<Query> queries;
        unsigned turn = files;
        auto fallback = [&turn]() { return std::string(fallbacks[turn++ % (sizeof fallbacks / sizeof *fallbacks)]); };
        std::set<std::string> seen;
        for (size_t s = 0; s < file.sections.size() && s < 12; s++) {
            std::string section = narrow(file.sections[s].name);
            if (!seen.insert(section).second)
                continue;
            // That function takes the name as it stands, blanks and all.
            if (section.empty() || (section[0] != ' ' && section[0] != '\t' && section.back() != ' ' &&
                                    section.back() != '\t'))
                section_lines(path, file, bytes, section);
            const std::vector<ProfileKey> &keys = file.sections[s].keys;
            for (size_t k = 0; k < keys.size() && k < 16; k++) {
                std::string key = narrow(keys[k].name);
                queries.push_back({section, key, fallback(), queries.empty()});
                // Variants: letter case, blanks the platform trims and one
                // it does not, a lead byte at the end.
                switch (k % 8) {
                case 0:
                    queries.push_back({swap_case(section), swap_case(key), fallback(), false});
                    break;
                case 2:
                    queries.push_back({" \t" + section + "\x0b", "\x1a" + key + " ", fallback(), false});
                    break;
                case 4:
                    queries.push_back({section, key + "\x81", fallback(), false});
                    break;
                case 6:
                    queries.push_back({section + "\x81\x40", key, fallback(), false});
                    break;
                }
            }
        }
        for (size_t i = 0; i + 1 < names.size() && i < 8; i += 2)
            queries.push_back({names[i], names[i + 1], fallback(), false});
        const size_t program = sizeof program_names / sizeof *program_names;
        for (size_t i = 0; i < 3; i++) {
            const char *const *p = program_names[(files * 3 + i) % program];
            queries.push_back({p[0], p[1], fallback(), false});
        }

        const size_t sizes = sizeof fixed_sizes / sizeof *fixed_sizes;
        unsigned big = (unsigned)bytes.size() * 2 + 64;
        for (const Query &q : queries) {
            lookup(path, file, bytes, q, big);
            for (size_t i = 0; i < sizes; i++)
                if (q.every_size || i == turn % sizes)
                    lookup(path, file, bytes, q, fixed_sizes[i]);
            turn++;
        }
    }
};

// ---------------------------------------------------------------------------
// The edge cases, each named.
// ---------------------------------------------------------------------------

struct Edge {
    const char *what;
    std::string bytes;
};

Units utf16(const char16_t *text)
{
    Units u;
    for (; *text; text++)
        u.push_back(*text);
    return u;
}

std::string as_utf16(const Units &units, bool big)
{
    std::string out = big ? B("\xFE\xFF") : B("\xFF\xFE");
    for (uint16_t u : units) {
        char hi = (char)(u >> 8), lo = (char)(u & 0xFF);
        out += big ? hi : lo;
        out += big ? lo : hi;
    }
    return out;
}

TEST_F(ProfileDiff, EdgeCases)
{
    const Edge edges[] = {
        {"plain", B("[general]\r\ntitle=Tool\r\n")},
        {"line feeds only", B("[general]\ntitle=Tool\n")},
        {"carriage returns only", B("[general]\rtitle=Tool\rmsg=x")},
        {"carriage return inside a line", B("[general]\ntitle=a\rmsg=b\n")},
        {"blanks around names and values", B(" \t[ general ]\x0b\r\n\x0c title \t= \x1a Tool \t\r\n")},
        {"U+3000 is no blank", B("[general]\r\n\x81\x40title\x81\x40=\x81\x40Tool\x81\x40\r\n")},
        {"^Z at the end", B("[general]\r\ntitle=Tool\r\n\x1a")},
        {"text after the header", B("[general] ; note\r\ntitle=Tool\r\n")},
        {"last ]", B("[gen]eral]\r\ntitle=Tool\r\n[files]x]\r\nfiles=1\r\n")},
        {"[ without ]", B("[general\r\ntitle=Tool\r\n[x=y\r\n")},
        {"empty section name", B("[]\r\ntitle=Tool\r\n[ ]\r\ntitle=Two\r\n")},
        {"keys before any section", B("title=Top\r\n[general]\r\ntitle=Tool\r\n")},
        {"repeated section", B("[general]\r\nmsg=1\r\n[GENERAL]\r\ntitle=Tool\r\n")},
        {"repeated key", B("[general]\r\ntitle=One\r\nTITLE=Two\r\n")},
        {"key without =", B("[general]\r\ntitle\r\ntitle=Tool\r\n")},
        {"empty names", B("[general]\r\n=a\r\n=b\r\nx=1\r\n=c\r\n")},
        {"comments are keys", B("[general]\r\n;title=x\r\n; title=y\r\n")},
        {"quotes", B("[general]\r\ntitle='Tool'\r\nmsg=\"x\"\r\na='\r\nb=''\r\nc=\"x'\r\nd=' '\r\ne=\"\"\"\r\n")},
        {"= in the value", B("[general]\r\ntitle==a=b\r\n")},
        {"NUL in a value", B("[general]\r\ntitle=ab\0cd\r\n")},
        {"NUL in a name", B("[general]\r\nti\0tle=x\r\ntitle=Tool\r\n\0=z\r\n=w\r\n")},
        {"NUL in a section name", B("[gen\0eral]\r\ntitle=Tool\r\n")},
        {"NUL after a blank", B("[general]\r\ntitle \0=x\r\nmsg=y \0\r\n")},
        {"lead byte before a line feed", B("[general]\r\ntitle=a\x81\nmsg=b\r\nx=\x81\r\n")},
        {"lead byte at the end", B("[general]\r\ntitle=a\x81")},
        {"lead byte and NUL", B("[general]\r\ntitle=\x81\0xyz\r\nmsg=a\x81\0\x81\0\r\n")},
        {"unknown pairs", B("[general]\r\ntitle=\x85\x40\xeb\x40\x81\x7f\xa0\x80\xfd\xfe\xff\r\n")},
        {"NEC and IBM codes", B("[general]\r\ntitle=\xed\x40\xfa\x40\x87\x90\xee\xef\x81\xca\r\n")},
        {"backslash trail bytes", B("[\x83\x5c\x83\x74\x83\x67]\r\n\x95\x5c=\x94\x5c\\\r\n")},
        {"full-width letters keep their case", B("[\x82\x60]\r\n\x83\x9f=\x84\x40\r\n")},
        {"cut double-byte values", B("[general]\r\ntitle=ab\x82\xa0\x82\xa0\x82\xa0\x82\xa0\r\n")},
        {"empty file", B("")},
        {"blanks only", B(" \r\n\t\r\n")},
        {"UTF-8", B("\xEF\xBB\xBF[general]\r\ntitle=\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80\r\n")},
        {"UTF-8 broken sequences",
         B("\xEF\xBB\xBF[general]\r\ntitle=\xFF\xE3\x81\xED\xA0\x80\xC0\x80\xF4\x90\x80\x80x\xE3")},
        {"UTF-8 BOM alone", B("\xEF\xBB\xBF")},
        {"two bytes of the UTF-8 mark", B("\xEF\xBB[general]\r\ntitle=x\r\n")},
        {"UTF-16LE", as_utf16(utf16(u"[general]\r\ntitle=Tool\u00e9\u20ac\uff71\r\n"), false)},
        {"UTF-16BE", as_utf16(utf16(u"[general]\r\ntitle=Tool\u00e9\u20ac\uff71\r\n"), true)},
        {"UTF-16 blanks", as_utf16(utf16(u"[s]\r\n\u3000a=1\r\n\u00a0b=2\r\n\u0085c=3\r\n\u000bd=4\r\n"), false)},
        {"UTF-16 letters that fold", as_utf16(utf16(u"[\u212aey]\r\nk=1\r\n[\u0130]\r\ni=2\r\n[\u00c4]\r\nx=3"), false)},
        {"UTF-16 surrogates", as_utf16(utf16(u"[s]\r\nk=\xd800x\xdc00\U0001F600\r\n"), false)},
        {"UTF-16 mark alone", B("\xFF\xFE")},
    };
    for (const Edge &edge : edges) {
        SCOPED_TRACE(edge.what);
        compare(edge.bytes, {"general", "title", "s", "k", "[x", "y", "gen]eral", "title"});
    }
}

// ---------------------------------------------------------------------------
// Generated scripts.
// ---------------------------------------------------------------------------

class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return (unsigned)(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    template <size_t N> const char *pick(const char *const (&list)[N]) { return list[below(N)]; }

private:
    uint64_t state;
};

const char *const word_names[] = {
    "general", "title", "msg", "default_dir", "application", "files", "file_1", "file_2", "file_10", "uninst",
    "uninst_1", "registry", "clsid_1", "startmenu", "start_1", "menus", "setup", "msg1", "copyright", "file",
    "font", "FaceName", "oldver", "check", "break", "welcome", "goodby", "start", "Title", "GENERAL", "a", "K",
};

const char *const dbcs_names[] = {
    "\x83\x5c\x83\x74\x83\x67", "\x95\x5c", "\x94\x5c", "\x82\xa0\x82\xa2", "\x82\x60", "\x82\x81", "\x83\x9f",
    "\x83\xbf", "\x84\x40", "\x84\x70", "\xed\x40", "\xfa\x40", "\x87\x90", "\xb1\xb2", "\x81\x40", "\x81\x5c",
};

const char *const blanks[] = {" ", "\t", "\x0b", "\x0c", "\x1a", " \t ", "\x81\x40"};

const char *const line_ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\n", "\r", "\n\r", "\r\r\n", "\r\n\r\n"};

const char *const value_words[] = {"Tool", "C:\\Program Files\\x", "a b", "=", "[x]", ";", "\\n", "'", "\"",
                                   "1", "-50", "x,y,1,2", "\x83\x5c\x83\x74\x83\x67", "\x95\x5c\x8e\xa6"};

// Bytes that code page 932 converts in ways of their own.
const char *const odd_bytes[] = {"\x80", "\xa0", "\xfd", "\xfe", "\xff", "\x85\x40", "\xeb\x40", "\x81\x7f",
                                 "\x81\xfd", "\x81\n", "\x81\r", "\x81\t", "\x81 ", "\x81=", "\x81]", "\x9f\x5c"};

class ScriptMaker {
public:
    explicit ScriptMaker(uint64_t seed) : rnd(seed) {}

    std::string bytes;
    std::vector<std::string> names;  // section, key: queries of the script's own names

    void make()
    {
        bytes.clear();
        names.clear();
        unsigned lines = rnd.below(4) == 0 ? rnd.below(60) : rnd.below(14);
        std::string section = "";
        for (unsigned i = 0; i < lines; i++) {
            unsigned kind = rnd.below(100);
            if (kind < 15) {
                section = name();
                header(section);
            } else if (kind < 70) {
                std::string key = name();
                names.push_back(section);
                names.push_back(key);
                key_line(key);
            } else if (kind < 78) {
                blank(), bytes += name(), blank();
            } else if (kind < 84) {
                blank(), bytes += "=", blank(), value();
            } else if (kind < 88) {
                bytes += ";", value();
            } else if (kind < 94) {
                blank();
            } else {
                // Any bytes at all.
                for (unsigned n = rnd.below(20); n > 0; n--)
                    bytes += (char)rnd.below(256);
            }
            if (i + 1 < lines || rnd.chance(70))
                bytes += rnd.pick(line_ends);
        }
        if (rnd.chance(3))
            bytes += "\x1a";
        if (rnd.chance(3))
            bytes += (char)(0x81 + rnd.below(30));
    }

private:
    Random rnd;

    void blank()
    {
        if (rnd.chance(30))
            bytes += rnd.pick(blanks);
    }

    std::string name()
    {
        std::string n;
        unsigned kind = rnd.below(100);
        if (kind < 55) {
            n = rnd.pick(word_names);
            if (rnd.chance(20))
                n = swap_flip(n);
        } else if (kind < 75) {
            n = rnd.pick(dbcs_names);
            if (rnd.chance(50))
                n += rnd.pick(word_names);
        } else if (kind < 85) {
            for (unsigned k = 1 + rnd.below(8); k > 0; k--)
                n += (char)("abcXYZ_019"[rnd.below(10)]);
        } else if (kind < 90) {
            n = std::string(rnd.pick(word_names)) + rnd.pick(blanks) + rnd.pick(word_names);
        } else if (kind < 94) {
            n = std::string(rnd.pick(odd_bytes)) + rnd.pick(word_names);
        } else if (kind < 97) {
            n = std::string(rnd.pick(word_names)) + '\0' + "x";
        } else {
            n = "";
        }
        return n;
    }

    std::string swap_flip(const std::string &s)
    {
        std::string out = s;
        for (char &c : out)
            if (rnd.chance(50) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                c = (char)(c ^ 0x20);
        return out;
    }

    void header(const std::string &section)
    {
        blank();
        bytes += "[";
        blank();
        bytes += section;
        blank();
        unsigned kind = rnd.below(100);
        if (kind < 85)
            bytes += "]";
        else if (kind < 90)
            bytes += "] ; x";
        else if (kind < 95)
            bytes += "]x]";
        blank();
    }

    void key_line(const std::string &key)
    {
        blank();
        bytes += key;
        blank();
        bytes += "=";
        blank();
        value();
        blank();
    }

    void value()
    {
        unsigned kind = rnd.below(100);
        std::string v;
        unsigned pieces = kind < 10 ? 40 + rnd.below(200) : rnd.below(6);
        for (unsigned i = 0; i < pieces; i++) {
            unsigned piece = rnd.below(100);
            if (piece < 40)
                v += rnd.pick(value_words);
            else if (piece < 60)
                v += dbcs_char();
            else if (piece < 70)
                v += rnd.pick(odd_bytes);
            else if (piece < 73)
                v += '\0';
            else if (piece < 85)
                v += " ";
            else
                v += (char)(0x21 + rnd.below(0x5E));
        }
        if (rnd.chance(15)) {
            const char *quote = rnd.chance(50) ? "'" : "\"";
            v = quote + v + (rnd.chance(85) ? quote : "");
        }
        bytes += v;
    }

    std::string dbcs_char()
    {
        static const unsigned char leads[] = {0x81, 0x82, 0x83, 0x88, 0x89, 0x95, 0x9f, 0xe0, 0xea, 0xed, 0xfa, 0xfc};
        unsigned char lead = leads[rnd.below(sizeof leads)];
        unsigned char trail = (unsigned char)(0x40 + rnd.below(0xFD - 0x40));
        return std::string(1, (char)lead) + (char)trail;
    }
};

// Units that UTF-16 and UTF-8 files may hold beyond code page 932.
const uint16_t exotic_units[] = {0x3000, 0x00A0, 0x0085, 0x2028, 0x212A, 0x0130, 0x00C4, 0x00E4, 0x20AC, 0xFEFF,
                                 0xFFFE, 0xFFFF, 0xD800, 0xDC00, 0x00E9, 0xFF21, 0xFF41, 0x0000, 0x001A, 0x000B,
                                 0x2019, 0x00A5, 0x301C, 0xFF5E, 0x2225, 0x00AD, 0x0027, 0x0022, 0x005B, 0x003D};

Units unicode_text(const std::string &cp932, Random &rnd)
{
    Units units;
    if (!cp932.empty()) {
        int n = MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), NULL, 0);
        units.resize(n);
        MultiByteToWideChar(932, 0, cp932.data(), (int)cp932.size(), (WCHAR *)units.data(), n);
    }
    Units out;
    for (uint16_t u : units) {
        if (u != '\n' && u != '\r' && rnd.chance(4)) {
            unsigned kind = rnd.below(10);
            u = kind < 7 ? exotic_units[rnd.below(sizeof exotic_units / sizeof *exotic_units)]
                         : (uint16_t)(1 + rnd.below(0xFFFF));
        }
        out.push_back(u);
        if (rnd.chance(1)) {
            out.push_back(0xD83D);
            out.push_back(0xDE00);
        }
    }
    return out;
}

std::string as_utf8(const Units &units, Random &rnd)
{
    static const char *const broken[] = {"\x80", "\xff", "\xc0\x80", "\xc1\xbf", "\xe3\x81", "\xf4\x90\x80\x80",
                                         "\xf0\x80\x80\x80", "\xed\xa0\x80", "\xe0\x80\x80", "\xf8\x88\x80\x80\x80",
                                         "\xef\xbf\xbe", "\xf0\x9f\x98"};
    std::string out = B("\xEF\xBB\xBF");
    for (size_t i = 0; i < units.size(); i++) {
        unsigned c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | c >> 6), out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | c >> 12), out += (char)(0x80 | ((c >> 6) & 0x3F)), out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | c >> 18), out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F)), out += (char)(0x80 | (c & 0x3F));
        }
        if (rnd.chance(2))
            out += broken[rnd.below(sizeof broken / sizeof *broken)];
    }
    if (rnd.chance(10))
        out += broken[rnd.below(sizeof broken / sizeof *broken)];
    return out;
}

TEST_F(ProfileDiff, GeneratedCodePage932Scripts)
{
    ScriptMaker maker(932);
    for (int i = 0; i < 2400; i++) {
        maker.make();
        compare(maker.bytes, maker.names);
    }
}

TEST_F(ProfileDiff, GeneratedUtf8Scripts)
{
    ScriptMaker maker(8);
    Random rnd(88);
    for (int i = 0; i < 700; i++) {
        maker.make();
        compare(as_utf8(unicode_text(maker.bytes, rnd), rnd), maker.names);
    }
}

TEST_F(ProfileDiff, GeneratedUtf16Scripts)
{
    ScriptMaker maker(16);
    Random rnd(1616);
    for (int i = 0; i < 900; i++) {
        maker.make();
        compare(as_utf16(unicode_text(maker.bytes, rnd), i % 3 == 0), maker.names);
    }
}

// The fuzz target's seeds, the scripts its fuzzing found worth keeping.
TEST_F(ProfileDiff, FuzzSeeds)
{
    std::string dir = std::string("Z:") + PROFILE_SEEDS_DIR;
    for (char &c : dir)
        if (c == '/')
            c = '\\';
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << dir;
    unsigned seeds = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        HANDLE f = CreateFileA((dir + "\\" + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                               OPEN_EXISTING, 0, NULL);
        ASSERT_NE(f, INVALID_HANDLE_VALUE) << found.cFileName;
        std::string bytes(GetFileSize(f, NULL), '\0');
        DWORD got = 0;
        ReadFile(f, &bytes[0], (DWORD)bytes.size(), &got, NULL);
        CloseHandle(f);
        bytes.resize(got);
        // An odd-length UTF-16 file is read past its end by the platform.
        bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                           (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
        if (utf16 && bytes.size() % 2 != 0)
            continue;
        SCOPED_TRACE(found.cFileName);
        compare(bytes);
        seeds++;
    } while (FindNextFileA(h, &found));
    FindClose(h);
    EXPECT_GE(seeds, 20u);
}

}  // namespace
