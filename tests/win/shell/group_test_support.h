// Helpers of the program-group tests: a session with a script and folders of
// its own in the temporary folder, message boxes recorded through the seam,
// files and folders planted and looked at directly (not through the seam).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "win_test_support.h"

// Code page 932 names with a backslash as the second byte of a character.
#define SOFT "\x83\x5c\x83\x74\x83\x67"  // ソフト
#define SHOW "\x95\x5c\x8e\xa6"          // 表示
// "\ｽﾀｰﾄ ﾒﾆｭｰ\ﾌﾟﾛｸﾞﾗﾑ" byte for byte: the programs folder under the Windows folder.
#define PROGRAMS_UNDER_WINDOWS "\\\xBD\xC0\xB0\xC4\x20\xD2\xC6\xAD\xB0\\\xCC\xDF\xDB\xB8\xDE\xD7\xD1"

bool is_file(const std::string &path);
bool is_folder(const std::string &path);

// A fresh session for setup.exe's resources: backdrop, application name,
// the script setup.inf and a destination folder (with a trailing
// backslash, DBCS in its name) in a new folder `work`. Message boxes are
// recorded and answered with OK.
class GroupSession : public WinTest {
protected:
    std::string work;
    void SetUp() override;
    // Writes setup.inf: [startmenu] with menus=count and the lines given
    // ("start_1=..." each).
    void write_startmenu(unsigned count, const std::vector<std::string> &lines);
    // The box that the failure text_id of the program group shows.
    void expect_one_failure_box(UINT text_id);
};
