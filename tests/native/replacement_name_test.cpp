// Temporary names of in-use replacements and the wininit.ini [rename] text
// (include/engine.h), built natively with the sanitizers.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "engine.h"

namespace {

std::string temp_name(const char *target, size_t size = 260)
{
    std::vector<char> out(size + 8, '\x7f');
    temporary_replacement_name(target, out.data(), size);
    EXPECT_EQ(out[size], '\x7f') << "written past the buffer";
    return out.data();
}

TEST(TemporaryName, LastThreeCharactersBecomeDollars)
{
    EXPECT_EQ(temp_name("FOO.DLL"), "FOO.$$$");
    EXPECT_EQ(temp_name("COMCTL32.OCX"), "COMCTL32.$$$");
    EXPECT_EQ(temp_name("A.B"), "$$$");
    EXPECT_EQ(temp_name("ABC"), "$$$");
    EXPECT_EQ(temp_name("README"), "REA$$$");
}

TEST(TemporaryName, DoubleByteCharacterCountsAsOne)
{
    // ファイル (4 characters, 8 bytes): the last three go, フ stays whole.
    EXPECT_EQ(temp_name("\x83\x74\x83\x40\x83\x43\x83\x8b"), "\x83\x74$$$");
    // 表示.D: the trail byte 5C of 表 is not a character of its own.
    EXPECT_EQ(temp_name("\x95\x5c\x8e\xa6.D"), "\x95\x5c$$$");
    // A.ソ: three characters, the whole name is replaced.
    EXPECT_EQ(temp_name("A.\x83\x5c"), "$$$");
}

TEST(TemporaryName, ShortNamesGetAnExtension)
{
    EXPECT_EQ(temp_name("AB"), "AB.$$$");
    EXPECT_EQ(temp_name("A"), "A.$$$");
    EXPECT_EQ(temp_name("\x83\x5c"), "\x83\x5c.$$$");
    EXPECT_EQ(temp_name(""), ".$$$");
    // Never the target's own name.
    EXPECT_EQ(temp_name("$$"), "$$.$$$");
    EXPECT_EQ(temp_name("FOO.$$$"), "FOO.$$$.$$$");
    EXPECT_EQ(temp_name("$$$"), "$$$.$$$");
    EXPECT_EQ(temp_name("FOO.$$A"), "FOO.$$$");
}

TEST(TemporaryName, CutToTheBuffer)
{
    std::string long_name(300, 'x');
    std::string result = temp_name(long_name.c_str(), 260);
    EXPECT_EQ(result.size(), 259u);
    EXPECT_EQ(temp_name("FOO.DLL", 6), "FOO.$");
    EXPECT_EQ(temp_name("FOO.DLL", 1), "");
}

bool has_section(const std::string &text)
{
    return wininit_has_rename_section(text.data(), text.size()) != 0;
}

TEST(RenameSection, FoundAnywhereInExactCase)
{
    EXPECT_TRUE(has_section("[rename]"));
    EXPECT_TRUE(has_section("[boot]\r\nshell=x\r\n[rename]\r\nA=B\r\n"));
    EXPECT_TRUE(has_section("x=[rename]y"));
    EXPECT_FALSE(has_section("[Rename]\r\n"));
    EXPECT_FALSE(has_section("[RENAME]\r\n"));
    EXPECT_FALSE(has_section("[rename"));
    EXPECT_FALSE(has_section(""));
}

TEST(RenameSection, OnlyTheBytesGivenCount)
{
    std::string text = "[boot]\r\n[rename]";
    EXPECT_TRUE(wininit_has_rename_section(text.data(), text.size()));
    // One byte short: the header is cut and does not count.
    EXPECT_FALSE(wininit_has_rename_section(text.data(), text.size() - 1));
}

TEST(RenameSection, TextEndsAtZeroOrEndOfFileMark)
{
    EXPECT_FALSE(has_section(std::string("[boot]\0[rename]", 15)));
    EXPECT_FALSE(has_section("[boot]\x1a[rename]"));
}

TEST(RenameSection, TrailByteIsNoBracket)
{
    // ー is 81 5B: its trail byte is '[', which starts no header.
    EXPECT_FALSE(has_section("\x81[rename]"));
    EXPECT_FALSE(has_section("x=\x81[rename]"));
    EXPECT_TRUE(has_section("\x81\x5b[rename]"));
    // A lead byte as the last byte given stands alone.
    EXPECT_FALSE(wininit_has_rename_section("\x81", 1));
    std::string text = "[rename]\x81";
    EXPECT_TRUE(has_section(text));
}

std::string block(const char *head, size_t head_len, const char *system_dir, const char *target,
                  const char *temp, size_t size = 1100)
{
    std::vector<char> out(size + 8, '\x7f');
    size_t len = wininit_rename_block(head, head_len, system_dir, target, temp, out.data(), size);
    EXPECT_EQ(out[size], '\x7f') << "written past the buffer";
    EXPECT_EQ(len, strlen(out.data()));
    return std::string(out.data(), len);
}

TEST(RenameBlock, NewFileStartsWithTheHeader)
{
    EXPECT_EQ(block(NULL, 0, "C:\\WINDOWS\\SYSTEM\\", "FOO.DLL", "FOO.$$$"),
              "[rename]\r\nC:\\WINDOWS\\SYSTEM\\FOO.DLL=C:\\WINDOWS\\SYSTEM\\FOO.$$$");
}

TEST(RenameBlock, FileWithoutSectionGetsANewHeaderOnItsOwnLine)
{
    std::string head = "[boot]\r\nshell=explorer.exe\r\n";
    EXPECT_EQ(block(head.data(), head.size(), "C:\\W\\S\\", "A.DLL", "A.$$$"),
              "\r\n[rename]\r\nC:\\W\\S\\A.DLL=C:\\W\\S\\A.$$$");
    // An empty existing file is a file without the section.
    EXPECT_EQ(block("", 0, "C:\\W\\S\\", "A.DLL", "A.$$$"), "\r\n[rename]\r\nC:\\W\\S\\A.DLL=C:\\W\\S\\A.$$$");
}

TEST(RenameBlock, FileWithSectionGetsTheLineOnly)
{
    std::string head = "[rename]\r\nC:\\W\\S\\B.DLL=C:\\W\\S\\B.$$$";
    EXPECT_EQ(block(head.data(), head.size(), "C:\\W\\S\\", "A.DLL", "A.$$$"), "\r\nC:\\W\\S\\A.DLL=C:\\W\\S\\A.$$$");
}

TEST(RenameBlock, DoubleBytePathsPassUnchanged)
{
    // C:\ソフト\ : the trail bytes 5C stay as they are.
    const char *dir = "C:\\\x83\x5c\x83\x74\x83\x67\\";
    EXPECT_EQ(block(NULL, 0, dir, "\x95\x5c.DLL", "\x95\x5c.$$$"),
              std::string("[rename]\r\n") + dir + "\x95\x5c.DLL=" + dir + "\x95\x5c.$$$");
}

TEST(RenameBlock, NothingWhenItDoesNotFit)
{
    std::string full = block(NULL, 0, "C:\\S\\", "A.DLL", "A.$$$");
    ASSERT_EQ(full.size(), 31u);
    EXPECT_EQ(block(NULL, 0, "C:\\S\\", "A.DLL", "A.$$$", 32), full);
    EXPECT_EQ(block(NULL, 0, "C:\\S\\", "A.DLL", "A.$$$", 31), "");
    EXPECT_EQ(block(NULL, 0, "C:\\S\\", "A.DLL", "A.$$$", 1), "");
    char untouched = 'q';
    EXPECT_EQ(wininit_rename_block(NULL, 0, "C:\\S\\", "A.DLL", "A.$$$", &untouched, 0), 0u);
    EXPECT_EQ(untouched, 'q');
}

TEST(RenameBlock, LongestNamesFitTheProgramsBuffer)
{
    // Three 259-byte names and the header: the buffer of the program
    // (4 * 260 + 32 bytes) takes them whole.
    std::string dir(258, 'd');
    dir += '\\';
    std::string target(259, 't');
    std::string temp(259, 'p');
    std::string result = block(NULL, 0, dir.c_str(), target.c_str(), temp.c_str(), 4 * 260 + 32);
    EXPECT_EQ(result, "[rename]\r\n" + dir + target + "=" + dir + temp);
}

} // namespace
