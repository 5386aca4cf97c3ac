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

// A script file in the test's own folder, the session pointed at it.
class ScriptFile : public WinTest {
protected:
    void SetUp() override
    {
        WinTest::SetUp();
        if (!HasFatalFailure())
            make_scratch("scr");
    }

    void write(const char *bytes) { write_script(bytes); }

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

    std::string string(const char *section, const char *key, const char *fallback, size_t size = SETUP_PATH_SIZE)
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
    EXPECT_EQ(string("files", "file_1", "").size(), (size_t)SETUP_PATH_SIZE - 1);
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
    DeleteFileA(session.script_path);
    EXPECT_EQ(text("start", "title", "[start]title"), "[start]title");
    EXPECT_EQ(string("general", "srcdir", ""), "");
    EXPECT_EQ(script_read_int("files", "files", 0), 0);
}

TEST_F(ScriptFile, WriteKeyThenReadItBack)
{
    write("[general]\r\napplication=App\r\n");
    // As start_temporary_copy writes srcdir into the copy of the script.
    ASSERT_TRUE(sys_WritePrivateProfileStringA("general", "srcdir", "D:\\\x83\x5c\\", session.script_path));
    EXPECT_EQ(string("general", "srcdir", ""), "D:\\\x83\x5c\\");
    EXPECT_EQ(string("general", "application", ""), "App");
}

} // namespace

namespace {

// A list read with its section at once must give every entry exactly as the
// profile functions give it key by key: the same scripts read both ways.
TEST_F(ScriptFile, ListsReadAtOnceAgreeWithTheProfileReaderKeyByKey)
{
    const char *const sections[] = {
        "[files]\r\nfiles=4\r\nfile_1=a.txt,a.txt,D,1,1\r\nfile_2 = b.txt , b , D ,1,2 \r\nfile_4=\td\t\r\n",
        "[files]\r\nfiles=3\r\nFILE_1=upper\r\nfile_1=second\r\nfile_2=\"quoted\"\r\nfile_3='single'\r\n",
        "[files]\r\nfiles=5\r\nfile_1=\"\r\nfile_2=\"\"\r\nfile_3=\"a'\r\nfile_4=\"a\"b\"\r\nfile_5=' x '\r\n",
        "[files]\r\nfiles=4\r\n;file_1=comment\r\nfile_2\r\nfile_2=after a bare key\r\nfile_3==x=y\r\n"
        "file_4=\x83\x5c\x83\x74\x83\x67\\\x95\x5c.txt\r\n",
        "[files]\r\nfiles=2\r\nfile_1=first\r\n[other]\r\nfile_2=elsewhere\r\n[files]\r\nfile_2=second section\r\n",
        "[files]\nfiles=3\nfile_1=lf only\nfile_3=  spaced value  \n",
        "; no section at all\r\nfile_1=x\r\n",
    };
    for (const char *script : sections) {
        SCOPED_TRACE(script);
        write(script);
        unsigned int last = script_read_last_entry("files", "files", "file");
        for (unsigned int n = 1; n <= 6; n++) {
            char key[16];
            snprintf(key, sizeof key, "file_%u", n);
            for (size_t size : {(size_t)SCRIPT_TEXT_SIZE, (size_t)4, (size_t)2}) {
                char at_once[SCRIPT_TEXT_SIZE], by_key[SCRIPT_TEXT_SIZE];
                size_t a = script_read_entry("files", key, at_once, size);
                size_t b = script_read_string("files", key, "", by_key, size);
                EXPECT_EQ(std::string(at_once), std::string(by_key)) << key << " size " << size;
                EXPECT_EQ(a, b) << key;
            }
        }
        EXPECT_LE(last, 6u);
    }
    // A long list: every entry, and only the profile read of the count and
    // of the section.
    std::string big = "[files]\r\nfiles=4000000000\r\n";
    for (int n = 1; n <= 3000; n += 2)
        big += "file_" + std::to_string(n) + "=name" + std::to_string(n) + ".dat,x,Disk,1," + std::to_string(n) + "\r\n";
    write(big.c_str());
    session.is_nt = 1;
    unsigned reads = seam_count(SEAM_GetPrivateProfileStringA);
    unsigned sections_read = seam_count(SEAM_GetPrivateProfileSectionA);
    EXPECT_EQ(script_read_last_entry("files", "files", "file"), 2999u);
    for (int n = 1; n <= 3000; n++) {
        char key[16], at_once[SCRIPT_TEXT_SIZE], by_key[SCRIPT_TEXT_SIZE];
        snprintf(key, sizeof key, "file_%d", n);
        script_read_entry("files", key, at_once, sizeof at_once);
        script_read_string("files", key, "", by_key, sizeof by_key);
        ASSERT_EQ(std::string(at_once), std::string(by_key)) << key;
    }
    EXPECT_EQ(seam_count(SEAM_GetPrivateProfileStringA) - reads, 1u + 3000u) << "the count, then the comparison's own";
    EXPECT_EQ(seam_count(SEAM_GetPrivateProfileSectionA) - sections_read, 1u);

    // On the 95/98 family a section this long may have been cut: entries are
    // then read key by key, with the same result.
    session.is_nt = 0;
    EXPECT_EQ(script_read_last_entry("files", "files", "file"), 2999u);
    char at_once[SCRIPT_TEXT_SIZE];
    reads = seam_count(SEAM_GetPrivateProfileStringA);
    script_read_entry("files", "file_2999", at_once, sizeof at_once);
    EXPECT_EQ(std::string(at_once), "name2999.dat,x,Disk,1,2999");
    EXPECT_EQ(seam_count(SEAM_GetPrivateProfileStringA) - reads, 1u);

    // Ten thousand entries, a section of more than 256 KiB, are read with
    // the section at once too: entry by entry, each read would search it.
    std::string huge = "[files]\r\nfiles=4294967295\r\n";
    const std::string padding(40, 'x');
    for (int n = 1; n <= 10000; n++)
        huge += "file_" + std::to_string(n) + "=" + padding + std::to_string(n) + ".dat,x,Disk,1,1\r\n";
    ASSERT_GT(huge.size(), 256u * 1024u);
    write(huge.c_str());
    session.is_nt = 1;
    reads = seam_count(SEAM_GetPrivateProfileStringA);
    sections_read = seam_count(SEAM_GetPrivateProfileSectionA);
    EXPECT_EQ(script_read_last_entry("files", "files", "file"), 10000u);
    script_read_entry("files", "file_10000", at_once, sizeof at_once);
    EXPECT_EQ(std::string(at_once), padding + "10000.dat,x,Disk,1,1");
    EXPECT_EQ(seam_count(SEAM_GetPrivateProfileStringA) - reads, 1u) << "the count only";
    EXPECT_EQ(seam_count(SEAM_GetPrivateProfileSectionA) - sections_read, 1u);
}

} // namespace
