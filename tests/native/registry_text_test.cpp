// Key paths, the walk up a key path, and the Uninstall entry's command line.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "registry.h"

namespace {

// CP932: ソ and 表 end in the backslash code.
#define SO "\x83\x5c"
#define HYO "\x95\x5c"

std::string key_path(const std::string &base, const std::string &name, size_t size, size_t *len = nullptr)
{
    char buf[600];
    memset(buf, 'Z', sizeof buf);
    size_t n = registry_key_path(buf, size, base.c_str(), name.c_str());
    if (len)
        *len = n;
    EXPECT_EQ(buf[size], 'Z') << "wrote past the buffer";
    EXPECT_EQ(strlen(buf), n);
    return buf;
}

TEST(RegistryKeyPath, JoinsOrRefusesWhole)
{
    size_t len = 99;
    EXPECT_EQ(key_path("SOFTWARE\\", "Vendor\\" SO "\\1.0", 260, &len), "SOFTWARE\\Vendor\\" SO "\\1.0");
    EXPECT_EQ(len, 22u);

    EXPECT_EQ(key_path("SOFTWARE\\", "", 260, &len), "");
    EXPECT_EQ(len, 0u) << "an empty script value names no key";

    // 9 + 250 = 259 characters fit; one more would be cut, so it is refused.
    std::string name(250, 'a');
    EXPECT_EQ(key_path("SOFTWARE\\", name, 260, &len), "SOFTWARE\\" + name);
    EXPECT_EQ(len, 259u);
    EXPECT_EQ(key_path("SOFTWARE\\", name + "b", 260, &len), "");
    EXPECT_EQ(len, 0u);
    char untouched = 'Z';
    EXPECT_EQ(registry_key_path(&untouched, 0, "SOFTWARE\\", "x"), 0u);
    EXPECT_EQ(untouched, 'Z') << "a buffer of no bytes is left alone";
}

// Walks a version key up to its first component, as the pruning does.
std::string walk(const std::string &start)
{
    char buf[300];
    memset(buf, 'Z', sizeof buf);
    memcpy(buf, start.c_str(), start.size() + 1);
    std::string seen;
    while (registry_cut_last_component(buf))
        seen += "[" + std::string(buf) + "]";
    return seen;
}

TEST(RegistryCutLastComponent, StopsAtTheFirstComponent)
{
    EXPECT_EQ(walk("Vendor\\Product\\1.0"), "[Vendor\\Product][Vendor]");
    EXPECT_EQ(walk("Vendor"), "") << "no backslash: no ancestor";
    EXPECT_EQ(walk("Vendor\\"), "[Vendor]");
}

TEST(RegistryCutLastComponent, NeverCutsATrailByte)
{
    EXPECT_EQ(walk(SO), "");
    EXPECT_EQ(walk(HYO "\\" SO), "[" HYO "]");
    EXPECT_EQ(walk("Vendor\\" SO "\\" HYO "1.0"), "[Vendor\\" SO "][Vendor]");
    EXPECT_EQ(walk("A" SO SO "\\B" HYO), "[A" SO SO "]");
}

TEST(RegistryCutLastComponent, NeverLeavesAnEmptyParent)
{
    // An empty parent would make the caller look at SOFTWARE itself.
    EXPECT_EQ(walk("\\Vendor"), "");
    EXPECT_EQ(walk("\\"), "");
    EXPECT_EQ(walk(""), "");
}

std::string command(const std::string &dir, const std::string &cmd, size_t size = REGISTRY_VALUE_SIZE,
                    size_t *len = nullptr)
{
    char buf[600];
    memset(buf, 'Z', sizeof buf);
    size_t n = registry_uninstall_command(buf, size, dir.c_str(), cmd.c_str());
    if (len)
        *len = n;
    EXPECT_EQ(buf[size], 'Z') << "wrote past the buffer";
    EXPECT_EQ(strlen(buf), n);
    return buf;
}

TEST(RegistryUninstallCommand, QuotesTheProgramAndKeepsTheArguments)
{
    EXPECT_EQ(command("C:\\Program Files\\Tool\\", "setup.exe /UNINSTALL"),
              "\"C:\\Program Files\\Tool\\setup.exe\" /UNINSTALL");
    EXPECT_EQ(command("C:\\Apps\\", "setup.exe"), "\"C:\\Apps\\setup.exe\"");
    EXPECT_EQ(command("C:\\Apps\\", "bin\\setup.exe  /UNINSTALL /X"), "\"C:\\Apps\\bin\\setup.exe\"  /UNINSTALL /X");
    EXPECT_EQ(command("C:\\Apps\\", "setup.exe\t/UNINSTALL"), "\"C:\\Apps\\setup.exe\"\t/UNINSTALL");
    // Double-byte names, some ending in the backslash code.
    EXPECT_EQ(command("C:\\" SO "\\", HYO ".exe /UNINSTALL"), "\"C:\\" SO "\\" HYO ".exe\" /UNINSTALL");
}

TEST(RegistryUninstallCommand, AProgramQuotedInTheScriptIsQuotedOnce)
{
    EXPECT_EQ(command("C:\\Program Files\\Tool\\", "\"my setup.exe\" /UNINSTALL"),
              "\"C:\\Program Files\\Tool\\my setup.exe\" /UNINSTALL");
    EXPECT_EQ(command("C:\\Apps\\", "\"setup.exe"), "\"C:\\Apps\\setup.exe\"");
}

TEST(RegistryUninstallCommand, EmptyOrTooLongGivesNothing)
{
    size_t len = 99;
    EXPECT_EQ(command("C:\\Apps\\", "", REGISTRY_VALUE_SIZE, &len), "");
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(command("C:\\Apps\\", "\"\" /UNINSTALL"), "");

    // The largest values the script and the session hold always fit.
    std::string dir = std::string(258, 'd') + "\\", cmd = "s" + std::string(247, 'x') + " /UNINSTALL";
    ASSERT_EQ(dir.size(), 259u);
    ASSERT_EQ(cmd.size(), 259u);
    EXPECT_EQ(command(dir, cmd, REGISTRY_VALUE_SIZE, &len), "\"" + dir + cmd.substr(0, 248) + "\" /UNINSTALL");
    EXPECT_EQ(len, 520u);

    // A buffer one short refuses the whole rather than lose the quote.
    EXPECT_EQ(command("C:\\Apps\\", "setup.exe /U", 23, &len), "\"C:\\Apps\\setup.exe\" /U");
    EXPECT_EQ(len, 22u);
    EXPECT_EQ(command("C:\\Apps\\", "setup.exe /U", 22, &len), "");
    EXPECT_EQ(len, 0u);
}

TEST(RegistryCommandRuns, ProgramPartComparedWithoutLetterCase)
{
    const char *program = "C:\\Other\\" SO "\\setup.exe";
    const struct {
        const char *command;
        int runs;
    } rows[] = {
        {"\"C:\\Other\\" SO "\\setup.exe\" /UNINSTALL", 1},
        {"\"c:\\OTHER\\" SO "\\SETUP.EXE\"", 1},
        {"C:\\Other\\" SO "\\setup.exe /UNINSTALL", 1},
        {"C:\\Other\\" SO "\\setup.exe\t/UNINSTALL", 1},
        {"C:\\Other\\" SO "\\setup.exe", 1},
        {"\"C:\\Other\\" SO "\\setup.exe", 0},
        {"\"C:\\Other\\" SO "\\setup.exe2\" /UNINSTALL", 0},
        {"C:\\Other\\" SO "\\setup.exe2 /UNINSTALL", 0},
        {"\"C:\\Program Files\\" SO "\\setup.exe\" /UNINSTALL", 0},
        {"C:\\Other\\" SO "\\setup.ex", 0},
        {"", 0},
        {"\"\"", 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(registry_command_runs(row.command, program), row.runs) << row.command;
    // A path with blanks, unquoted as older installers wrote it.
    EXPECT_EQ(registry_command_runs("C:\\Program Files\\A\\setup.exe /UNINSTALL", "C:\\Program Files\\A\\setup.exe"),
              1);
    EXPECT_EQ(registry_command_runs("\"C:\\A\\setup.exe\"", ""), 0);
}

} // namespace
