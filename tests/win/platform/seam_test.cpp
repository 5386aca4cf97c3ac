// The test seam itself: injected results reach the caller with their last
// error, only for the calls asked for, and every other call reaches the
// platform.
#include <gtest/gtest.h>

#include <string.h>

#include "seam.h"

namespace {

class SeamTest : public ::testing::Test {
protected:
    void SetUp() override { seam_reset(); }
    void TearDown() override { seam_reset(); }
};

TEST_F(SeamTest, FailureCoversOnlyTheCallsAskedForThenThePlatformAnswersAgain)
{
    char real[MAX_PATH];
    DWORD real_len = GetTempPathA(sizeof real, real);
    ASSERT_GT(real_len, 0u);

    seam_fail(SEAM_GetTempPathA, 0, ERROR_PATH_NOT_FOUND, 2, 2);

    char buf[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(sys_GetTempPathA(sizeof buf, buf), real_len);
    EXPECT_STREQ(buf, real);

    for (int i = 0; i < 2; i++) {
        memset(buf, '#', sizeof buf);
        buf[sizeof buf - 1] = '\0';
        SetLastError(0);
        EXPECT_EQ(sys_GetTempPathA(sizeof buf, buf), 0u) << "call " << i + 2;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
        EXPECT_EQ(buf[0], '#') << "an injected call must not reach the platform";
    }

    EXPECT_EQ(sys_GetTempPathA(sizeof buf, buf), real_len);
    EXPECT_STREQ(buf, real);
    EXPECT_EQ(seam_count(SEAM_GetTempPathA), 4u);
    EXPECT_EQ(seam_count(SEAM_GetWindowsDirectoryA), 0u);
}

TEST_F(SeamTest, ZeroTimesFailsForEverUntilReset)
{
    char real[MAX_PATH];
    UINT real_len = GetWindowsDirectoryA(real, sizeof real);
    ASSERT_GT(real_len, 0u);

    seam_fail(SEAM_GetWindowsDirectoryA, 0, ERROR_NOT_ENOUGH_MEMORY, 1, 0);
    char buf[MAX_PATH];
    for (int i = 0; i < 20; i++) {
        SetLastError(0);
        ASSERT_EQ(sys_GetWindowsDirectoryA(buf, sizeof buf), 0u) << "call " << i + 1;
        ASSERT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    }
    EXPECT_EQ(seam_count(SEAM_GetWindowsDirectoryA), 20u);

    seam_reset();
    EXPECT_EQ(seam_count(SEAM_GetWindowsDirectoryA), 0u);
    EXPECT_EQ(sys_GetWindowsDirectoryA(buf, sizeof buf), real_len);
    EXPECT_STREQ(buf, real);
    EXPECT_EQ(seam_count(SEAM_GetWindowsDirectoryA), 1u);
}

TEST_F(SeamTest, NthCountsFromTheLastResetNotFromTheInjection)
{
    char buf[MAX_PATH];
    EXPECT_GT(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);
    EXPECT_GT(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);
    seam_fail(SEAM_GetSystemDirectoryA, 0, ERROR_ACCESS_DENIED, 4, 1);
    EXPECT_GT(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);
    SetLastError(0);
    EXPECT_EQ(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_GT(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);

    // SEAM_NEXT: the next call from now, whatever the count.
    seam_fail(SEAM_GetSystemDirectoryA, 0, ERROR_INVALID_PARAMETER, SEAM_NEXT);
    SetLastError(0);
    EXPECT_EQ(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_GT(sys_GetSystemDirectoryA(buf, sizeof buf), 0u);
    EXPECT_EQ(seam_count(SEAM_GetSystemDirectoryA), 7u);
}

TEST_F(SeamTest, LaterInjectionWinsWhereTwoOverlap)
{
    seam_fail(SEAM_DeleteFileA, FALSE, ERROR_ACCESS_DENIED, 1, 0);
    seam_fail(SEAM_DeleteFileA, FALSE, ERROR_SHARING_VIOLATION, 2, 1);
    SetLastError(0);
    EXPECT_FALSE(sys_DeleteFileA("C:\\no such folder\\x"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(sys_DeleteFileA("C:\\no such folder\\x"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(sys_DeleteFileA("C:\\no such folder\\x"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(SeamTest, GetVersionCanReportThe9xFamily)
{
    // A 64-bit program under Wine always sees the NT family.
    DWORD real = sys_GetVersion();
    EXPECT_EQ(real & 0x80000000u, 0u);

    seam_fail(SEAM_GetVersion, 0x80000004LL, 0, SEAM_NEXT);
    DWORD injected = sys_GetVersion();
    EXPECT_EQ(injected, 0x80000004u);
    EXPECT_NE(injected & 0x80000000u, 0u);
    EXPECT_EQ(LOBYTE(LOWORD(injected)), 4);

    EXPECT_EQ(sys_GetVersion(), real);
}

TEST_F(SeamTest, RegistryFailureLeavesTheRegistryUntouched)
{
    const char *sub = "Software\\SetupSeamTest";
    RegDeleteKeyA(HKEY_CURRENT_USER, sub);

    seam_fail(SEAM_RegCreateKeyExA, ERROR_ACCESS_DENIED, 0);
    HKEY key = NULL;
    DWORD disposition = 0;
    EXPECT_EQ(sys_RegCreateKeyExA(HKEY_CURRENT_USER, sub, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition),
              (LONG)ERROR_ACCESS_DENIED);
    HKEY probe;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub, 0, KEY_READ, &probe), (LONG)ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(sys_RegCreateKeyExA(HKEY_CURRENT_USER, sub, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition),
              (LONG)ERROR_SUCCESS);
    EXPECT_EQ(disposition, (DWORD)REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, sub), (LONG)ERROR_SUCCESS);
}

TEST_F(SeamTest, HandleAndPointerResultsComeFromTheInteger)
{
    seam_fail(SEAM_CreateFileA, -1, ERROR_SHARING_VIOLATION);
    SetLastError(0);
    HANDLE file = sys_CreateFileA("C:\\windows\\win.ini", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);

    seam_fail(SEAM_GlobalAlloc, 0, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(sys_GlobalAlloc(GMEM_MOVEABLE, 64), (HGLOBAL)NULL);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    HGLOBAL mem = sys_GlobalAlloc(GMEM_MOVEABLE, 64);
    EXPECT_NE(mem, (HGLOBAL)NULL);
    GlobalFree(mem);
}

// A version installer that reports a file in use and names its temporary copy.
struct InstallCall {
    char src_name[MAX_PATH];
    char dst_dir[MAX_PATH];
    UINT tmp_len_in;
};
InstallCall last_install;

DWORD fake_install(DWORD flags, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir, LPCSTR dst_dir, LPCSTR cur_dir,
                   LPSTR tmp_name, PUINT tmp_len)
{
    (void)flags, (void)dst_name, (void)src_dir, (void)cur_dir;
    strcpy(last_install.src_name, src_name);
    strcpy(last_install.dst_dir, dst_dir);
    last_install.tmp_len_in = *tmp_len;
    const char name[] = "\\VER1A2B.TMP";
    if (*tmp_len < sizeof name) {
        *tmp_len = sizeof name;
        return VIF_BUFFTOOSMALL;
    }
    memcpy(tmp_name, name, sizeof name);
    *tmp_len = sizeof name;
    return VIF_TEMPFILE | VIF_FILEINUSE;
}

TEST_F(SeamTest, HookFillsOutBuffersThenTheRealInstallerAnswers)
{
    ASSERT_TRUE(load_system_libraries());
    seam_hook<SEAM_VerInstallFileA>(fake_install);

    char tmp[MAX_PATH] = "";
    UINT tmp_len = sizeof tmp;
    DWORD r = sys_VerInstallFileA(0, "APP.DLL", "APP.DLL", "C:\\nosource\\", "C:\\windows\\system32\\", "", tmp,
                                  &tmp_len);
    EXPECT_EQ(r, (DWORD)(VIF_TEMPFILE | VIF_FILEINUSE));
    EXPECT_STREQ(tmp, "\\VER1A2B.TMP");
    EXPECT_EQ(tmp_len, sizeof "\\VER1A2B.TMP");
    EXPECT_STREQ(last_install.src_name, "APP.DLL");
    EXPECT_STREQ(last_install.dst_dir, "C:\\windows\\system32\\");
    EXPECT_EQ(last_install.tmp_len_in, (UINT)MAX_PATH);

    // The hook covered one call: the next one is the platform's, which
    // cannot read a source that does not exist.
    tmp[0] = '\0';
    tmp_len = sizeof tmp;
    r = sys_VerInstallFileA(0, "APP.DLL", "APP.DLL", "C:\\nosource\\", "C:\\windows\\system32\\", "", tmp, &tmp_len);
    EXPECT_NE(r & VIF_CANNOTREADSRC, 0u) << std::hex << r;
    EXPECT_EQ(r & VIF_FILEINUSE, 0u) << std::hex << r;
    EXPECT_EQ(seam_count(SEAM_VerInstallFileA), 2u);
}

TEST_F(SeamTest, UntouchedCallsReachTheRealVersionInstaller)
{
    ASSERT_TRUE(load_system_libraries());
    char system_dir[MAX_PATH];
    UINT n = GetSystemDirectoryA(system_dir, sizeof system_dir);
    ASSERT_GT(n, 0u);

    char cur[MAX_PATH] = "", dest[MAX_PATH] = "";
    UINT cur_len = sizeof cur, dest_len = sizeof dest;
    DWORD r = sys_VerFindFileA(VFFF_ISSHAREDFILE, "SEAMTEST.DLL", NULL, "C:\\app\\", cur, &cur_len, dest, &dest_len);
    EXPECT_EQ(r & VFF_BUFFTOOSMALL, 0u);
    // The destination of a shared file is the system folder (with or without
    // a closing backslash).
    size_t dl = strlen(dest);
    if (dl > 0 && dest[dl - 1] == '\\')
        dest[--dl] = '\0';
    EXPECT_EQ(lstrcmpiA(dest, system_dir), 0) << dest << " vs " << system_dir;
    EXPECT_EQ(seam_count(SEAM_VerFindFileA), 1u);

    seam_fail(SEAM_VerFindFileA, VFF_BUFFTOOSMALL, 0, SEAM_NEXT);
    dest[0] = '\0';
    dest_len = sizeof dest;
    r = sys_VerFindFileA(VFFF_ISSHAREDFILE, "SEAMTEST.DLL", NULL, "C:\\app\\", cur, &cur_len, dest, &dest_len);
    EXPECT_EQ(r, (DWORD)VFF_BUFFTOOSMALL);
    EXPECT_STREQ(dest, "");
}

} // namespace
