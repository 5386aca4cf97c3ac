// Removal of the program group's shortcuts from the programs folder under
// the Windows folder (here a folder of the test's own), on real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "group_test_support.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"

namespace {

std::vector<std::pair<std::string, BOOL>> removed_folders;
BOOL record_remove_folder(LPCSTR path)
{
    BOOL done = RemoveDirectoryA(path);
    removed_folders.push_back({path, done});
    return done;
}

class StartMenuRemoval : public GroupSession {
protected:
    std::string programs;  // the Windows folder's Start menu programs folder

    void SetUp() override
    {
        GroupSession::SetUp();
        std::string windows = work + "\\win";
        ASSERT_TRUE(CreateDirectoryA(windows.c_str(), NULL));
        snprintf(session.windows_dir, sizeof session.windows_dir, "%s", windows.c_str());
        programs = windows + PROGRAMS_UNDER_WINDOWS;
        ASSERT_TRUE(CreateDirectoryA(programs.substr(0, programs.rfind('\\')).c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(programs.c_str(), NULL));
        removed_folders.clear();
        seam_hook<SEAM_RemoveDirectoryA>(record_remove_folder, 1, 0);
        // A shell that names no programs folder (Windows 95/98 without a
        // per-user Start menu): the one under the Windows folder is used.
        seam_fail_at(SEAM_SHGetSpecialFolderPathA, SEAM_NEXT, 0);
    }

    std::string shortcut(const std::string &group, const std::string &title)
    {
        return programs + "\\" + group + "\\" + title + ".lnk";
    }

    void plant(const std::string &group, const std::string &title)
    {
        CreateDirectoryA((programs + "\\" + group).c_str(), NULL);
        write_file(shortcut(group, title), "L");
    }
};

TEST_F(StartMenuRemoval, GroupFolderGoesWithItsLastShortcut)
{
    plant("Tool", "Viewer");
    plant("Tool", "Editor");
    write_startmenu(2, {"start_1=Tool,tool.exe,Viewer", "start_2=Tool,edit.exe,Editor"});
    remove_program_group(NULL, 2);
    EXPECT_FALSE(is_file(shortcut("Tool", "Viewer")));
    EXPECT_FALSE(is_file(shortcut("Tool", "Editor")));
    EXPECT_FALSE(is_folder(programs + "\\Tool"));
    // Tried after each deletion: still full after the first, empty after the second.
    ASSERT_EQ(removed_folders.size(), 2u);
    EXPECT_EQ(removed_folders[0].first, programs + "\\Tool");
    EXPECT_FALSE(removed_folders[0].second);
    EXPECT_TRUE(removed_folders[1].second);
    EXPECT_TRUE(recorded_boxes.empty());
}

TEST_F(StartMenuRemoval, FolderWithAShortcutNotListedStays)
{
    plant("Tool", "Viewer");
    plant("Tool", "Own");
    write_startmenu(1, {"start_1=Tool,tool.exe,Viewer"});
    remove_program_group(NULL, 1);
    EXPECT_FALSE(is_file(shortcut("Tool", "Viewer")));
    EXPECT_TRUE(is_file(shortcut("Tool", "Own")));
    EXPECT_TRUE(is_folder(programs + "\\Tool"));
}

TEST_F(StartMenuRemoval, MissingShortOrEmptyEntryEndsTheStep)
{
    for (const char *second : {"", "start_2=Tool,two.exe", "start_2="}) {
        SCOPED_TRACE(second);
        plant("Tool", "One");
        plant("Tool", "Three");
        write_startmenu(3, {"start_1=Tool,one.exe,One", second, "start_3=Tool,three.exe,Three"});
        remove_program_group(NULL, 3);
        EXPECT_FALSE(is_file(shortcut("Tool", "One")));
        EXPECT_TRUE(is_file(shortcut("Tool", "Three")));
    }
    EXPECT_TRUE(recorded_boxes.empty());
}

TEST_F(StartMenuRemoval, ShortcutThatIsNotThereIsSkipped)
{
    // Entry 1's group folder is there but empty: it is not touched.
    CreateDirectoryA((programs + "\\Gone").c_str(), NULL);
    // A folder bearing the shortcut's name is no shortcut either.
    CreateDirectoryA((programs + "\\Tool").c_str(), NULL);
    CreateDirectoryA(shortcut("Tool", "Folder").c_str(), NULL);
    plant("Tool", "Viewer");
    write_startmenu(3, {"start_1=Gone,gone.exe,Gone", "start_2=Tool,x.exe,Folder", "start_3=Tool,tool.exe,Viewer"});
    remove_program_group(NULL, 3);
    EXPECT_TRUE(is_folder(programs + "\\Gone"));
    EXPECT_TRUE(is_folder(shortcut("Tool", "Folder")));
    EXPECT_FALSE(is_file(shortcut("Tool", "Viewer")));
    ASSERT_EQ(removed_folders.size(), 1u) << "only after a deletion";
    EXPECT_EQ(removed_folders[0].first, programs + "\\Tool");
}

INT_PTR CALLBACK quiet_dialog(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

TEST_F(StartMenuRemoval, ShortcutThatCannotBeDeletedEndsTheStep)
{
    plant("Tool", "Locked");
    plant("Tool", "Viewer");
    SetFileAttributesA(shortcut("Tool", "Locked").c_str(), FILE_ATTRIBUTE_READONLY);
    write_startmenu(2, {"start_1=Tool,lock.exe,Locked", "start_2=Tool,tool.exe,Viewer"});
    HWND dialog = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, quiet_dialog, 0);
    ASSERT_NE(dialog, nullptr);
    remove_program_group(dialog, 2);
    EXPECT_TRUE(is_file(shortcut("Tool", "Locked")));
    EXPECT_TRUE(is_file(shortcut("Tool", "Viewer")));
    EXPECT_TRUE(removed_folders.empty());
    EXPECT_TRUE(recorded_boxes.empty());
    // What stays is named, so that the removal does not look complete.
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), catalogue_with(MSG_REMOVE_FAILED, shortcut("Tool", "Locked")));
    DestroyWindow(dialog);
}

TEST_F(StartMenuRemoval, DoubleByteNamesAndLeadingBlanksAsWritten)
{
    plant(SOFT, " " SHOW " " SOFT);
    plant(SOFT, SHOW);
    write_startmenu(2, {"start_1=" SOFT ", tool.exe, " SHOW " " SOFT, "start_2=" SOFT "," SOFT ".exe," SHOW});
    remove_program_group(NULL, 2);
    EXPECT_FALSE(is_file(shortcut(SOFT, " " SHOW " " SOFT)));
    EXPECT_FALSE(is_file(shortcut(SOFT, SHOW)));
    EXPECT_FALSE(is_folder(programs + "\\" SOFT));
}

TEST_F(StartMenuRemoval, PathTooLongForItsBufferIsNotCut)
{
    // The full path would take 263 bytes; cut to 259 it would lose ".lnk"
    // and name this file.
    std::string folder = programs + "\\Tool";
    std::string title(263 - folder.size() - 1 - 4, 't');
    std::string cut = (folder + "\\" + title + ".lnk").substr(0, 259);
    CreateDirectoryA(folder.c_str(), NULL);
    write_file(cut, "L");
    ASSERT_TRUE(is_file(cut));
    plant("Tool", "Viewer");
    write_startmenu(2, {"start_1=Tool,tool.exe," + title, "start_2=Tool,tool.exe,Viewer"});
    remove_program_group(NULL, 2);
    EXPECT_TRUE(is_file(cut));
    EXPECT_FALSE(is_file(shortcut("Tool", "Viewer"))) << "the step goes on after the entry";
}

TEST_F(StartMenuRemoval, CountZeroHandlesNothing)
{
    plant("Tool", "Viewer");
    write_startmenu(0, {"start_1=Tool,tool.exe,Viewer"});
    remove_program_group(NULL, 0);
    EXPECT_TRUE(is_file(shortcut("Tool", "Viewer")));
    EXPECT_EQ(seam_count(SEAM_GetPrivateProfileStringA), 0u);
}

} // namespace
