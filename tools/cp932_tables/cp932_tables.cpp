// cp932_tables: asks the platform how it converts code page 932 and writes
// the tables of the author's checker (src/check/cp932_tables.inc), so that
// the checker reads a script's bytes exactly as the profile functions do.
//
// It asks, one conversion at a time:
//   - MultiByteToWideChar(932, 0, ...) for every single byte and for every
//     lead byte with each of the 256 bytes after it (both the counting and
//     the converting call);
//   - RtlCreateUnicodeStringFromAsciiz, the conversion the profile functions
//     apply to the section, key and default they are given, for the same;
//   - WideCharToMultiByte(932, 0, ...) for every UTF-16 unit 0-0xFFFF;
//   - the system's towlower (ntdll), with which the profile functions compare
//     section and key names.
// The encode direction is written as the inverse of the decode table plus the
// units where the platform differs from it; src/check/cp932_map.cpp forms
// the same inverse (the two loops so marked must agree; the test
// Cp932Tables.EveryUnitEncodesAsOnThePlatform compares every unit).
//
// Re-running it (after a change of the platform under test):
//   cmake --build --preset x86_64 --target cp932_tables
//   build/x86_64/winerun build/x86_64/tools/cp932_tables/cp932_tables.exe src/check/cp932_tables.inc
// from the top of the source tree (Wine's current folder is the host's), then
// rebuild and run the tests under Wine that compare the reader with the
// platform (ctest --preset x86_64 -R "Cp932Tables|ProfileDiff").
// The program stops with a message, and writes nothing, when the platform
// does something the tables cannot hold.
#include <windows.h>
#include <winternl.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

typedef NTSTATUS(WINAPI *CreateFromAsciiz)(UNICODE_STRING *, const char *);
typedef void(WINAPI *FreeUnicode)(UNICODE_STRING *);
typedef WCHAR(__cdecl *ToLower)(WCHAR);

CreateFromAsciiz create_from_asciiz;
FreeUnicode free_unicode;
ToLower ntdll_towlower;

bool failed = false;

// The platform's default character for code page 932 (an unknown pair).
WCHAR default_unit;

void fail(const char *what, unsigned a, unsigned b)
{
    fprintf(stderr, "cp932_tables: %s (%02X %02X)\n", what, a, b);
    failed = true;
}

// The units MultiByteToWideChar gives for these bytes; checks that the
// counting call agrees with the converting one.
std::vector<WCHAR> to_wide(const char *bytes, int len)
{
    WCHAR out[8];
    int counted = MultiByteToWideChar(932, 0, bytes, len, NULL, 0);
    int n = MultiByteToWideChar(932, 0, bytes, len, out, 8);
    if (n != counted)
        fail("counting and converting calls differ", (unsigned char)bytes[0], len > 1 ? (unsigned char)bytes[1] : 0);
    return std::vector<WCHAR>(out, out + (n > 0 ? n : 0));
}

// The units the profile functions make of a zero-ended argument.
std::vector<WCHAR> argument_to_wide(const char *text)
{
    UNICODE_STRING s;
    if (create_from_asciiz(&s, text) < 0)
        return std::vector<WCHAR>();
    std::vector<WCHAR> out(s.Buffer, s.Buffer + s.Length / sizeof(WCHAR));
    free_unicode(&s);
    return out;
}

std::string to_bytes(WCHAR unit)
{
    char out[8];
    int n = WideCharToMultiByte(932, 0, &unit, 1, out, sizeof out, NULL, NULL);
    return std::string(out, n > 0 ? n : 0);
}

// Units 16 to a line; the default character (the unit of an unknown pair)
// written as DF to keep the table short.
void put_units(FILE *f, const char *name, const WCHAR *units, size_t count, size_t row)
{
    fprintf(f, "static const uint16_t %s[%u] = {\n", name, (unsigned)count);
    for (size_t i = 0; i < count; i++) {
        if (row != 0 && i % row == 0)
            fprintf(f, "    // %s row %u\n", name, (unsigned)(i / row));
        if (i % 16 == 0)
            fprintf(f, "   ");
        if (units[i] == default_unit)
            fprintf(f, " DF,");
        else
            fprintf(f, " 0x%04X,", units[i]);
        if (i % 16 == 15 || i + 1 == count)
            fprintf(f, "\n");
    }
    fprintf(f, "};\n\n");
}

// Pairs of numbers, four to a line.
void put_pairs(FILE *f, const char *declaration, const std::vector<unsigned> &values, const char *format)
{
    fprintf(f, "%s = {\n", declaration);
    for (size_t i = 0; i < values.size(); i += 2) {
        if (i % 8 == 0)
            fprintf(f, "   ");
        fprintf(f, " {");
        fprintf(f, format, values[i], values[i + 1]);
        fprintf(f, "},");
        if (i % 8 == 6 || i + 2 >= values.size())
            fprintf(f, "\n");
    }
    fprintf(f, "};\n\n");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: cp932_tables <output file>\n");
        return 2;
    }
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    create_from_asciiz = (CreateFromAsciiz)(void *)GetProcAddress(ntdll, "RtlCreateUnicodeStringFromAsciiz");
    free_unicode = (FreeUnicode)(void *)GetProcAddress(ntdll, "RtlFreeUnicodeString");
    ntdll_towlower = (ToLower)(void *)GetProcAddress(ntdll, "towlower");
    if (!create_from_asciiz || !free_unicode || !ntdll_towlower) {
        fprintf(stderr, "cp932_tables: ntdll lacks a function asked for\n");
        return 1;
    }
    CPINFOEXA info;
    if (!GetCPInfoExA(932, 0, &info)) {
        fprintf(stderr, "cp932_tables: no code page 932 here\n");
        return 1;
    }
    default_unit = info.UnicodeDefaultChar;
    if (GetACP() != 932)
        fprintf(stderr, "cp932_tables: note: the ANSI code page is %u, not 932\n", GetACP());

    // Single bytes; a lead byte alone is one at the end of the text.
    WCHAR single[256];
    std::vector<unsigned> argument_single;  // byte, unit where the argument differs
    unsigned char leads[256];
    unsigned lead_count = 0;
    for (unsigned b = 0; b < 256; b++) {
        char bytes[2] = {(char)b, 0};
        std::vector<WCHAR> w = to_wide(bytes, 1);
        if (w.size() != 1)
            fail("a single byte does not give one unit", b, 0);
        single[b] = w.empty() ? 0 : w[0];
        if (IsDBCSLeadByteEx(932, (BYTE)b))
            leads[lead_count++] = (unsigned char)b;
        if (b == 0)
            continue;
        std::vector<WCHAR> a = argument_to_wide(bytes);
        // A lead byte at the end of an argument may give nothing at all: 0.
        WCHAR unit = a.empty() ? 0 : a[0];
        if (a.size() > 1)
            fail("an argument byte gives more than one unit", b, 0);
        if (unit != single[b]) {
            argument_single.push_back(b);
            argument_single.push_back(unit);
        }
    }
    if (lead_count != 60)
        fail("not 60 lead bytes", lead_count, 0);

    // Lead and trail: one unit for a pair; two units (the lead alone, then
    // the trail on its own) for a trail the lead does not take.
    std::vector<WCHAR> pairs(lead_count * 256);
    std::vector<unsigned> unpaired;  // lead, trail
    for (unsigned l = 0; l < lead_count; l++) {
        for (unsigned t = 0; t < 256; t++) {
            char bytes[3] = {(char)leads[l], (char)t, 0};
            std::vector<WCHAR> w = to_wide(bytes, 2);
            WCHAR unit = 0;
            if (w.size() == 1) {
                unit = w[0];
            } else if (w.size() == 2 && w[0] == single[leads[l]] && w[1] == single[t]) {
                unpaired.push_back(leads[l]);
                unpaired.push_back(t);
                unit = single[leads[l]];
            } else {
                fail("a pair gives neither one unit nor the two bytes apart", leads[l], t);
            }
            pairs[l * 256 + t] = unit;
            if (t == 0)
                continue;
            std::vector<WCHAR> a = argument_to_wide(bytes);
            if (a.size() != 1)
                fail("an argument pair gives other than one unit", leads[l], t);
            if (!a.empty() && a[0] != unit)
                fail("an argument pair converts otherwise than in a text", leads[l], t);
        }
    }

    // The inverse of the decode table: for each unit, the first sequence
    // that decodes to it (single bytes first, then lead and trail in order).
    // Twin of the inverse in cp932_map.cpp.
    std::vector<std::string> inverse(0x10000);
    for (unsigned b = 0; b < 256; b++)
        if (!IsDBCSLeadByteEx(932, (BYTE)b) && inverse[single[b]].empty())
            inverse[single[b]] = std::string(1, (char)b);
    for (unsigned l = 0; l < lead_count; l++)
        for (unsigned t = 0; t < 256; t++) {
            bool paired = true;
            for (size_t i = 0; i < unpaired.size(); i += 2)
                paired = paired && !(unpaired[i] == leads[l] && unpaired[i + 1] == t);
            WCHAR unit = pairs[l * 256 + t];
            if (paired && inverse[unit].empty())
                inverse[unit] = std::string(1, (char)leads[l]) + (char)t;
        }
    // Where the platform differs from the inverse: best fit, the preferred
    // one of two codes for a character, the default character.
    std::vector<unsigned> encode_exceptions;  // unit, bytes (one or two, high byte first)
    for (unsigned u = 0; u < 0x10000; u++) {
        std::string bytes = to_bytes((WCHAR)u);
        std::string expected = inverse[u].empty() ? std::string("?") : inverse[u];
        if (bytes.empty() || bytes.size() > 2) {
            fail("a unit gives no bytes or more than two", u >> 8, u & 0xFF);
            continue;
        }
        if (bytes.size() == 1 && IsDBCSLeadByteEx(932, (BYTE)bytes[0]))
            fail("a unit gives a lone lead byte", u >> 8, u & 0xFF);
        if (bytes == expected)
            continue;
        encode_exceptions.push_back(u);
        encode_exceptions.push_back(bytes.size() == 1 ? (unsigned char)bytes[0]
                                                      : ((unsigned char)bytes[0] << 8) | (unsigned char)bytes[1]);
    }

    // Letters the name comparison folds.
    std::vector<unsigned> lower;  // unit, lower-case unit
    for (unsigned u = 0; u < 0x10000; u++) {
        WCHAR l = ntdll_towlower((WCHAR)u);
        if (l != u) {
            lower.push_back(u);
            lower.push_back(l);
        }
    }

    if (failed)
        return 1;
    FILE *f = fopen(argv[1], "wb");
    if (f == NULL) {
        fprintf(stderr, "cp932_tables: cannot write %s\n", argv[1]);
        return 1;
    }
    fprintf(f, "// Code page 932 as the platform converts it. Generated by tools/cp932_tables\n"
               "// (see there how to run it again); do not edit.\n\n"
               "#define DF 0x%04X  // the default character: an unknown pair\n\n",
            default_unit);
    fprintf(f, "// MultiByteToWideChar: each single byte; a lead byte here is one alone at\n"
               "// the end of the text.\n");
    put_units(f, "cp932_single", single, 256, 0);
    fprintf(f, "// The 60 lead bytes, in order.\n");
    fprintf(f, "static const uint8_t cp932_leads[60] = {\n");
    for (unsigned l = 0; l < lead_count; l++)
        fprintf(f, "%s 0x%02X,%s", l % 16 == 0 ? "   " : "", leads[l], l % 16 == 15 || l + 1 == lead_count ? "\n" : "");
    fprintf(f, "};\n\n");
    fprintf(f, "// MultiByteToWideChar: each lead byte (a row of 256, in the order above)\n"
               "// with each byte after it.\n");
    put_units(f, "cp932_pairs", pairs.data(), pairs.size(), 256);
    fprintf(f, "// Lead byte and byte after it that do not pair: the lead converts alone (as\n"
               "// in cp932_single) and the byte after it on its own.\n");
    put_pairs(f, "static const uint8_t cp932_unpaired[][2]", unpaired, "0x%02X, 0x%02X");
    fprintf(f, "// A zero-ended argument (section, key, default) converts as a text does,\n"
               "// but for these single bytes (a lead byte at its end): byte, unit.\n");
    put_pairs(f, "static const uint16_t cp932_argument_single[][2]", argument_single, "0x%02X, 0x%04X");
    fprintf(f, "// WideCharToMultiByte, where it differs from the inverse of the tables above\n"
               "// (the first code that decodes to the unit; '?' for none): the unit and its\n"
               "// bytes (a pair as lead * 256 + trail).\n");
    put_pairs(f, "static const uint16_t cp932_encode_exceptions[][2]", encode_exceptions, "0x%04X, 0x%04X");
    fprintf(f, "// The system's towlower (the profile functions' name comparison), where it\n"
               "// changes the unit.\n");
    put_pairs(f, "static const uint16_t cp932_lower[][2]", lower, "0x%04X, 0x%04X");
    fprintf(f, "#undef DF\n");
    fclose(f);
    fprintf(stderr, "cp932_tables: %u unpaired, %u argument bytes, %u encode exceptions, %u lower\n",
            (unsigned)unpaired.size() / 2, (unsigned)argument_single.size() / 2,
            (unsigned)encode_exceptions.size() / 2, (unsigned)lower.size() / 2);
    return 0;
}
