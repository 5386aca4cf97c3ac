// The setup page under Wine: folders and byte figures from the script and the
// real drives (the seam for figures a test drive cannot have), the space
// check, the destination folder, the buttons through a real modal page, and
// the probe for an older version against keys in the prefix's registry.
#include "page_fixture.h"

#include <stdint.h>

using namespace pages;

namespace {

std::string bytes_text(unsigned long long count)
{
    return std::to_string(count) + BYTES;
}

// The folder as the page shows it: cut at its last backslash.
std::string without_backslash(const char *folder)
{
    std::string s = folder;
    return s.substr(0, s.rfind('\\'));
}

class SetupPage : public PageTest {
protected:
    std::string destination; // folder\App, not created

    void SetUp() override
    {
        PageTest::SetUp();
        char system[MAX_PATH];
        GetSystemDirectoryA(system, sizeof system);
        snprintf(session.system_dir, sizeof session.system_dir, "%s\\", system);
        destination = folder + "\\App";
        snprintf(session.destination_dir, sizeof session.destination_dir, "%s\\", destination.c_str());
    }
};

// Free space as the seam reports it; the roots asked for are recorded.
DWORD free_clusters_reported = 0xFFFFFFFFu;
DWORD sectors_per_cluster_reported = 8;
std::vector<std::string> roots_asked;
BOOL huge_free_space(LPCSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector, LPDWORD free_clusters,
                     LPDWORD total_clusters)
{
    roots_asked.push_back(root ? root : "(null)");
    *sectors_per_cluster = sectors_per_cluster_reported;
    *bytes_per_sector = 4096;
    *free_clusters = free_clusters_reported;
    *total_clusters = 0xFFFFFFFFu;
    return TRUE;
}

// Free bytes of a drive as the test measures them.
unsigned long long measure_free(const char *root)
{
    DWORD spc = 0, bps = 0, free_clusters = 0, total = 0;
    if (!GetDiskFreeSpaceA(root, &spc, &bps, &free_clusters, &total))
        return ~0ull;
    return (unsigned long long)free_clusters * bps * spc;
}

TEST_F(SetupPage, TextsFoldersAndFigures)
{
    write_script("[setup]\r\ntitle=\x83\x5a\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76\r\nmsg1=One\\ntwo\r\nmsg2=\r\n"
                 "msg_sub2=Sub two\r\nsystem=\x83\x56\x83\x58\x83\x65\x83\x80\r\ndestination=Dest\r\n"
                 "[files]\r\nsystotal=1234\r\ndsttotal=2147483647\r\n");
    HWND page = open_page(IDD_SETUP, setup_page_proc);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(text_of(page), "\x83\x5a\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76");
    EXPECT_EQ(text_of(page, IDC_MSG1), "One\ntwo");
    EXPECT_EQ(text_of(page, IDC_MSG2), "");
    EXPECT_EQ(text_of(page, IDC_MSG_SUB1), "[setup]msg_sub1");
    EXPECT_EQ(text_of(page, IDC_MSG_SUB2), "Sub two");
    EXPECT_EQ(text_of(page, IDC_SYSTEM_HEADING), "\x83\x56\x83\x58\x83\x65\x83\x80");
    EXPECT_EQ(text_of(page, IDC_DEST_HEADING), "Dest");

    EXPECT_EQ(text_of(page, IDC_SYSTEM_DIR), without_backslash(session.system_dir));
    EXPECT_NE(text_of(page, IDC_SYSTEM_DIR).back(), '\\');
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), destination);

    EXPECT_EQ(text_of(page, IDC_SYSTEM_NEEDED), "1234 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(text_of(page, IDC_DEST_NEEDED), "2147483647 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(session.system_bytes_needed, 1234u);
    EXPECT_EQ(session.destination_bytes_needed, 2147483647u);
    EXPECT_EQ(session.total_bytes, 2147483647u + 1234u);

    // The drives' own figures, as measured (not zero on a real drive).
    EXPECT_GT(session.system_bytes_free, 0u);
    EXPECT_GT(session.destination_bytes_free, 0u);
    EXPECT_EQ(text_of(page, IDC_SYSTEM_FREE), bytes_text(session.system_bytes_free));
    EXPECT_EQ(text_of(page, IDC_DEST_FREE), bytes_text(session.destination_bytes_free));
    EXPECT_TRUE(shown().empty()) << "no [oldver]: no question";
    expect_centred(page);

    // Missing [setup] and [files]: placeholders and zero.
    write_script("[general]\r\n");
    page = open_page(IDD_SETUP, setup_page_proc);
    EXPECT_EQ(text_of(page), "[setup]title");
    EXPECT_EQ(text_of(page, IDC_MSG1), "[setup]msg1");
    EXPECT_EQ(text_of(page, IDC_MSG2), "[setup]msg2");
    EXPECT_EQ(text_of(page, IDC_MSG_SUB2), "[setup]msg_sub2");
    EXPECT_EQ(text_of(page, IDC_SYSTEM_HEADING), "[setup]system");
    EXPECT_EQ(text_of(page, IDC_DEST_HEADING), "[setup]destination");
    EXPECT_EQ(text_of(page, IDC_SYSTEM_NEEDED), "0 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(text_of(page, IDC_DEST_NEEDED), "0 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(session.total_bytes, 0u);
}

TEST_F(SetupPage, FreeSpaceIsTheDrivesOwn)
{
    write_script("");
    HWND page = open_page(IDD_SETUP, setup_page_proc);
    ASSERT_NE(page, nullptr);
    // Free space moves while other programs write; measure until it holds
    // still around the page's own measurement.
    char root[4] = {session.destination_dir[0], ':', '\\', 0};
    bool compared = false;
    for (int attempt = 0; attempt < 10 && !compared; attempt++) {
        unsigned long long before = measure_free(root);
        show_folder_and_free_space(page, DestinationFolder);
        unsigned long long after = measure_free(root);
        if (before != after)
            continue;
        compared = true;
        EXPECT_EQ(session.destination_bytes_free, before);
        EXPECT_EQ(text_of(page, IDC_DEST_FREE), bytes_text(before));
    }
    EXPECT_TRUE(compared) << "the drive's free space never held still";
}

TEST_F(SetupPage, FreeSpaceAbove4GiBIsShownExactlyAndAFailedMeasurementKeepsTheOldFigure)
{
    write_script("");
    HWND page = open_page(IDD_SETUP, nullptr);
    ASSERT_NE(page, nullptr);
    roots_asked.clear();
    free_clusters_reported = 0xFFFFFFFFu;
    seam_hook<SEAM_GetDiskFreeSpaceA>(huge_free_space, SEAM_NEXT, 0);
    show_folder_and_free_space(page, DestinationFolder);
    EXPECT_EQ(session.destination_bytes_free, 140737488322560ull);
    EXPECT_EQ(text_of(page, IDC_DEST_FREE), "140737488322560 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), destination);
    ASSERT_EQ(roots_asked.size(), 1u);
    EXPECT_EQ(roots_asked[0], std::string(session.destination_dir, 3)) << "the drive's root";

    free_clusters_reported = 5;
    show_folder_and_free_space(page, SystemFolder);
    EXPECT_EQ(session.system_bytes_free, 5ull * 8 * 4096);
    EXPECT_EQ(text_of(page, IDC_SYSTEM_FREE), "163840 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(text_of(page, IDC_SYSTEM_DIR), without_backslash(session.system_dir));
    EXPECT_EQ(session.destination_bytes_free, 140737488322560ull) << "the other folder's figure is kept";

    // A drive that cannot be measured: the new folder is shown, the figure
    // and the stored value stay.
    seam_fail_at(SEAM_GetDiskFreeSpaceA, SEAM_NEXT, 0);
    snprintf(session.destination_dir, sizeof session.destination_dir, "D:\\Elsewhere\\\x83\x5c\x83\x74\x83\x67\\");
    show_folder_and_free_space(page, DestinationFolder);
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), "D:\\Elsewhere\\\x83\x5c\x83\x74\x83\x67");
    EXPECT_EQ(text_of(page, IDC_DEST_FREE), "140737488322560 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(session.destination_bytes_free, 140737488322560ull);

    // Figures no file system gives (a 4 GiB cluster, whose product with the
    // free clusters would pass 64 bits) count as not measured either.
    sectors_per_cluster_reported = 0x100000;
    seam_hook<SEAM_GetDiskFreeSpaceA>(huge_free_space, SEAM_NEXT, 0);
    show_folder_and_free_space(page, DestinationFolder);
    sectors_per_cluster_reported = 8;
    EXPECT_EQ(text_of(page, IDC_DEST_FREE), "140737488322560 \xCA\xDE\xB2\xC4");
    EXPECT_EQ(session.destination_bytes_free, 140737488322560ull);
}

TEST_F(SetupPage, DestinationAtADriveRootIsMeasuredAtThatRoot)
{
    write_script("");
    HWND page = open_page(IDD_SETUP, nullptr);
    ASSERT_NE(page, nullptr);
    roots_asked.clear();
    free_clusters_reported = 100;
    seam_hook<SEAM_GetDiskFreeSpaceA>(huge_free_space, SEAM_NEXT, 0);
    snprintf(session.destination_dir, sizeof session.destination_dir, "C:\\");
    show_folder_and_free_space(page, DestinationFolder);
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), "C:");
    ASSERT_EQ(roots_asked.size(), 1u);
    EXPECT_EQ(roots_asked[0], "C:\\") << "the platform wants the root with its backslash";
    EXPECT_EQ(session.destination_bytes_free, 100ull * 8 * 4096);

    // For real, too: the root of the Windows drive gives its free space.
    seam_reset();
    seam_hook<SEAM_MessageBoxA>(note_box, 1, 0);
    snprintf(session.destination_dir, sizeof session.destination_dir, "%.3s", session.windows_dir);
    session.destination_bytes_free = 0;
    show_folder_and_free_space(page, DestinationFolder);
    EXPECT_GT(session.destination_bytes_free, 0u);
    EXPECT_EQ(text_of(page, IDC_DEST_FREE), bytes_text(session.destination_bytes_free));
}

TEST_F(SetupPage, CheckDiskSpace)
{
    session.system_bytes_needed = 1000;
    session.system_bytes_free = 1000;
    session.destination_bytes_needed = 2000;
    session.destination_bytes_free = 2000;
    EXPECT_TRUE(check_disk_space()) << "equal figures pass";
    EXPECT_TRUE(shown().empty());

    session.system_bytes_free = 999;
    EXPECT_FALSE(check_disk_space());
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, catalogue(MSG_SYSTEM_SPACE));
    EXPECT_EQ(shown()[0].caption, catalogue(CAP_DISK_ERROR));
    EXPECT_EQ(shown()[0].style, 48u);
    EXPECT_EQ(shown()[0].owner, session.backdrop_window);

    shown().clear();
    session.system_bytes_free = 1000;
    session.destination_bytes_free = 1999;
    EXPECT_FALSE(check_disk_space());
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, catalogue(MSG_DEST_SPACE));
    EXPECT_EQ(shown()[0].caption, catalogue(CAP_DISK_ERROR));
    EXPECT_EQ(shown()[0].style, 48u);

    shown().clear();
    session.system_bytes_free = 0;
    EXPECT_FALSE(check_disk_space());
    ASSERT_EQ(shown().size(), 2u) << "both tests are made";
    EXPECT_EQ(shown()[0].text, catalogue(MSG_SYSTEM_SPACE));
    EXPECT_EQ(shown()[1].text, catalogue(MSG_DEST_SPACE));

    // More than 4 GiB free counts in full; needed figures compare unsigned.
    shown().clear();
    session.system_bytes_needed = 0xFFFFFFFFu;
    session.system_bytes_free = 0x100000000ull;
    session.destination_bytes_needed = 10;
    session.destination_bytes_free = 0x100000005ull;
    EXPECT_TRUE(check_disk_space());
    session.system_bytes_free = 0xFFFFFFFEull;
    EXPECT_FALSE(check_disk_space());
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, catalogue(MSG_SYSTEM_SPACE));
}

TEST_F(SetupPage, EnsureDestination)
{
    // An existing folder becomes the current directory.
    std::string existing = folder + "\\Existing";
    ASSERT_TRUE(CreateDirectoryA(existing.c_str(), NULL));
    SetCurrentDirectoryA(session.windows_dir);
    EXPECT_TRUE(ensure_destination((existing + "\\").c_str()));
    EXPECT_STREQ(current_directory().c_str(), existing.c_str());

    // A missing folder whose parent exists is created.
    SetCurrentDirectoryA(session.windows_dir);
    EXPECT_TRUE(ensure_destination(session.destination_dir));
    DWORD attributes = GetFileAttributesA(destination.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_STREQ(current_directory().c_str(), destination.c_str());
    EXPECT_TRUE(shown().empty());

    // Only the last level is created.
    SetCurrentDirectoryA(session.windows_dir);
    std::string deep = folder + "\\No\\Such\\\x83\x5c\x83\x74\x83\x67\\";
    EXPECT_FALSE(ensure_destination(deep.c_str()));
    EXPECT_EQ(GetFileAttributesA((folder + "\\No").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_STREQ(current_directory().c_str(), session.windows_dir);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, catalogue_with(MSG_FOLDER_NOT_CREATED, deep));
    EXPECT_NE(shown()[0].text.find(deep), std::string::npos);
    EXPECT_EQ(shown()[0].caption, catalogue(CAP_FOLDER_CREATE));
    EXPECT_EQ(shown()[0].style, 48u);
}

// The buttons, on the page opened modally as the wizard opens it.
class SetupButtons : public SetupPage {
protected:
    void SetUp() override
    {
        SetupPage::SetUp();
        free_clusters_reported = 100; // 3,276,800 bytes on every drive
        roots_asked.clear();
        seam_hook<SEAM_GetDiskFreeSpaceA>(huge_free_space, 1, 0);
    }
    void script_needing(unsigned system, unsigned dest)
    {
        write_script("[break]\r\ntitle=Stop\r\nmsg=Stopped\r\n[files]\r\nsystotal=" + std::to_string(system) +
                     "\r\ndsttotal=" + std::to_string(dest) + "\r\n");
    }
    void expect_box(size_t at, UINT text, UINT caption, UINT style)
    {
        ASSERT_GT(shown().size(), at);
        EXPECT_EQ(shown()[at].text, catalogue(text)) << "box " << at;
        EXPECT_EQ(shown()[at].caption, catalogue(caption)) << "box " << at;
        EXPECT_EQ(shown()[at].style, style) << "box " << at;
    }
    bool destination_exists() { return GetFileAttributesA(destination.c_str()) != INVALID_FILE_ATTRIBUTES; }
};

TEST_F(SetupButtons, FinishWithRoomCreatesTheDestinationAndEndsThePage)
{
    script_needing(3276800, 3276800);
    EXPECT_EQ(run_page(IDD_SETUP, setup_page_proc, PressCommand, IDOK, IDC_DEST_FREE), 0);
    EXPECT_EQ(modal_run().seen, "3276800 \xCA\xDE\xB2\xC4");
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(destination_exists());
    EXPECT_STREQ(current_directory().c_str(), destination.c_str());
    EXPECT_TRUE(IsWindow(session.backdrop_window)) << "the run goes on";
    EXPECT_FALSE(IsWindow(modal_run().page));
    EXPECT_EQ(session.back_requested, 0);
}

TEST_F(SetupButtons, FinishInADebugRunEndsTheRunWithoutChecks)
{
    session.debug_run = 1;
    script_needing(0xFFFFFFFFu, 0xFFFFFFFFu);
    run_page(IDD_SETUP, setup_page_proc, PressCommand, IDOK);
    ASSERT_EQ(shown().size(), 1u) << "no space messages";
    expect_box(0, MSG_DEBUG_RUN, CAP_END, MB_OK | MB_ICONINFORMATION);
    EXPECT_FALSE(destination_exists()) << "nothing is created";
    EXPECT_FALSE(IsWindow(session.backdrop_window));
}

TEST_F(SetupButtons, FinishWithoutRoomIsRefused)
{
    script_needing(3276801, 3276801);
    run_page(IDD_SETUP, setup_page_proc, PressCommand, IDOK);
    ASSERT_EQ(shown().size(), 3u);
    expect_box(0, MSG_SYSTEM_SPACE, CAP_DISK_ERROR, 48);
    expect_box(1, MSG_DEST_SPACE, CAP_DISK_ERROR, 48);
    expect_box(2, MSG_NO_SPACE, CAP_END, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(destination_exists()) << "the folder is not tried after the space check failed";
    EXPECT_FALSE(IsWindow(session.backdrop_window));
    EXPECT_FALSE(IsWindow(modal_run().page));
}

TEST_F(SetupButtons, FinishWithADestinationThatCannotBeCreatedIsRefused)
{
    script_needing(1, 1);
    std::string deep = folder + "\\No\\App\\";
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s", deep.c_str());
    run_page(IDD_SETUP, setup_page_proc, PressCommand, IDOK);
    ASSERT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown()[0].text, catalogue_with(MSG_FOLDER_NOT_CREATED, deep));
    EXPECT_EQ(shown()[0].caption, catalogue(CAP_FOLDER_CREATE));
    expect_box(1, MSG_NO_SPACE, CAP_END, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(IsWindow(session.backdrop_window));
}

TEST_F(SetupButtons, BackAsksForTheCopyrightPageAgain)
{
    script_needing(0, 0);
    EXPECT_EQ(run_page(IDD_SETUP, setup_page_proc, PressCommand, IDC_BACK), 0);
    EXPECT_EQ(session.back_requested, 1);
    EXPECT_TRUE(shown().empty());
    EXPECT_FALSE(destination_exists());
    EXPECT_TRUE(IsWindow(session.backdrop_window));
}

TEST_F(SetupButtons, CancelAndEscapeEndTheRun)
{
    script_needing(0, 0);
    run_page(IDD_SETUP, setup_page_proc, PressCommand, IDCANCEL);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].caption, "Stop");
    EXPECT_EQ(shown()[0].text, "Stopped");
    EXPECT_EQ(shown()[0].style, (UINT)(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_FALSE(IsWindow(session.backdrop_window));

    shown().clear();
    session.backdrop_window = make_backdrop();
    run_page(IDD_SETUP, setup_page_proc, PressEscape);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, "Stopped");
    EXPECT_FALSE(IsWindow(session.backdrop_window));
    EXPECT_FALSE(destination_exists());
}

// The chooser through the seam: it records whether the page was hidden while
// it was up and returns `chosen_file` (or fails when that is null).
const char *chosen_file;
std::vector<int> page_visible_in_chooser;
BOOL fake_chooser(LPOPENFILENAMEA request)
{
    page_visible_in_chooser.push_back(IsWindowVisible(request->hwndOwner) ? 1 : 0);
    if (!chosen_file)
        return FALSE;
    snprintf(request->lpstrFile, request->nMaxFile, "%s", chosen_file);
    return TRUE;
}

TEST_F(SetupButtons, FolderButtonHidesThePageWhileChoosingAndShowsTheNewFolder)
{
    script_needing(0, 0);
    HWND page = open_page(IDD_SETUP, setup_page_proc);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOWNA);
    page_visible_in_chooser.clear();
    seam_hook<SEAM_GetSaveFileNameA>(fake_chooser, SEAM_NEXT, 0);
    seam_fail(SEAM_CommDlgExtendedError, 0, 0, SEAM_NEXT, 0);

    // Cancelled: the destination stays.
    chosen_file = nullptr;
    EXPECT_EQ(setup_page_proc(page, WM_COMMAND, IDC_CHOOSE_FOLDER, 0), 1);
    EXPECT_EQ(std::string(session.destination_dir), destination + "\\");
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), destination);
    EXPECT_TRUE(IsWindowVisible(page));

    // A folder on another drive: shown, and measured at that drive's root.
    roots_asked.clear();
    free_clusters_reported = 7;
    chosen_file = "D:\\Chosen\\\x83\x5c\x83\x74\x83\x67";
    EXPECT_EQ(setup_page_proc(page, WM_COMMAND, IDC_CHOOSE_FOLDER, 0), 1);
    EXPECT_STREQ(session.destination_dir, "D:\\Chosen\\\x83\x5c\x83\x74\x83\x67\\");
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), "D:\\Chosen\\\x83\x5c\x83\x74\x83\x67");
    ASSERT_EQ(roots_asked.size(), 1u);
    EXPECT_EQ(roots_asked[0], "D:\\");
    EXPECT_EQ(session.destination_bytes_free, 7ull * 8 * 4096);
    EXPECT_EQ(text_of(page, IDC_DEST_FREE), "229376 \xCA\xDE\xB2\xC4");
    EXPECT_TRUE(IsWindowVisible(page)) << "shown again";
    EXPECT_EQ(page_visible_in_chooser, (std::vector<int>{0, 0})) << "hidden while the chooser is up";
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(IsWindow(session.backdrop_window));
}

// The probe for an older version, against keys under HKEY_LOCAL_MACHINE.
class OldVersion : public SetupPage {
protected:
    std::string key;       // Software\SetupPagesTest\<n>
    std::string old_dir;   // an existing folder, stored with its backslash

    void SetUp() override
    {
        SetupPage::SetUp();
        key = "Software\\SetupPagesTest\\" + std::to_string(GetCurrentProcessId());
        old_dir = folder + "\\Old\\";
        ASSERT_TRUE(CreateDirectoryA(old_dir.c_str(), NULL));
        set_value(key, "Version", REG_SZ, "2.0 Pro");
        set_value(key + "\\Paths", "Folder", REG_SZ, old_dir);
    }
    void TearDown() override
    {
        delete_tree(HKEY_LOCAL_MACHINE, key.c_str());
        HKEY parent;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
            RegDeleteKeyA(parent, "SetupPagesTest"); // only when no other test's key is left
            RegCloseKey(parent);
        }
        SetupPage::TearDown();
    }
    static void delete_tree(HKEY root, const char *name)
    {
        HKEY k;
        if (RegOpenKeyExA(root, name, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS)
            return;
        char sub[256];
        for (;;) {
            DWORD size = sizeof sub;
            if (RegEnumKeyExA(k, 0, sub, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            delete_tree(k, sub);
        }
        RegCloseKey(k);
        RegDeleteKeyA(root, name);
    }
    void set_value(const std::string &where, const std::string &name, DWORD type, const std::string &data)
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, where.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL),
                  ERROR_SUCCESS);
        DWORD size = (DWORD)data.size() + (type == REG_SZ ? 1 : 0);
        ASSERT_EQ(RegSetValueExA(k, name.c_str(), 0, type, (const BYTE *)data.c_str(), size), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    // The [oldver] section with its usual keys; `extra` replaces or adds.
    void script_with(const std::string &check, const std::string &data, const std::string &extra = "")
    {
        write_script("[oldver]\r\n" + extra + "check=" + check + "\r\nkey=" + key + "\r\nvalue=Version\r\ndata=" +
                     data + "\r\ntitle=\x8B\x8C\x94\xC5\r\nmsg=Old version found.\\nUse its folder?\r\npath=" +
                     key + "\\Paths\r\ndir=Folder\r\n");
    }
    void expect_question(size_t at = 0)
    {
        ASSERT_GT(shown().size(), at);
        EXPECT_EQ(shown()[at].text, "Old version found.\nUse its folder?");
        EXPECT_EQ(shown()[at].caption, "\x8B\x8C\x94\xC5");
        EXPECT_EQ(shown()[at].style, 68u);
        EXPECT_EQ(shown()[at].owner, session.backdrop_window);
    }
    void expect_not_adopted()
    {
        EXPECT_STREQ(session.previous_version_dir, "");
        EXPECT_EQ(session.previous_version_found, 0);
    }
};

TEST_F(OldVersion, NoCheckNoQuestion)
{
    script_with("0", "2.0 Pro");
    EXPECT_FALSE(detect_previous_version());
    EXPECT_TRUE(shown().empty());
    script_with("", "2.0 Pro");
    EXPECT_FALSE(detect_previous_version());
    EXPECT_TRUE(shown().empty());
    expect_not_adopted();
}

TEST_F(OldVersion, YesAdoptsTheFolderExactlyAsStored)
{
    script_with("1", "2.0 Pro");
    box_answer() = IDYES;
    std::string before = current_directory();
    EXPECT_TRUE(detect_previous_version());
    ASSERT_EQ(shown().size(), 1u);
    expect_question();
    EXPECT_EQ(std::string(session.previous_version_dir), old_dir) << "with its trailing backslash";
    EXPECT_EQ(session.previous_version_found, 1);
    EXPECT_EQ(current_directory(), before) << "the current directory is put back";
}

TEST_F(OldVersion, NamesAreReadAsTheyStandAndAFolderGetsItsBackslash)
{
    // Most programs store a folder without its backslash; the key's name
    // holds "\\n" and "\\t", which are no line feed and no tab.
    std::string named = key + "\\nihon\\tool";
    set_value(named, "Version", REG_SZ, "2.0 Pro");
    std::string bare = old_dir.substr(0, old_dir.size() - 1);
    set_value(named + "\\Paths", "Folder", REG_SZ, bare);
    write_script("[oldver]\r\ncheck=1\r\nkey=" + named + "\r\nvalue=Version\r\ndata=2.0 Pro\r\ntitle=t\r\n"
                 "msg=m\r\npath=" + named + "\\Paths\r\ndir=Folder\r\n");
    box_answer() = IDYES;
    EXPECT_TRUE(detect_previous_version());
    EXPECT_EQ(shown().size(), 1u) << "the question, and no complaint about the folder";
    EXPECT_EQ(std::string(session.previous_version_dir), old_dir);
}

TEST_F(OldVersion, NoKeepsTheDestination)
{
    script_with("1", "2.0 Pro");
    box_answer() = IDNO;
    EXPECT_FALSE(detect_previous_version());
    ASSERT_EQ(shown().size(), 1u);
    expect_question();
    expect_not_adopted();
}

TEST_F(OldVersion, DataMustMatchExactly)
{
    box_answer() = IDYES;
    script_with("1", "2.0 PRO");
    EXPECT_FALSE(detect_previous_version()) << "letter case counts";
    script_with("1", "2.0");
    EXPECT_FALSE(detect_previous_version());
    script_with("1", "2.0 Pro2");
    EXPECT_FALSE(detect_previous_version());
    script_with("1", "");
    EXPECT_FALSE(detect_previous_version()) << "empty data";
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\ndata=2.0 Pro\r\n");
    EXPECT_FALSE(detect_previous_version()) << "no value name";
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\\Missing\r\nvalue=Version\r\ndata=2.0 Pro\r\n");
    EXPECT_FALSE(detect_previous_version()) << "no such key";
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=Missing\r\ndata=2.0 Pro\r\n");
    EXPECT_FALSE(detect_previous_version()) << "no such value";
    EXPECT_TRUE(shown().empty()) << "every failure before the question is silent";
    expect_not_adopted();

    // Any registry type compares by its bytes.
    set_value(key, "Version", REG_BINARY, "2.0 Pro");
    script_with("1", "2.0 Pro");
    EXPECT_TRUE(detect_previous_version());
    EXPECT_EQ(shown().size(), 1u);
}

TEST_F(OldVersion, AMissingOldFolderIsReportedAfterYes)
{
    box_answer() = IDYES;
    set_value(key + "\\Paths", "Folder", REG_SZ, folder + "\\Gone\\");
    script_with("1", "2.0 Pro");
    std::string before = current_directory();
    EXPECT_FALSE(detect_previous_version());
    ASSERT_EQ(shown().size(), 2u);
    expect_question(0);
    EXPECT_EQ(shown()[1].text, catalogue(MSG_OLD_FOLDER_UNKNOWN));
    EXPECT_EQ(shown()[1].caption, catalogue(CAP_DISK_ERROR));
    EXPECT_EQ(shown()[1].style, 48u);
    expect_not_adopted();
    EXPECT_EQ(current_directory(), before);

    // A missing path key or folder value: the same message.
    shown().clear();
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=Version\r\ndata=2.0 Pro\r\npath=" + key +
                 "\\NoPaths\r\ndir=Folder\r\n");
    EXPECT_FALSE(detect_previous_version());
    ASSERT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown()[1].text, catalogue(MSG_OLD_FOLDER_UNKNOWN));
    shown().clear();
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=Version\r\ndata=2.0 Pro\r\npath=" + key +
                 "\\Paths\r\ndir=NoFolder\r\n");
    EXPECT_FALSE(detect_previous_version());
    ASSERT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown()[1].text, catalogue(MSG_OLD_FOLDER_UNKNOWN));

    // An empty path or dir ends the probe without a message.
    shown().clear();
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=Version\r\ndata=2.0 Pro\r\npath=\r\ndir=Folder\r\n");
    EXPECT_FALSE(detect_previous_version());
    EXPECT_EQ(shown().size(), 1u) << "only the question";
    expect_not_adopted();
}

TEST_F(OldVersion, TheOpeningPageTakesTheOldFolderAsDestination)
{
    script_with("1", "2.0 Pro");
    box_answer() = IDYES;
    session.previous_version_found = 1;
    session.over_previous_version = 1;
    HWND page = open_page(IDD_SETUP, setup_page_proc);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(std::string(session.destination_dir), old_dir);
    EXPECT_EQ(session.over_previous_version, 1);
    EXPECT_EQ(session.previous_version_found, 1);
    EXPECT_EQ(text_of(page, IDC_DEST_DIR), folder + "\\Old") << "shown cut at its last backslash";

    // Opened again (after Back): the question comes again; No clears both
    // flags and keeps the destination the page had.
    box_answer() = IDNO;
    page = open_page(IDD_SETUP, setup_page_proc);
    ASSERT_EQ(shown().size(), 2u);
    expect_question(1);
    EXPECT_EQ(session.over_previous_version, 0);
    EXPECT_EQ(session.previous_version_found, 0);
    EXPECT_EQ(std::string(session.destination_dir), old_dir);
}

TEST_F(OldVersion, LongValuesAreCutToTheirFields)
{
    box_answer() = IDYES;
    // `data` longer than 262 bytes is cut to 262: the registry holds the cut
    // form, exactly 263 bytes with its terminator.
    std::string long_data(300, 'd');
    set_value(key, "Version", REG_SZ, long_data.substr(0, 262));
    // A value name longer than 259 characters is cut to 259.
    std::string long_name(300, 'v');
    set_value(key, long_name.substr(0, 259), REG_SZ, "2.0 Pro");
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=Version\r\ndata=" + long_data +
                 "\r\ntitle=t\r\nmsg=m\r\n");
    EXPECT_FALSE(detect_previous_version());
    EXPECT_EQ(shown().size(), 1u) << "the cut data matched";
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=" + long_name + "\r\ndata=2.0 Pro\r\n");
    EXPECT_FALSE(detect_previous_version());
    EXPECT_EQ(shown().size(), 2u) << "the cut value name was found";

    // A stored folder longer than the 263-byte buffer cannot be read.
    shown().clear();
    set_value(key, "Version", REG_SZ, "2.0 Pro");
    set_value(key + "\\Paths", "Folder", REG_SZ, folder + "\\" + std::string(400, 'x') + "\\");
    script_with("1", "2.0 Pro");
    EXPECT_FALSE(detect_previous_version());
    ASSERT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown()[1].text, catalogue(MSG_OLD_FOLDER_UNKNOWN));
    expect_not_adopted();
}

// Registry reads through the seam: each fills the whole size it is told,
// without a terminator, as a value of exactly that size would; the version
// value holds "2.0 Pro" unless `fill_version` is set.
std::vector<DWORD> sizes_told;
bool fill_version;
LONG fill_whole_buffer(HKEY, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    sizes_told.push_back(*size);
    if (type)
        *type = REG_BINARY;
    if (strcmp(name, "Version") == 0 && !fill_version) {
        memcpy(data, "2.0 Pro", 8);
        *size = 8;
        return ERROR_SUCCESS;
    }
    memset(data, strcmp(name, "Version") == 0 ? 'd' : 'x', *size);
    return ERROR_SUCCESS;
}
BOOL any_folder_exists(LPCSTR)
{
    return TRUE;
}

TEST_F(OldVersion, RegistryContentsFillingTheBufferAreNeverWrittenPast)
{
    box_answer() = IDYES;
    sizes_told.clear();
    seam_hook<SEAM_RegQueryValueExA>(fill_whole_buffer, SEAM_NEXT, 0);
    seam_hook<SEAM_SetCurrentDirectoryA>(any_folder_exists, SEAM_NEXT, 0);

    // 263 bytes of content against data cut to 262: they differ.
    fill_version = true;
    write_script("[oldver]\r\ncheck=1\r\nkey=" + key + "\r\nvalue=Version\r\ndata=" + std::string(300, 'd') +
                 "\r\npath=" + key + "\\Paths\r\ndir=Folder\r\n");
    EXPECT_FALSE(detect_previous_version());
    EXPECT_TRUE(shown().empty());
    ASSERT_EQ(sizes_told.size(), 1u);
    EXPECT_EQ(sizes_told[0], 263u) << "the whole buffer, and no more";

    // A folder of 263 bytes fills the buffer. Cut to the field it would
    // name another folder: it is not taken, as an unknown folder is not.
    fill_version = false;
    sizes_told.clear();
    script_with("1", "2.0 Pro");
    session.over_previous_version = 0x5A5A5A5A; // canary after previous_version_dir
    EXPECT_FALSE(detect_previous_version());
    ASSERT_EQ(sizes_told.size(), 2u);
    EXPECT_EQ(sizes_told[1], 263u);
    EXPECT_EQ(std::string(session.previous_version_dir), "");
    EXPECT_EQ(session.over_previous_version, 0x5A5A5A5A);
    EXPECT_EQ(session.previous_version_found, 0);
    ASSERT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown()[1].text, catalogue(MSG_OLD_FOLDER_UNKNOWN));
}

} // namespace
