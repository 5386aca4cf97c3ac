// The checker's reader: where in the file a line is (its line number as an
// editor counts it) and which bytes hold a value. What the reader reads is
// compared with the platform under Wine (tests/win/check) and fuzzed
// (tests/fuzz/fuzz_profile.cpp); these two are seen by neither.
#include <gtest/gtest.h>

#include <string>

#include "check.h"

namespace {

std::string bytes_of(const char *text, size_t len)
{
    return std::string(text, len);
}
#define B(literal) bytes_of(literal, sizeof literal - 1)

std::string utf16(const char *ascii, bool big)
{
    std::string out = big ? B("\xFE\xFF") : B("\xFF\xFE");
    for (const char *p = ascii; *p; p++) {
        out += big ? '\0' : *p;
        out += big ? *p : '\0';
    }
    return out;
}

struct Place {
    const char *what;
    std::string bytes;
    const char *section;
    const char *key;  // NULL: the section's header
    unsigned line;
    size_t value_from, value_to;
};

const Place places[] = {
    {"header", B("[general]\r\ntitle=Tool\r\n"), "general", NULL, 1, 0, 0},
    {"key", B("[general]\r\ntitle=Tool\r\n"), "general", "title", 2, 17, 21},
    {"blank lines between", B("\r\n[s]\r\n\r\n\r\nk=v\r\n"), "s", "k", 5, 13, 14},
    {"header after blanks and before text", B("\n\n  [s] x\nk=v"), "s", NULL, 3, 0, 0},
    {"carriage returns alone end no line", B("[s]\rk=v\rj=w\n\nm=x"), "s", "j", 1, 10, 11},
    {"the line after those", B("[s]\rk=v\rj=w\n\nm=x"), "s", "m", 3, 15, 16},
    {"blanks around the value", B("[s]\nk = \t v w \t\r\n"), "s", "k", 2, 10, 13},
    {"empty value", B("[s]\nk=\r\n"), "s", "k", 2, 6, 6},
    {"line without =", B("[s]\n  key  \r\n"), "s", "key", 2, 9, 9},
    {"double-byte value", B("[s]\nk=\x83\x5c\x83\x74\x83\x67\nx=1"), "s", "k", 2, 6, 12},
    {"a lead byte takes the line feed along", B("[s]\nk=a\x81\nj=b\nm=c"), "s", "k", 2, 6, 12},
    {"the line feed taken still counts", B("[s]\nk=a\x81\nj=b\nm=c"), "s", "m", 4, 15, 16},
    {"zero in the value", B("[s]\nk=ab\0cd\n"), "s", "k", 2, 6, 11},
    {"UTF-8: the mark counts", B("\xEF\xBB\xBF[s]\nk=\xE3\x81\x82\n"), "s", "k", 2, 9, 12},
    {"UTF-8: four bytes for two units", B("\xEF\xBB\xBF[s]\nk=\xF0\x9F\x98\x80x\n"), "s", "k", 2, 9, 14},
    {"UTF-16LE", utf16("[s]\r\n\r\nk=vw\r\n", false), "s", "k", 3, 20, 24},
    {"UTF-16BE", utf16("[s]\r\n\r\nk=vw\r\n", true), "s", "k", 3, 20, 24},
    {"UTF-16: an odd last byte is left out", utf16("[s]\nk=v", false) + "w", "s", "k", 2, 14, 16},
};

TEST(ProfilePlaces, LinesAndValueBytes)
{
    for (const Place &p : places) {
        SCOPED_TRACE(p.what);
        ProfileFile file;
        profile_load(&file, (const unsigned char *)p.bytes.data(), p.bytes.size());
        const ProfileSection *section = profile_find_section(&file, p.section);
        ASSERT_TRUE(section != NULL);
        if (p.key == NULL) {
            EXPECT_EQ(section->line, p.line);
            continue;
        }
        const ProfileKey *key = profile_find_key(section, p.key);
        ASSERT_TRUE(key != NULL);
        EXPECT_EQ(key->line, p.line);
        EXPECT_EQ(key->value_from, p.value_from);
        EXPECT_EQ(key->value_to, p.value_to);
    }
}

}  // namespace
