// Environment discovery and the start-up refusals, against the Wine prefix,
// with the seam standing in for what a test cannot arrange for real.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "startup.h"
#include "win_test_support.h"

namespace {

std::vector<RecordedBox> &shown = recorded_boxes;

const char *fake_module;
DWORD module_name(HMODULE, LPSTR buf, DWORD size)
{
    snprintf(buf, size, "%s", fake_module);
    return (DWORD)strlen(buf);
}

UINT windows_on_c(LPSTR buf, UINT size)
{
    snprintf(buf, size, "C:\\WINDOWS");
    return 10;
}

char program_files[MAX_PATH];
LONG program_files_value(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE data, LPDWORD size)
{
    snprintf((char *)data, *size, "%s", program_files);
    return ERROR_SUCCESS;
}

class Environment : public WinTest {
protected:
    int discover(unsigned mode, const char *module)
    {
        session.run_mode = mode;
        if (module) {
            fake_module = module;
            seam_hook<SEAM_GetModuleFileNameA>(module_name, 1, 0);
        }
        return discover_environment();
    }
};

TEST_F(Environment, FoldersOfASetupRun)
{
    ASSERT_EQ(discover(RunModeSetup, "D:\\SETUP.EXE"), 1);
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    GetSystemDirectoryA(system, sizeof system);
    EXPECT_STREQ(session.windows_dir, windows);
    EXPECT_EQ(std::string(session.system_dir), std::string(system) + "\\");
    EXPECT_NE(session.system_dir[strlen(session.system_dir) - 2], '\\') << "exactly one backslash";
    EXPECT_STREQ(session.module_path, "D:\\SETUP.EXE");
    EXPECT_STREQ(session.script_path, "D:\\SETUP.inf");
    EXPECT_STREQ(session.source_dir, "D:\\");
    // Wine's registry holds ProgramFilesDir; no script on D: so no default folder.
    EXPECT_STREQ(session.program_files_dir, "C:\\Program Files");
    EXPECT_STREQ(session.destination_dir, "C:\\Program Files\\");
    EXPECT_TRUE(shown.empty());
}

TEST_F(Environment, ProgramFilesFallsBackToTheWindowsDrive)
{
    seam_hook<SEAM_GetWindowsDirectoryA>(windows_on_c, 1, 0);
    seam_fail(SEAM_RegOpenKeyExA, ERROR_FILE_NOT_FOUND, 0, 1, 0);
    ASSERT_EQ(discover(RunModeSetup, "D:\\SETUP.EXE"), 1);
    EXPECT_STREQ(session.windows_dir, "C:\\WINDOWS");
    EXPECT_STREQ(session.program_files_dir, "C:\\");
    EXPECT_STREQ(session.destination_dir, "C:\\");

    // A value that cannot be read counts as missing too.
    seam_reset();
    seam_hook<SEAM_MessageBoxA>(note_box, 1, 0);
    seam_hook<SEAM_GetWindowsDirectoryA>(windows_on_c, 1, 0);
    seam_fail(SEAM_RegQueryValueExA, ERROR_MORE_DATA, 0, 1, 0);
    ASSERT_EQ(discover(RunModeSetup, "D:\\SETUP.EXE"), 1);
    EXPECT_STREQ(session.program_files_dir, "C:\\");
}

TEST_F(Environment, MissingSystemFoldersEndTheRunSilently)
{
    seam_fail_at(SEAM_GetWindowsDirectoryA);
    EXPECT_EQ(discover(RunModeSetup, nullptr), 0);
    seam_fail_at(SEAM_GetSystemDirectoryA, SEAM_NEXT);
    EXPECT_EQ(discover(RunModeSetup, nullptr), 0);
    seam_fail_at(SEAM_GetModuleFileNameA, SEAM_NEXT);
    EXPECT_EQ(discover(RunModeSetup, nullptr), 0);
    EXPECT_TRUE(shown.empty());
}

// A medium in a temporary folder, with the script beside the program.
class Medium : public Environment {
protected:
    char dir[MAX_PATH];
    char module[MAX_PATH];
    char script[MAX_PATH];

    void SetUp() override
    {
        Environment::SetUp();
        if (HasFatalFailure())
            return;
        make_scratch("med");
        snprintf(dir, sizeof dir, "%s", scratch.c_str());
        snprintf(module, sizeof module, "%ssetup.exe", dir);
        snprintf(script, sizeof script, "%ssetup.inf", dir);
    }
};

TEST_F(Medium, TempCopyReadsItsSourceFromTheScript)
{
    write_file(script, "[general]\r\nsrcdir=E:\\\r\napplication=\x83\x54\x83\x93\x83\x76\x83\x8b\r\n"
                       "default_dir=\x83\x5c\x83\x74\x83\x67\r\n");
    ASSERT_EQ(discover(RunModeTempCopy, module), 1);
    EXPECT_STREQ(session.source_dir, "E:\\");
    EXPECT_STREQ(session.application_name, "\x83\x54\x83\x93\x83\x76\x83\x8b");
    // ソフト ends in no backslash of its own: one separator is added.
    EXPECT_STREQ(session.destination_dir, "C:\\Program Files\\\x83\x5c\x83\x74\x83\x67\\");
}

TEST_F(Medium, TempCopyWithoutSourceEndsSilently)
{
    write_file(script, "[general]\r\napplication=App\r\n");
    EXPECT_EQ(discover(RunModeTempCopy, module), 0);
    write_file(script, "[general]\r\nsrcdir=\r\n");
    EXPECT_EQ(discover(RunModeTempCopy, module), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(Medium, OtherProgramNamesUseTheirOwnFolder)
{
    snprintf(module, sizeof module, "%sinstall.exe", dir);
    ASSERT_EQ(discover(RunModeSetup, module), 1);
    EXPECT_STREQ(session.source_dir, dir);
    snprintf(module, sizeof module, "%sa.exe", dir);
    ASSERT_EQ(discover(RunModeUninstall, module), 1);
    EXPECT_STREQ(session.source_dir, dir);
}

TEST_F(Medium, StartedFromItsOwnDestinationIsRefused)
{
    // The medium folder plays the installed folder: Program Files is set to
    // its parent through the default folder name.
    char parent[MAX_PATH];
    snprintf(parent, sizeof parent, "%s", dir);
    parent[strlen(parent) - 1] = '\0';
    char *name = strrchr(parent, '\\');
    ASSERT_NE(name, nullptr);
    *name++ = '\0';
    char text[600];
    snprintf(text, sizeof text, "[general]\r\ndefault_dir=%s\r\napplication=App\r\n", name);
    write_file(script, text);

    // The registry answers with the medium's parent folder, in other letter case.
    snprintf(program_files, sizeof program_files, "%s", parent);
    CharUpperA(program_files);
    seam_hook<SEAM_RegQueryValueExA>(program_files_value, 1, 0);

    EXPECT_EQ(discover(RunModeSetup, module), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, catalogue(MSG_SAME_FOLDER));
    EXPECT_EQ(shown[0].caption, catalogue(CAP_START_ERROR));
    EXPECT_EQ(shown[0].style, (UINT)(MB_OK | MB_ICONSTOP));
    EXPECT_STREQ(session.application_name, "") << "the name is read only after the check";

    shown.clear();
    EXPECT_EQ(discover(RunModeUninstall, module), 1);
    EXPECT_TRUE(shown.empty());
    EXPECT_STREQ(session.application_name, "App");
}

TEST_F(Medium, UninstallerNamedByItsUninstallEntryRemovesItsOwnFolder)
{
    std::string entry = "EnvUninstall" + std::to_string(GetCurrentProcessId());
    std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entry;
    write_file(script, "[general]\r\ndefault_dir=Tool\r\n[registry]\r\nuninstall_key=" + entry + "\r\n");
    std::string upper = module;
    CharUpperA(&upper[0]);
    const std::string elsewhere = "C:\\Program Files\\Tool\\";
    const struct {
        unsigned mode;
        DWORD type;
        std::string command; // "" for no entry
        std::string destination;
    } rows[] = {
        {RunModeUninstall, REG_SZ, "\"" + upper + "\" /UNINSTALL", dir},
        {RunModeUninstall, REG_EXPAND_SZ, std::string(module) + " /UNINSTALL", dir},
        {RunModeUninstall, REG_SZ, "\"C:\\Program Files\\Tool\\setup.exe\" /UNINSTALL", elsewhere},
        {RunModeUninstall, REG_SZ, "\"" + std::string(module) + "x\" /UNINSTALL", elsewhere},
        {RunModeUninstall, REG_BINARY, std::string(module), elsewhere},
        {RunModeUninstall, REG_SZ, "", elsewhere},
        {RunModeSetup, REG_SZ, "\"" + std::string(module) + "\" /UNINSTALL", elsewhere},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.command);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        if (!row.command.empty()) {
            HKEY k;
            ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL),
                      ERROR_SUCCESS);
            RegSetValueExA(k, "UninstallString", 0, row.type, (const BYTE *)row.command.c_str(),
                           (DWORD)row.command.size() + 1);
            RegCloseKey(k);
        }
        ASSERT_EQ(discover(row.mode, module), 1);
        EXPECT_EQ(std::string(session.destination_dir), row.destination);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    EXPECT_TRUE(shown.empty());
}

TEST(VersionProbe, FamilyFromTheTopBit)
{
    seam_reset();
    probe_windows_version();
    EXPECT_EQ(session.is_nt, 1) << "Wine reports the NT family";
    seam_fail(SEAM_GetVersion, 0xC0000A04LL, 0, SEAM_NEXT);
    probe_windows_version();
    EXPECT_EQ(session.is_nt, 0);
    seam_reset();
}

} // namespace
