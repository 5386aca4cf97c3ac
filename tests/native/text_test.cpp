// Bounded CP932 text helpers (include/text.h), built natively with the
// address and undefined-behaviour sanitizers.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "text.h"

namespace {

// ソ = 83 5C, フ = 83 74, ト = 83 67: the trail byte of ソ is a backslash.
const char kSofuto[] = "\x83\x5C\x83\x74\x83\x67";
// 表 = 95 5C, 示 = 8E A6.
const char kHyouji[] = "\x95\x5C\x8E\xA6";

// A buffer with guard bytes on both sides, so that a write outside [0, size)
// is seen even where the sanitizer would not see it (inside one allocation).
struct Guarded {
    std::vector<char> bytes;
    size_t size;
    explicit Guarded(size_t n) : bytes(n + 16, '\x7F'), size(n) {}
    char *buf() { return bytes.data() + 8; }
    bool guards_intact() const
    {
        for (size_t i = 0; i < 8; i++) {
            if (bytes[i] != '\x7F' || bytes[8 + size + i] != '\x7F')
                return false;
        }
        return true;
    }
};

// ------------------------------------------------------------------ scanning

TEST(TextScan, BackslashInsideADoubleByteCharacterIsNotFound)
{
    // The trap that every scan must avoid: a byte scan finds a backslash.
    ASSERT_NE(strchr(kSofuto, '\\'), nullptr);
    EXPECT_EQ(text_find(kSofuto, '\\'), nullptr);
    EXPECT_EQ(text_find_last(kSofuto, '\\'), nullptr);
    EXPECT_EQ(text_find(kHyouji, '\\'), nullptr);

    std::string path = std::string("C:\\") + kSofuto + "\\";
    const char *first = text_find(path.c_str(), '\\');
    const char *last = text_find_last(path.c_str(), '\\');
    ASSERT_NE(first, nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(first - path.c_str(), 2);
    EXPECT_EQ(last - path.c_str(), (ptrdiff_t)path.size() - 1);
}

TEST(TextScan, FindLastGivesTheFinalRealBackslash)
{
    std::string path = std::string("C:\\Program Files\\") + kSofuto + "\\";
    const char *last = text_find_last(path.c_str(), '\\');
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last - path.c_str(), (ptrdiff_t)path.size() - 1);

    // Without the closing backslash: the one before ソフト, not ソ's trail.
    std::string file = std::string("C:\\Program Files\\") + kSofuto;
    last = text_find_last(file.c_str(), '\\');
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last - file.c_str(), (ptrdiff_t)strlen("C:\\Program Files"));

    // A name that ends in 表 (trail byte 5C).
    std::string dir = std::string("D:\\") + kHyouji + "\\" + kHyouji;
    last = text_find_last(dir.c_str(), '\\');
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last - dir.c_str(), 7);
}

TEST(TextScan, NonConstOverloadsPointIntoTheSameText)
{
    char path[] = "a\\b\\c";
    char *first = text_find(path, '\\');
    char *last = text_find_last(path, '\\');
    ASSERT_NE(first, nullptr);
    ASSERT_NE(last, nullptr);
    *last = '\0';
    EXPECT_STREQ(path, "a\\b");
    EXPECT_EQ(first, path + 1);
    EXPECT_EQ(text_find(path, 'z'), nullptr);
}

TEST(TextScan, NextStepsOverPairsAndStopsAtTheEnd)
{
    const char *p = kSofuto;
    EXPECT_EQ(text_next(p), p + 2);
    const char *end = p + strlen(p);
    EXPECT_EQ(text_next(end), end);
    // A lead byte right before the terminator is a character of its own:
    // the step must not jump over the terminator.
    const char lone[] = "a\x83";
    EXPECT_EQ(text_next(lone + 1), lone + 2);
    EXPECT_EQ(*text_next(lone + 1), '\0');
    // Lead byte ranges of code page 932.
    EXPECT_FALSE(text_is_lead_byte(0x80));
    EXPECT_TRUE(text_is_lead_byte(0x81));
    EXPECT_TRUE(text_is_lead_byte(0x9F));
    EXPECT_FALSE(text_is_lead_byte(0xA0));  // half-width katakana are single bytes
    EXPECT_FALSE(text_is_lead_byte(0xDF));
    EXPECT_TRUE(text_is_lead_byte(0xE0));
    EXPECT_TRUE(text_is_lead_byte(0xFC));
    EXPECT_FALSE(text_is_lead_byte(0xFD));
}

// ------------------------------------------------------------------- cutting

TEST(TextCopy, CutsAtTheBufferWithoutSplittingACharacter)
{
    char buf[16];
    EXPECT_EQ(text_copy(buf, 4, kSofuto), 2u);  // "ソ" + terminator; フ would need 2 more
    EXPECT_STREQ(buf, "\x83\x5C");
    EXPECT_EQ(text_copy(buf, 3, kSofuto), 2u);
    EXPECT_STREQ(buf, "\x83\x5C");
    EXPECT_EQ(text_copy(buf, 2, kSofuto), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(text_copy(buf, 5, kSofuto), 4u);
    EXPECT_STREQ(buf, "\x83\x5C\x83\x74");
    EXPECT_EQ(text_copy(buf, 7, kSofuto), 6u);
    EXPECT_STREQ(buf, kSofuto);

    std::string mixed = std::string("a") + kSofuto;  // a ソ フ ト: 1 + 6 bytes
    EXPECT_EQ(text_copy(buf, 3, mixed.c_str()), 1u);
    EXPECT_STREQ(buf, "a");
    EXPECT_EQ(text_copy(buf, 4, mixed.c_str()), 3u);
}

TEST(TextCopy, SizeZeroWritesNothingAndSizeOneGivesEmptyText)
{
    Guarded g(0);
    EXPECT_EQ(text_copy(g.buf(), 0, "abc"), 0u);
    EXPECT_TRUE(g.guards_intact());

    Guarded one(1);
    EXPECT_EQ(text_copy(one.buf(), 1, "abc"), 0u);
    EXPECT_EQ(one.buf()[0], '\0');
    EXPECT_TRUE(one.guards_intact());
}

TEST(TextCopy, CopyNTakesAtMostNBytesAndKeepsWholeCharacters)
{
    char buf[16];
    EXPECT_EQ(text_copy_n(buf, sizeof buf, "C:\\Windows", 3), 3u);
    EXPECT_STREQ(buf, "C:\\");
    EXPECT_EQ(text_copy_n(buf, sizeof buf, kSofuto, 3), 2u);  // n ends inside フ
    EXPECT_STREQ(buf, "\x83\x5C");
    EXPECT_EQ(text_copy_n(buf, sizeof buf, "ab", 10), 2u);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(text_copy_n(buf, 2, "abc", 3), 1u);
    EXPECT_STREQ(buf, "a");
}

TEST(TextCopy, CopyNReadsNothingBeyondNBytes)
{
    // A counted piece of text with no terminator, ending in a lead byte:
    // deciding whether the pair fits must not look at the byte after it.
    char *src = new char[2]{'a', '\x83'};
    char buf[16];
    EXPECT_EQ(text_copy_n(buf, sizeof buf, src, 2), 1u);
    EXPECT_STREQ(buf, "a");
    EXPECT_EQ(text_fit(src, 2), 1u);
    delete[] src;
}

TEST(TextCopy, OverlappingCopyWithinOneBuffer)
{
    char buf[16] = "xxC:\\dir";
    EXPECT_EQ(text_copy(buf, sizeof buf, buf + 2), 6u);
    EXPECT_STREQ(buf, "C:\\dir");
}

TEST(TextFit, LongestPrefixEndingOnACharacterBoundary)
{
    EXPECT_EQ(text_fit(kSofuto, 0), 0u);
    EXPECT_EQ(text_fit(kSofuto, 1), 0u);
    EXPECT_EQ(text_fit(kSofuto, 2), 2u);
    EXPECT_EQ(text_fit(kSofuto, 3), 2u);
    EXPECT_EQ(text_fit(kSofuto, 100), 6u);
    EXPECT_EQ(text_fit("abc", 2), 2u);
    // Half-width katakana (A1..DF) are single bytes.
    EXPECT_EQ(text_fit("\xB1\xB2\xB3", 2), 2u);
}

TEST(TextAppend, AppendsAndCutsAtTheBuffer)
{
    char buf[12] = "C:\\";
    EXPECT_EQ(text_append(buf, sizeof buf, "dir\\"), 7u);
    EXPECT_STREQ(buf, "C:\\dir\\");
    // 4 bytes of room: ソ and フ fit, ト does not.
    EXPECT_EQ(text_append(buf, sizeof buf, kSofuto), 11u);
    EXPECT_STREQ(buf, "C:\\dir\\\x83\x5C\x83\x74");
    // Full: nothing more, still terminated.
    EXPECT_EQ(text_append(buf, sizeof buf, "x"), 11u);
    EXPECT_EQ(buf[11], '\0');

    char odd[10] = "C:\\dir\\";  // 7 bytes, room for 2: ソ only
    EXPECT_EQ(text_append(odd, sizeof odd, kSofuto), 9u);
    char tight[9] = "C:\\dir\\";  // room for 1: no part of ソ
    EXPECT_EQ(text_append(tight, sizeof tight, kSofuto), 7u);
    EXPECT_STREQ(tight, "C:\\dir\\");
}

TEST(TextAppend, UnterminatedDestinationIsTerminatedAtItsEnd)
{
    Guarded g(8);
    memset(g.buf(), 'x', 8);
    EXPECT_EQ(text_append(g.buf(), 8, "abc"), 7u);
    EXPECT_EQ(g.buf()[7], '\0');
    EXPECT_TRUE(g.guards_intact());

    Guarded zero(0);
    EXPECT_EQ(text_append(zero.buf(), 0, "abc"), 0u);
    EXPECT_TRUE(zero.guards_intact());
}

// ---------------------------------------------------------------- formatting

// The same format through the C library, as the reference for plain cases.
template <typename... Args> std::string reference(const char *fmt, Args... args)
{
    char buf[256];
    snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

template <typename... Args> std::string formatted(size_t size, const char *fmt, Args... args)
{
    Guarded g(size);
    size_t len = text_format(g.buf(), size, fmt, args...);
    EXPECT_TRUE(g.guards_intact()) << fmt;
    if (size == 0)
        return "<nothing>";
    EXPECT_LT(len, size);
    EXPECT_EQ(strlen(g.buf()), len) << fmt;
    return std::string(g.buf(), len);
}

TEST(TextFormat, ConversionsMatchTheCLibrary)
{
    EXPECT_EQ(formatted(256, "%s=%u (%d) %x %llu %%", "n", 4000000000u, -17, 0xBEEFu, 18446744073709551615ULL),
              reference("%s=%u (%d) %x %llu %%", "n", 4000000000u, -17, 0xBEEFu, 18446744073709551615ULL));
    EXPECT_EQ(formatted(256, "%d|%d|%d", INT_MIN, INT_MAX, 0), reference("%d|%d|%d", INT_MIN, INT_MAX, 0));
    EXPECT_EQ(formatted(256, "%lld|%lld", LLONG_MIN, LLONG_MAX), reference("%lld|%lld", LLONG_MIN, LLONG_MAX));
    EXPECT_EQ(formatted(256, "%ld %lu %lx", -5L, 5UL, 255UL), reference("%ld %lu %lx", -5L, 5UL, 255UL));
    EXPECT_EQ(formatted(256, "%zu %zd %zx", (size_t)123456, (ptrdiff_t)-3, (size_t)0xABC),
              reference("%zu %zd %zx", (size_t)123456, (ptrdiff_t)-3, (size_t)0xABC));
    EXPECT_EQ(formatted(256, "[%c%c]", 'o', 'k'), "[ok]");
    EXPECT_EQ(formatted(256, "%s", (const char *)NULL), "(null)");
}

TEST(TextFormat, DoubleByteTextInFormatAndArguments)
{
    std::string fmt = std::string(kSofuto) + "%s" + kHyouji;
    std::string out = formatted(256, fmt.c_str(), "\\");
    EXPECT_EQ(out, std::string(kSofuto) + "\\" + kHyouji);
}

TEST(TextFormat, TruncationKeepsWholeCharactersAndStops)
{
    EXPECT_EQ(formatted(4, "%s", kSofuto), "\x83\x5C");
    EXPECT_EQ(formatted(5, "%s!", kSofuto), "\x83\x5C\x83\x74");
    // The format's own double-byte text is cut the same way.
    EXPECT_EQ(formatted(4, kSofuto), "\x83\x5C");
    // A cut argument ends the output: what follows is not squeezed in after
    // it (the result stays a prefix of the whole text).
    EXPECT_EQ(formatted(4, "%sab", kSofuto), "\x83\x5C");
    EXPECT_EQ(formatted(4, "%u", 12345u), "123");
    EXPECT_EQ(formatted(6, "%d", -12345), "-1234");
    EXPECT_EQ(formatted(1, "%s", "abc"), "");
    EXPECT_EQ(formatted(0, "%s", "abc"), "<nothing>");
}

TEST(TextFormat, EveryCutIsAPrefixOfTheWholeText)
{
    std::string arg = std::string("C:\\") + kSofuto + "\\" + kHyouji;
    const char *fmt = "%s: %u%% %s (%d)";
    std::string whole = formatted(512, fmt, arg.c_str(), 75u, kSofuto, -1);
    ASSERT_GT(whole.size(), 20u);
    for (size_t size = 1; size <= whole.size() + 1; size++) {
        std::string cut = formatted(size, fmt, arg.c_str(), 75u, kSofuto, -1);
        ASSERT_EQ(whole.compare(0, cut.size(), cut), 0) << "size " << size;
        // Only a missing character or the end of the buffer stops it early.
        ASSERT_GE(cut.size() + 1, size - 1 < whole.size() ? size - 1 : whole.size()) << "size " << size;
        ASSERT_EQ(text_fit(cut.c_str(), cut.size()), cut.size()) << "size " << size;
    }
}

TEST(TextFormat, UnknownConversionsAreCopiedAsWritten)
{
    EXPECT_EQ(formatted(64, "100% done"), "100% done");
    EXPECT_EQ(formatted(64, "end%"), "end%");
}

// -------------------------------------------------------------- comparison

TEST(TextEqualNocase, IgnoresAsciiCaseOnly)
{
    EXPECT_TRUE(text_equal_nocase("SETUP.EXE", "setup.exe"));
    EXPECT_TRUE(text_equal_nocase("", ""));
    EXPECT_FALSE(text_equal_nocase("setup.exe", "setup.ex"));
    EXPECT_FALSE(text_equal_nocase("setup", "setup.exe"));
    EXPECT_FALSE(text_equal_nocase("a", ""));

    std::string a = std::string("C:\\") + kSofuto + "\\SETUP.INF";
    std::string b = std::string("c:\\") + kSofuto + "\\setup.inf";
    EXPECT_TRUE(text_equal_nocase(a.c_str(), b.c_str()));

    // 83 41 and 83 61 are two different characters whose trail bytes differ
    // like 'A' and 'a': no case folding inside a pair.
    EXPECT_FALSE(text_equal_nocase("\x83\x41", "\x83\x61"));
    // Full-width Ａ (82 60) and ａ (82 81) are different characters too.
    EXPECT_FALSE(text_equal_nocase("\x82\x60", "\x82\x81"));
    // A pair against a shorter text.
    EXPECT_FALSE(text_equal_nocase("\x83\x5C", "\x83"));
    EXPECT_FALSE(text_equal_nocase("\x83", "\x83\x5C"));
}

} // namespace

namespace {

TEST(TextDivide, QuotientAndRemainderAsTheCompilerComputesThem)
{
    const unsigned long long values[] = {0, 1, 9, 10, 99, 4294967295ULL, 4294967296ULL, 429496729600ULL,
                                         18446744073709551615ULL, 0x8000000000000000ULL, 12345678901234567ULL};
    const unsigned long long divisors[] = {1, 2, 10, 16, 100, 4294967295ULL, 4294967296ULL,
                                           18446744073709551615ULL, 0x8000000000000001ULL};
    for (unsigned long long n : values) {
        for (unsigned long long d : divisors) {
            unsigned long long r = 77;
            EXPECT_EQ(text_divide(n, d, &r), n / d) << n << " / " << d;
            EXPECT_EQ(r, n % d) << n << " % " << d;
        }
    }
    EXPECT_EQ(text_divide(100, 7, NULL), 14u);
}

} // namespace
