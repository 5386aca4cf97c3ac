// File-list entries and progress arithmetic.
#include <gtest/gtest.h>

#include <string>

#include "engine.h"

namespace {

TEST(FileEntry, FiveFieldsInOrder)
{
    FileEntry e;
    ASSERT_EQ(parse_file_entry("app.exe,APP.EXE,DISK1,1,500", &e), 1);
    EXPECT_STREQ(e.source_name, "app.exe");
    EXPECT_STREQ(e.target_name, "APP.EXE");
    EXPECT_STREQ(e.disk_label, "DISK1");
    EXPECT_EQ(e.kind, 1);
    EXPECT_EQ(e.size, 500u);
}

TEST(FileEntry, CommaRunsLeadingCommasBlanksAndExtraText)
{
    FileEntry e;
    ASSERT_EQ(parse_file_entry(",,a.dll,,,b.dll,,Disk 1 ,2,,100,extra,fields", &e), 1);
    EXPECT_STREQ(e.source_name, "a.dll");
    EXPECT_STREQ(e.target_name, "b.dll");
    EXPECT_STREQ(e.disk_label, "Disk 1 ") << "blanks stay in a field";
    EXPECT_EQ(e.kind, 2);
    EXPECT_EQ(e.size, 100u);
    // An empty field cannot be given: this has only four fields.
    EXPECT_EQ(parse_file_entry("a.dll,,DISK1,1,100", &e), 0);
    EXPECT_EQ(parse_file_entry("a.dll,a.dll,DISK1", &e), 0);
    EXPECT_EQ(parse_file_entry("", &e), 0);
    EXPECT_EQ(parse_file_entry(",,,,", &e), 0);
}

TEST(FileEntry, KindAndSizeAreLeadingNumbers)
{
    FileEntry e;
    ASSERT_EQ(parse_file_entry("a,b,c, +1,  42bytes", &e), 1);
    EXPECT_EQ(e.kind, 1);
    EXPECT_EQ(e.size, 42u);
    ASSERT_EQ(parse_file_entry("a,b,c,x,y", &e), 1);
    EXPECT_EQ(e.kind, 0) << "no digits: 0, a shared file";
    EXPECT_EQ(e.size, 0u);
    ASSERT_EQ(parse_file_entry("a,b,c,-1,4294967295", &e), 1);
    EXPECT_EQ(e.kind, -1);
    EXPECT_EQ(e.size, 4294967295u) << "sizes up to the 32-bit limit";
}

TEST(FileEntry, DoubleByteNamesAndCuts)
{
    FileEntry e;
    // ソフト.DLL: the 0x5C trail byte is no separator of any kind.
    ASSERT_EQ(parse_file_entry("\x83\x5c\x83\x74\x83\x67.DLL,\x83\x5c.DLL,\x95\x5c,2,9", &e), 1);
    EXPECT_STREQ(e.source_name, "\x83\x5c\x83\x74\x83\x67.DLL");
    EXPECT_STREQ(e.disk_label, "\x95\x5c");
    std::string longname(300, 'n');
    ASSERT_EQ(parse_file_entry((longname + ",t,d,1,1").c_str(), &e), 1);
    EXPECT_EQ(std::string(e.source_name).size(), (size_t)SETUP_PATH_SIZE - 1) << "cut to its buffer";
}

TEST(Progress, PercentageOfTheTotal)
{
    EXPECT_EQ(progress_percentage(600, 1000), 60u);
    EXPECT_EQ(progress_percentage(1000, 1000), 100u);
    EXPECT_EQ(progress_percentage(0, 1000), 0u);
    EXPECT_EQ(progress_percentage(5, 0), 0u);
    // The same proportions at hundreds of megabytes and at the 32-bit limit.
    EXPECT_EQ(progress_percentage(600u * 400000u, 1000u * 400000u), 60u);
    EXPECT_EQ(progress_percentage(2576980377u, 4294967295u), 60u) << "0.6 of the limit";
    EXPECT_EQ(progress_percentage(2576980376u, 4294967295u), 59u) << "rounded down";
    EXPECT_EQ(progress_percentage(4294967295u, 4294967295u), 100u);
    EXPECT_EQ(progress_percentage(3000, 1000), 300u) << "above 100 is passed on unchanged";
}

} // namespace
