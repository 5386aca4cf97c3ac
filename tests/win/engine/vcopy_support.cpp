#include "vcopy_support.h"

#include <stdio.h>
#include <string.h>

#include "platform.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"

std::string test_library(const char *name)
{
    return windows_path(std::string(VCOPY_FILES_DIR) + "/" + name + ".dll");
}

void remove_file(const std::string &path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

std::string system_folder()
{
    char buf[MAX_PATH];
    GetSystemDirectoryA(buf, sizeof buf);
    return std::string(buf) + "\\";
}

void VcopyTest::SetUp()
{
    static int libraries_loaded;
    if (!libraries_loaded)
        libraries_loaded = load_system_libraries() ? 1 : -1;
    ASSERT_EQ(libraries_loaded, 1) << "the version installer did not load";
    WinTest::SetUp();
    if (HasFatalFailure())
        return;
    session.is_nt = 1;
    box_default_answer = IDNO;

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char unique[64];
    snprintf(unique, sizeof unique, "vcopy-%lu\\", (unsigned long)GetCurrentProcessId());
    work_dir = std::string(temp) + unique;
    medium_dir = work_dir + "medium\\";
    dest_dir = work_dir + "dest\\";
    windows_dir = work_dir + "windows";
    remove_tree(work_dir);
    ASSERT_TRUE(CreateDirectoryA(work_dir.c_str(), NULL)) << work_dir;
    ASSERT_TRUE(CreateDirectoryA(medium_dir.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(dest_dir.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(windows_dir.c_str(), NULL));

    snprintf(session.source_dir, sizeof session.source_dir, "%s", medium_dir.c_str());
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s", dest_dir.c_str());
    snprintf(session.windows_dir, sizeof session.windows_dir, "%s", windows_dir.c_str());
    snprintf(session.system_dir, sizeof session.system_dir, "%s", system_folder().c_str());
}

void VcopyTest::TearDown()
{
    WinTest::TearDown();
    for (const std::string &path : system_files)
        remove_file(path);
    remove_tree(work_dir);
}

std::string VcopyTest::put_on_medium(const char *library, const char *name)
{
    std::string from = test_library(library);
    std::string to = medium(name);
    EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to;
    return read_file(to);
}

std::string VcopyTest::keep_out_of_system(const char *name)
{
    std::string path = system_folder() + name;
    remove_file(path);
    system_files.push_back(path);
    return path;
}
