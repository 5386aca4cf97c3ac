// Command line and path forming of the start-up.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "setup_types.h"
#include "startup.h"

namespace {

struct Parsed {
    int accepted;
    unsigned int mode;
    int debug;
    CommandLine line;
};

Parsed parse(const char *text)
{
    char buf[1024];
    snprintf(buf, sizeof buf, "%s", text);
    Parsed p;
    p.accepted = command_line_apply(buf, &p.line);
    p.mode = p.line.run_mode;
    p.debug = p.line.debug_run;
    return p;
}

TEST(CommandLine, EmptyOrBlankGivesSetup)
{
    for (const char *line : {"", " ", "\t", " \t  \t"}) {
        Parsed p = parse(line);
        EXPECT_EQ(p.accepted, 1) << line;
        EXPECT_EQ(p.mode, RunModeSetup) << line;
        EXPECT_EQ(p.debug, 0) << line;
        EXPECT_EQ(p.line.unattended, UnattendedNone) << line;
    }
}

TEST(CommandLine, TokensInAnyCaseAndOrder)
{
    Parsed p = parse("/uninstall");
    EXPECT_EQ(p.mode, RunModeUninstall);
    p = parse("/UnInStAlL");
    EXPECT_EQ(p.mode, RunModeUninstall);
    p = parse("/TEMP /DEBUG");
    EXPECT_TRUE(p.accepted && p.mode == RunModeTempCopy && p.debug == 1);
    p = parse("/debug\t\t/temp");
    EXPECT_TRUE(p.accepted && p.mode == RunModeTempCopy && p.debug == 1);
    p = parse("/DEBUG");
    EXPECT_TRUE(p.accepted && p.mode == RunModeSetup && p.debug == 1);
    p = parse("/s /NoRestart /?");
    EXPECT_TRUE(p.accepted && p.line.unattended == UnattendedQuiet && p.line.no_restart && p.line.show_help);
}

TEST(CommandLine, LastModeOrSwitchWins)
{
    Parsed p = parse("/SETUP /UNINSTALL");
    EXPECT_EQ(p.mode, RunModeUninstall);
    p = parse("/UNINSTALL /TEMP /SETUP");
    EXPECT_EQ(p.mode, RunModeSetup);
    p = parse("/QUIET /PASSIVE");
    EXPECT_EQ(p.line.unattended, UnattendedPassive);
    p = parse("/PASSIVE /quiet");
    EXPECT_EQ(p.line.unattended, UnattendedQuiet);
    p = parse("/DIR=C:\\A /dir=D:\\B");
    EXPECT_STREQ(p.line.dir, "D:\\B");
}

TEST(CommandLine, QuotedValues)
{
    const struct {
        const char *line, *dir, *log;
    } rows[] = {
        {"/DIR=\"C:\\Program Files\\App\" /QUIET", "C:\\Program Files\\App", ""},
        {"\"/DIR=C:\\Program Files\\App\"\t/LOG=C:\\l.txt", "C:\\Program Files\\App", "C:\\l.txt"},
        {"/LOG=\"rel log.txt\"", "", "rel log.txt"},
        // ソ and 表 end in the backslash code; a quote after them still closes.
        {"/DIR=\"C:\\\x83\x5c \x95\x5c\"", "C:\\\x83\x5c \x95\x5c", ""},
        {"/DIR=C:\\a=b", "C:\\a=b", ""},
    };
    for (const auto &row : rows) {
        Parsed p = parse(row.line);
        EXPECT_EQ(p.accepted, 1) << row.line;
        EXPECT_STREQ(p.line.dir, row.dir) << row.line;
        EXPECT_STREQ(p.line.log, row.log) << row.line;
    }
}

TEST(CommandLine, RefusedLines)
{
    std::string long_value = "/DIR=C:\\" + std::string(256, 'a');  // a value of 259 bytes: a whole path
    EXPECT_EQ(parse(long_value.c_str()).accepted, 1);
    std::string cut_value = long_value.substr(0, long_value.size() - 1) + "\x99";  // ends in half a character
    long_value += "a";                                               // 260: longer than a path
    const char *const refused[] = {
        "/SETUP /X", "/SETUPX", "/TEMP/DEBUG", "/DIR=", "/LOG=\"\"", "/DIR", "\"/TEMP", "/DIR=\"C:\\a",
        "/DIR=\"C:\\a\"b", "/DIR=C:\\a\"b\"", "\"/DIR=\"C:\\a\"\"", "/DIR=a=\"b\"", "/Q", "/QUIETX", "-QUIET",
        long_value.c_str(), cut_value.c_str(),
    };
    for (const char *line : refused)
        EXPECT_EQ(parse(line).accepted, 0) << line;
    // Tokens before the refused one keep their effect.
    Parsed p = parse("/DEBUG /UNINSTALL bogus");
    EXPECT_TRUE(!p.accepted && p.debug == 1 && p.mode == RunModeUninstall);
}

TEST(CommandLine, AbsoluteFolders)
{
    for (const char *folder : {"C:\\", "c:\\Program Files\\App", "\\\\server\\share\\app", "D:\\\x83\x5c"})
        EXPECT_EQ(command_line_folder_is_absolute(folder), 1) << folder;
    for (const char *folder : {"App", "C:App", "\\App", "\\\\", "C:\\a*b", "C:\\a?", "C:\\a|b", "C:\\a:b",
                               "C:\\a<b", "1:\\a", "C:\\a\tb"})
        EXPECT_EQ(command_line_folder_is_absolute(folder), 0) << folder;
}

TEST(CommandLine, TailAfterTheProgramName)
{
    EXPECT_STREQ(command_line_tail("setup.exe /TEMP /DEBUG"), "/TEMP /DEBUG");
    EXPECT_STREQ(command_line_tail("\"C:\\Program Files\\A\\setup.exe\" /UNINSTALL"), "/UNINSTALL");
    EXPECT_STREQ(command_line_tail("\"C:\\T\\~st1.exe\"\t \t/TEMP"), "/TEMP");
    EXPECT_STREQ(command_line_tail("setup.exe"), "");
    EXPECT_STREQ(command_line_tail("\"C:\\\x83\x5c\\setup.exe\""), "");
    EXPECT_STREQ(command_line_tail("\"unterminated /X"), "");
    EXPECT_STREQ(command_line_tail(""), "");
}

std::string folder_of(const char *path)
{
    char buf[32];
    path_folder_of(path, buf, sizeof buf);
    return buf;
}

TEST(Paths, FolderOfProgram)
{
    EXPECT_EQ(folder_of("D:\\SETUP.EXE"), "D:\\");
    EXPECT_EQ(folder_of("C:\\TEMP\\~st1A2B.exe"), "C:\\TEMP\\");
    EXPECT_EQ(folder_of("C:\\x\\install.exe"), "C:\\x\\");
    EXPECT_EQ(folder_of("setup.exe"), "");
    // ソ ends in 0x5C: the folder is cut at the real separator.
    EXPECT_EQ(folder_of("C:\\\x83\x5c\\setup.exe"), "C:\\\x83\x5c\\");
    EXPECT_EQ(folder_of("C:\\\x83\x5cX.exe"), "C:\\");
}

std::string script_of(const char *module)
{
    char buf[32];
    path_script_of(module, buf, sizeof buf);
    return buf;
}

TEST(Paths, ScriptBesideProgram)
{
    EXPECT_EQ(script_of("D:\\setup.exe"), "D:\\setup.inf");
    EXPECT_EQ(script_of("C:\\TEMP\\~st1A.exe"), "C:\\TEMP\\~st1A.inf");
    EXPECT_EQ(script_of("C:\\a.b\\setup"), "C:\\a.b\\setup.inf");
    EXPECT_EQ(script_of("C:\\v1.2\\my.setup.exe"), "C:\\v1.2\\my.setup.inf");
}

std::string destination(const char *program_files, const char *name)
{
    char buf[40];
    path_destination(program_files, name, buf, sizeof buf);
    return buf;
}

TEST(Paths, DestinationJoinsWithOneSeparator)
{
    EXPECT_EQ(destination("C:\\Program Files", "Tools"), "C:\\Program Files\\Tools\\");
    EXPECT_EQ(destination("C:\\Program Files", ""), "C:\\Program Files\\");
    EXPECT_EQ(destination("C:\\", "Tools"), "C:\\Tools\\");
    EXPECT_EQ(destination("C:\\", "Tools\\"), "C:\\Tools\\");
    // A name ending in ソ still gets its separator: 0x5C there is no backslash.
    EXPECT_EQ(destination("C:\\", "\x83\x5c"), "C:\\\x83\x5c\\");
    EXPECT_EQ(destination("C:\\\x83\x5c", "A"), "C:\\\x83\x5c\\A\\");
}

TEST(Paths, EndsInBackslash)
{
    EXPECT_TRUE(path_ends_in_backslash("C:\\"));
    EXPECT_FALSE(path_ends_in_backslash("C:\\\x83\x5c"));
    EXPECT_TRUE(path_ends_in_backslash("C:\\\x83\x5c\\"));
    EXPECT_FALSE(path_ends_in_backslash(""));
}

TEST(Paths, JoinRefusesWhatDoesNotFit)
{
    char buf[12];
    memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(path_join(buf, 8, "C:\\A\\", "b.txt"), 0u) << "8 bytes hold 7 characters";
    EXPECT_STREQ(buf, "") << "a refused path is left empty, not cut";
    EXPECT_EQ(buf[8], 'Z');
    EXPECT_EQ(path_join(buf, 12, "C:\\A\\", "b.txt"), 10u);
    EXPECT_STREQ(buf, "C:\\A\\b.txt");
    EXPECT_EQ(path_join(buf, 11, "C:\\A\\", "b.txt"), 10u) << "exactly full";
    EXPECT_EQ(path_join(buf, 10, "C:\\A\\", "b.txt"), 0u);
}

} // namespace
