// The script reader against real profile files, read by the platform in
// code page 932.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "script.h"
#include "seam.h"
#include "setup.h"
#include "win_test_support.h"

namespace {

// Writes a script file in the temporary folder and points the session at it.
class ScriptFile : public ::testing::Test {
protected:
    char path[MAX_PATH];

    void SetUp() override
    {
        seam_reset();
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        GetTempFileNameA(dir, "scr", 0, path);
        snprintf(session.script_path, sizeof session.script_path, "%s", path);
    }
    void TearDown() override { DeleteFileA(path); }

    void write(const char *bytes) { write_file(path, bytes); }

    std::string text(const char *section, const char *key, const char *fallback, size_t size = SCRIPT_TEXT_SIZE,
                      size_t *len = nullptr)
    {
        char buf[SCRIPT_MENU_SIZE];
        memset(buf, 'Z', sizeof buf);
        size_t n = script_read_text(section, key, fallback, buf, size);
        if (len)
            *len = n;
        EXPECT_LT(strlen(buf), size);
        return buf;
    }

    std::string string(const char *section, const char *key, const char *fallback, size_t size = SCRIPT_NAME_SIZE)
    {
        char buf[SCRIPT_MENU_SIZE];
        memset(buf, 'Z', sizeof buf);
        script_read_string(section, key, fallback, buf, size);
        EXPECT_LT(strlen(buf), size);
        EXPECT_EQ(buf[size], 'Z') << "wrote past the buffer";
        return buf;
    }
};

TEST_F(ScriptFile, NamesIgnoreCaseAndTheFirstKeyCounts)
{
    write("[General]\r\nApplication=First\r\napplication=Second\r\n");
    EXPECT_EQ(string("general", "APPLICATION", ""), "First");
    EXPECT_EQ(string("GENERAL", "application", ""), "First");
}

TEST_F(ScriptFile, EscapesTurnInTextsButNotInStrings)
{
    write("[copyright]\r\nfile=dir\\nname.txt\r\nmsg1=one\\ntwo\r\nmsg2=\\\\n\r\nmsg3=end\\\r\nmsg4=a\\qb\r\n");
    size_t len = 0;
    EXPECT_EQ(text("copyright", "msg1", "", SCRIPT_TEXT_SIZE, &len), "one\ntwo");
    EXPECT_EQ(len, 8u) << "the length is the one read, before escapes turn";
    EXPECT_EQ(string("copyright", "file", ""), "dir\\nname.txt");
    EXPECT_EQ(text("copyright", "msg2", ""), "\\\n");
    EXPECT_EQ(text("copyright", "msg3", ""), "end\\");
    EXPECT_EQ(text("copyright", "msg4", ""), "a\\qb");
}

TEST_F(ScriptFile, DoubleByteTrailBytesAreNotEscapes)
{
    // ソnet, 表table and 能 in code page 932: 83 5C, 95 5C, 94 5C.
    write("[welcome]\r\nmsg1=\x83\x5cnet\r\nmsg2=\x95\x5ctable\\n\x94\x5c\r\n");
    EXPECT_EQ(text("welcome", "msg1", ""), "\x83\x5cnet");
    EXPECT_EQ(text("welcome", "msg2", ""), "\x95\x5ctable\n\x94\x5c");
}

TEST_F(ScriptFile, PlaceholderOnlyForMissingKeys)
{
    write("[welcome]\r\ntitle=\r\n");
    size_t len = 99;
    EXPECT_EQ(text("welcome", "title", "[...]title", SCRIPT_TEXT_SIZE, &len), "");
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(text("welcome", "msg3", "[...]msg3"), "[...]msg3");
    EXPECT_EQ(text("nosuch", "title", "[nosuch]title"), "[nosuch]title");
}

TEST_F(ScriptFile, ValuesAreCutWithoutSplittingACharacter)
{
    // アイウエオ: five double-byte characters, ten bytes.
    write("[general]\r\napplication=\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49\r\n"
          "default_dir=ab\x83\x41\x83\x43\r\n");
    EXPECT_EQ(string("general", "application", "", 6), "\x83\x41\x83\x43");
    EXPECT_EQ(string("general", "application", "", 5), "\x83\x41\x83\x43");
    EXPECT_EQ(string("general", "application", "", 11), "\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49");
    EXPECT_EQ(string("general", "default_dir", "", 4), "ab");
    EXPECT_EQ(string("general", "default_dir", "", 5), "ab\x83\x41");
    EXPECT_EQ(string("general", "default_dir", "", 2), "a");
}

TEST_F(ScriptFile, LongValueIsCutToTheBufferLessOne)
{
    std::string value(700, 'x');
    write(("[files]\r\nfile_1=" + value + "\r\n").c_str());
    EXPECT_EQ(text("files", "file_1", "").size(), (size_t)SCRIPT_TEXT_SIZE - 1);
    EXPECT_EQ(string("files", "file_1", "").size(), (size_t)SCRIPT_NAME_SIZE - 1);
}

TEST_F(ScriptFile, IntegersTakeALeadingDecimal)
{
    write("[font]\r\nHeight=-20\r\nWeight=700px\r\nItalic=yes\r\nWidth=\r\n");
    EXPECT_EQ(script_read_int("font", "Height", -50), -20);
    EXPECT_EQ(script_read_int("font", "Weight", 800), 700);
    EXPECT_EQ(script_read_int("font", "Italic", 1), 1);
    EXPECT_EQ(script_read_int("font", "Width", 3), 3);
    EXPECT_EQ(script_read_int("font", "Quality", 2), 2);
}

TEST_F(ScriptFile, MissingFileReadsAsNoKeys)
{
    DeleteFileA(path);
    EXPECT_EQ(text("start", "title", "[start]title"), "[start]title");
    EXPECT_EQ(string("general", "srcdir", ""), "");
    EXPECT_EQ(script_read_int("files", "files", 0), 0);
}

TEST_F(ScriptFile, WriteKeyThenReadItBack)
{
    write("[general]\r\napplication=App\r\n");
    ASSERT_EQ(script_write_string("general", "srcdir", "D:\\\x83\x5c\\"), 1);
    EXPECT_EQ(string("general", "srcdir", ""), "D:\\\x83\x5c\\");
    EXPECT_EQ(string("general", "application", ""), "App");
}

} // namespace
