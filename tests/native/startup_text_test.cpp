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
};

Parsed parse(const char *line)
{
    char buf[128];
    snprintf(buf, sizeof buf, "%s", line);
    Parsed p = {0, 99, 0};
    p.accepted = command_line_apply(buf, &p.mode, &p.debug);
    return p;
}

TEST(CommandLine, EmptyOrBlankGivesSetup)
{
    for (const char *line : {"", " ", "\t", " \t  \t"}) {
        Parsed p = parse(line);
        EXPECT_EQ(p.accepted, 1) << line;
        EXPECT_EQ(p.mode, RunModeSetup) << line;
        EXPECT_EQ(p.debug, 0) << line;
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
}

TEST(CommandLine, LastModeTokenWins)
{
    Parsed p = parse("/SETUP /UNINSTALL");
    EXPECT_EQ(p.mode, RunModeUninstall);
    p = parse("/UNINSTALL /TEMP /SETUP");
    EXPECT_EQ(p.mode, RunModeSetup);
}

TEST(CommandLine, UnknownTokenRefuses)
{
    EXPECT_EQ(parse("/SETUP /X").accepted, 0);
    EXPECT_EQ(parse("/SETUPX").accepted, 0);
    EXPECT_EQ(parse("\"/TEMP\"").accepted, 0);
    EXPECT_EQ(parse("/TEMP/DEBUG").accepted, 0);
    // Tokens before the unknown one keep their effect.
    Parsed p = parse("/DEBUG /UNINSTALL bogus");
    EXPECT_TRUE(!p.accepted && p.debug == 1 && p.mode == RunModeUninstall);
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
