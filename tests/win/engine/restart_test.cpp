// replace_file_at_restart: the temporary copy in the system folder, the move
// scheduled with the platform on the NT family (read back from the registry),
// the exact [rename] text of wininit.ini on Windows 95/98, and the message
// when the temporary copy fails.
#include "vcopy_support.h"

#include <string.h>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

typedef std::vector<std::pair<std::string, std::string>> RenamePairs;

// The scheduled renames: (existing name, new name) pairs of the REG_MULTI_SZ.
RenamePairs pending_renames(DWORD *type = NULL)
{
    RenamePairs pairs;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return pairs;
    DWORD size = 0, value_type = 0;
    std::vector<char> data;
    if (RegQueryValueExA(key, kPending, NULL, &value_type, NULL, &size) == ERROR_SUCCESS && size > 0) {
        data.resize(size + 2, '\0');
        RegQueryValueExA(key, kPending, NULL, &value_type, (BYTE *)data.data(), &size);
    }
    RegCloseKey(key);
    if (type)
        *type = value_type;
    std::vector<std::string> entries;
    for (size_t at = 0; at < size;) {
        std::string entry(data.data() + at);
        entries.push_back(entry);
        at += entry.size() + 1;
    }
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
        pairs.push_back({entries[i], entries[i + 1]});
    return pairs;
}

bool mentions(const std::string &text, const char *part)
{
    std::string upper = text;
    for (char &c : upper)
        c = (char)toupper((unsigned char)c);
    return upper.find(part) != std::string::npos;
}

// Drops the renames of names containing `part` (upper case), so that no
// later start of the prefix carries them out.
void forget_renames(const char *part)
{
    RenamePairs kept;
    for (const auto &pair : pending_renames())
        if (!mentions(pair.first, part) && !mentions(pair.second, part))
            kept.push_back(pair);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (kept.empty()) {
        RegDeleteValueA(key, kPending);
    } else {
        std::string data;
        for (const auto &pair : kept)
            data += pair.first + '\0' + pair.second + '\0';
        data += '\0';
        RegSetValueExA(key, kPending, 0, REG_MULTI_SZ, (const BYTE *)data.data(), (DWORD)data.size());
    }
    RegCloseKey(key);
}

bool same_text(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Calls of MoveFileExA, passed on to the platform unless `fail_moves`.
struct MoveCall {
    std::string from, to;
    DWORD flags;
};
std::vector<MoveCall> move_calls;
bool fail_moves;

BOOL record_move(LPCSTR from, LPCSTR to, DWORD flags)
{
    move_calls.push_back({from, to, flags});
    if (fail_moves) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return MoveFileExA(from, to, flags);
}

// A version installer that installs nothing and reports success, and the
// names it was asked for.
std::vector<std::string> find_names;

DWORD quiet_find(DWORD, LPCSTR name, LPCSTR, LPCSTR, LPSTR cur_dir, PUINT, LPSTR dest_dir, PUINT)
{
    find_names.push_back(name);
    cur_dir[0] = '\0';
    strcpy(dest_dir, "C:\\WINDOWS\\SYSTEM");
    return 0;
}

DWORD quiet_install(DWORD, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPSTR, PUINT)
{
    return 0;
}

DWORD platform_find(DWORD flags, LPCSTR name, LPCSTR win_dir, LPCSTR app_dir, LPSTR cur_dir, PUINT cur_len,
                    LPSTR dest_dir, PUINT dest_len)
{
    return real_VerFindFileA(flags, name, win_dir, app_dir, cur_dir, cur_len, dest_dir, dest_len);
}

DWORD platform_install(DWORD flags, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir, LPCSTR dst_dir,
                       LPCSTR cur_dir, LPSTR tmp_name, PUINT tmp_len)
{
    return real_VerInstallFileA(flags, src_name, dst_name, src_dir, dst_dir, cur_dir, tmp_name, tmp_len);
}

class Restart : public VcopyTest {
protected:
    void SetUp() override
    {
        VcopyTest::SetUp();
        move_calls.clear();
        find_names.clear();
        fail_moves = false;
        seam_hook<SEAM_MoveFileExA>(record_move, 1, 0);
        forget_renames("VCOPY");
    }
    void TearDown() override
    {
        forget_renames("VCOPY");
        VcopyTest::TearDown();
    }

    void install_nothing()
    {
        seam_hook<SEAM_VerFindFileA>(quiet_find, 1, 0);
        seam_hook<SEAM_VerInstallFileA>(quiet_install, 1, 0);
    }

    std::string wininit() const { return windows_dir + "\\wininit.ini"; }

    // Another case in the same test: no wininit.ini, no replacement yet.
    void restart_case_file()
    {
        remove_file(wininit());
        session.restart_needed = 0;
        recorded_boxes.clear();
    }
};

TEST_F(Restart, NtInstallsTheTemporaryCopyAndSchedulesTheReplacement)
{
    std::string temp = keep_out_of_system("VCOPYNT.$$$");
    std::string target = keep_out_of_system("VCOPYNT.DLL");
    std::string v1 = put_on_medium("vcopy_v1", "V1.DLL");

    replace_file_at_restart("V1.DLL", "VCOPYNT.DLL");

    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(temp), v1);
    EXPECT_FALSE(file_exists(target)) << "the target is replaced at the next start only";
    EXPECT_EQ(session.restart_needed, 1);
    ASSERT_EQ(move_calls.size(), 1u);
    EXPECT_EQ(move_calls[0].from, temp);
    EXPECT_EQ(move_calls[0].to, target);
    EXPECT_EQ(move_calls[0].flags, (DWORD)(MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));

    // What the platform keeps for the next start: the temporary copy, then
    // the target marked "!" (replace an existing file).
    DWORD type = 0;
    int found = 0;
    for (const auto &pair : pending_renames(&type)) {
        if (!same_text(pair.first, "\\??\\" + temp))
            continue;
        found++;
        EXPECT_TRUE(same_text(pair.second, "!\\??\\" + target)) << pair.second;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(type, (DWORD)REG_MULTI_SZ);
    EXPECT_FALSE(file_exists(wininit())) << "the NT family has no use for wininit.ini";
}

TEST_F(Restart, NtReplacementOfAFileInUse)
{
    // The file step's case: the shared file is held open by another program,
    // the versioned copy fails silently (under Wine with a sharing
    // violation), and the replacement at the next start takes over.
    std::string target = keep_out_of_system("VCOPYIU.DLL");
    std::string temp = keep_out_of_system("VCOPYIU.$$$");
    std::string v1 = put_on_medium("vcopy_v1", "V1.DLL");
    std::string v2 = put_on_medium("vcopy_v2", "V2.DLL");
    ASSERT_TRUE(CopyFileA(medium("V1.DLL").c_str(), target.c_str(), FALSE));
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    int installed = install_versioned_file(1, "V2.DLL", "VCOPYIU.DLL");
    replace_file_at_restart("V2.DLL", "VCOPYIU.DLL");
    CloseHandle(held);

    EXPECT_EQ(installed, 0);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(target), v1);
    EXPECT_EQ(read_file(temp), v2);
    EXPECT_EQ(session.restart_needed, 1);
    int found = 0;
    for (const auto &pair : pending_renames())
        if (same_text(pair.first, "\\??\\" + temp) && same_text(pair.second, "!\\??\\" + target))
            found++;
    EXPECT_EQ(found, 1);
}

// Runs the platform's restart processing (Wine: wineboot -r), which carries
// out the scheduled renames. 1 when it ran.
int simulate_restart()
{
    char command[] = "wineboot.exe -r";
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 0;
    DWORD waited = WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return waited == WAIT_OBJECT_0;
}

TEST_F(Restart, NtReplacementReplacesTheExistingFileAtTheNextStart)
{
    std::string target = keep_out_of_system("VCOPYRB.DLL");
    std::string temp = keep_out_of_system("VCOPYRB.$$$");
    put_on_medium("vcopy_v1", "V1.DLL");
    std::string v2 = put_on_medium("vcopy_v2", "V2.DLL");
    ASSERT_TRUE(CopyFileA(medium("V1.DLL").c_str(), target.c_str(), FALSE));

    replace_file_at_restart("V2.DLL", "VCOPYRB.DLL");
    ASSERT_EQ(session.restart_needed, 1);
    ASSERT_TRUE(simulate_restart());
    EXPECT_EQ(read_file(target), v2) << "the existing file is replaced";
    EXPECT_FALSE(file_exists(temp));
}

TEST_F(Restart, NtMoveThatFailsIsNotReported)
{
    install_nothing();
    fail_moves = true;
    replace_file_at_restart("SRC.DLL", "VCOPYMF.DLL");
    EXPECT_EQ(move_calls.size(), 1u);
    EXPECT_EQ(session.restart_needed, 0);
    EXPECT_TRUE(recorded_boxes.empty());

    // An earlier replacement's flag stays.
    session.restart_needed = 1;
    replace_file_at_restart("SRC.DLL", "VCOPYMF.DLL");
    EXPECT_EQ(session.restart_needed, 1);
}

TEST_F(Restart, TemporaryNameOfShortAndOrdinaryTargets)
{
    install_nothing();
    fail_moves = true;
    replace_file_at_restart("SRC.DLL", "FOO.DLL");
    replace_file_at_restart("SRC.DLL", "AB");
    ASSERT_EQ(find_names, (std::vector<std::string>{"FOO.$$$", "AB.$$$"}));
    ASSERT_EQ(move_calls.size(), 2u);
    EXPECT_EQ(move_calls[0].from, system_folder() + "FOO.$$$");
    EXPECT_EQ(move_calls[0].to, system_folder() + "FOO.DLL");
    EXPECT_EQ(move_calls[1].from, system_folder() + "AB.$$$");
    EXPECT_EQ(move_calls[1].to, system_folder() + "AB");
}

TEST_F(Restart, FailedTemporaryCopyIsReportedAndNothingIsScheduled)
{
    for (int nt = 1; nt >= 0; nt--) {
        SCOPED_TRACE(nt ? "NT family" : "Windows 95/98");
        recorded_boxes.clear();
        session.is_nt = nt;
        keep_out_of_system("VCOPYMS.$$$");
        // The source is missing: the version installer cannot read it.
        replace_file_at_restart("NONE.DLL", "VCOPYMS.DLL");
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_FILE_IN_USE_SKIPPED, "VCOPYMS.DLL"));
        EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_COPY_FAILED));
        EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONINFORMATION));
        EXPECT_TRUE(move_calls.empty());
        EXPECT_FALSE(file_exists(wininit()));
        EXPECT_EQ(session.restart_needed, 0);
        EXPECT_FALSE(file_exists(system_folder() + "VCOPYMS.$$$"));
    }
}

class Win9xRestart : public Restart {
protected:
    void SetUp() override
    {
        Restart::SetUp();
        session.is_nt = 0;
        strcpy(session.system_dir, "C:\\WINDOWS\\SYSTEM\\");
        install_nothing();
    }

    // The bytes wininit.ini holds after one replacement of FOO.DLL, given
    // what it held before (NULL: no file).
    std::string after_one(const std::string *before)
    {
        if (before)
            write_file(wininit(), *before);
        replace_file_at_restart("SRC.DLL", "FOO.DLL");
        EXPECT_EQ(session.restart_needed, 1);
        EXPECT_TRUE(move_calls.empty()) << "no MoveFileExA on Windows 95/98";
        EXPECT_TRUE(recorded_boxes.empty());
        return read_file(wininit());
    }
};

const char kEntry[] = "C:\\WINDOWS\\SYSTEM\\FOO.DLL=C:\\WINDOWS\\SYSTEM\\FOO.$$$";

TEST_F(Win9xRestart, NewFileHoldsTheHeaderAndOneEntry)
{
    EXPECT_EQ(after_one(NULL), std::string("[rename]\r\n") + kEntry);
}

TEST_F(Win9xRestart, ExistingSectionGetsOnlyTheEntry)
{
    std::string before = "[rename]\r\nC:\\WINDOWS\\SYSTEM\\BAR.DLL=C:\\WINDOWS\\SYSTEM\\BAR.$$$";
    EXPECT_EQ(after_one(&before), before + "\r\n" + kEntry);
}

TEST_F(Win9xRestart, FileWithoutTheSectionGetsAHeader)
{
    std::string before = "[boot]\r\nshell=explorer.exe\r\n";
    EXPECT_EQ(after_one(&before), before + "\r\n[rename]\r\n" + kEntry);

    // The header is looked for in this letter case only.
    restart_case_file();
    before = "[RENAME]\r\nA=B";
    EXPECT_EQ(after_one(&before), before + "\r\n[rename]\r\n" + kEntry);
}

TEST_F(Win9xRestart, OnlyTheFirst8196BytesAreSearched)
{
    // "[rename]" starting at `offset`: wholly inside the first 8196 bytes at
    // 8188, cut by their end at 8189 (and so a second header is written).
    for (size_t offset : {(size_t)8188, (size_t)8189, (size_t)20000}) {
        SCOPED_TRACE("header at " + std::to_string(offset));
        restart_case_file();
        std::string before = "[boot]\r\n;" + std::string(offset - 11, 'x') + "\r\n";
        ASSERT_EQ(before.size(), offset);
        before += "[rename]\r\nC:\\A=C:\\B";
        std::string expected = before + (offset == 8188 ? "\r\n" : "\r\n[rename]\r\n") + kEntry;
        EXPECT_EQ(after_one(&before), expected);
    }
}

TEST_F(Win9xRestart, TwoReplacementsInOneRunShareTheHeader)
{
    replace_file_at_restart("SRC.DLL", "FOO.DLL");
    replace_file_at_restart("SRC.DLL", "\x83\x5c\x83\x74\x83\x67.DLL"); // ソフト.DLL
    EXPECT_EQ(read_file(wininit()), std::string("[rename]\r\n") + kEntry +
                                        "\r\nC:\\WINDOWS\\SYSTEM\\\x83\x5c\x83\x74\x83\x67.DLL="
                                        "C:\\WINDOWS\\SYSTEM\\\x83\x5c\x83\x74\x83\x67.$$$");
    EXPECT_EQ(session.restart_needed, 1);
}

TEST_F(Win9xRestart, EndOfFileMarkGivesWayToTheEntry)
{
    std::string before = "[rename]\r\nC:\\A=C:\\B\r\n";
    std::string with_mark = before + "\x1a";
    EXPECT_EQ(after_one(&with_mark), before + "\r\n" + kEntry);
}

// A failed installation's file in use: wininit.ini deletes it with NUL=, in
// the short name its DOS-time run reads.
TEST_F(Win9xRestart, AFileInUseIsDeletedAtTheNextStartByItsShortName)
{
    const std::string folder = work_dir + "Long folder name\\";
    CreateDirectoryA(folder.c_str(), NULL);
    write_file(folder + "a long file name.txt", "x");
    const std::string path = folder + "a long file name.txt";
    char short_path[MAX_PATH];
    ASSERT_NE(GetShortPathNameA(path.c_str(), short_path, sizeof short_path), 0u);
    ASSERT_EQ(delete_file_at_restart(path.c_str()), 1);
    EXPECT_EQ(read_file(wininit()), std::string("[rename]\r\nNUL=") + short_path);
    EXPECT_TRUE(move_calls.empty());
}

TEST_F(Win9xRestart, FileThatCanBeNeitherOpenedNorCreated)
{
    // A Windows folder that does not exist.
    std::string missing = work_dir + "missing";
    strcpy(session.windows_dir, missing.c_str());
    replace_file_at_restart("SRC.DLL", "FOO.DLL");
    EXPECT_EQ(session.restart_needed, 0);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_FALSE(file_exists(missing));

    // A wininit.ini that another program holds open without sharing: it
    // cannot be opened, and it exists, so it is not created either.
    strcpy(session.windows_dir, windows_dir.c_str());
    write_file(wininit(), "[boot]\r\n");
    HANDLE held = CreateFileA(wininit().c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    replace_file_at_restart("SRC.DLL", "FOO.DLL");
    CloseHandle(held);
    EXPECT_EQ(session.restart_needed, 0);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(wininit()), "[boot]\r\n");
}

TEST_F(Win9xRestart, RealTemporaryCopyInTheSystemFolder)
{
    // The platform's version installer again (the hook set last wins).
    seam_hook<SEAM_VerFindFileA>(platform_find, SEAM_NEXT, 0);
    seam_hook<SEAM_VerInstallFileA>(platform_install, SEAM_NEXT, 0);
    std::string sys = system_folder();
    strcpy(session.system_dir, sys.c_str());
    std::string temp = keep_out_of_system("VCOPY9X.$$$");
    keep_out_of_system("VCOPY9X.DLL");
    std::string v1 = put_on_medium("vcopy_v1", "V1.DLL");

    replace_file_at_restart("V1.DLL", "VCOPY9X.DLL");
    EXPECT_EQ(read_file(temp), v1);
    EXPECT_EQ(read_file(wininit()), "[rename]\r\n" + sys + "VCOPY9X.DLL=" + temp);
    EXPECT_EQ(session.restart_needed, 1);
    EXPECT_TRUE(move_calls.empty());
}

} // namespace
