// Self-removal under Wine: delayed deletion on the NT family (read back from
// the registry), the hidden batch file of Windows 95/98 through the seam,
// and when finish_run asks for it.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"
#include "win_test_support.h"

namespace {

const char session_manager[] = "System\\CurrentControlSet\\Control\\Session Manager";

std::vector<RecordedBox> &boxes = recorded_boxes;

struct Move {
    std::string from;
    bool no_target;
    DWORD flags;
};
std::vector<Move> moves;
BOOL record_move(LPCSTR from, LPCSTR to, DWORD flags)
{
    moves.push_back({from, to == NULL, flags});
    return MoveFileExA(from, to, flags);
}

struct Started {
    std::string command, dir;
    DWORD flags;
    BOOL inherit;
    DWORD startup_flags;
    WORD show;
    bool no_application;
};
std::vector<Started> started;
BOOL record_start(LPCSTR app, LPSTR command, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL inherit, DWORD flags,
                  LPVOID, LPCSTR dir, LPSTARTUPINFOA si, LPPROCESS_INFORMATION pi)
{
    started.push_back({command, dir ? dir : "", flags, inherit, si->dwFlags, si->wShowWindow, app == NULL});
    // Stand-in handles the caller closes.
    pi->hProcess = CreateEventA(NULL, FALSE, FALSE, NULL);
    pi->hThread = CreateEventA(NULL, FALSE, FALSE, NULL);
    return TRUE;
}

// The pending renames, as the registry holds them.
std::vector<std::string> pending_renames()
{
    std::vector<std::string> out;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, session_manager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    static char data[65536];
    DWORD size = sizeof data - 2, type = 0;
    memset(data, 0, sizeof data);
    if (RegQueryValueExA(key, "PendingFileRenameOperations", NULL, &type, (BYTE *)data, &size) == ERROR_SUCCESS) {
        // Pairs of names; a deletion has an empty second name.
        for (const char *p = data; p < data + size; p += strlen(p) + 1)
            if (*p)
                out.push_back(p);
    }
    RegCloseKey(key);
    return out;
}

void set_pending_renames(const std::vector<char> &raw, bool present)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, session_manager, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    if (present)
        RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ, (const BYTE *)raw.data(),
                       (DWORD)raw.size());
    else
        RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);
}

class SelfRemoval : public WinTest {
protected:
    std::string folder, program;
    std::vector<char> saved_renames;
    bool had_renames = false;

    void SetUp() override
    {
        WinTest::SetUp();
        if (HasFatalFailure())
            return;
        moves.clear();
        started.clear();
        seam_hook<SEAM_MoveFileExA>(record_move, 1, 0);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "Self Removal " + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), NULL);
        program = folder + "\\setup.exe";
        FILE *f = fopen(program.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("MZ", f);
        fclose(f);
        snprintf(session.module_path, sizeof session.module_path, "%s", program.c_str());
        GetWindowsDirectoryA(session.windows_dir, sizeof session.windows_dir);
        session.is_nt = 1;
        session.run_mode = RunModeUninstall;
        // Keep the prefix's own pending renames; the test's go again.
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, session_manager, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            DWORD size = 0;
            if (RegQueryValueExA(key, "PendingFileRenameOperations", NULL, NULL, NULL, &size) == ERROR_SUCCESS) {
                saved_renames.resize(size);
                RegQueryValueExA(key, "PendingFileRenameOperations", NULL, NULL, (BYTE *)saved_renames.data(),
                                 &size);
                had_renames = true;
            }
            RegCloseKey(key);
        }
    }
    void TearDown() override
    {
        WinTest::TearDown();
        set_pending_renames(saved_renames, had_renames);
        DeleteFileA(program.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    bool pending(const std::string &path)
    {
        for (const std::string &entry : pending_renames())
            if (entry == "\\??\\" + path)
                return true;
        return false;
    }
};

TEST_F(SelfRemoval, UninstallerAndThenItsFolderGoAtTheNextStart)
{
    remove_self(1);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].from, program) << "the program first";
    EXPECT_EQ(moves[1].from, folder) << "then its folder, without a trailing backslash";
    for (const Move &m : moves) {
        EXPECT_TRUE(m.no_target) << "deleted, not moved";
        EXPECT_EQ(m.flags, (DWORD)MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    std::string listed;
    for (const std::string &entry : pending_renames())
        listed += "[" + entry + "] ";
    EXPECT_TRUE(pending(program)) << listed;
    EXPECT_TRUE(pending(folder)) << listed;
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(read_file(program), "MZ") << "nothing goes before the next start";
}

TEST_F(SelfRemoval, TemporaryCopyGoesAloneAndFailuresAreReportedPerMode)
{
    session.run_mode = RunModeTempCopy;
    remove_self(0);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_TRUE(pending(program));
    EXPECT_FALSE(pending(folder));

    seam_fail_at(SEAM_MoveFileExA, SEAM_NEXT);
    remove_self(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, catalogue(MSG_TEMP_REMOVE_FAILED));
    EXPECT_EQ(boxes[0].caption, catalogue(CAP_REMOVE_FAILED));
    EXPECT_EQ(boxes[0].style, (UINT)(MB_OK | MB_ICONEXCLAMATION));

    session.run_mode = RunModeUninstall;
    seam_fail_at(SEAM_MoveFileExA, SEAM_NEXT);
    remove_self(1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, catalogue(MSG_SELF_REMOVE_NO_TEMP));
    EXPECT_EQ(seam_count(SEAM_MoveFileExA), 3u) << "no folder after a failed file";
}

// Windows 95/98: the batch file, its name and how it is started.
class BatchRemoval : public SelfRemoval {
protected:
    void SetUp() override
    {
        SelfRemoval::SetUp();
        session.is_nt = 0;
        seam_hook<SEAM_CreateProcessA>(record_start, 1, 0);
    }
    std::string batch_path()
    {
        EXPECT_EQ(started.size(), 1u);
        if (started.empty())
            return "";
        const std::string &c = started[0].command;
        size_t open = c.find('"');
        return c.substr(open + 1, c.rfind('"') - open - 1);
    }
};

TEST_F(BatchRemoval, UninstallBatchHasFiveLinesAndRunsHidden)
{
    remove_self(1);
    std::string batch = batch_path();
    std::string name = batch.substr(batch.rfind('\\') + 1);
    EXPECT_EQ(name.substr(0, 3), "~ec");
    EXPECT_EQ(name.substr(name.size() - 4), ".bat");
    EXPECT_EQ(read_file(batch.substr(0, batch.size() - 4) + ".tmp"), "<missing>") << "placeholder removed";
    EXPECT_EQ(read_file(batch), ":loop\r\ndel \"" + program + "\"\r\nif exist \"" + program +
                                    "\" goto :loop\r\nrmdir \"" + folder + "\"\r\ndel \"" + batch + "\"\r\n");
    const Started &s = started[0];
    EXPECT_EQ(s.command, std::string(session.windows_dir) + "\\command.com /C \"" + batch + "\"");
    EXPECT_TRUE(s.no_application);
    EXPECT_FALSE(s.inherit);
    EXPECT_EQ(s.flags, (DWORD)CREATE_DEFAULT_ERROR_MODE);
    EXPECT_EQ(s.startup_flags, (DWORD)STARTF_USESHOWWINDOW);
    EXPECT_EQ(s.show, SW_HIDE);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    EXPECT_EQ(s.dir, temp);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(moves.empty()) << "no delayed deletion on this family";
    DeleteFileA(batch.c_str());
}

TEST_F(BatchRemoval, TemporaryCopyBatchHasNoRmdirLine)
{
    session.run_mode = RunModeTempCopy;
    remove_self(0);
    std::string batch = batch_path();
    EXPECT_EQ(read_file(batch), ":loop\r\ndel \"" + program + "\"\r\nif exist \"" + program +
                                    "\" goto :loop\r\ndel \"" + batch + "\"\r\n");
    DeleteFileA(batch.c_str());
}

// Batch files in the temporary folder.
std::vector<std::string> batch_files()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::vector<std::string> out;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "~ec*.bat").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return out;
    do
        out.push_back(std::string(temp) + found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return out;
}

TEST_F(BatchRemoval, EachFailureShowsTheOneMessage)
{
    std::vector<std::string> before = batch_files();
    seam_fail_at(SEAM_GetTempFileNameA, SEAM_NEXT);
    remove_self(1);
    seam_fail(SEAM_CreateFileA, (long long)(INT_PTR)INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, SEAM_NEXT);
    remove_self(1);
    seam_fail_at(SEAM_CreateProcessA, SEAM_NEXT);
    remove_self(1);
    ASSERT_EQ(boxes.size(), 3u);
    for (const RecordedBox &b : boxes)
        EXPECT_EQ(b.text, catalogue(MSG_SELF_REMOVE_NO_TEMP));
    EXPECT_TRUE(started.empty());
    // A batch file whose start failed stays; only that one.
    std::vector<std::string> after = batch_files();
    EXPECT_EQ(after.size(), before.size() + 1);
    for (const std::string &path : after)
        if (std::find(before.begin(), before.end(), path) == before.end())
            DeleteFileA(path.c_str());
}

TEST_F(SelfRemoval, FinishRunRemovesOnlyAfterACompletedRemovalOrATemporaryRun)
{
    session.run_mode = RunModeUninstall;
    session.debug_run = 1;
    finish_run(DebugRun);
    EXPECT_TRUE(moves.empty()) << "a rehearsal removes nothing";
    session.debug_run = 0;
    finish_run(Cancelled);
    EXPECT_TRUE(moves.empty()) << "a cancelled removal keeps its uninstaller";
    finish_run(UninstallFailed);
    EXPECT_EQ(moves.size(), 2u);

    moves.clear();
    session.run_mode = RunModeTempCopy;
    std::string script = folder + "\\copy.inf";
    FILE *f = fopen(script.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    snprintf(session.script_path, sizeof session.script_path, "%s", script.c_str());
    finish_run(Cancelled);
    EXPECT_EQ(read_file(script), "<missing>") << "the script copy is deleted";
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].from, program);
}

} // namespace
