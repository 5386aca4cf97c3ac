// Removal of key trees and the subkey count, against the prefix's registry.
#include "registry_fixture.h"

namespace regtest {
namespace {

class KeyTree : public RegistryTest {
protected:
    std::string top;
    void SetUp() override
    {
        RegistryTest::SetUp();
        top = "Software\\" + tag() + "\\Top";
    }
    void TearDown() override
    {
        remove_tree(HKEY_CURRENT_USER, "Software\\" + tag());
        RegistryTest::TearDown();
    }
};

TEST_F(KeyTree, DeepestKeysGoFirstAndTheStatusLineNamesEach)
{
    make_key(HKEY_CURRENT_USER, top + "\\A\\A1");
    make_key(HKEY_CURRENT_USER, top + "\\A\\A2");
    set_text(HKEY_CURRENT_USER, top + "\\A\\A2", "v", "x");
    set_text(HKEY_CURRENT_USER, top + "\\B", NULL, "b");
    make_key(HKEY_CURRENT_USER, top + "\\" SO "\\" HYO);
    set_text(HKEY_CURRENT_USER, top, "w", "y");

    delete_key_tree(dialog, HKEY_CURRENT_USER, top.c_str());
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, top));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, "Software\\" + tag())) << "the parent stays";

    // Each key shows message 104 with what it was opened by: the full path
    // for the named key, bare names below it. The registry lists subkeys in
    // order of their names; they are visited from the last one down.
    std::vector<std::string> expected_names = {top, SO, HYO, "B", "A", "A2", "A1"};
    std::vector<OpenCall> opens = removal_opens();
    ASSERT_EQ(opens.size(), expected_names.size());
    for (size_t i = 0; i < opens.size(); i++) {
        EXPECT_EQ(opens[i].path, expected_names[i]);
        EXPECT_EQ(opens[i].status, catalogue_with(MSG_STATUS_DELETING, expected_names[i])) << "open " << i;
        EXPECT_EQ(opens[i].root == HKEY_CURRENT_USER, i == 0);
    }
    // Children before their parents, each tree finished before the next.
    std::vector<std::string> expected_deletes = {HYO, SO, "B", "A2", "A1", "A", top};
    EXPECT_EQ(recorder.deletes, expected_deletes);
    EXPECT_EQ(seam_count(SEAM_RegCloseKey), opens.size()) << "every opened key is closed";
}

TEST_F(KeyTree, AMissingKeyIsNamedAndReportedAsNotOpened)
{
    std::string missing = "Software\\" + tag() + "\\Missing";
    delete_key_tree(dialog, HKEY_CURRENT_USER, missing.c_str());
    EXPECT_EQ(status_line(dialog), catalogue_with(MSG_STATUS_DELETING, missing));
    EXPECT_TRUE(recorder.deletes.empty());
}

// A subkey that cannot be deleted does not stop the visit of its siblings,
// but its parent then cannot go either. (Wine lets a key go whatever its
// access list says, so the refusal is injected.)
TEST_F(KeyTree, ASubkeyThatStaysKeepsItsParent)
{
    make_key(HKEY_CURRENT_USER, top + "\\A");
    make_key(HKEY_CURRENT_USER, top + "\\B\\B1");
    make_key(HKEY_CURRENT_USER, top + "\\C");
    seam_fail_at(SEAM_RegDeleteKeyA, 2); // B1

    delete_key_tree(dialog, HKEY_CURRENT_USER, top.c_str());
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, top + "\\A"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, top + "\\C"));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, top + "\\B\\B1"));
    EXPECT_EQ(seam_count(SEAM_RegDeleteKeyA), 5u) << "every key is tried once: C, B1, B, A and the named one";
    std::vector<std::string> expected_deletes = {"C", "B", "A", top}; // B1's call did not reach the recorder
    EXPECT_EQ(recorder.deletes, expected_deletes);
    EXPECT_EQ(seam_count(SEAM_RegCloseKey), removal_opens().size());
    // The key that stays is named: the removal must not look complete.
    EXPECT_EQ(status_line(dialog), catalogue_with(MSG_REMOVE_FAILED, top));
}

// A subkey name longer than the 260-byte name buffer (200 double-byte
// characters are 400 bytes in code page 932) cannot be read: the removal
// stops there and leaves the rest in place.
TEST_F(KeyTree, ANameTooLongToReadStopsTheRemoval)
{
    make_key(HKEY_CURRENT_USER, top + "\\A");
    std::wstring long_name = utf8_to_utf16("Software\\" + tag() + "\\Top\\") + std::wstring(200, L'\x30BD');
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, long_name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
              ERROR_SUCCESS);
    RegCloseKey(key);

    delete_key_tree(dialog, HKEY_CURRENT_USER, top.c_str());
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, top + "\\A")) << "visited from the last index, the long name first";
    EXPECT_TRUE(recorder.deletes.empty());
    EXPECT_EQ(seam_count(SEAM_RegCloseKey), 1u);
}

TEST_F(KeyTree, ACountThatCannotBeReadLeavesTheKey)
{
    make_key(HKEY_CURRENT_USER, top + "\\A");
    seam_fail_at(SEAM_RegQueryInfoKeyA);
    delete_key_tree(dialog, HKEY_CURRENT_USER, top.c_str());
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, top + "\\A"));
    EXPECT_EQ(seam_count(SEAM_RegCloseKey), 1u);
}

TEST_F(KeyTree, SubkeyCounts)
{
    set_text(HKEY_CURRENT_USER, top, "only", "values");
    EXPECT_EQ(count_subkeys(HKEY_CURRENT_USER, top.c_str()), 0u) << "values do not count";
    make_key(HKEY_CURRENT_USER, top + "\\A\\deeper");
    make_key(HKEY_CURRENT_USER, top + "\\" SO);
    EXPECT_EQ(count_subkeys(HKEY_CURRENT_USER, top.c_str()), 2u) << "direct subkeys only";
    EXPECT_EQ(count_subkeys(HKEY_CURRENT_USER, (top + "\\Missing").c_str()), 1u)
        << "a key that is not there counts as not empty";
    seam_fail_at(SEAM_RegOpenKeyExA, SEAM_NEXT);
    EXPECT_EQ(count_subkeys(HKEY_CURRENT_USER, (top + "\\A").c_str()), SUBKEYS_UNKNOWN)
        << "one that cannot be opened is not known to be empty";
    seam_fail_at(SEAM_RegQueryInfoKeyA, SEAM_NEXT);
    EXPECT_EQ(count_subkeys(HKEY_CURRENT_USER, (top + "\\A").c_str()), SUBKEYS_UNKNOWN);
    EXPECT_EQ(seam_count(SEAM_RegCloseKey), 3u) << "opened keys are closed, also after a failed count";
}

} // namespace
} // namespace regtest
