#include "group_test_support.h"

#include <stdio.h>
#include <string.h>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"

bool is_file(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_folder(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void GroupSession::SetUp()
{
    WinTest::SetUp();
    if (HasFatalFailure())
        return;
    session.backdrop_window = GetDesktopWindow();
    snprintf(session.application_name, sizeof session.application_name, "%s", "\xBB\xDD\xCC\xDF\xD9 " SOFT);

    make_scratch("grp");
    if (HasFatalFailure())
        return;
    work = scratch.substr(0, scratch.size() - 1);
    std::string destination = work + "\\" SHOW " " SOFT;
    ASSERT_TRUE(CreateDirectoryA(destination.c_str(), NULL));
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s\\", destination.c_str());
    GetWindowsDirectoryA(session.windows_dir, sizeof session.windows_dir);
}

void GroupSession::write_startmenu(unsigned count, const std::vector<std::string> &lines)
{
    std::string text = "[general]\r\napplication=x\r\n[startmenu]\r\nmenus=" + std::to_string(count) + "\r\n";
    for (const std::string &line : lines)
        text += line + "\r\n";
    write_script(text);
}

void GroupSession::expect_one_failure_box(UINT text_id)
{
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(text_id, session.application_name));
    EXPECT_NE(recorded_boxes[0].text.find(session.application_name), std::string::npos);
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_DDE));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONHAND));
    EXPECT_EQ(recorded_boxes[0].owner, session.backdrop_window);
}
