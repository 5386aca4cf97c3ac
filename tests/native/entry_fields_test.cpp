// Splitting [startmenu] entries into group name, program file and item title.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "shell.h"

namespace {

struct Fields {
    int found;
    std::string group, program, title;
};

// Splits a copy of value with the three buffers filled with a marker first,
// and checks that nothing was written past any of them.
Fields split(const std::string &value)
{
    char buf[1040];
    char group[261], program[261], title[261];
    EXPECT_LT(value.size(), sizeof buf);
    memset(buf, 0, sizeof buf);
    memcpy(buf, value.data(), value.size());
    memset(group, 'Z', sizeof group);
    memset(program, 'Z', sizeof program);
    memset(title, 'Z', sizeof title);
    Fields f;
    f.found = split_entry_fields(buf, group, program, title);
    EXPECT_EQ(group[260], 'Z');
    EXPECT_EQ(program[260], 'Z');
    EXPECT_EQ(title[260], 'Z');
    f.group = group;
    f.program = program;
    f.title = title;
    return f;
}

void expect_fields(const std::string &value, const char *group, const char *program, const char *title)
{
    SCOPED_TRACE(value);
    Fields f = split(value);
    EXPECT_EQ(f.found, 1);
    EXPECT_EQ(f.group, group);
    EXPECT_EQ(f.program, program);
    EXPECT_EQ(f.title, title);
}

TEST(EntryFields, ThreeFieldsAndBlanksKept)
{
    expect_fields("Tool,tool.exe,Viewer", "Tool", "tool.exe", "Viewer");
    expect_fields("Tool, tool.exe, Viewer", "Tool", " tool.exe", " Viewer");
    expect_fields(" My Tools ,bin\\tool.exe,Tool Viewer ", " My Tools ", "bin\\tool.exe", "Tool Viewer ");
    // A blank between commas is a field of its own.
    expect_fields("Tool, ,Viewer", "Tool", " ", "Viewer");
}

TEST(EntryFields, CommasAtTheStartAndInRunsAreOneSeparator)
{
    expect_fields(",Tool,tool.exe,Viewer", "Tool", "tool.exe", "Viewer");
    expect_fields(",,,Tool,,tool.exe,,,,Viewer,,", "Tool", "tool.exe", "Viewer");
    expect_fields("Tool,,tool.exe,Viewer", "Tool", "tool.exe", "Viewer");
}

TEST(EntryFields, FieldsAfterTheThirdAreIgnored)
{
    expect_fields("Tool,tool.exe,Viewer,extra", "Tool", "tool.exe", "Viewer");
    expect_fields("Tool,tool.exe,Viewer,,extra,more", "Tool", "tool.exe", "Viewer");
}

TEST(EntryFields, FewerThanThreeFieldsAreInvalid)
{
    for (const char *value : {"", ",", ",,,", "Tool", "Tool,tool.exe", "Tool,tool.exe,", ",Tool,,tool.exe,,"}) {
        SCOPED_TRACE(value);
        Fields f = split(value);
        EXPECT_EQ(f.found, 0);
    }
    // What was found is there; the missing field is empty, not stale.
    Fields f = split("Tool,tool.exe");
    EXPECT_EQ(f.group, "Tool");
    EXPECT_EQ(f.program, "tool.exe");
    EXPECT_EQ(f.title, "");
}

TEST(EntryFields, ValueIsCutInPlace)
{
    char buf[] = "Tool,tool.exe,Viewer,extra";
    char group[260], program[260], title[260];
    ASSERT_EQ(split_entry_fields(buf, group, program, title), 1);
    EXPECT_STREQ(buf, "Tool");
    EXPECT_STREQ(buf + 5, "tool.exe");
    EXPECT_STREQ(buf + 14, "Viewer");
}

TEST(EntryFields, DoubleByteCharactersStayWhole)
{
    // ソフト (83 5C 83 74 83 67) has a backslash as a trail byte, 表 (95 5C)
    // too; neither is touched, and the commas still separate.
    expect_fields("\x83\x5c\x83\x74\x83\x67,\x95\x5c.exe,\x83\x5c\x83\x74\x83\x67 \x95\x5c",
                  "\x83\x5c\x83\x74\x83\x67", "\x95\x5c.exe", "\x83\x5c\x83\x74\x83\x67 \x95\x5c");
    // Half-width katakana are single bytes.
    expect_fields("\xBD\xC0\xB0\xC4,a.exe,\xCC\xDF\xDB", "\xBD\xC0\xB0\xC4", "a.exe", "\xCC\xDF\xDB");
    // A lead byte that ends the value is a character of its own.
    expect_fields("A,b.exe,c\x83", "A", "b.exe", "c\x83");
}

TEST(EntryFields, LongFieldsAreCutOnACharacterBoundary)
{
    std::string ascii(300, 'g');
    Fields f = split(ascii + ",tool.exe,Viewer");
    EXPECT_EQ(f.found, 1);
    EXPECT_EQ(f.group, std::string(259, 'g'));
    EXPECT_EQ(f.program, "tool.exe") << "the cut field does not spill into the next";

    // One byte then ソ pairs: the pair at bytes 257 and 258 fits, 259 kept.
    std::string title = "x";
    for (int i = 0; i < 150; i++)
        title += "\x83\x5c";
    f = split("Tool,tool.exe," + title);
    EXPECT_EQ(f.found, 1);
    EXPECT_EQ(f.title, title.substr(0, 259));
    // Two bytes then ソ pairs: the pair at 258 and 259 does not fit, 258 kept.
    title = "xy";
    for (int i = 0; i < 150; i++)
        title += "\x83\x5c";
    f = split("Tool," + title + ",Viewer");
    EXPECT_EQ(f.program, title.substr(0, 258));
    EXPECT_EQ(f.title, "Viewer");
}

} // namespace
