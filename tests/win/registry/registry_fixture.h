// What the registry tests share: a script file, a progress dialog with its
// status line, recorded message boxes, recorded registry calls, and a guard
// that lets the code under test remove only this test's own keys.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "registry.h"
#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "ui.h"
#include "win_test_support.h"

// CP932: ソ, 表 and 能 end in the backslash code.
#define SO "\x83\x5c"
#define HYO "\x95\x5c"
#define NOU "\x94\x5c"

namespace regtest {

// Every key and value a case makes carries this word in its name.
#define REGTEST_WORD "SetupRegTest_"

// A name no other case uses (Wine reuses process ids, so the time is added).
inline std::string tag()
{
    static char buf[64];
    if (!buf[0])
        snprintf(buf, sizeof buf, REGTEST_WORD "%lu_%lu", (unsigned long)GetCurrentProcessId(),
                 (unsigned long)GetTickCount());
    return buf;
}

// Removes what cases that stopped half-way left behind (the cases run one at
// a time, so anything named with the word now is left over).
void sweep_leftovers();

// --- registry access of the tests themselves (not through the seam) ---

inline bool key_exists(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline void make_key(HKEY root, const std::string &path)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

inline void set_value(HKEY root, const std::string &path, const char *name, DWORD type, const void *data,
                      DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS)
        << path;
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE *)data, size), ERROR_SUCCESS);
    RegCloseKey(key);
}

inline void set_text(HKEY root, const std::string &path, const char *name, const std::string &text)
{
    set_value(root, path, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
}

struct Value {
    bool found = false;
    DWORD type = 0;
    std::string data; // raw bytes as stored
};

inline Value read_value(HKEY root, const std::string &path, const char *name)
{
    Value v;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return v;
    char data[2048];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, NULL, &v.type, (BYTE *)data, &size) == ERROR_SUCCESS) {
        v.found = true;
        v.data.assign(data, size);
    }
    RegCloseKey(key);
    return v;
}

// A REG_SZ value's bytes: the text and its terminating zero.
inline std::string sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

inline void remove_tree(HKEY root, const std::string &path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

// --- recorded calls ---

struct OpenCall {
    HKEY root;
    std::string path;
    REGSAM access;
    std::string status; // the status line when the key was opened
};

struct Recorder {
    HWND dialog = NULL;
    std::vector<OpenCall> opens;
    std::vector<std::string> deletes;     // RegDeleteKeyA paths, in order
    std::vector<std::string> refused;     // removals the guard stopped
    std::string allowed;                  // keys opened for removal from a root key must name this
    std::vector<std::string> also_allowed; // ... or be one of these paths
};
extern Recorder recorder;

inline std::vector<RecordedBox> &boxes = recorded_boxes;

inline bool is_root(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT ||
           key == HKEY_USERS;
}

inline std::string status_line(HWND dialog)
{
    return text_of(dialog, IDC_SOURCE_FILE);
}

LONG recording_open(HKEY root, LPCSTR sub, DWORD options, REGSAM access, PHKEY result);
LONG recording_delete(HKEY root, LPCSTR sub);

// Session, seam, recorder and a hidden progress dialog of template 107.
class RegistryTest : public WinTest {
protected:
    HWND dialog = NULL;

    void SetUp() override
    {
        sweep_leftovers();
        WinTest::SetUp();
        if (HasFatalFailure())
            return;
        strcpy(session.application_name, "Reg" SO "Tool");
        strcpy(session.destination_dir, "C:\\Program Files\\Reg Tool\\");
        recorder = Recorder();
        recorder.allowed = tag();
        seam_hook<SEAM_RegOpenKeyExA>(recording_open, 1, 0);
        seam_hook<SEAM_RegDeleteKeyA>(recording_delete, 1, 0);
        dialog = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, quiet_proc, 0);
        ASSERT_NE(dialog, nullptr);
        recorder.dialog = dialog;
        make_scratch("reg");
    }

    void TearDown() override
    {
        WinTest::TearDown();
        if (dialog)
            DestroyWindow(dialog);
        EXPECT_TRUE(recorder.refused.empty()) << "tried to remove a key that is not the test's: "
                                              << recorder.refused.front();
    }

    // The script's bytes (code page 932), [registry] section added.
    void write_script(const std::string &registry_lines)
    {
        WinTest::write_script("[registry]\r\n" + registry_lines);
    }

    // Paths of the keys that delete_key_tree opened (for reading, creating and
    // setting), with the status line at that moment.
    std::vector<OpenCall> removal_opens() const
    {
        std::vector<OpenCall> out;
        for (const OpenCall &c : recorder.opens)
            if (c.access & KEY_CREATE_SUB_KEY)
                out.push_back(c);
        return out;
    }

    // Paths opened only for reading (the subkey counts).
    std::vector<std::string> read_opens() const
    {
        std::vector<std::string> out;
        for (const OpenCall &c : recorder.opens)
            if (!(c.access & KEY_CREATE_SUB_KEY))
                out.push_back(c.path);
        return out;
    }

    static INT_PTR CALLBACK quiet_proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
};

} // namespace regtest
