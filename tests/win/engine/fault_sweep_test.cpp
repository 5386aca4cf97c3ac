// Every platform call of a whole run, failed once each. The sample medium is
// installed through setup_main as the temporary copy runs it (pages answered
// with their forward button, message boxes recorded), and removed again as
// the Uninstall entry's command runs it. A first clean run counts the calls
// of each kind; then one run per call fails that call the way the platform
// documents (seam_failure_of) and is judged:
//   - it ends: no crash, no hang (a watchdog stops the program);
//   - it ends with a closing message, or stops at start-up with a message;
//   - a run that reports success leaves exactly what a clean run leaves (a
//     failure reported as success is a defect);
//   - nothing is touched outside the destination, the shared file in the
//     system folder, the application's registry keys and its program group;
//   - the user's own file in the destination is kept.
// The table of how the runs ended is printed.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <atomic>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"
#include "resource_ids.h"
#include "seam.h"
#include "setup.h"
#include "startup.h"
#include "engine.h"
#include "engine_support.h"
#include "resource_test_support.h"
#include "win_test_support.h"

namespace {

const char user_file_name[] = "user-notes.txt";
const char user_file_text[] = "the user's own notes";
const char uninstall_root[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char app_paths_root[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char shared_dlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const DWORD run_bound_ms = 20000;

// What the sample's script names, read once.
struct Names {
    std::string medium, temp_copy, script, destination, system;
    std::string vendor, path_key, uninstall_key, clsid, user_key, group, programs;
    std::string program_files, default_dir; // the destination's two parts
    std::vector<std::string> targets;        // the files' names where they are installed
} names;

std::string module_name; // what GetModuleFileNameA answers
std::vector<std::string> window_texts; // every text set on a window

// Notes each text the run sets on a window: the status line among them.
LRESULT CALLBACK note_window_text(int code, WPARAM wparam, LPARAM lparam)
{
    const CWPSTRUCT *message = (const CWPSTRUCT *)lparam;
    if (code == HC_ACTION && message->message == WM_SETTEXT && message->lParam)
        window_texts.push_back((const char *)message->lParam);
    return CallNextHookEx(NULL, code, wparam, lparam);
}

// Whether a text is one of the catalogue's error messages (32000 to
// 33999), whatever its %s stand for.
bool is_error_text(const std::string &text)
{
    for (UINT id = 32000; id < 34000; id++) {
        std::string format = catalogue(id);
        if (format.empty())
            continue;
        size_t first = format.find("%s"), last = format.rfind("%s");
        if (first == std::string::npos) {
            if (text == format)
                return true;
            continue;
        }
        std::string head = format.substr(0, first), tail = format.substr(last + 2);
        if (text.size() >= head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
            text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
            return true;
    }
    return false;
}
std::vector<std::string> delayed_moves;

// A disk with one free cluster.
BOOL WINAPI full_disk(LPCSTR, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector, LPDWORD free_clusters,
                      LPDWORD total_clusters)
{
    *sectors_per_cluster = 1;
    *bytes_per_sector = 512;
    *free_clusters = 1;
    *total_clusters = 1000;
    return TRUE;
}

// The shared file in use by another program.
DWORD WINAPI file_in_use(DWORD, LPCSTR, LPCSTR, LPCSTR, LPSTR cur_dir, PUINT cur_len, LPSTR dest_dir, PUINT dest_len)
{
    snprintf(cur_dir, *cur_len, "%s", names.system.c_str());
    snprintf(dest_dir, *dest_len, "%s", names.system.c_str());
    return VFF_FILEINUSE;
}

DWORD WINAPI fake_module_name(HMODULE, LPSTR buf, DWORD size)
{
    snprintf(buf, size, "%s", module_name.c_str());
    return (DWORD)strlen(buf);
}

// Moves at the next start are noted, not left to the prefix.
BOOL WINAPI noted_move(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        delayed_moves.push_back(std::string(from) + ">" + (to ? to : ""));
        return TRUE;
    }
    return MoveFileExA(from, to, flags);
}

// Yes to every question (the shared file goes when nothing else uses it),
// OK to every notice.
int answer_yes(const RecordedBox &box)
{
    UINT buttons = box.style & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

// The windows of the thread that hangs, for the report.
BOOL CALLBACK print_window(HWND window, LPARAM)
{
    char cls[64], text[128];
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, text, sizeof text);
    fprintf(stderr, "  window %s \"%s\" visible %d enabled %d\n", cls, text, IsWindowVisible(window) != 0,
            IsWindowEnabled(window) != 0);
    return TRUE;
}

DWORD WINAPI quick_clock(void)
{
    static DWORD now;
    return now += 1000;
}

// Presses the forward button (IDOK) of the page that is up; the progress
// dialog has no such button and is left alone.
BOOL CALLBACK press_forward_of(HWND window, LPARAM)
{
    char cls[16];
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(window) || !IsWindowEnabled(window) ||
        GetDlgItem(window, IDC_PROGRESS_BAR))
        return TRUE;
    HWND ok = GetDlgItem(window, IDOK);
    if (ok && IsWindowEnabled(ok))
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
    return FALSE;
}

void CALLBACK press_forward(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), press_forward_of, 0);
}

// The part of a key path before its first backslash, stepping over
// double-byte characters (ソ ends in a backslash byte).
std::string first_part(const std::string &path)
{
    for (size_t i = 0; i < path.size(); i++) {
        if (IsDBCSLeadByte((BYTE)path[i])) {
            i++;
            continue;
        }
        if (path[i] == '\\')
            return path.substr(0, i);
    }
    return path;
}

std::string key_path(HKEY root, const std::string &sub)
{
    return std::string(root == HKEY_LOCAL_MACHINE ? "HKLM\\" : root == HKEY_CURRENT_USER ? "HKCU\\" : "HKCR\\") +
           sub;
}

// The keys and values of a key tree, to put back as they were.
struct SavedKey {
    HKEY root;
    std::string path;
    std::vector<std::pair<std::string, std::string>> values; // name, type byte + data
};

// The values and the subkeys' names of one key; false when it cannot be
// opened.
bool read_key(HKEY root, const std::string &sub, SavedKey &saved, std::vector<std::string> &subkeys)
{
    HKEY key;
    if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    saved = {root, sub, {}};
    for (DWORD i = 0;; i++) {
        char name[512];
        BYTE data[2048];
        DWORD name_len = sizeof name, data_len = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &name_len, NULL, &type, data, &data_len) != ERROR_SUCCESS)
            break;
        saved.values.push_back({name, std::string(1, (char)type) + std::string((char *)data, data_len)});
    }
    for (DWORD i = 0;; i++) {
        char name[512];
        DWORD name_len = sizeof name;
        if (RegEnumKeyExA(key, i, name, &name_len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    return true;
}

void save_key_tree(std::vector<SavedKey> &out, HKEY root, const std::string &sub)
{
    SavedKey saved;
    std::vector<std::string> subkeys;
    if (!read_key(root, sub, saved, subkeys))
        return;
    out.push_back(saved);
    for (const std::string &s : subkeys)
        save_key_tree(out, root, sub + "\\" + s);
}

// Every value and subkey under a key, as "path\name=type:bytes" lines.
void add_key_tree(std::set<std::string> &out, HKEY root, const std::string &sub)
{
    std::vector<SavedKey> keys;
    save_key_tree(keys, root, sub);
    for (const SavedKey &k : keys) {
        out.insert(key_path(root, k.path) + "\\");
        for (const auto &v : k.values)
            out.insert(key_path(root, k.path) + "\\" + v.first + "=" + std::to_string((BYTE)v.second[0]) + ":" +
                       v.second.substr(1));
    }
}

// Names of a key's subkeys and values, leaving out the one given.
void add_key_names(std::set<std::string> &out, HKEY root, const std::string &sub, const std::string &except)
{
    SavedKey saved;
    std::vector<std::string> subkeys;
    if (!read_key(root, sub, saved, subkeys))
        return;
    for (const std::string &name : subkeys)
        if (lower(name) != lower(except))
            out.insert(key_path(root, sub) + "\\" + name + "\\");
    for (const auto &v : saved.values)
        if (lower(v.first) != lower(except))
            out.insert(key_path(root, sub) + "\\" + v.first + "=" + v.second.substr(1));
}

// Files and folders under a folder (with its trailing backslash), with sizes.
void add_files(std::set<std::string> &out, const std::string &folder, bool deep, const std::string &except = "")
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || lower(name) == lower(except))
            continue;
        bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.insert(folder + name + (is_folder ? "\\" : " " + std::to_string(found.nFileSizeLow)));
        if (is_folder && deep)
            add_files(out, folder + name + "\\", true);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string shared_file() { return names.system + "SMPCOMMN.DLL"; }

// What the run may change: the destination, the shared file and its count,
// the application's keys and its program group.
std::set<std::string> own_state()
{
    std::set<std::string> s;
    add_files(s, names.destination, true);
    if (file_exists(shared_file()))
        s.insert(shared_file());
    add_key_tree(s, HKEY_LOCAL_MACHINE, "SOFTWARE\\" + names.vendor);
    add_key_tree(s, HKEY_LOCAL_MACHINE, std::string(app_paths_root) + "\\" + names.path_key);
    add_key_tree(s, HKEY_LOCAL_MACHINE, std::string(uninstall_root) + "\\" + names.uninstall_key);
    add_key_tree(s, HKEY_CLASSES_ROOT, "CLSID\\" + names.clsid);
    add_key_tree(s, HKEY_CURRENT_USER, "Software\\" + names.user_key);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD count = 0, size = sizeof count;
        if (RegQueryValueExA(key, shared_file().c_str(), NULL, NULL, (BYTE *)&count, &size) == ERROR_SUCCESS)
            s.insert("count " + std::to_string(count));
        RegCloseKey(key);
    }
    add_files(s, names.programs + names.group + "\\", true);
    return s;
}

// Everything around it that the run must leave alone.
std::set<std::string> outside_state()
{
    std::set<std::string> s;
    char windows[MAX_PATH], temp[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    GetTempPathA(sizeof temp, temp);
    add_files(s, std::string(windows) + "\\", false);
    add_files(s, names.system, false, "SMPCOMMN.DLL");
    add_files(s, temp, false);
    add_files(s, names.programs, false, names.group);
    add_files(s, names.program_files, false, names.default_dir);
    add_key_names(s, HKEY_LOCAL_MACHINE, "SOFTWARE", names.vendor);
    add_key_names(s, HKEY_CURRENT_USER, "Software", first_part(names.user_key));
    add_key_names(s, HKEY_LOCAL_MACHINE, uninstall_root, names.uninstall_key);
    add_key_names(s, HKEY_LOCAL_MACHINE, app_paths_root, names.path_key);
    add_key_names(s, HKEY_LOCAL_MACHINE, shared_dlls, shared_file());
    add_key_names(s, HKEY_CLASSES_ROOT, "CLSID", names.clsid);
    return s;
}

void delete_key_tree_of(HKEY root, const std::string &sub)
{
    HKEY key;
    if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[512];
    DWORD len = sizeof name;
    while (RegEnumKeyExA(key, 0, name, &len, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
        delete_key_tree_of(root, sub + "\\" + name);
        len = sizeof name;
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, sub.c_str());
}

// A copy of a folder's files and folders.
void copy_tree(const std::string &from, const std::string &to)
{
    CreateDirectoryA(to.c_str(), NULL);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            copy_tree(from + name + "\\", to + name + "\\");
        else
            CopyFileA((from + name).c_str(), (to + name).c_str(), FALSE);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void restore_keys(const std::vector<SavedKey> &keys)
{
    for (const SavedKey &k : keys) {
        HKEY key;
        if (RegCreateKeyExA(k.root, k.path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
            continue;
        for (const auto &v : k.values)
            RegSetValueExA(key, v.first.c_str(), 0, (BYTE)v.second[0], (const BYTE *)v.second.data() + 1,
                           (DWORD)v.second.size() - 1);
        RegCloseKey(key);
    }
}

std::string differences(const std::set<std::string> &want, const std::set<std::string> &got)
{
    std::string out;
    for (const std::string &s : want)
        if (!got.count(s))
            out += "\n    gone: " + s;
    for (const std::string &s : got)
        if (!want.count(s))
            out += "\n    new:  " + s;
    return out;
}

struct Outcome {
    std::string kind;   // how the run ended
    std::string defect; // empty when the run was sound
};

class FaultSweep : public WinTest {
protected:
    std::set<std::string> clean_before, clean_after_install, clean_after_removal, outside;
    std::vector<RecordedBox> removal_questions; // asked by a clean removal
    std::vector<SavedKey> installed_keys;       // what a clean installation wrote
    DWORD installed_count = 0;

    // Keeps what a clean installation made, to put it back before each
    // removal without installing again.
    void save_installation()
    {
        copy_tree(names.destination, scratch + "saved\\");
        copy_tree(names.programs + names.group + "\\", scratch + "group\\");
        CopyFileA(shared_file().c_str(), (scratch + "shared").c_str(), FALSE);
        installed_keys.clear();
        save_key_tree(installed_keys, HKEY_LOCAL_MACHINE, "SOFTWARE\\" + names.vendor);
        save_key_tree(installed_keys, HKEY_LOCAL_MACHINE, std::string(app_paths_root) + "\\" + names.path_key);
        save_key_tree(installed_keys, HKEY_LOCAL_MACHINE, std::string(uninstall_root) + "\\" + names.uninstall_key);
        HKEY key;
        DWORD size = sizeof installed_count;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryValueExA(key, shared_file().c_str(), NULL, NULL, (BYTE *)&installed_count, &size);
            RegCloseKey(key);
        }
    }

    void restore_installation()
    {
        clean_up();
        copy_tree(scratch + "saved\\", names.destination);
        copy_tree(scratch + "group\\", names.programs + names.group + "\\");
        CopyFileA((scratch + "shared").c_str(), shared_file().c_str(), FALSE);
        restore_keys(installed_keys);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegSetValueExA(key, shared_file().c_str(), 0, REG_DWORD, (const BYTE *)&installed_count,
                           sizeof installed_count);
            RegCloseKey(key);
        }
    }

    void SetUp() override
    {
        WinTest::SetUp();
        if (HasFatalFailure())
            return;
        make_scratch("swp");
        ASSERT_TRUE(load_system_libraries());
        names.medium = scratch + "medium\\";
        names.temp_copy = scratch + "temp\\";
        CreateDirectoryA(names.medium.c_str(), NULL);
        CreateDirectoryA(names.temp_copy.c_str(), NULL);
        std::string sample = windows_path(SAMPLE_MEDIUM_DIR) + "\\";
        std::set<std::string> files;
        add_files(files, sample, false);
        for (const std::string &f : files) {
            std::string name = f.substr(sample.size(), f.rfind(' ') - sample.size());
            ASSERT_TRUE(CopyFileA((sample + name).c_str(), (names.medium + name).c_str(), FALSE)) << name;
        }
        names.script = names.medium + "setup.inf";
        names.vendor = read("registry", "version_key");
        names.vendor = first_part(names.vendor);
        for (UINT n = 1; n <= GetPrivateProfileIntA("files", "files", 0, names.script.c_str()); n++) {
            std::string entry = read("files", ("file_" + std::to_string(n)).c_str());
            size_t a = entry.find(','), b = entry.find(',', a + 1);
            names.targets.push_back(entry.substr(a + 1, b - a - 1));
        }
        names.path_key = read("registry", "path_key");
        names.uninstall_key = read("registry", "uninstall_key");
        names.clsid = read("registry", "clsid_1");
        names.user_key = read("registry", "user_key");
        names.group = read("startmenu", "start_1");
        names.group = names.group.substr(0, names.group.find(','));
        char buf[MAX_PATH];
        ASSERT_NE(GetSystemDirectoryA(buf, sizeof buf), 0u);
        names.system = std::string(buf) + "\\";
        // The destination as the program forms it (Program Files\default_dir).
        HKEY key;
        DWORD size = sizeof buf;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ,
                                &key),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegQueryValueExA(key, "ProgramFilesDir", NULL, NULL, (BYTE *)buf, &size), ERROR_SUCCESS);
        RegCloseKey(key);
        names.program_files = std::string(buf) + "\\";
        names.default_dir = read("general", "default_dir");
        names.destination = names.program_files + names.default_dir + "\\";
        ASSERT_TRUE(SHGetSpecialFolderPathA(NULL, buf, CSIDL_PROGRAMS, FALSE));
        names.programs = std::string(buf) + "\\";
        // Windows keeps the shared-use counts in a key of its own; a new
        // Wine prefix has none until something makes it.
        HKEY counts;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, NULL, 0, KEY_READ, NULL, &counts, NULL),
                  ERROR_SUCCESS);
        RegCloseKey(counts);
        clean_up();
        clean_before = own_state();
        outside = outside_state();
    }

    void TearDown() override
    {
        clean_up();
        remove_tree(names.destination);
        WinTest::TearDown();
    }

    std::string read(const char *section, const char *key)
    {
        char buf[1024];
        GetPrivateProfileStringA(section, key, "", buf, sizeof buf, names.script.c_str());
        return buf;
    }

    // Back to the machine without the application, the user's file in the
    // destination.
    void clean_up()
    {
        // A run that read no folder name or found no Program Files folder
        // installs elsewhere (Program Files itself, the drive's root): only
        // its own files go there.
        std::string elsewhere = session.destination_dir;
        if (!elsewhere.empty() && lower(elsewhere) != lower(names.destination)) {
            for (const std::string &t : names.targets)
                DeleteFileA((elsewhere + t).c_str());
            RemoveDirectoryA(elsewhere.c_str());
        }
        // A shared file left for the next start waits in the system folder
        // under its temporary name.
        for (const std::string &t : names.targets) {
            char temporary[MAX_PATH];
            temporary_replacement_name(t.c_str(), temporary, sizeof temporary);
            DeleteFileA((names.system + temporary).c_str());
        }
        delayed_moves.clear();
        remove_tree(names.destination);
        CreateDirectoryA(names.destination.c_str(), NULL);
        write_file(names.destination + user_file_name, user_file_text);
        DeleteFileA(shared_file().c_str());
        delete_key_tree_of(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + names.vendor);
        delete_key_tree_of(HKEY_LOCAL_MACHINE, std::string(app_paths_root) + "\\" + names.path_key);
        delete_key_tree_of(HKEY_LOCAL_MACHINE, std::string(uninstall_root) + "\\" + names.uninstall_key);
        delete_key_tree_of(HKEY_CLASSES_ROOT, "CLSID\\" + names.clsid);
        delete_key_tree_of(HKEY_CURRENT_USER, "Software\\" + names.user_key);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, shared_file().c_str());
            RegCloseKey(key);
        }
        remove_tree(names.programs + names.group + "\\");
    }

    // One run of setup_main as the given mode starts it, with call failing
    // at its nth use when nth is not 0.
    // switches follow the mode on the command line; prepare, when given,
    // sets the run's own injections.
    DWORD run(bool removal, SeamCall call, unsigned nth, const char *switches = "", void (*prepare)(void) = NULL)
    {
        memset(&session, 0, sizeof session);
        seam_reset();
        recorded_boxes.clear();
        box_answers.clear();
        delayed_moves.clear();
        seam_hook<SEAM_MessageBoxA>(note_box, 1, 0);
        box_reply = answer_yes;
        seam_hook<SEAM_GetModuleFileNameA>(fake_module_name, 1, 0);
        seam_hook<SEAM_MoveFileExA>(noted_move, 1, 0);
        seam_hook<SEAM_GetTickCount>(quick_clock, 1, 0);
        if (nth)
            seam_fail_at(call, nth);
        if (prepare)
            prepare();
        char command[512];
        if (removal) {
            module_name = names.destination + "setup.exe";
            snprintf(command, sizeof command, "/UNINSTALL %s", switches);
        } else {
            // The temporary copy: the script beside it names the medium.
            module_name = names.temp_copy + "setup.exe";
            std::string copy = names.temp_copy + "setup.inf";
            CopyFileA(names.script.c_str(), copy.c_str(), FALSE);
            WritePrivateProfileStringA("general", "srcdir", names.medium.c_str(), copy.c_str());
            snprintf(command, sizeof command, "/TEMP %s", switches);
        }
        window_texts.clear();
        HHOOK texts = SetWindowsHookExA(WH_CALLWNDPROC, note_window_text, NULL, GetCurrentThreadId());
        UINT_PTR timer = SetTimer(NULL, 0, 10, press_forward);
        DWORD code = setup_main(setup_exe_module(), command);
        KillTimer(NULL, timer);
        UnhookWindowsHookEx(texts);
        if (IsWindow(session.backdrop_window))
            DestroyWindow(session.backdrop_window);
        UnregisterClassA("Setup", setup_exe_module());
        drain_messages();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        SetCurrentDirectoryA(temp);
        // Held until the process ends: the next run in this one must not
        // meet them.
        if (session.run_log)
            CloseHandle(session.run_log);
        if (session.run_lock)
            CloseHandle(session.run_lock);
        return code;
    }

    unsigned count_calls(bool removal, std::vector<unsigned> &counts)
    {
        run(removal, SEAM_COUNT, 0);
        unsigned total = 0;
        counts.assign(SEAM_COUNT, 0);
        for (unsigned c = 0; c < SEAM_COUNT; c++) {
            SeamFailure f;
            if (seam_failure_of((SeamCall)c, &f)) {
                counts[c] = seam_count((SeamCall)c);
                total += counts[c];
            }
        }
        return total;
    }

    // How the run ended, and what is wrong with it.
    // A removal ends with the uninstaller, its script and the log noted for
    // the next start; they are still there now.
    std::set<std::string> left_for_the_next_start_aside(const std::set<std::string> &state)
    {
        std::set<std::string> left;
        for (const std::string &s : state)
            if (s.find(names.destination + "setup.exe") != 0 && s.find(names.destination + "setup.inf") != 0 &&
                s.find("delerr.log") == std::string::npos)
                left.insert(s);
        return left;
    }

    // What a run noted for the next start of Windows (a replacement, or a
    // deletion of what was in use) is still there now.
    static bool waits_for_restart(const std::string &s)
    {
        for (const std::string &move : delayed_moves)
            if (s.compare(0, move.find('>'), move, 0, move.find('>')) == 0)
                return true;
        return false;
    }
    std::set<std::string> waiting_aside(const std::set<std::string> &state)
    {
        std::set<std::string> left;
        for (const std::string &s : state)
            if (!waits_for_restart(s))
                left.insert(s);
        return left;
    }

    // profile_read: a script value could not be read (the platform answers
    // as for a missing key). programs_unknown: the shell named no programs
    // folder, and the one of Windows 95 is taken, as described.
    Outcome judge(bool removal, DWORD exit_code, bool box_failed, bool profile_read, bool programs_unknown)
    {
        Outcome o;
        const std::string app = session.application_name;
        const std::string dest = session.destination_dir;
        auto is = [&](const RecordedBox &b, UINT id) {
            return b.text == message_text2(id, app, dest);
        };
        const UINT success = removal ? MSG_REMOVAL_DONE : MSG_SETUP_DONE;
        const UINT failure = removal ? MSG_REMOVAL_FAILED : MSG_SETUP_FAILED;
        bool closed = false, succeeded = false;
        if (!recorded_boxes.empty()) {
            const RecordedBox &last = recorded_boxes.back();
            succeeded = is(last, success) || (!removal && is(last, MSG_SETUP_DONE_RESTART));
            closed = succeeded || is(last, failure) || is(last, MSG_NO_SPACE) ||
                     last.caption == read("break", removal ? "title_uninstall" : "title");
        }
        bool on_status_line = false;
        for (const std::string &t : window_texts)
            if (is_error_text(t))
                on_status_line = true;
        // Any box beyond those of a clean run is a warning.
        bool warned = (closed && !succeeded) || (!recorded_boxes.empty() && !closed);
        const size_t usual = removal ? removal_questions.size() : 0;
        if (recorded_boxes.size() != usual + 1)
            warned = true;
        for (size_t i = 0; i < usual && i < recorded_boxes.size(); i++)
            if (recorded_boxes[i].text != removal_questions[i].text)
                warned = true;
        std::set<std::string> state = own_state();
        const std::set<std::string> &clean = removal ? clean_after_removal : clean_after_install;
        if (read_file(names.destination + user_file_name) != user_file_text)
            o.defect += " the user's file is lost;";
        std::set<std::string> now = outside_state();
        for (auto i = now.begin(); i != now.end();) {
            bool own = i->compare(0, strlen(session.destination_dir), session.destination_dir) == 0 &&
                       session.destination_dir[0] != '\0';
            own = own || waits_for_restart(*i);
            i = own && !outside.count(*i) ? now.erase(i) : std::next(i);
        }
        std::string around = differences(outside, now);
        if (!around.empty())
            o.defect += " touched outside:" + around + ";";
        bool elsewhere = lower(session.destination_dir) != lower(names.destination);
        bool at_restart = !removal && session.restart_needed;
        if (succeeded && !warned && on_status_line) {
            o.kind = "success, failure on the status line";
        } else if (succeeded && !warned && (profile_read || elsewhere || programs_unknown)) {
            // A value the platform could not read is a value the script
            // lacks: the run goes on as the script would have it.
            o.kind = elsewhere          ? "success, in the folder the run found"
                     : programs_unknown ? "success, Start menu of the Windows folder"
                                        : "success, read as a missing key";
        } else if (succeeded && !warned && at_restart) {
            o.kind = "success, the shared file at the next start";
        } else if (succeeded && !warned) {
            o.kind = "success, as clean";
            std::set<std::string> expected = clean;
            if (removal)
                state = left_for_the_next_start_aside(state);
            std::string diff = differences(expected, state);
            if (!diff.empty()) {
                o.kind = "success, NOT as clean";
                o.defect += " a failure reported as success:" + diff + ";";
            }
        } else if (closed) {
            o.kind = succeeded ? "success, with a warning" : "failure shown";
        } else if (!recorded_boxes.empty()) {
            o.kind = "stopped with a message";
        } else if (box_failed) {
            o.kind = "message box failed";
        } else {
            o.kind = "stopped silently";
            if (state != clean_before && !(removal && state == clean_after_install))
                o.defect += " stopped silently after changing:" + differences(removal ? clean_after_install
                                                                                      : clean_before,
                                                                              state) +
                            ";";
        }
        // A failed or cancelled installation leaves the machine as it found
        // it, but for what waits for the next start of Windows. Its exit
        // code says how it ended, whatever boxes could be shown.
        bool installed = exit_code == ERROR_SUCCESS || exit_code == ERROR_SUCCESS_REBOOT_REQUIRED;
        if (!removal && !installed) {
            std::string diff = differences(clean_before, waiting_aside(state));
            if (!diff.empty()) {
                o.kind += ", NOT undone";
                o.defect += " a failed installation left:" + diff + ";";
            }
        }
        return o;
    }
};

// Unattended runs end without a window, each with the exit code that says how.
TEST_F(FaultSweep, UnattendedRunsTellTheirEndByTheExitCode)
{
    const std::string log = scratch + "no such folder\\setup.log";
    const std::string missing = names.medium + "Sampler.exe";
    const struct {
        const char *what;
        bool removal;
        std::string switches;
        void (*prepare)(void);
        DWORD code;
    } rows[] = {
        {"installed", false, "/QUIET", NULL, ERROR_SUCCESS},
        {"the shared file in use", false, "/QUIET", [] { seam_hook<SEAM_VerFindFileA>(file_in_use, 2, 1); },
         ERROR_SUCCESS_REBOOT_REQUIRED},
        {"a full disk", false, "/PASSIVE", [] { seam_hook<SEAM_GetDiskFreeSpaceA>(full_disk, 1, 0); },
         ERROR_DISK_FULL},
        {"a medium file missing", false, "/QUIET", [] { MoveFileA((names.medium + "Sampler.exe").c_str(),
                                                                  (names.medium + "moved").c_str()); },
         ERROR_INSTALL_FAILURE},
        {"the log cannot be opened", false, "/QUIET \"/LOG=" + log + "\"", NULL, ERROR_INSTALL_LOG_FAILURE},
        {"removed", true, "/QUIET", NULL, ERROR_SUCCESS},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.removal)
            ASSERT_EQ(run(false, SEAM_COUNT, 0, "/QUIET"), (DWORD)ERROR_SUCCESS);
        else
            clean_up();
        EXPECT_EQ(run(row.removal, SEAM_COUNT, 0, row.switches.c_str(), row.prepare), row.code);
        EXPECT_TRUE(recorded_boxes.empty()) << recorded_boxes.size() << " boxes shown, the first: "
                                            << (recorded_boxes.empty() ? "" : recorded_boxes[0].text);
        MoveFileA((names.medium + "moved").c_str(), missing.c_str());
    }
    // The shared file's question got its unattended No: the file stays.
    EXPECT_NE(GetFileAttributesA(shared_file().c_str()), INVALID_FILE_ATTRIBUTES);

    // Where the system cannot write UTF-8 (Windows 95), the log's lines are
    // the script's own code page, and the run's first line says so.
    clean_up();
    const std::string cp932_log = scratch + "cp932.log";
    EXPECT_EQ(run(false, SEAM_COUNT, 0, ("/QUIET \"/LOG=" + cp932_log + "\"").c_str(),
                  [] { seam_fail(SEAM_WideCharToMultiByte, 0, ERROR_INVALID_PARAMETER, 1, 0); }),
              (DWORD)ERROR_SUCCESS);
    std::string text = read_file(cp932_log);
    EXPECT_EQ(text.find("\xEF\xBB\xBF"), std::string::npos) << "no byte-order mark";
    EXPECT_NE(text.find("cannot write UTF-8"), std::string::npos);
    EXPECT_LT(text.find("cannot write UTF-8"), text.find("started: /TEMP"));
    EXPECT_NE(text.find(names.destination), std::string::npos) << "the destination in code page 932";

    // One setup at a time: another run's lock is met.
    clean_up();
    HANDLE lock = CreateMutexA(NULL, FALSE, "Global\\TableDrivenSetup.Run");
    ASSERT_NE(lock, (HANDLE)NULL);
    EXPECT_EQ(run(false, SEAM_COUNT, 0, "/QUIET"), (DWORD)ERROR_INSTALL_ALREADY_RUNNING);
    EXPECT_TRUE(recorded_boxes.empty());
    EXPECT_EQ(read_file(names.destination + user_file_name), user_file_text);
    CloseHandle(lock);
}

TEST_F(FaultSweep, EveryPlatformCallOfAnInstallationAndARemovalFailedOnce)
{
    std::atomic<bool> running(true);
    std::atomic<DWORD> run_started(GetTickCount());
    std::string current;
    DWORD main_thread = GetCurrentThreadId();
    std::thread watchdog([&] {
        while (running) {
            Sleep(200);
            if (running && GetTickCount() - run_started > run_bound_ms) {
                fprintf(stderr, "fault sweep: the run failing %s hung\n", current.c_str());
                EnumThreadWindows(main_thread, print_window, 0);
                for (const RecordedBox &b : recorded_boxes)
                    fprintf(stderr, "  box %s\n", b.text.c_str());
                for (unsigned c = 0; c < SEAM_COUNT; c++)
                    if (seam_count((SeamCall)c))
                        fprintf(stderr, "  %s %u\n", seam_call_name((SeamCall)c), seam_count((SeamCall)c));
                fflush(stderr);
                ExitProcess(3);
            }
        }
    });

    // Clean runs: what an installation and a removal leave.
    std::vector<unsigned> install_calls, removal_calls;
    unsigned install_total = count_calls(false, install_calls);
    ASSERT_FALSE(recorded_boxes.empty());
    EXPECT_EQ(recorded_boxes.back().text, catalogue_with(MSG_SETUP_DONE, session.application_name));
    clean_after_install = own_state();
    save_installation();
    ASSERT_NE(clean_after_install, clean_before);
    unsigned removal_total = count_calls(true, removal_calls);
    ASSERT_FALSE(recorded_boxes.empty());
    ASSERT_EQ(recorded_boxes.back().text, message_text2(MSG_REMOVAL_DONE, session.application_name,
                                                        session.destination_dir));
    removal_questions = recorded_boxes;
    removal_questions.pop_back();
    clean_after_removal = left_for_the_next_start_aside(own_state());
    clean_up();

    // FAULT_SWEEP_ONLY=install:GetPrivateProfileStringA:12 runs that one
    // case and tells what it showed (for following up a finding);
    // FAULT_SWEEP_TRACE=1 names each run as it ends.
    char only[128] = "";
    GetEnvironmentVariableA("FAULT_SWEEP_ONLY", only, sizeof only);
    std::map<std::string, unsigned> table;
    std::vector<std::string> defects;
    for (int phase = 0; phase < 2; phase++) {
        bool removal = phase == 1;
        const std::vector<unsigned> &counts = removal ? removal_calls : install_calls;
        for (unsigned c = 0; c < SEAM_COUNT; c++) {
            for (unsigned n = 1; n <= counts[c]; n++) {
                current = std::string(removal ? "removal: " : "installation: ") + seam_call_name((SeamCall)c) +
                          " #" + std::to_string(n);
                std::string label = std::string(removal ? "removal:" : "install:") + seam_call_name((SeamCall)c) +
                                    ":" + std::to_string(n);
                if (only[0] && label != only)
                    continue;
                if (removal) {
                    run_started = GetTickCount();
                    restore_installation();
                    if (own_state() != clean_after_install) {
                        defects.push_back(current + ": the installation before it differs");
                        clean_up();
                        continue;
                    }
                }
                run_started = GetTickCount();
                DWORD code = run(removal, (SeamCall)c, n);
                Outcome o = judge(removal, code, c == SEAM_MessageBoxA,
                                  c == SEAM_GetPrivateProfileStringA || c == SEAM_GetPrivateProfileIntA ||
                                      c == SEAM_GetPrivateProfileSectionA,
                                  c == SEAM_SHGetSpecialFolderPathA);
                if (getenv("FAULT_SWEEP_TRACE"))
                    fprintf(stderr, "%s %s %lu ms\n", label.c_str(), o.kind.c_str(), GetTickCount() - run_started);
                if (only[0]) {
                    printf("%s: %s in %lu ms\n", label.c_str(), o.kind.c_str(), GetTickCount() - run_started);
                    for (const RecordedBox &b : recorded_boxes)
                        printf("  box: %s\n", b.text.c_str());
                }
                table[std::string(removal ? "removal      " : "installation ") + o.kind]++;
                if (!o.defect.empty())
                    defects.push_back(current + ":" + o.defect);
                clean_up();
            }
        }
    }
    running = false;
    watchdog.join();

    printf("fault sweep: %u calls of an installation and %u of a removal, each failed once\n", install_total,
           removal_total);
    for (const auto &row : table)
        printf("  %-45s %5u\n", row.first.c_str(), row.second);
    for (const std::string &d : defects)
        printf("  DEFECT %s\n", d.c_str());
    EXPECT_TRUE(defects.empty()) << defects.size() << " runs went wrong";
}

} // namespace
