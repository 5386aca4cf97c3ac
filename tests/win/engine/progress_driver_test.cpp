// The progress driver run as setup.exe runs it: DialogBoxParamA on template
// 107 owned by a stand-in backdrop, the whole run inside the dialog's
// creation, finish_run's box recorded and the backdrop closed at the end.
#include "engine_support.h"

#include <stdio.h>

#include <atomic>
#include <thread>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"
#include "ui.h"

namespace {

INT_PTR CALLBACK observed_progress_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        current_dialog = dialog;
        record_bar(dialog);
    }
    return progress_dialog_proc(dialog, message, wparam, lparam);
}

// Each hook notes the caption and the first name line at the moment of the
// call, then lets the call through unless said otherwise.
std::string status_now()
{
    return text_of(current_dialog) + "|" + text_of(current_dialog, IDC_SOURCE_FILE);
}

UINT refuse_dde(LPDWORD, PFNCALLBACK, DWORD, DWORD)
{
    events.push_back("dde|" + status_now());
    return DMLERR_DLL_NOT_INITIALIZED;
}

LONG record_create_key(HKEY key, LPCSTR sub, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam,
                       LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition)
{
    events.push_back(std::string("regcreate:") + sub + "|" + status_now());
    return RegCreateKeyExA(key, sub, reserved, cls, options, sam, sa, result, disposition);
}

LONG record_open_key(HKEY key, LPCSTR sub, DWORD options, REGSAM sam, PHKEY result)
{
    events.push_back(std::string("regopen:") + (sub ? sub : "") + "|" + status_now());
    return RegOpenKeyExA(key, sub, options, sam, result);
}

BOOL record_delete(LPCSTR path)
{
    events.push_back(std::string("delete:") + path);
    return DeleteFileA(path);
}

HANDLE record_create_file(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                          DWORD flags, HANDLE tmpl)
{
    events.push_back(std::string("createfile:") + path);
    return CreateFileA(path, access, share, sa, disposition, flags, tmpl);
}

DWORD record_read(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buf, DWORD size, LPCSTR file)
{
    events.push_back(std::string("read:") + (section ? section : "") + "." + (key ? key : "") + "|" + status_now());
    return GetPrivateProfileStringA(section, key, def, buf, size, file);
}

std::string programs_folder;
BOOL our_programs_folder(HWND, LPSTR path, int, BOOL)
{
    events.push_back("startmenu|" + status_now());
    snprintf(path, MAX_PATH, "%s", programs_folder.c_str());
    return TRUE;
}

// The uninstaller's own removal is only noted: the test program is not
// the uninstaller, and the prefix must not carry its removal to the next start.
BOOL note_move(LPCSTR from, LPCSTR to, DWORD flags)
{
    events.push_back(std::string("move:") + (from ? from : "") + ">" + (to ? to : "") + "|" + std::to_string(flags));
    return TRUE;
}

int cancel_disk_prompt(const RecordedBox &box)
{
    return box.caption == catalogue(CAP_DISK_PREPARE) ? IDCANCEL : IDOK;
}

class Driver : public EngineTest {
protected:
    std::string version_key;

    void SetUp() override
    {
        EngineTest::SetUp();
        version_key = "EngineTestApp" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + version_key).c_str());
        EngineTest::TearDown();
    }
    // Runs the dialog to its end; the backdrop must be gone afterwards.
    void run()
    {
        ASSERT_NE(make_backdrop(), nullptr);
        DialogBoxParamA(session.instance, MAKEINTRESOURCEA(IDD_PROGRESS), backdrop, observed_progress_proc, 0);
        EXPECT_FALSE(IsWindow(backdrop)) << "finish_run closes the backdrop";
    }
    bool key_exists(const std::string &path)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
};

std::atomic<bool> run_over;
int note_run_over(const RecordedBox &)
{
    run_over = true;
    return IDOK;
}

TEST_F(Driver, TheDialogKeepsAnsweringAndTheBackdropStaysDuringALongRun)
{
    // The platform's clock, and the real backdrop of the program.
    seam_hook<SEAM_GetTickCount>(GetTickCount, 1, 0);
    const int count = 2000;
    std::string script = "[files]\r\nfiles=" + std::to_string(count) + "\r\n";
    for (int n = 1; n <= count; n++) {
        std::string name = "f" + std::to_string(n) + ".dat";
        write_file(src + name, "data");
        script += "file_" + std::to_string(n) + "=" + name + "," + name + ",D,1,1\r\n";
    }
    write_script(script);
    session.total_bytes = count;
    fake_version_installer();
    ASSERT_TRUE(register_backdrop_class());
    ASSERT_TRUE(create_backdrop_window());
    HWND real_backdrop = session.backdrop_window;
    run_over = false;
    box_reply = note_run_over;

    std::atomic<bool> returned(false);
    int answered = 0, unanswered = 0, closes = 0;
    DWORD slowest = 0;
    bool backdrop_stayed = true;
    std::thread prober([&] {
        while (!current_dialog && !returned)
            Sleep(1);
        HWND dialog = current_dialog;
        while (!run_over && !returned) {
            DWORD_PTR result;
            DWORD before = GetTickCount();
            LRESULT ok = SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 200, &result);
            DWORD took = GetTickCount() - before;
            if (run_over)
                break; // the dialog may be going away with the run's end
            if (ok) {
                answered++;
                slowest = took > slowest ? took : slowest;
            } else {
                unanswered++;
            }
            if (answered % 10 == 5 && closes < 3) {
                SendMessageTimeoutA(real_backdrop, WM_CLOSE, 0, 0, SMTO_NORMAL, 200, &result);
                closes++;
                if (!run_over && !IsWindow(real_backdrop))
                    backdrop_stayed = false;
            }
            Sleep(20);
        }
    });
    DialogBoxParamA(session.instance, MAKEINTRESOURCEA(IDD_PROGRESS), real_backdrop, observed_progress_proc, 0);
    returned = true;
    prober.join();

    EXPECT_EQ(unanswered, 0) << "every WM_NULL is answered within 200 ms";
    EXPECT_GE(answered, 10) << "the run was probed while it went on";
    EXPECT_LT(slowest, 200u);
    EXPECT_EQ(closes, 3);
    EXPECT_TRUE(backdrop_stayed) << "WM_CLOSE to the backdrop waits for the end of the run";
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_SETUP_DONE, "EngineApp")) << "the run went on to its end";
    EXPECT_TRUE(file_exists(dst + "f" + std::to_string(count) + ".dat"));
    EXPECT_FALSE(IsWindow(real_backdrop)) << "closed by the end of the run";
}

TEST_F(Driver, DebugRunEndsAtOnceTouchingNothing)
{
    write_file(src + "app.exe", "a");
    write_script("[files]\r\nfiles=1\r\nfile_1=app.exe,app.exe,DISK1,1,1\r\n"
                 "[registry]\r\nversion=1\r\nversion_key=" + version_key + "\r\n");
    session.debug_run = 1;
    run();
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue(MSG_DEBUG_RUN));
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_END));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONINFORMATION));
    for (SeamCall call : {SEAM_GetPrivateProfileIntA, SEAM_GetPrivateProfileStringA, SEAM_GetFileAttributesA,
                          SEAM_VerFindFileA, SEAM_VerInstallFileA, SEAM_DeleteFileA, SEAM_CreateFileA,
                          SEAM_RegCreateKeyExA, SEAM_RegOpenKeyExA, SEAM_DdeInitializeA})
        EXPECT_EQ(seam_count(call), 0u) << "call " << call;
    EXPECT_FALSE(file_exists(dst + "app.exe"));
}

TEST_F(Driver, NoFilesStillRegistersAndSucceeds)
{
    write_script("[files]\r\nfiles=0\r\n[registry]\r\nversion=1\r\nversion_key=" + version_key +
                 "\r\nversion_value=1.0\r\n");
    run();
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_SETUP_DONE, "EngineApp"));
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_END));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(key_exists("SOFTWARE\\" + version_key));
}

TEST_F(Driver, AScriptWithoutStartMenuOrRegistryOnlyCopiesFiles)
{
    write_file(src + "app.exe", "a");
    write_file(src + "lib.dll", "l");
    // A negative count of Start-menu items asks for no program group.
    write_script("[files]\r\nfiles=2\r\nfile_1=app.exe,app.exe,DISK1,1,1\r\nfile_2=lib.dll,lib.dll,DISK1,2,1\r\n"
                 "[startmenu]\r\nmenus=-1\r\nstart_1=Group,app.exe,App\r\n");
    fake_version_installer();
    fake_shared_count_writes();
    run();
    EXPECT_EQ(read_file(dst + "app.exe"), "a");
    EXPECT_EQ(read_file(sys + "lib.dll"), "l");
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_SETUP_DONE, "EngineApp"));
    EXPECT_EQ(seam_count(SEAM_DdeInitializeA), 0u);
    EXPECT_EQ(seam_count(SEAM_RegCreateKeyExA), 0u);
    EXPECT_EQ(seam_count(SEAM_RegOpenKeyExA), 1u) << "the shared count's key only";
    EXPECT_EQ(seam_count(SEAM_RegDeleteKeyA), 0u);
}

TEST_F(Driver, StatusTextsComeBeforeTheStartMenuAndRegistrySteps)
{
    write_file(src + "app.exe", "a");
    write_script("[files]\r\nfiles=1\r\nfile_1=app.exe,app.exe,DISK1,1,1\r\n"
                 "[startmenu]\r\nmenus=1\r\nstart_1=Group,app.exe,App\r\n"
                 "[registry]\r\nversion=1\r\nversion_key=" + version_key + "\r\n");
    fake_version_installer();
    seam_hook<SEAM_DdeInitializeA>(refuse_dde, 1, 0);
    seam_hook<SEAM_RegCreateKeyExA>(record_create_key, 1, 0);
    run();
    std::string caption = catalogue(CAP_INITIALISATION);
    int dde = first_event("dde|"), reg = first_event("regcreate:");
    ASSERT_GE(dde, 0);
    ASSERT_GE(reg, 0);
    EXPECT_LT(first_event("install:app.exe"), dde) << "files first";
    EXPECT_LT(dde, reg);
    EXPECT_EQ(events[dde], "dde|" + caption + "|" + catalogue(MSG_STATUS_STARTMENU));
    EXPECT_EQ(events[reg], "regcreate:SOFTWARE\\" + version_key + "|" + caption + "|" +
                               catalogue(MSG_STATUS_REGISTRY));
    ASSERT_EQ(recorded_boxes.size(), 2u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_DDE_INIT, "EngineApp")) << "the refused DDE is reported";
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(CAP_DDE));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(recorded_boxes.back().text, catalogue_with(MSG_SETUP_DONE, "EngineApp")) << "the refused DDE changes nothing";
}

TEST_F(Driver, AReplacementLeftForTheNextStartEndsWithTheRestartMessage)
{
    write_script("[files]\r\nfiles=0\r\n");
    session.restart_needed = 1;
    run();
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_SETUP_DONE_RESTART, "EngineApp"));
    EXPECT_EQ(recorded_boxes[0].style, (UINT)(MB_OK | MB_ICONINFORMATION));
}

TEST_F(Driver, AFailedFileStepSkipsStartMenuAndRegistry)
{
    write_script("[files]\r\nfiles=1\r\nfile_1=gone.exe,gone.exe,DISK1,1,1\r\n"
                 "[startmenu]\r\nmenus=1\r\nstart_1=Group,app.exe,App\r\n"
                 "[registry]\r\nversion=1\r\nversion_key=" + version_key + "\r\npath=1\r\nuninstall=1\r\n");
    box_reply = cancel_disk_prompt;
    run();
    ASSERT_EQ(recorded_boxes.size(), 2u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(MSG_INSERT_DISK, "DISK1"));
    EXPECT_EQ(recorded_boxes[1].text, catalogue_with(MSG_SETUP_FAILED, "EngineApp"));
    EXPECT_EQ(recorded_boxes[1].caption, catalogue(CAP_END));
    EXPECT_EQ(recorded_boxes[1].style, (UINT)(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(seam_count(SEAM_DdeInitializeA), 0u);
    EXPECT_EQ(seam_count(SEAM_RegCreateKeyExA), 0u);
    EXPECT_FALSE(key_exists("SOFTWARE\\" + version_key));
}

// The machine's own count key, as a failed installation leaves it.
const char shared_dlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
DWORD shared_count(const std::string &value)
{
    DWORD count = 0, size = sizeof count;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, shared_dlls, value.c_str(), RRF_RT_ANY, NULL, &count, &size) !=
        ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return count;
}
void set_shared_count(const std::string &value, DWORD count)
{
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, shared_dlls, value.c_str(), REG_DWORD, &count, sizeof count),
              ERROR_SUCCESS);
}
void delete_shared_count_value(const std::string &value)
{
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, shared_dlls, value.c_str());
}

// Where the platform cannot say whether a target stands, it is taken as
// standing.
std::string unknown_target;
DWORD attributes_unknown_for_one(LPCSTR path)
{
    if (unknown_target == path) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesA(path);
}

// A file another program holds cannot be deleted now.
std::string held_file;
BOOL delete_unless_held(LPCSTR path)
{
    events.push_back(std::string("delete:") + path);
    if (held_file == path) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return DeleteFileA(path);
}

// The shared file listed twice raises its count twice: only the newest-first
// undo brings it back to none. What stood before the run stays, with the
// content the run gave it, and so does whatever the platform could not say
// was new.
TEST_F(Driver, AFailedFileStepTakesBackItsOwnChangesNewestFirst)
{
    const std::string made = root + "made\\";
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s", made.c_str());
    ASSERT_EQ(ensure_destination(session.destination_dir), 1);
    for (const char *name : {"app.exe", "new.dll", "old.dll", "unknown.exe"})
        write_file(src + name, name);
    write_file(sys + "old.dll", "before");
    set_shared_count(sys + "old.dll", 3);
    delete_shared_count_value(sys + "new.dll");
    write_script("[files]\r\nfiles=6\r\n"
                 "file_1=app.exe,app.exe,DISK1,1,1\r\n"
                 "file_2=new.dll,new.dll,DISK1,2,1\r\n"
                 "file_3=old.dll,old.dll,DISK1,2,1\r\n"
                 "file_4=new.dll,new.dll,DISK1,2,1\r\n"
                 "file_5=unknown.exe,unknown.exe,DISK1,1,1\r\n"
                 "file_6=gone.exe,gone.exe,DISK2,1,1\r\n");
    fake_version_installer();
    unknown_target = made + "unknown.exe";
    seam_hook<SEAM_GetFileAttributesA>(attributes_unknown_for_one, 1, 0);
    held_file.clear();
    seam_hook<SEAM_DeleteFileA>(delete_unless_held, 1, 0);
    box_reply = cancel_disk_prompt;
    run();

    ASSERT_EQ(recorded_boxes.size(), 2u);
    EXPECT_EQ(recorded_boxes[1].text, catalogue_with(MSG_SETUP_FAILED, "EngineApp")) << "the message of today";
    EXPECT_EQ(session.exit_code, (DWORD)ERROR_INSTALL_USEREXIT);
    std::vector<std::string> deleted;
    for (const std::string &e : events)
        if (e.compare(0, 7, "delete:") == 0)
            deleted.push_back(e.substr(7));
    EXPECT_EQ(deleted, (std::vector<std::string>{sys + "new.dll", made + "app.exe"}));
    EXPECT_EQ(shared_count(sys + "new.dll"), 0xFFFFFFFFu) << "the count the run made is gone";
    EXPECT_EQ(shared_count(sys + "old.dll"), 3u);
    EXPECT_EQ(read_file(sys + "old.dll"), "old.dll") << "replaced: the old content is gone, the file stays";
    EXPECT_EQ(read_file(made + "unknown.exe"), "unknown.exe");
    EXPECT_TRUE(file_exists(made)) << "not empty: the folder stays";
    EXPECT_EQ(session.journal, (HGLOBAL)NULL);

    // Again without the file of unknown standing: the folder the run made
    // goes with the rest; a file held open goes at the next start.
    DeleteFileA((made + "unknown.exe").c_str());
    RemoveDirectoryA(made.c_str());
    SetCurrentDirectoryA(root.c_str());
    ASSERT_EQ(ensure_destination(session.destination_dir), 1);
    unknown_target.clear();
    held_file = made + "app.exe";
    seam_hook<SEAM_MoveFileExA>(note_move, 1, 0);
    session.is_nt = 1;
    recorded_boxes.clear();
    events.clear();
    run();
    EXPECT_FALSE(file_exists(sys + "new.dll"));
    EXPECT_EQ(shared_count(sys + "old.dll"), 3u);
    EXPECT_NE(first_event("move:" + held_file + ">|" + std::to_string(MOVEFILE_DELAY_UNTIL_REBOOT)), -1);
    EXPECT_TRUE(file_exists(made)) << "it holds the file still";
    DeleteFileA(held_file.c_str());
    EXPECT_TRUE(RemoveDirectoryA(made.c_str())) << "nothing else of the run is left";
    delete_shared_count_value(sys + "old.dll");
}

class UninstallDriver : public Driver {
protected:
    void SetUp() override
    {
        Driver::SetUp();
        session.run_mode = RunModeUninstall;
        programs_folder = root + "programs";
        CreateDirectoryA(programs_folder.c_str(), NULL);
        CreateDirectoryA((programs_folder + "\\Group").c_str(), NULL);
        write_file(programs_folder + "\\Group\\App.lnk", "lnk");
        seam_hook<SEAM_SHGetSpecialFolderPathA>(our_programs_folder, 1, 0);
        seam_hook<SEAM_RegOpenKeyExA>(record_open_key, 1, 0);
        seam_hook<SEAM_DeleteFileA>(record_delete, 1, 0);
        seam_hook<SEAM_CreateFileA>(record_create_file, 1, 0);
        seam_hook<SEAM_MoveFileExA>(note_move, 1, 0);
        session.is_nt = 1;
        snprintf(session.module_path, sizeof session.module_path, "%suninst\\setup.exe", root.c_str());
    }
};

TEST_F(UninstallDriver, StepsRunInOrderAndEndWithTheLog)
{
    write_file(dst + "app.exe", "a");
    write_file(dst + "extra.dat", "e");
    HKEY made;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + version_key).c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                              NULL, &made, NULL),
              ERROR_SUCCESS);
    RegCloseKey(made);
    write_script("[files]\r\nfiles=1\r\nfile_1=app.exe,app.exe,DISK1,1,1\r\nuninst=1\r\nuninst_1=extra.dat\r\n"
                 "[startmenu]\r\nmenus=1\r\nstart_1=Group,app.exe,App\r\n"
                 "[registry]\r\nversion=1\r\nversion_key=" + version_key +
                 "\r\nclasses=4000000000\r\nclsid_1={00000000-E0E0-0000-0000-000000000001}\r\n"
                 "user_key=EngineTestUser\r\n");
    append_to_removal_log("logged earlier");
    run();
    int menu = first_event("delete:" + programs_folder + "\\Group\\App.lnk");
    int version = first_event("regopen:SOFTWARE\\" + version_key);
    int classes = first_event("regopen:SOFTWARE\\Classes\\CLSID\\{00000000-E0E0");
    int user = first_event("regopen:Software\\EngineTestUser");
    int list = first_event("delete:" + dst + "extra.dat");
    int files = first_event("delete:" + dst + "app.exe");
    int log = -1;
    for (size_t i = 0; i < events.size(); i++)
        if (events[i].find("createfile:") == 0 && events[i].find("delerr.log") != std::string::npos)
            log = (int)i;
    std::string all = ::testing::PrintToString(events);
    ASSERT_GE(menu, 0) << all;
    EXPECT_EQ(seam_count(SEAM_DdeInitializeA) + seam_count(SEAM_DdeInitializeW), 0u)
        << "the removal talks to no shell";
    EXPECT_LT(menu, version) << all;
    EXPECT_LT(version, classes) << all;
    EXPECT_LT(classes, user) << all;
    EXPECT_LT(user, list) << all;
    EXPECT_LT(list, files) << all;
    EXPECT_LT(files, log) << all;
    int program = first_event("move:" + root + "uninst\\setup.exe>|" + std::to_string(MOVEFILE_DELAY_UNTIL_REBOOT));
    int folder = first_event("move:" + root + "uninst>|" + std::to_string(MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_GT(program, log) << "the uninstaller goes at the next start, after the log " << all;
    EXPECT_GT(folder, program) << all;
    EXPECT_FALSE(file_exists(dst + "app.exe"));
    EXPECT_FALSE(file_exists(dst + "extra.dat"));
    EXPECT_FALSE(key_exists("SOFTWARE\\" + version_key));
    int class_keys = 0;
    for (const std::string &e : events)
        class_keys += e.find("regopen:SOFTWARE\\Classes\\CLSID") == 0;
    EXPECT_EQ(class_keys, 1) << "classes=4000000000 ends after the one entry present";
    ASSERT_FALSE(recorded_boxes.empty());
    EXPECT_EQ(recorded_boxes.back().text, message_text2(MSG_REMOVAL_DONE, "EngineApp", dst));
    EXPECT_EQ(recorded_boxes.back().caption, catalogue(CAP_END));
    EXPECT_EQ(recorded_boxes.back().style, (UINT)(MB_OK | MB_ICONINFORMATION));
}

TEST_F(UninstallDriver, RegistryStatusIsShownBeforeClassAndUserKeysWithAllSwitchesOff)
{
    write_script("[registry]\r\nversion=0\r\npath=0\r\nuninstall=0\r\n"
                 "classes=1\r\nclsid_1={00000000-E0E0-0000-0000-000000000002}\r\nuser_key=EngineTestUser\r\n");
    seam_hook<SEAM_GetPrivateProfileStringA>(record_read, 1, 0);
    run();
    std::string all = ::testing::PrintToString(events);
    int classes = first_event("read:registry.classes");
    int user = first_event("regopen:Software\\EngineTestUser");
    ASSERT_GE(classes, 0) << all;
    ASSERT_GE(user, 0) << all;
    EXPECT_EQ(events[classes], "read:registry.classes|" + catalogue(CAP_INITIALISATION) + "|" +
                                   catalogue(MSG_STATUS_REGISTRY))
        << "the class-key step starts under status 103";
    EXPECT_LT(first_event("regopen:SOFTWARE\\Classes\\CLSID\\{00000000-E0E0-0000-0000-000000000002}"), user);
    EXPECT_EQ(first_event("startmenu|"), -1) << "menus is 0";
    ASSERT_FALSE(recorded_boxes.empty());
    EXPECT_EQ(recorded_boxes.back().text, message_text2(MSG_REMOVAL_DONE, "EngineApp", dst));
}

} // namespace
