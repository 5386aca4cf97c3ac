// Escape turning and integer parsing of script values.
#include <gtest/gtest.h>

#include <string>

#include "script.h"

namespace {

std::string turned(const char *value)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%s", value);
    script_turn_escapes(buf);
    return buf;
}

TEST(ScriptEscapes, TabAndLineFeedBetweenWords)
{
    EXPECT_EQ(turned("one\\ntwo"), "one\ntwo");
    EXPECT_EQ(turned("a\\tb\\nc"), "a\tb\nc");
    EXPECT_EQ(turned("\\n\\n"), "\n\n");
}

TEST(ScriptEscapes, OtherBytesAndTheEndStayAsWritten)
{
    EXPECT_EQ(turned("ends\\"), "ends\\");
    EXPECT_EQ(turned("C:\\Tools\\x"), "C:\\Tools\\x");
    // Backslash, backslash, n: the first pair stays, the second turns.
    EXPECT_EQ(turned("\\\\n"), "\\\n");
    EXPECT_EQ(turned(""), "");
}

TEST(ScriptEscapes, TrailByteOfDoubleByteCharacterIsNoBackslash)
{
    // ソ is 83 5C and 表 is 95 5C in code page 932: followed by n or t they
    // must stay characters, not become a broken byte and a line break.
    EXPECT_EQ(turned("\x83\x5cnet"), "\x83\x5cnet");
    EXPECT_EQ(turned("\x95\x5ctable"), "\x95\x5ctable");
    EXPECT_EQ(turned("\x83\x5c\\n\x95\x5c"), "\x83\x5c\n\x95\x5c");
    // A backslash right after a double-byte character is a real one.
    EXPECT_EQ(turned("\x83\x74\\n"), "\x83\x74\n");
}

// The script's integer and byte-count readings of the one number parser.
int parse_int(const char *text, int fallback)
{
    return (int)script_parse_number(text, (unsigned)fallback, NumberSigned);
}

unsigned parse_uint(const char *text, unsigned fallback)
{
    return script_parse_number(text, fallback, NumberUnsigned);
}

TEST(ScriptIntegers, LeadingDecimalOrFallback)
{
    EXPECT_EQ(parse_int("42", 7), 42);
    EXPECT_EQ(parse_int("-50", 0), -50);
    EXPECT_EQ(parse_int("+3", 0), 3);
    EXPECT_EQ(parse_int("12abc", 0), 12);
    EXPECT_EQ(parse_int(" 8", 0), 8);
    EXPECT_EQ(parse_int("abc", 800), 800);
    EXPECT_EQ(parse_int("", -50), -50);
    EXPECT_EQ(parse_int("-", 5), 5);
    EXPECT_EQ(parse_int("0x10", 5), 0);
}

TEST(ScriptIntegers, LimitsDoNotOverflow)
{
    EXPECT_EQ(parse_int("2147483647", 0), 2147483647);
    EXPECT_EQ(parse_int("-2147483648", 0), -2147483647 - 1);
    EXPECT_EQ(parse_int("99999999999999999999", 0), 2147483647);
    EXPECT_EQ(parse_int("-99999999999999999999", 0), -2147483647 - 1);
}

TEST(ScriptIntegers, ByteCountsAreUnsigned)
{
    EXPECT_EQ(parse_uint("4000000000", 0), 4000000000u);
    EXPECT_EQ(parse_uint("4294967295", 0), 4294967295u);
    EXPECT_EQ(parse_uint("99999999999", 0), 4294967295u);
    EXPECT_EQ(parse_uint("+12 bytes", 0), 12u);
    EXPECT_EQ(parse_uint("-1", 7), 7u);
    EXPECT_EQ(parse_uint("", 3), 3u);
}

} // namespace
