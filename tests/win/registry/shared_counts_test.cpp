// SharedDLLs counts of shared files and the removal of a count, against the
// prefix's registry.
#include "registry_fixture.h"

#include <sddl.h>

namespace regtest {
namespace {

const char shared_dlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class SharedCounts : public RegistryTest {
protected:
    bool created_key = false;
    std::string system_dir;

    void SetUp() override
    {
        RegistryTest::SetUp();
        recorder.also_allowed.push_back(shared_dlls);
        // A new prefix has no SharedDLLs key; the installers of a real
        // system made it long ago.
        if (!key_exists(HKEY_LOCAL_MACHINE, shared_dlls)) {
            make_key(HKEY_LOCAL_MACHINE, shared_dlls);
            created_key = true;
        }
        // Value names are full paths: a folder of this test's own keeps
        // them apart from any other.
        system_dir = "C:\\" + tag() + "\\system32\\";
        strcpy(session.system_dir, system_dir.c_str());
    }
    void TearDown() override
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            for (const char *name : {"a.dll", "b.dll", "c.dll", SO "\x83\x74\x83\x67.dll"})
                RegDeleteValueA(key, (system_dir + name).c_str());
            DWORD values = 1, subkeys = 1;
            RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
            RegCloseKey(key);
            if (created_key && values == 0 && subkeys == 0)
                RegDeleteKeyA(HKEY_LOCAL_MACHINE, shared_dlls);
        }
        RegistryTest::TearDown();
    }

    Value count_of(const char *name)
    {
        return read_value(HKEY_LOCAL_MACHINE, shared_dlls, (system_dir + name).c_str());
    }
    void set_count(const char *name, DWORD type, const void *data, DWORD size)
    {
        set_value(HKEY_LOCAL_MACHINE, shared_dlls, (system_dir + name).c_str(), type, data, size);
    }
    void set_dword(const char *name, DWORD n) { set_count(name, REG_DWORD, &n, sizeof n); }
    static std::string bytes(DWORD n, size_t size = 4) { return std::string((const char *)&n, size); }
};

TEST_F(SharedCounts, RaisingCreatesACountOfOneAndCarries)
{
    EXPECT_EQ(update_shared_count("a.dll", 1), CountChanged);
    Value v = count_of("a.dll");
    EXPECT_EQ(v.type, (DWORD)REG_DWORD);
    EXPECT_EQ(v.data, bytes(1));
    EXPECT_EQ(update_shared_count("a.dll", 1), CountChanged);
    EXPECT_EQ(count_of("a.dll").data, bytes(2));

    set_dword("b.dll", 255);
    EXPECT_EQ(update_shared_count("b.dll", 1), CountChanged);
    EXPECT_EQ(count_of("b.dll").data, bytes(256)) << "the carry reaches the second byte";

    // Double-byte file names are value names as they stand.
    EXPECT_EQ(update_shared_count(SO "\x83\x74\x83\x67.dll", 1), CountChanged);
    EXPECT_EQ(count_of(SO "\x83\x74\x83\x67.dll").data, bytes(1));
}

TEST_F(SharedCounts, AnotherInstallersBinaryCountStaysBinary)
{
    DWORD three = 3;
    set_count("a.dll", REG_BINARY, &three, 4);
    EXPECT_EQ(update_shared_count("a.dll", 1), CountChanged);
    Value v = count_of("a.dll");
    EXPECT_EQ(v.type, (DWORD)REG_BINARY);
    EXPECT_EQ(v.data, bytes(4));

    // A two-byte count keeps its two bytes.
    unsigned short two_bytes = 0x00FF;
    set_count("b.dll", REG_BINARY, &two_bytes, 2);
    EXPECT_EQ(update_shared_count("b.dll", 1), CountChanged);
    EXPECT_EQ(count_of("b.dll").data, bytes(0x100, 2));
    EXPECT_EQ(update_shared_count("b.dll", 0), CountChanged);
    EXPECT_EQ(count_of("b.dll").data, bytes(0xFF, 2));
}

// Eight bytes do not fit the four-byte count: raising starts again at a
// REG_DWORD 1, lowering finds no count.
TEST_F(SharedCounts, AnEightByteValueIsNoCount)
{
    unsigned long long five = 5;
    set_count("a.dll", REG_QWORD, &five, 8);
    EXPECT_EQ(update_shared_count("a.dll", 0), CountQueryFailed);
    Value v = count_of("a.dll");
    EXPECT_EQ(v.type, (DWORD)REG_QWORD);
    EXPECT_EQ(v.data.size(), 8u) << "left as it was";
    EXPECT_EQ(update_shared_count("a.dll", 1), CountChanged);
    v = count_of("a.dll");
    EXPECT_EQ(v.type, (DWORD)REG_DWORD);
    EXPECT_EQ(v.data, bytes(1));
}

TEST_F(SharedCounts, LoweringToZeroKeepsTheValueAtZero)
{
    set_dword("a.dll", 256);
    EXPECT_EQ(update_shared_count("a.dll", 0), CountChanged);
    EXPECT_EQ(count_of("a.dll").data, bytes(255));

    set_dword("b.dll", 1);
    EXPECT_EQ(update_shared_count("b.dll", 0), CountReachedZero);
    Value v = count_of("b.dll");
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.type, (DWORD)REG_DWORD);
    EXPECT_EQ(v.data, bytes(0));

    unsigned writes = seam_count(SEAM_RegSetValueExA);
    EXPECT_EQ(update_shared_count("b.dll", 0), CountAlreadyZero);
    EXPECT_EQ(seam_count(SEAM_RegSetValueExA), writes) << "nothing is written";
    EXPECT_EQ(count_of("b.dll").data, bytes(0));

    EXPECT_EQ(update_shared_count("c.dll", 0), CountQueryFailed);
    EXPECT_FALSE(count_of("c.dll").found) << "lowering never creates a count";
}

TEST_F(SharedCounts, NoRaiseWhenInstallingOverThePreviousVersion)
{
    set_dword("a.dll", 1);
    session.over_previous_version = 1;
    EXPECT_EQ(update_shared_count("a.dll", 1), CountChanged);
    EXPECT_EQ(update_shared_count("b.dll", 1), CountChanged);
    EXPECT_EQ(count_of("a.dll").data, bytes(1));
    EXPECT_FALSE(count_of("b.dll").found);
    EXPECT_TRUE(recorder.opens.empty()) << "the registry is not touched";
    // Lowering still counts.
    EXPECT_EQ(update_shared_count("a.dll", 0), CountReachedZero);
}

TEST_F(SharedCounts, AMissingKeyIsNeverCreated)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 1, subkeys = 1;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    if (values != 0 || subkeys != 0)
        GTEST_SKIP() << "this prefix's SharedDLLs key holds counts of others; it is not removed for a test";
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, shared_dlls), ERROR_SUCCESS);

    EXPECT_EQ(update_shared_count("a.dll", 1), CountKeyOpenFailed);
    EXPECT_EQ(update_shared_count("a.dll", 0), CountKeyOpenFailed);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, shared_dlls));
    EXPECT_EQ(seam_count(SEAM_RegCreateKeyExA), 0u);
    if (!created_key)
        make_key(HKEY_LOCAL_MACHINE, shared_dlls);
}

// The key is there but closed to the user: the same, no count changes, and
// the count that stays is named and logged.
TEST_F(SharedCounts, AKeyClosedToTheUserChangesNothing)
{
    set_dword("a.dll", 4);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, READ_CONTROL | WRITE_DAC, &key), ERROR_SUCCESS);
    char old_sd[4096];
    DWORD old_size = sizeof old_sd;
    ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, old_sd, &old_size), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;0xF003F;;;WD)",
                                                                     SDDL_REVISION_1, &sd, NULL));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);

    EXPECT_EQ(update_shared_count("a.dll", 1), CountKeyOpenFailed);
    EXPECT_EQ(update_shared_count("a.dll", 0), CountKeyOpenFailed);
    delete_shared_count(dialog, (system_dir + "a.dll").c_str());
    std::string named = std::string(shared_dlls) + "\\" + system_dir + "a.dll";
    // The count stays: that is shown and logged, as a refused deletion is.
    EXPECT_EQ(status_line(dialog), catalogue_with(MSG_REMOVE_FAILED, named));
    EXPECT_NE(session.removal_log, nullptr);

    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, old_sd), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(count_of("a.dll").data, bytes(4));
}

TEST_F(SharedCounts, AFailedWriteKeepsTheOldCount)
{
    set_dword("a.dll", 7);
    seam_fail_at(SEAM_RegSetValueExA, SEAM_NEXT);
    EXPECT_EQ(update_shared_count("a.dll", 1), CountWriteFailed);
    EXPECT_EQ(count_of("a.dll").data, bytes(7));
    seam_fail_at(SEAM_RegSetValueExA, SEAM_NEXT);
    EXPECT_EQ(update_shared_count("a.dll", 0), CountWriteFailed);
    EXPECT_EQ(count_of("a.dll").data, bytes(7));
    EXPECT_EQ(seam_count(SEAM_RegCloseKey), seam_count(SEAM_RegOpenKeyExA)) << "the key is closed after a failure";
}

TEST_F(SharedCounts, RemovingACountDeletesItsValue)
{
    set_dword("a.dll", 0);
    std::string full = system_dir + "a.dll";
    delete_shared_count(dialog, full.c_str());
    EXPECT_FALSE(count_of("a.dll").found);
    EXPECT_EQ(status_line(dialog), catalogue_with(MSG_STATUS_DELETING, std::string(shared_dlls) + "\\" + full));
    EXPECT_EQ(session.removal_log, nullptr);
}

// A value that cannot be deleted: 32016 on the status line and one line in
// the removal log.
TEST_F(SharedCounts, AFailedRemovalIsShownAndLogged)
{
    set_dword("a.dll", 0);
    std::string full = system_dir + "a.dll";
    std::string named = std::string(shared_dlls) + "\\" + full;
    seam_fail_at(SEAM_RegDeleteValueA);
    delete_shared_count(dialog, full.c_str());
    EXPECT_TRUE(count_of("a.dll").found);
    EXPECT_EQ(status_line(dialog), catalogue_with(MSG_REMOVE_FAILED, named));
    ASSERT_NE(session.removal_log, nullptr);
    std::string first_line = (const char *)GlobalLock(session.removal_log);
    GlobalUnlock(session.removal_log);
    EXPECT_EQ(first_line, catalogue_with(MSG_REMOVE_FAILED, "\xB7\xB0 " + named))
        << "\"key\", the key path and the value";

    // For real: the value is not there (any more).
    std::string gone = system_dir + "b.dll";
    delete_shared_count(dialog, gone.c_str());
    EXPECT_EQ(status_line(dialog), catalogue_with(MSG_REMOVE_FAILED, std::string(shared_dlls) + "\\" + gone));
    std::string both = (const char *)GlobalLock(session.removal_log);
    GlobalUnlock(session.removal_log);
    EXPECT_EQ(both,
              first_line + catalogue_with(MSG_REMOVE_FAILED, "\xB7\xB0 " + std::string(shared_dlls) + "\\" + gone))
        << "the lines follow each other";
}

} // namespace
} // namespace regtest
