#include "win_test_support.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <mutex>

#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"

std::string catalogue(UINT id)
{
    char buf[1024] = "";
    LoadStringA(setup_exe_module(), id, buf, sizeof buf);
    return buf;
}

std::string catalogue_with(UINT id, const std::string &arg)
{
    std::string text = catalogue(id);
    size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, arg);
    return text;
}

std::string read_file(const std::string &path, const std::string &if_missing)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return if_missing;
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, NULL) && got > 0)
        bytes.append(buf, got);
    CloseHandle(file);
    return bytes;
}

bool write_file(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << path << ": error " << GetLastError();
        return false;
    }
    DWORD written = 0;
    bool whole = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
    bool closed = CloseHandle(file) != FALSE;
    if (!whole || !closed)
        ADD_FAILURE() << "cannot write " << path << ": " << written << " of " << bytes.size() << " bytes";
    return whole && closed;
}

// The folder's name without a trailing backslash. The last byte is a
// separator only when it does not end a double-byte character (ソ, 表 and 能
// end in the backslash code), so the name is walked character by character.
static std::string without_trailing_backslash(const std::string &folder)
{
    size_t last = std::string::npos; // where the last character starts
    for (size_t i = 0; i < folder.size(); i++) {
        last = i;
        if (IsDBCSLeadByteEx(932, (BYTE)folder[i]) && i + 1 < folder.size())
            i++;
    }
    if (last != std::string::npos && folder[last] == '\\')
        return folder.substr(0, last);
    return folder;
}

void remove_tree(const std::string &folder)
{
    std::string base = without_trailing_backslash(folder);
    if (base.empty())
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = base + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(base.c_str());
}

std::string text_of(HWND window, int id)
{
    std::vector<char> buf(70000, '\0');
    if (id)
        GetDlgItemTextA(window, id, buf.data(), (int)buf.size());
    else
        GetWindowTextA(window, buf.data(), (int)buf.size());
    return buf.data();
}

void drain_messages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageA(&msg);
    }
}

bool file_exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> files_matching(const std::string &folder, const char *pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

std::vector<std::string> listing(const std::string &folder)
{
    std::vector<std::string> names = files_matching(folder, "*");
    std::sort(names.begin(), names.end());
    return names;
}

std::string joined(const std::vector<std::string> &names)
{
    std::string text;
    for (const std::string &n : names)
        text += "  " + n + "\n";
    return text;
}

std::string lower(std::string s)
{
    for (char &c : s) {
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    }
    return s;
}

std::vector<RecordedBox> recorded_boxes;
std::vector<int> box_answers;
int box_default_answer = IDOK;

std::string (*box_context)(const RecordedBox &box);
int (*box_reply)(const RecordedBox &box);

// A test may count the boxes from a thread of its own while the program's
// thread shows them (the folder chooser's tests do).
static std::mutex boxes_lock;

int note_box(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    RecordedBox box = {text ? text : "", caption ? caption : "", style, owner, ""};
    if (box_context)
        box.context = box_context(box);
    size_t n;
    {
        std::lock_guard<std::mutex> hold(boxes_lock);
        recorded_boxes.push_back(box);
        n = recorded_boxes.size();
    }
    if (box_reply)
        return box_reply(box);
    return n <= box_answers.size() ? box_answers[n - 1] : box_default_answer;
}

size_t boxes_shown()
{
    std::lock_guard<std::mutex> hold(boxes_lock);
    return recorded_boxes.size();
}

void expect_box(size_t i, UINT text_id, UINT caption_id, UINT style, const char *arg)
{
    ASSERT_LT(i, recorded_boxes.size()) << "box " << i << " was not shown";
    const RecordedBox &box = recorded_boxes[i];
    EXPECT_EQ(box.text, arg ? catalogue_with(text_id, arg) : catalogue(text_id)) << "box " << i;
    EXPECT_EQ(box.caption, catalogue(caption_id)) << "box " << i;
    EXPECT_EQ(box.style, style) << "box " << i;
}

void WinTest::SetUp()
{
    memset(&session, 0, sizeof session);
    session.instance = setup_exe_module();
    ASSERT_NE(session.instance, nullptr);
    seam_reset();
    recorded_boxes.clear();
    box_answers.clear();
    box_default_answer = IDOK;
    box_context = NULL;
    box_reply = NULL;
    seam_hook<SEAM_MessageBoxA>(note_box, 1, 0);
}

void WinTest::TearDown()
{
    seam_reset();
    if (session.removal_log)
        GlobalFree(session.removal_log);
    session.removal_log = NULL;
    if (backdrop && IsWindow(backdrop))
        DestroyWindow(backdrop);
    backdrop = NULL;
    drain_messages();
    if (!scratch.empty()) {
        // The run may have made the folder the current one.
        char temp[MAX_PATH];
        if (GetTempPathA(sizeof temp, temp))
            SetCurrentDirectoryA(temp);
        remove_tree(scratch);
        scratch.clear();
    }
}

void WinTest::make_scratch(const char *prefix)
{
    char temp[MAX_PATH], name[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    ASSERT_NE(GetTempFileNameA(temp, prefix, 0, name), 0u);
    DeleteFileA(name);
    ASSERT_TRUE(CreateDirectoryA(name, NULL)) << name;
    scratch = std::string(name) + "\\";
    snprintf(session.script_path, sizeof session.script_path, "%ssetup.inf", scratch.c_str());
}

void WinTest::write_script(const std::string &bytes)
{
    write_file(session.script_path, bytes);
}

HWND WinTest::make_backdrop()
{
    if (backdrop && IsWindow(backdrop))
        DestroyWindow(backdrop);
    backdrop = CreateWindowExA(0, "STATIC", "backdrop", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, NULL, NULL, NULL,
                               NULL);
    EXPECT_NE(backdrop, nullptr);
    session.backdrop_window = backdrop;
    return backdrop;
}
