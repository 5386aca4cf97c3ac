// Shared by the versioned-copy tests: a fresh medium and destination folder
// per test, the test libraries, file contents, and the message boxes the
// code under test shows (recorded through the seam and answered from a
// list).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "win_test_support.h"

// Windows path of one of the test libraries (vcopy_v1, vcopy_v2,
// vcopy_app2, vcopy_plain).
std::string test_library(const char *name);

// Deletes a file, read-only or not; no error when it is not there.
void remove_file(const std::string &path);

// The system folder with a trailing backslash, as the session holds it.
std::string system_folder();

// Each test gets the folders medium and dest (session.source_dir and
// session.destination_dir, with trailing backslashes) and windows
// (session.windows_dir) in a work folder of its own, the real system folder,
// the NT family, and setup.exe's resources. Files put
// into the system folder through keep_out_of_system() are removed again.
class VcopyTest : public WinTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies a test library onto the medium under a name of the test's
    // choosing; returns its bytes.
    std::string put_on_medium(const char *library, const char *name);
    std::string medium(const char *name) const { return medium_dir + name; }
    std::string dest(const char *name) const { return dest_dir + name; }
    // A file in the system folder that the test creates or expects: removed
    // before and after the test.
    std::string keep_out_of_system(const char *name);

    std::string work_dir;   // ends in a backslash
    std::string medium_dir; // ends in a backslash
    std::string dest_dir;   // ends in a backslash
    std::string windows_dir; // no trailing backslash

private:
    std::vector<std::string> system_files;
};
