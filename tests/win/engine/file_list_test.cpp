// The file step and the uninstall list on real files, with the version
// installer's calls and message boxes observed at the seam.
#include "engine_support.h"

#include <commctrl.h>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"

namespace {

// The shared counts go to a key of the test's own instead of SharedDLLs.
std::string count_key;
LONG open_test_count_key(HKEY, LPCSTR sub, DWORD, REGSAM sam, PHKEY result)
{
    events.push_back(std::string("countkey:") + sub);
    return RegCreateKeyExA(HKEY_CURRENT_USER, count_key.c_str(), 0, NULL, 0, sam, NULL, result, NULL);
}

DWORD count_of(const std::string &value)
{
    DWORD count = 0, size = sizeof count;
    if (RegGetValueA(HKEY_CURRENT_USER, count_key.c_str(), value.c_str(), RRF_RT_REG_DWORD, NULL, &count, &size) !=
        ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return count;
}

class FileList : public EngineTest {};

TEST_F(FileList, OnlyPresentEntriesAreProcessedAndShortOnesAreSkippedQuietly)
{
    write_file(src + "one.txt", "1");
    write_file(src + "three.txt", "333");
    write_file(src + "a.dll", "a");
    write_script("[files]\r\nfiles=5\r\n"
                 "file_1=one.txt,one.txt,DISK1,1,100\r\n"
                 "file_3=three.txt,three.txt,DISK1,1,300\r\n"
                 "file_4=a.dll,a.dll,DISK1\r\n"
                 "file_5=a.dll,,DISK1,1,100\r\n");
    session.total_bytes = 1000;
    fake_version_installer();
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 1);
    ASSERT_EQ(events.size(), 4u) << ::testing::PrintToString(events);
    EXPECT_EQ(events[0], "find:one.txt|one.txt|one.txt");
    EXPECT_EQ(events[1], "install:one.txt>one.txt@" + dst);
    EXPECT_EQ(events[2], "find:three.txt|three.txt|three.txt");
    EXPECT_EQ(events[3], "install:three.txt>three.txt@" + dst);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(bar_positions, (std::vector<int>{10, 40})) << "the short entries move nothing";
    EXPECT_FALSE(file_exists(dst + "a.dll"));
}

TEST_F(FileList, ApplicationFilesLandByteIdenticalThroughTheRealInstaller)
{
    std::string first("app\x00\x01\x02\xff binary\r\n\x1a", 17);
    std::string second(70000, '\0');
    for (size_t i = 0; i < second.size(); i++)
        second[i] = (char)(i * 31 + 7);
    write_file(src + "app.exe", first);
    write_file(src + "data.bin", second);
    write_script("[files]\r\nfiles=2\r\n"
                 "file_1=app.exe,app.exe,DISK1,1,500\r\n"
                 "file_2=data.bin,renamed.bin,DISK1,1,500\r\n");
    session.total_bytes = 1000;
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 1);
    for (const RecordedBox &box : recorded_boxes)
        ADD_FAILURE() << "box: " << box.text;
    EXPECT_TRUE(read_file(dst + "app.exe") == first) << "app.exe differs";
    EXPECT_TRUE(read_file(dst + "renamed.bin") == second) << "renamed.bin differs";
    EXPECT_FALSE(file_exists(sys + "app.exe"));
    EXPECT_EQ(bar_positions, (std::vector<int>{50, 100}));
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), "data.bin");
    EXPECT_EQ(text_of(dialog, IDC_TARGET_FILE), "renamed.bin");
}

TEST_F(FileList, KindsOtherThanOneAreSharedAndCountedAfterTheirCopy)
{
    write_file(src + "k2.dll", "2");
    write_file(src + "k0.dll", "0");
    write_file(src + "kx.dll", "x");
    write_file(src + "app.exe", "a");
    write_script("[files]\r\nfiles=4\r\n"
                 "file_1=k2.dll,k2.dll,DISK1,2,1\r\n"
                 "file_2=k0.dll,k0.dll,DISK1,0,1\r\n"
                 "file_3=kx.dll,kx.dll,DISK1,x,1\r\n"
                 "file_4=app.exe,app.exe,DISK1,1,1\r\n");
    fake_version_installer();
    count_key = "Software\\EngineTestCounts" + std::to_string(GetCurrentProcessId());
    RegDeleteKeyA(HKEY_CURRENT_USER, count_key.c_str());
    seam_hook<SEAM_RegOpenKeyExA>(open_test_count_key, 1, 0);
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 1);
    const std::string shared = "countkey:SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    std::vector<std::string> expected = {
        "find-shared:k2.dll|k2.dll|k2.dll", "install:k2.dll>k2.dll@" + sys, shared,
        "find-shared:k0.dll|k0.dll|k0.dll", "install:k0.dll>k0.dll@" + sys, shared,
        "find-shared:kx.dll|kx.dll|kx.dll", "install:kx.dll>kx.dll@" + sys, shared,
        "find:app.exe|app.exe|app.exe",     "install:app.exe>app.exe@" + dst,
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(count_of(sys + "k2.dll"), 1u);
    EXPECT_EQ(count_of(sys + "k0.dll"), 1u);
    EXPECT_EQ(count_of(sys + "kx.dll"), 1u);
    EXPECT_EQ(count_of(sys + "app.exe"), 0xFFFFFFFFu) << "application files are not counted";
    RegDeleteKeyA(HKEY_CURRENT_USER, count_key.c_str());
    EXPECT_EQ(read_file(sys + "kx.dll"), "x");
    EXPECT_TRUE(bar_positions.empty()) << "total_bytes 0: the bar stays where it was put";
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 1);
}

TEST_F(FileList, BarPositionsAtSmallLargeAndNearLimitTotals)
{
    write_file(src + "a.bin", "a");
    write_file(src + "b.bin", "b");
    struct Case {
        unsigned total;
        const char *first, *second;
    } cases[] = {
        {1000u, "600", "400"},
        {1000000000u, "600000000", "400000000"},
        {4294967295u, "2576980377", "1717986918"},
    };
    fake_version_installer();
    for (const Case &c : cases) {
        write_script(std::string("[files]\r\nfiles=2\r\nfile_1=a.bin,a.bin,D,1,") + c.first +
                     "\r\nfile_2=b.bin,b.bin,D,1," + c.second + "\r\n");
        session.total_bytes = c.total;
        session.done_bytes = 0;
        if (dialog)
            DestroyWindow(dialog);
        open_dialog();
        bar_positions.clear();
        EXPECT_EQ(process_file_list(dialog), 1);
        EXPECT_EQ(bar_positions, (std::vector<int>{60, 100})) << "total " << c.total;
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 100);
    }
}

TEST_F(FileList, TotalZeroKeepsTheBarAtOne)
{
    open_dialog();
    advance_progress(dialog, 600);
    advance_progress(dialog, 400);
    EXPECT_TRUE(bar_positions.empty());
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 1);
    EXPECT_EQ(session.done_bytes, 0u);
}

std::string late_file;
int insert_disk_then_ok(const RecordedBox &)
{
    write_file(late_file, "late");
    return IDOK;
}
int cancel(const RecordedBox &)
{
    return IDCANCEL;
}

TEST_F(FileList, MissingSourceAsksForItsDiskAndTheSameEntryGoesOn)
{
    write_file(src + "first.txt", "f");
    write_script("[files]\r\nfiles=2\r\n"
                 "file_1=first.txt,first.txt,DISK1,1,1\r\n"
                 "file_2=late.txt,late.txt,\x83\x5c\x83\x74\x83\x67 DISK2,1,1\r\n");
    late_file = src + "late.txt";
    box_reply = insert_disk_then_ok;
    fake_version_installer();
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 1);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_INSERT_DISK, "\x83\x5c\x83\x74\x83\x67 DISK2"));
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_DISK_PREPARE));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(read_file(dst + "late.txt"), "late");
    EXPECT_EQ(events.back(), "install:late.txt>late.txt@" + dst);
}

TEST_F(FileList, CancelAtTheDiskPromptEndsTheStepAndKeepsEarlierFiles)
{
    write_file(src + "first.txt", "f");
    write_file(src + "third.txt", "t");
    write_script("[files]\r\nfiles=3\r\n"
                 "file_1=first.txt,first.txt,DISK1,1,1\r\n"
                 "file_2=gone.txt,gone.txt,DISK2,1,1\r\n"
                 "file_3=third.txt,third.txt,DISK1,1,1\r\n");
    session.total_bytes = 3;
    box_reply = cancel;
    fake_version_installer();
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 0);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_INSERT_DISK, "DISK2"));
    EXPECT_EQ(read_file(dst + "first.txt"), "f");
    EXPECT_FALSE(file_exists(dst + "third.txt")) << "later entries are not processed";
    EXPECT_EQ(bar_positions, (std::vector<int>{33}));
}

TEST_F(FileList, UnreadableSourceStopsWithTheFullPath)
{
    write_file(src + "locked.txt", "l");
    write_script("[files]\r\nfiles=1\r\nfile_1=locked.txt,locked.txt,DISK1,1,1\r\n");
    fake_version_installer();
    open_dialog();
    seam_fail_at(SEAM_GetFileAttributesA, seam_count(SEAM_GetFileAttributesA) + 2);
    EXPECT_EQ(process_file_list(dialog), 0);
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_DISK_NO_ACCESS, src + "locked.txt"));
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_DISK_PREPARE));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(seam_count(SEAM_VerFindFileA), 0u);
    EXPECT_FALSE(file_exists(dst + "locked.txt"));
}

TEST_F(FileList, NamesAreReadAsTheyStandAndCountsEndAtTheLastEntry)
{
    // "\t" and "\n" inside names are folder separators, not a tab or a line feed.
    CreateDirectoryA((src + "new").c_str(), NULL);
    CreateDirectoryA((dst + "new").c_str(), NULL);
    write_file(src + "new\\table.txt", "t");
    write_file(src + "b.txt", "b");
    fake_version_installer();
    open_dialog();
    const std::string first = "install:new\\table.txt>new\\table.txt@" + dst, second = "install:b.txt>b.txt@" + dst;
    const struct {
        const char *count;
        std::vector<std::string> installed;
    } rows[] = {
        {"2147483647", {first, second}}, {"4000000000", {first, second}}, {"2", {first}}, {"-1", {}}, {"0", {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.count);
        write_script(std::string("[files]\r\nfiles=") + row.count +
                     "\r\nfile_1=new\\table.txt,new\\table.txt,D\\name,1,1\r\nfile_3=b.txt,b.txt,D,1,1\r\n");
        events.clear();
        unsigned reads = seam_count(SEAM_GetPrivateProfileStringA);
        EXPECT_EQ(process_file_list(dialog), 1);
        std::vector<std::string> installed;
        for (const std::string &e : events)
            if (e.compare(0, 8, "install:") == 0)
                installed.push_back(e);
        EXPECT_EQ(installed, row.installed);
        EXPECT_LT(seam_count(SEAM_GetPrivateProfileStringA) - reads, 10u) << "no loop up to the count";
        EXPECT_TRUE(recorded_boxes.empty());
    }
}

TEST_F(FileList, APathThatDoesNotFitIsRefusedNotCut)
{
    fake_version_installer();
    open_dialog();
    // Names of 259 characters at most (the field's buffer), joined to the
    // medium's, the destination's or the system folder.
    std::string fits_src(259 - src.size(), 's'), fits_dst(259 - dst.size(), 'd');
    std::string long_src(260 - src.size(), 's'), long_dst(260 - dst.size(), 'd'), long_sys(256 - sys.size(), 'y');
    write_file(src + fits_src, "s");
    const struct {
        std::string source, target;
        int kind;
        UINT message;
        std::string named;
    } rows[] = {
        {long_src, "a.txt", 1, MSG_DISK_NO_ACCESS, long_src},
        {fits_src, long_dst, 1, MSG_COPY_CANNOT_CREATE, long_dst},
        {fits_src, long_sys, 2, MSG_COPY_CANNOT_CREATE, long_sys}, // and its ".$$$" name
        {fits_src, fits_dst, 1, 0, ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.target.size());
        recorded_boxes.clear();
        events.clear();
        write_script("[files]\r\nfiles=1\r\nfile_1=" + row.source + "," + row.target + ",D," +
                     std::to_string(row.kind) + ",1\r\n");
        EXPECT_EQ(process_file_list(dialog), row.message ? 0 : 1);
        if (!row.message) {
            EXPECT_TRUE(recorded_boxes.empty());
            EXPECT_EQ(events.back(), "install:" + row.source + ">" + row.target + "@" + dst);
            continue;
        }
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_EQ(recorded_boxes[0].text, catalogue_with(row.message, row.named));
        EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONSTOP));
        EXPECT_EQ(first_event("find"), -1) << "nothing is looked for";
        EXPECT_EQ(first_event("install"), -1) << "nothing is copied";
    }
}

DWORD frozen_clock(void)
{
    return 5000;
}

TEST_F(FileList, NamesAndBarAreShownOnATimeBasisAndWholeAtTheEnd)
{
    // The clock stands still: the entries are noted, and shown before a box
    // and at the end of the step.
    seam_hook<SEAM_GetTickCount>(frozen_clock, 1, 0);
    write_file(src + "a.txt", "a");
    write_file(src + "b.txt", "b");
    write_script("[files]\r\nfiles=3\r\nfile_1=a.txt,a1.txt,D,1,1\r\nfile_2=b.txt,b2.txt,D,1,1\r\n"
                 "file_3=late.txt,late3.txt,DISK2,1,1\r\n");
    session.total_bytes = 3;
    late_file = src + "late.txt";
    box_reply = insert_disk_then_ok;
    fake_version_installer();
    open_dialog();
    bar_positions.clear();
    EXPECT_EQ(process_file_list(dialog), 1);
    EXPECT_EQ(events[0], "find:a1.txt|Static|Static") << "not drawn for every file";
    EXPECT_EQ(events[2], "find:b2.txt|Static|Static");
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].context, "late.txt|late3.txt") << "a box asks about the file the dialog shows";
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), "late.txt");
    EXPECT_EQ(text_of(dialog, IDC_TARGET_FILE), "late3.txt");
    ASSERT_FALSE(bar_positions.empty());
    EXPECT_EQ(bar_positions.back(), 100) << "the bar ends at its exact position";
    EXPECT_LT(bar_positions.size(), 3u);
}

// Removal ---------------------------------------------------------------

static LONG refuse_set_value(HKEY, LPCSTR, DWORD, DWORD, const BYTE *, DWORD)
{
    return ERROR_ACCESS_DENIED;
}

static BOOL record_delete(LPCSTR path)
{
    events.push_back(std::string("delete:") + path);
    return DeleteFileA(path);
}

class Removal : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        session.run_mode = RunModeUninstall;
        seam_hook<SEAM_DeleteFileA>(record_delete, 1, 0);
        seam_hook<SEAM_RegSetValueExA>(refuse_set_value, 1, 0);
    }
};

TEST_F(Removal, ApplicationFilesGoAndAMissingOneIsFine)
{
    write_file(dst + "app.exe", "a");
    write_file(dst + "help.txt", "h");
    write_file(src + "app.exe", "medium copy stays");
    write_script("[files]\r\nfiles=3\r\n"
                 "file_1=app.exe,app.exe,DISK1,1,1\r\n"
                 "file_2=never.txt,never.txt,DISK1,1,1\r\n"
                 "file_3=h.txt,help.txt,DISK1,1,1\r\n");
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 1);
    EXPECT_FALSE(file_exists(dst + "app.exe"));
    EXPECT_FALSE(file_exists(dst + "help.txt"));
    EXPECT_TRUE(file_exists(src + "app.exe"));
    EXPECT_EQ(events, (std::vector<std::string>{"delete:" + dst + "app.exe", "delete:" + dst + "help.txt"}));
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), "help.txt");
    EXPECT_TRUE(recorded_boxes.empty());
}

TEST_F(Removal, ReadOnlyFilesGoAndAPathThatDoesNotFitNamesNoOtherFile)
{
    // Copied from a CD, a file may keep the read-only attribute.
    write_file(dst + "ro.txt", "r");
    ASSERT_TRUE(SetFileAttributesA((dst + "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    // Cut at 259 characters, the long name would name this file.
    std::string cut(259 - dst.size(), 'a'), whole(259, 'a');
    write_file(dst + cut, "another installation's file");
    write_script("[files]\r\nfiles=2\r\nfile_1=ro.txt,ro.txt,D,1,1\r\nfile_2=x," + whole + ",D,1,1\r\n"
                 "uninst=1\r\nuninst_1=" + whole + "\r\n");
    open_dialog();
    EXPECT_EQ(process_file_list(dialog), 1);
    remove_uninstall_list(dialog);
    EXPECT_FALSE(file_exists(dst + "ro.txt"));
    EXPECT_EQ(read_file(dst + cut), "another installation's file");
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), catalogue_with(MSG_REMOVE_FAILED, whole));
    EXPECT_TRUE(recorded_boxes.empty());
}

TEST_F(Removal, AFileHeldOpenIsReportedOnTheStatusLineAndTheStepGoesOn)
{
    std::string held = dst + "held.dat";
    write_file(held, "h");
    write_file(dst + "next.txt", "n");
    write_script("[files]\r\nfiles=2\r\n"
                 "file_1=held.dat,held.dat,DISK1,1,1\r\n"
                 "file_2=next.txt,next.txt,DISK1,1,1\r\n");
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    open_dialog();
    EXPECT_EQ(remove_file_entry(dialog, "held.dat", 1), 1);
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), catalogue_with(MSG_REMOVE_FAILED, held));
    EXPECT_EQ(process_file_list(dialog), 1);
    CloseHandle(file);
    EXPECT_TRUE(file_exists(held));
    EXPECT_FALSE(file_exists(dst + "next.txt"));
    EXPECT_TRUE(recorded_boxes.empty());
}

TEST_F(Removal, UninstallListDeletesInOrderAndSkipsMissingEntries)
{
    write_file(dst + "u1.txt", "1");
    write_file(dst + "u2.txt", "2");
    write_file(dst + "u3.txt", "3");
    write_script("[files]\r\nuninst=3\r\nuninst_1=u1.txt\r\nuninst_2=u2.txt\r\nuninst_3=u3.txt\r\n");
    open_dialog();
    remove_uninstall_list(dialog);
    EXPECT_EQ(events, (std::vector<std::string>{"delete:" + dst + "u1.txt", "delete:" + dst + "u2.txt",
                                                "delete:" + dst + "u3.txt"}));
    EXPECT_FALSE(file_exists(dst + "u1.txt") || file_exists(dst + "u2.txt") || file_exists(dst + "u3.txt"));

    events.clear();
    write_file(dst + "u1.txt", "1");
    write_file(dst + "u2.txt", "2");
    write_script("[files]\r\nuninst=2\r\nuninst_2=u2.txt\r\n");
    remove_uninstall_list(dialog);
    EXPECT_EQ(events, (std::vector<std::string>{"delete:" + dst + "u2.txt"}));
    EXPECT_TRUE(file_exists(dst + "u1.txt"));
    EXPECT_EQ(bar_positions, std::vector<int>{});
}

TEST_F(Removal, UninstallEntriesAreWholeNamesAndAFolderStays)
{
    write_file(dst + "a,b.txt", "c");
    write_file(dst + "a", "not this one");
    CreateDirectoryA((dst + "data").c_str(), NULL);
    CreateDirectoryA((dst + "logs").c_str(), NULL);
    write_file(dst + "logs\\new.log", "l");
    // A count far beyond the entries ends after the last of them.
    write_script("[files]\r\nuninst=4000000000\r\nuninst_1=logs\\new.log\r\nuninst_2=a,b.txt\r\nuninst_4=data\r\n");
    session.total_bytes = 100;
    open_dialog();
    remove_uninstall_list(dialog);
    EXPECT_FALSE(file_exists(dst + "a,b.txt"));
    EXPECT_FALSE(file_exists(dst + "logs\\new.log")) << "read as a name: no line feed in it";
    EXPECT_TRUE(file_exists(dst + "a"));
    DWORD attributes = GetFileAttributesA((dst + "data").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), catalogue_with(MSG_REMOVE_FAILED, dst + "data"));
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_TRUE(bar_positions.empty());
    for (unsigned call : {SEAM_RegOpenKeyExA, SEAM_RegCreateKeyExA, SEAM_RegQueryValueExA, SEAM_RegSetValueExA,
                          SEAM_RegDeleteValueA})
        EXPECT_EQ(seam_count((SeamCall)call), 0u) << "no shared count is touched";
}

} // namespace
