// The start from the medium: setup.exe and its script copied to the
// temporary folder, the copy started with /TEMP, and what each failure
// leaves behind. Real files in a per-test temporary folder (with blanks and
// double-byte characters in its name); the seam supplies that folder and
// stands in for WinExec, so nothing is really started.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "startup.h"
#include "win_test_support.h"

namespace {

// ソフト: its first character has a backslash as second byte.
const char soft[] = "\x83\x5c\x83\x74\x83\x67";

// A few bytes that a text-mode or string copy would spoil.
const std::string program_bytes("MZ\x90\0\x03\0\r\n\x1a\xff\x5c\0", 12);

// The script as the medium holds it: Wine's profile writer keeps this form,
// so the copy differs only by the lines of the keys added to [general].
const std::string script_text = "[general]\r\n"
                                "application=\x83\x54\x83\x93\x83\x76\x83\x8b\r\n"
                                "default_dir=\x83\x5c\x83\x74\x83\x67\r\n"
                                "[files]\r\n"
                                "1=tool.exe\r\n";

std::string profile(const std::string &file, const char *key)
{
    char buf[MAX_PATH * 2] = "";
    GetPrivateProfileStringA("general", key, "<none>", buf, sizeof buf, file.c_str());
    return buf;
}

std::string profile_in(const std::string &file, const char *section, const char *key)
{
    char buf[MAX_PATH] = "";
    GetPrivateProfileStringA(section, key, "<none>", buf, sizeof buf, file.c_str());
    return buf;
}

// The text without the lines that start with one of the given keys.
std::string without_keys(const std::string &text, const std::vector<std::string> &keys)
{
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, end - pos);
        bool drop = false;
        for (const std::string &k : keys)
            if (line.compare(0, k.size() + 1, k + "=") == 0)
                drop = true;
        if (!drop)
            out += line;
        pos = end;
    }
    return out;
}

std::vector<RecordedBox> &boxes = recorded_boxes;

std::string fake_temp;
DWORD temp_path(DWORD size, LPSTR buf)
{
    if (fake_temp.size() >= size)
        return (DWORD)fake_temp.size() + 1;
    memcpy(buf, fake_temp.c_str(), fake_temp.size() + 1);
    return (DWORD)fake_temp.size();
}

std::string fake_current;
DWORD current_dir(DWORD size, LPSTR buf)
{
    snprintf(buf, size, "%s", fake_current.c_str());
    return (DWORD)strlen(buf);
}

std::vector<std::string> roots;
UINT drive_type = DRIVE_FIXED;
UINT record_drive(LPCSTR root)
{
    roots.push_back(root);
    return drive_type;
}

struct TempName {
    std::string dir, prefix;
    UINT unique;
};
std::vector<TempName> temp_names;
UINT record_temp_name(LPCSTR dir, LPCSTR prefix, UINT unique, LPSTR buf)
{
    temp_names.push_back({dir, prefix, unique});
    return GetTempFileNameA(dir, prefix, unique, buf);
}

// A name of fixed length, so a test can place the copies' paths exactly:
// the placeholder is made as the platform makes it.
UINT fixed_temp_name(LPCSTR dir, LPCSTR prefix, UINT, LPSTR buf)
{
    snprintf(buf, MAX_PATH, "%s%.3sBEEF.tmp", dir, prefix);
    HANDLE h = CreateFileA(buf, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(h);
    return 0xBEEF;
}

struct Started {
    std::string command;
    UINT show;
};
std::vector<Started> started;
UINT exec_result = 33;
UINT record_exec(LPCSTR command, UINT show)
{
    started.push_back({command, show});
    return exec_result;
}

class Bootstrap : public WinTest {
protected:
    std::string medium, module, script, temp;

    void SetUp() override
    {
        WinTest::SetUp();
        if (HasFatalFailure())
            return;
        roots.clear();
        temp_names.clear();
        started.clear();
        drive_type = DRIVE_FIXED;
        exec_result = 33;
        seam_hook<SEAM_WinExec>(record_exec, 1, 0);
        seam_hook<SEAM_GetTempPathA>(temp_path, 1, 0);

        char real_temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(sizeof real_temp, real_temp), 0u);
        std::string pid = std::to_string(GetCurrentProcessId());
        medium = std::string(real_temp) + "Boot Medium " + soft + " " + pid + "\\";
        temp = std::string(real_temp) + "Boot Strap " + soft + " " + pid + "\\";
        remove_tree(medium);
        remove_tree(temp);
        ASSERT_TRUE(CreateDirectoryA(medium.c_str(), NULL)) << medium;
        ASSERT_TRUE(CreateDirectoryA(temp.c_str(), NULL)) << temp;
        fake_temp = temp;
        module = medium + "setup.exe";
        script = medium + "setup.inf";
        ASSERT_TRUE(write_file(module, program_bytes));
        ASSERT_TRUE(write_file(script, script_text));
        snprintf(session.module_path, sizeof session.module_path, "%s", module.c_str());
        snprintf(session.script_path, sizeof session.script_path, "%s", script.c_str());
        snprintf(session.source_dir, sizeof session.source_dir, "%s", medium.c_str());
        session.run_mode = RunModeSetup;
    }
    void TearDown() override
    {
        WinTest::TearDown();
        remove_tree(temp);
        remove_tree(medium);
    }

    // One message box, stop icon, disk-error caption.
    void expect_one_box(UINT text_id)
    {
        ASSERT_EQ(boxes.size(), 1u);
        expect_box(0, text_id, CAP_DISK_ERROR, MB_OK | MB_ICONSTOP);
        EXPECT_FALSE(boxes[0].text.empty()) << "the catalogue holds message " << text_id;
    }

    void expect_medium_untouched()
    {
        EXPECT_EQ(read_file(module), program_bytes);
        EXPECT_EQ(read_file(script), script_text) << "keys are written into the copy only";
    }
};

// The number part of ~stXXXX.<extension>, or "" if the name is not of that form.
std::string copy_number(const std::string &name, const char *extension)
{
    std::string tail = std::string(".") + extension;
    if (name.size() < 3 + 1 + tail.size() || name.compare(0, 3, "~st") != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return "";
    std::string number = name.substr(3, name.size() - 3 - tail.size());
    if (number.size() > 4 || number.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return "";
    return number;
}

TEST_F(Bootstrap, CopiesBothFilesRecordsTheMediumAndStartsTheCopy)
{
    seam_hook<SEAM_GetDriveTypeA>(record_drive, 1, 0);
    seam_hook<SEAM_GetTempFileNameA>(record_temp_name, 1, 0);
    start_temporary_copy();
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);

    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0], module.substr(0, 3)) << "the module's drive root";
    ASSERT_EQ(temp_names.size(), 1u);
    EXPECT_EQ(temp_names[0].dir, temp);
    EXPECT_EQ(temp_names[0].prefix, "~stp");
    EXPECT_EQ(temp_names[0].unique, 0u) << "the platform picks the number and makes the placeholder";

    std::vector<std::string> names = listing(temp);
    ASSERT_EQ(names.size(), 2u) << joined(names) << "(no placeholder left)";
    std::string number = copy_number(names[0], "exe");
    ASSERT_NE(number, "") << names[0];
    EXPECT_EQ(names[1], "~st" + number + ".inf") << "the same number for both copies";
    std::string exe_copy = temp + names[0], inf_copy = temp + names[1];

    EXPECT_EQ(read_file(exe_copy), program_bytes) << "byte for byte";
    EXPECT_EQ(profile(inf_copy, "tmpexe"), exe_copy);
    EXPECT_EQ(profile(inf_copy, "tmpinf"), inf_copy);
    EXPECT_EQ(profile(inf_copy, "srcdir"), medium);
    EXPECT_EQ(profile(inf_copy, "application"), "\x83\x54\x83\x93\x83\x76\x83\x8b");
    EXPECT_EQ(profile_in(inf_copy, "files", "1"), "tool.exe");
    EXPECT_EQ(without_keys(read_file(inf_copy), {"tmpexe", "tmpinf", "srcdir"}), script_text)
        << "the rest of the script is copied as it stands";
    expect_medium_untouched();

    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].command, "\"" + exe_copy + "\" /TEMP") << "quoted: the folder has blanks";
    EXPECT_EQ(started[0].show, (UINT)SW_SHOWMAXIMIZED);

    // Again, as a run with /DEBUG: a second pair beside the first.
    session.debug_run = 1;
    start_temporary_copy();
    EXPECT_TRUE(boxes.empty());
    std::vector<std::string> after = listing(temp);
    ASSERT_EQ(after.size(), 4u) << joined(after);
    std::vector<std::string> added;
    for (const std::string &n : after)
        if (n != names[0] && n != names[1])
            added.push_back(n);
    ASSERT_EQ(added.size(), 2u) << "a distinct pair: " << joined(after);
    std::string second = copy_number(added[0], "exe");
    ASSERT_NE(second, "") << added[0];
    EXPECT_NE(second, number);
    EXPECT_EQ(added[1], "~st" + second + ".inf");
    EXPECT_EQ(read_file(exe_copy), program_bytes) << "the first copy is left alone";
    EXPECT_EQ(profile(exe_copy.substr(0, exe_copy.size() - 3) + "inf", "tmpexe"), exe_copy);
    EXPECT_EQ(profile(temp + added[1], "tmpexe"), temp + added[0]);
    EXPECT_EQ(profile(temp + added[1], "srcdir"), medium);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].command, "\"" + temp + added[0] + "\" /TEMP /DEBUG");
    EXPECT_EQ(started[1].show, (UINT)SW_SHOWMAXIMIZED);
}

TEST_F(Bootstrap, OnlyKnownDriveTypesPass)
{
    seam_hook<SEAM_GetDriveTypeA>(record_drive, 1, 0);
    for (UINT type : {0u, 1u, 7u}) {
        SCOPED_TRACE(type);
        boxes.clear();
        drive_type = type;
        unsigned temp_calls = seam_count(SEAM_GetTempPathA);
        start_temporary_copy();
        expect_one_box(MSG_NO_DISK);
        EXPECT_EQ(seam_count(SEAM_GetTempPathA), temp_calls) << "nothing after the drive check";
        EXPECT_TRUE(started.empty());
        EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));
    }
    size_t pairs = 0;
    for (UINT type : {(UINT)DRIVE_REMOVABLE, (UINT)DRIVE_REMOTE, (UINT)DRIVE_CDROM, (UINT)DRIVE_RAMDISK}) {
        SCOPED_TRACE(type);
        boxes.clear();
        drive_type = type;
        start_temporary_copy();
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(started.size(), ++pairs);
        EXPECT_EQ(listing(temp).size(), 2 * pairs) << joined(listing(temp));
    }
}

TEST_F(Bootstrap, NoTemporaryOrCurrentFolderMakesNothing)
{
    seam_fail_at(SEAM_GetTempPathA, SEAM_NEXT);
    start_temporary_copy();
    expect_one_box(MSG_NO_TEMP_FILE);
    EXPECT_EQ(seam_count(SEAM_GetTempFileNameA), 0u);

    boxes.clear();
    seam_fail_at(SEAM_GetCurrentDirectoryA, SEAM_NEXT);
    start_temporary_copy();
    expect_one_box(MSG_NO_TEMP_FILE);
    EXPECT_EQ(seam_count(SEAM_GetTempFileNameA), 0u);

    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));
    expect_medium_untouched();
}

TEST_F(Bootstrap, StartedFromTheTemporaryFolderIsRefused)
{
    // The same folder in other letter case (double-byte characters as they are).
    fake_current = temp;
    for (size_t i = 0; i < fake_current.size(); i++) {
        char &c = fake_current[i];
        if (IsDBCSLeadByte((BYTE)c))
            i++;
        else if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    }
    ASSERT_NE(fake_current, temp);
    seam_hook<SEAM_GetCurrentDirectoryA>(current_dir, 1, 0);
    start_temporary_copy();
    expect_one_box(MSG_NO_TEMP_FILE);
    EXPECT_EQ(seam_count(SEAM_GetTempFileNameA), 0u);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));
}

TEST_F(Bootstrap, NoPlaceholderMakesNothing)
{
    seam_fail(SEAM_GetTempFileNameA, 0, ERROR_DISK_FULL, SEAM_NEXT);
    start_temporary_copy();
    expect_one_box(MSG_NO_TEMP_FILE);
    EXPECT_EQ(seam_count(SEAM_CopyFileA), 0u);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));
}

TEST_F(Bootstrap, FailedCopiesTakeThePlaceholderAndTheFirstCopyAway)
{
    // The program cannot be copied: only the placeholder was made.
    seam_fail_at(SEAM_CopyFileA, SEAM_NEXT);
    start_temporary_copy();
    expect_one_box(MSG_NO_TEMP_FILE);
    EXPECT_EQ(seam_count(SEAM_CopyFileA), 1u) << "no script copy after a failed program copy";
    EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));

    // The script cannot be copied: the program copy goes too.
    boxes.clear();
    seam_fail_at(SEAM_CopyFileA, seam_count(SEAM_CopyFileA) + 2);
    start_temporary_copy();
    expect_one_box(MSG_NO_TEMP_FILE);
    EXPECT_EQ(seam_count(SEAM_CopyFileA), 3u);
    EXPECT_EQ(seam_count(SEAM_WritePrivateProfileStringA), 0u);
    EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));

    EXPECT_TRUE(started.empty());
    expect_medium_untouched();
}

TEST_F(Bootstrap, CopiesOfAReadOnlyMediumCanBeWrittenAndDeleted)
{
    // As on a CD-ROM: both files read-only, and the copies keep that.
    ASSERT_TRUE(SetFileAttributesA(module.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(script.c_str(), FILE_ATTRIBUTE_READONLY));
    start_temporary_copy();
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    std::vector<std::string> names = listing(temp);
    ASSERT_EQ(names.size(), 2u) << joined(names);
    for (const std::string &name : names) {
        EXPECT_FALSE(GetFileAttributesA((temp + name).c_str()) & FILE_ATTRIBUTE_READONLY) << name;
        EXPECT_TRUE(DeleteFileA((temp + name).c_str())) << name << " can be deleted at the end of the run";
    }
    ASSERT_EQ(started.size(), 1u);

    // A write into the script copy that fails (as it does for a read-only
    // copy on Windows): the copy would not know its medium. Refused, and
    // both copies go.
    for (unsigned failing = 1; failing <= 3; failing++) {
        SCOPED_TRACE(failing);
        boxes.clear();
        started.clear();
        seam_fail_at(SEAM_WritePrivateProfileStringA,
                     seam_count(SEAM_WritePrivateProfileStringA) + failing);
        start_temporary_copy();
        expect_one_box(MSG_NO_TEMP_FILE);
        EXPECT_TRUE(started.empty());
        EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));
    }
    SetFileAttributesA(module.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(script.c_str(), FILE_ATTRIBUTE_NORMAL);
    expect_medium_untouched();
}

TEST_F(Bootstrap, CopyThatCannotStartIsTakenAway)
{
    for (UINT result : {0u, 2u, 31u}) {
        SCOPED_TRACE(result);
        boxes.clear();
        started.clear();
        exec_result = result;
        start_temporary_copy();
        EXPECT_EQ(started.size(), 1u);
        expect_one_box(MSG_CANNOT_START_COPY);
        EXPECT_TRUE(listing(temp).empty()) << joined(listing(temp));
    }
    // 32 is the first result that means started.
    boxes.clear();
    exec_result = 32;
    start_temporary_copy();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(listing(temp).size(), 2u) << joined(listing(temp));
    expect_medium_untouched();
}

// A temporary folder deep enough to bring the command to the size of its
// buffer (270 bytes with the terminator).
class LongCommand : public Bootstrap {
protected:
    std::string deep;

    // Makes a folder inside the test's temporary folder whose path, with its
    // trailing backslash, is `length` bytes, and hands it out as the
    // temporary folder.
    void use_folder_of_length(size_t length)
    {
        ASSERT_GT(length, temp.size() + 1);
        deep = temp + std::string(length - temp.size() - 1, 'd') + "\\";
        ASSERT_EQ(deep.size(), length);
        remove_tree(deep);
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL)) << GetLastError() << " " << deep;
        fake_temp = deep;
        seam_hook<SEAM_GetTempFileNameA>(fixed_temp_name, 1, 0);
    }
};

TEST_F(LongCommand, LongestProgramPathWithoutDebugStillStarts)
{
    // ~stBEEF.exe ends at 259 bytes, the most a path may have; the command
    // is 267 bytes.
    use_folder_of_length(259 - 11);
    start_temporary_copy();
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    std::string exe_copy = deep + "~stBEEF.exe";
    ASSERT_EQ(exe_copy.size(), 259u);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].command, "\"" + exe_copy + "\" /TEMP");
    EXPECT_EQ(listing(deep), (std::vector<std::string>{"~stBEEF.exe", "~stBEEF.inf"}));
    EXPECT_EQ(read_file(exe_copy), program_bytes);
    EXPECT_EQ(profile(deep + "~stBEEF.inf", "tmpexe"), exe_copy);
}

TEST_F(LongCommand, EverySwitchAtItsLongestGoesOnWhole)
{
    // A program path, a folder and a log of 259 bytes each, and every
    // switch: nothing of it may be lost on the way to the copy.
    session.debug_run = 1;
    session.no_restart = 1;
    use_folder_of_length(259 - 11);
    std::string dir = "C:\\" + std::string(255, 'f') + "\\", log = "C:\\" + std::string(256, 'g');
    snprintf(session.given_dir, sizeof session.given_dir, "%s", dir.c_str());
    snprintf(session.log_path, sizeof session.log_path, "%s", log.c_str());
    start_temporary_copy();
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].command, "\"" + deep + "~stBEEF.exe\" /TEMP /DEBUG /NORESTART \"/DIR=" + dir + "\" \"/LOG=" +
                                      log + "\"");
}

} // namespace
