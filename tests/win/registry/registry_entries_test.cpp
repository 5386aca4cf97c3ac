// The application's registry entries written at installation and removed at
// uninstallation, against the prefix's registry.
#include "registry_fixture.h"

#include <sddl.h>

namespace regtest {
namespace {

const char app_paths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const char uninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char clsid[] = "SOFTWARE\\Classes\\CLSID\\";

class Entries : public RegistryTest {
protected:
    std::string t, version_root, app_key, uninstall_key, user_key;
    void SetUp() override
    {
        RegistryTest::SetUp();
        t = tag();
        version_root = "SOFTWARE\\" + t;
        app_key = app_paths + t + ".exe";
        uninstall_key = uninstall + t;
        user_key = "Software\\" + t;
    }
    void TearDown() override
    {
        allow_everything(version_root);
        remove_tree(HKEY_LOCAL_MACHINE, version_root);
        remove_tree(HKEY_LOCAL_MACHINE, version_root + HYO);
        remove_tree(HKEY_LOCAL_MACHINE, app_key);
        remove_tree(HKEY_LOCAL_MACHINE, uninstall_key);
        for (int n = 1; n <= 3; n++)
            remove_tree(HKEY_LOCAL_MACHINE, clsid + class_name(n));
        remove_tree(HKEY_CURRENT_USER, user_key);
        RegistryTest::TearDown();
    }

    std::string class_name(int n) { return "{" + t + "-" + std::to_string(n) + "}"; }

    // All of the entries' keys, from one script.
    std::string full_script()
    {
        return "version=1\r\npath=1\r\nuninstall=1\r\n"
               "version_key=" +
               t + "\\Product\\1.0\r\nversion_value=1.0.3\r\n" + "path_key=" + t + ".exe\r\n" +
               "uninstall_key=" + t + "\r\nuninstall_command=setup.exe /UNINSTALL\r\n" +
               "uninstall_dispname=Reg " SO " Tool\r\n";
    }

    static void set_access(const std::string &path, const char *sddl)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS)
            return;
        PSECURITY_DESCRIPTOR sd = NULL;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, NULL)) {
            EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
            LocalFree(sd);
        }
        RegCloseKey(key);
    }
    static void allow_everything(const std::string &path) { set_access(path, "D:(A;;0xF003F;;;WD)"); }

    bool opened_software_itself() const
    {
        for (const OpenCall &c : recorder.opens)
            if (lstrcmpiA(c.path.c_str(), "SOFTWARE") == 0 || lstrcmpiA(c.path.c_str(), "SOFTWARE\\") == 0)
                return true;
        return false;
    }

    // Full paths shown for the keys removed from a root key, in order.
    std::vector<std::string> named_removals() const
    {
        std::vector<std::string> out;
        for (const OpenCall &c : removal_opens())
            if (is_root(c.root)) {
                EXPECT_EQ(c.status, catalogue_with(MSG_STATUS_DELETING, c.path));
                out.push_back(c.path);
            }
        return out;
    }
};

TEST_F(Entries, InstallationWritesTheThreeEntriesAndUninstallationRemovesThem)
{
    write_script(full_script());
    session.run_mode = RunModeSetup;
    apply_version_key();
    apply_app_path();
    apply_uninstall_entry();
    EXPECT_TRUE(boxes.empty());

    std::string version_key = version_root + "\\Product\\1.0";
    Value v = read_value(HKEY_LOCAL_MACHINE, version_key, NULL);
    EXPECT_EQ(v.type, (DWORD)REG_SZ);
    EXPECT_EQ(v.data, sz("1.0.3"));
    v = read_value(HKEY_LOCAL_MACHINE, app_key, NULL);
    EXPECT_EQ(v.type, (DWORD)REG_SZ);
    EXPECT_EQ(v.data, sz("C:\\Program Files\\Reg Tool\\" + t + ".exe"));
    v = read_value(HKEY_LOCAL_MACHINE, app_key, "Path");
    EXPECT_EQ(v.type, (DWORD)REG_SZ);
    EXPECT_EQ(v.data, sz("C:\\Program Files\\Reg Tool\\")) << "the folder with its trailing backslash";
    v = read_value(HKEY_LOCAL_MACHINE, uninstall_key, "DisplayName");
    EXPECT_EQ(v.type, (DWORD)REG_SZ);
    EXPECT_EQ(v.data, sz("Reg " SO " Tool"));
    v = read_value(HKEY_LOCAL_MACHINE, uninstall_key, "UninstallString");
    EXPECT_EQ(v.type, (DWORD)REG_SZ);
    EXPECT_EQ(v.data, sz("\"C:\\Program Files\\Reg Tool\\setup.exe\" /UNINSTALL"))
        << "the program's path in quotes: it has blanks";
    // Beside the name, the list of programs shows the uninstaller's icon
    // where the script names none, and no version or publisher it lacks.
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "DisplayIcon").data,
              sz("C:\\Program Files\\Reg Tool\\setup.exe"));
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "QuietUninstallString").data,
              sz("\"C:\\Program Files\\Reg Tool\\setup.exe\" /UNINSTALL /QUIET"));
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "DisplayVersion").found);
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "Publisher").found);
    v = read_value(HKEY_LOCAL_MACHINE, uninstall_key, "NoModify");
    EXPECT_EQ(v.type, (DWORD)REG_DWORD);
    EXPECT_EQ(v.data, std::string("\x01\0\0\0", 4));

    // The removal needs only the key names.
    write_script("version_key=" + t + "\\Product\\1.0\r\npath_key=" + t + ".exe\r\nuninstall_key=" + t + "\r\n");
    session.run_mode = RunModeUninstall;
    recorder.opens.clear();
    remove_version_key(dialog);
    remove_app_path(dialog);
    remove_uninstall_entry(dialog);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root)) << "emptied ancestors are pruned";
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, app_key));
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, std::string(uninstall).substr(0, strlen(uninstall) - 1)));
    EXPECT_FALSE(opened_software_itself());
    std::vector<std::string> expected = {version_key, version_root + "\\Product", version_root, app_key,
                                         uninstall_key};
    EXPECT_EQ(named_removals(), expected);
}

TEST_F(Entries, AMissingVersionValueGivesTheDestinationAnEmptyOneAnEmptyText)
{
    session.run_mode = RunModeTempCopy;
    write_script("version_key=" + t + "\r\n");
    apply_version_key();
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, version_root, NULL).data, sz("C:\\Program Files\\Reg Tool\\"));

    write_script("version_key=" + t + "\r\nversion_value=\r\n");
    apply_version_key();
    Value v = read_value(HKEY_LOCAL_MACHINE, version_root, NULL);
    EXPECT_EQ(v.type, (DWORD)REG_SZ);
    EXPECT_EQ(v.data, sz(""));
}

TEST_F(Entries, AnExistingKeyKeepsItsOtherValues)
{
    set_text(HKEY_LOCAL_MACHINE, app_key, NULL, "old");
    set_text(HKEY_LOCAL_MACHINE, app_key, "Other", "kept");
    set_text(HKEY_LOCAL_MACHINE, uninstall_key, "Comments", "kept too");
    make_key(HKEY_LOCAL_MACHINE, uninstall_key + "\\Sub");
    write_script(full_script());
    session.run_mode = RunModeTempCopy;
    apply_app_path();
    apply_uninstall_entry();
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, app_key, NULL).data, sz("C:\\Program Files\\Reg Tool\\" + t + ".exe"));
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, app_key, "Other").data, sz("kept"));
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "Comments").data, sz("kept too"));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key + "\\Sub"));
    EXPECT_EQ(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "DisplayName").data, sz("Reg " SO " Tool"));
}

TEST_F(Entries, AnUninstallEntryWithoutCommandOrNameIsNotWritten)
{
    session.run_mode = RunModeTempCopy;
    write_script("uninstall_key=" + t + "\r\nuninstall_command=\r\nuninstall_dispname=Tool\r\n");
    apply_uninstall_entry();
    write_script("uninstall_key=" + t + "\r\nuninstall_command=setup.exe /UNINSTALL\r\n");
    apply_uninstall_entry();
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
    EXPECT_EQ(seam_count(SEAM_RegCreateKeyExA), 0u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Entries, EmptyKeyNamesSkipEveryEntrySilently)
{
    write_script("version_key=\r\npath_key=\r\nuninstall_command=setup.exe /UNINSTALL\r\n"
                 "uninstall_dispname=Tool\r\nuser_key=\r\nclasses=2\r\n");
    session.run_mode = RunModeTempCopy;
    apply_version_key();
    apply_app_path();
    apply_uninstall_entry();
    session.run_mode = RunModeUninstall;
    remove_version_key(dialog);
    remove_app_path(dialog);
    remove_uninstall_entry(dialog);
    remove_class_keys(dialog);
    remove_user_key(dialog);
    EXPECT_EQ(seam_count(SEAM_RegCreateKeyExA), 0u);
    EXPECT_TRUE(recorder.opens.empty()) << "an empty name must not become the base key: " << recorder.opens[0].path;
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Entries, AncestorsArePrunedOnlyWhileEmpty)
{
    // Vendor keeps another product; Product holds values but no other subkey.
    make_key(HKEY_LOCAL_MACHINE, version_root + "\\Vendor\\Product\\1.0\\Settings");
    set_text(HKEY_LOCAL_MACHINE, version_root + "\\Vendor\\Product", "Owner", "x");
    make_key(HKEY_LOCAL_MACHINE, version_root + "\\Vendor\\Other");
    write_script("version_key=" + t + "\\Vendor\\Product\\1.0\r\n");
    session.run_mode = RunModeUninstall;
    remove_version_key(dialog);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root + "\\Vendor\\Product"));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, version_root + "\\Vendor\\Other"));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, version_root));
    // Every ancestor down to the first component is looked at once.
    std::vector<std::string> counted = {version_root + "\\Vendor\\Product", version_root + "\\Vendor",
                                        version_root};
    EXPECT_EQ(read_opens(), counted);
    EXPECT_FALSE(opened_software_itself());
}

// ソ and 表 end in the backslash code: the walk up must step over them.
TEST_F(Entries, DoubleByteNamesAreNotCutAtTheirTrailByte)
{
    write_script("version_key=" + t + "\\" SO "\\" HYO "\r\n");
    session.run_mode = RunModeTempCopy;
    apply_version_key();
    ASSERT_TRUE(key_exists(HKEY_LOCAL_MACHINE, version_root + "\\" SO "\\" HYO));
    session.run_mode = RunModeUninstall;
    remove_version_key(dialog);
    std::vector<std::string> counted = {version_root + "\\" SO, version_root};
    EXPECT_EQ(read_opens(), counted);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root));

    // One component that ends in a trail byte has no ancestor to look at.
    recorder.opens.clear();
    write_script("version_key=" + t + HYO + "\r\n");
    session.run_mode = RunModeTempCopy;
    apply_version_key();
    ASSERT_TRUE(key_exists(HKEY_LOCAL_MACHINE, version_root + HYO));
    session.run_mode = RunModeUninstall;
    remove_version_key(dialog);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root + HYO));
    EXPECT_TRUE(read_opens().empty()) << read_opens()[0];
    EXPECT_FALSE(opened_software_itself());
}

TEST_F(Entries, SoftwareItselfIsNeverExamined)
{
    make_key(HKEY_LOCAL_MACHINE, version_root);
    session.run_mode = RunModeUninstall;
    write_script("version_key=" + t + "\r\n");
    remove_version_key(dialog);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root));
    // A leading backslash leaves an empty first component.
    write_script("version_key=\\" + t + "\r\n");
    remove_version_key(dialog);
    EXPECT_TRUE(read_opens().empty());
    EXPECT_FALSE(opened_software_itself());
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft"));
}

TEST_F(Entries, ClassKeysAreRemovedAndAMissingNumberIsSkipped)
{
    for (int n = 1; n <= 3; n++)
        make_key(HKEY_LOCAL_MACHINE, clsid + class_name(n) + "\\InprocServer32");
    write_script("classes=3\r\nclsid_1=" + class_name(1) + "\r\nclsid_3=" + class_name(3) + "\r\n");
    session.run_mode = RunModeUninstall;
    remove_class_keys(dialog);
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, clsid + class_name(1)));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, clsid + class_name(2))) << "clsid_2 is not in the script";
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, clsid + class_name(3)));
    std::vector<std::string> expected = {clsid + class_name(1), clsid + class_name(3)};
    EXPECT_EQ(named_removals(), expected);
    EXPECT_TRUE(read_opens().empty()) << "nothing is pruned";

    // No count: nothing.
    recorder.opens.clear();
    write_script("clsid_1=" + class_name(2) + "\r\n");
    remove_class_keys(dialog);
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, clsid + class_name(2)));
    EXPECT_TRUE(recorder.opens.empty());
}

TEST_F(Entries, TheUserKeyIsRemovedFromTheCurrentUser)
{
    make_key(HKEY_CURRENT_USER, user_key + "\\Settings\\Window");
    set_text(HKEY_CURRENT_USER, user_key + "\\Settings", "Last", "x");
    make_key(HKEY_LOCAL_MACHINE, version_root);
    write_script("user_key=" + t + "\r\n");
    session.run_mode = RunModeUninstall;
    remove_user_key(dialog);
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, user_key));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, version_root)) << "the same name under the machine key stays";
    ASSERT_FALSE(removal_opens().empty());
    EXPECT_EQ(removal_opens()[0].root, HKEY_CURRENT_USER);
    std::vector<std::string> expected = {user_key};
    EXPECT_EQ(named_removals(), expected);
}

// The one message of this step: 32014 with the application's name, caption
// 16000, OK button and warning icon; the next entries are written all the same.
void expect_one_registration_failure()
{
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, catalogue_with(MSG_REGISTER_FAILED, "Reg" SO "Tool"));
    EXPECT_EQ(boxes[0].caption, catalogue(CAP_REGISTRY_ERROR));
    EXPECT_EQ(boxes[0].style, (UINT)(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(boxes[0].style, 48u);
}

TEST_F(Entries, AKeyThatCannotBeCreatedIsReportedOnceAndTheNextEntriesStillRun)
{
    write_script(full_script());
    session.run_mode = RunModeTempCopy;
    seam_fail_at(SEAM_RegCreateKeyExA, 1);
    apply_version_key();
    apply_app_path();
    apply_uninstall_entry();
    expect_one_registration_failure();
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root));
    EXPECT_TRUE(read_value(HKEY_LOCAL_MACHINE, app_key, "Path").found);
    EXPECT_TRUE(read_value(HKEY_LOCAL_MACHINE, uninstall_key, "UninstallString").found);
}

// The same for real: the parent key denies creating subkeys.
TEST_F(Entries, AKeyDeniedByItsParentIsReportedOnce)
{
    make_key(HKEY_LOCAL_MACHINE, version_root);
    set_access(version_root, "D:(D;;0x6;;;WD)(A;;0xF003F;;;WD)");
    write_script(full_script());
    session.run_mode = RunModeTempCopy;
    apply_version_key();
    apply_app_path();
    expect_one_registration_failure();
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, version_root + "\\Product"));
    EXPECT_TRUE(read_value(HKEY_LOCAL_MACHINE, app_key, "Path").found) << "the next entry is written";
}

} // namespace
} // namespace regtest
