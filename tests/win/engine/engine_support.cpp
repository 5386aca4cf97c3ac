#include "engine_support.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "ui.h"

std::vector<std::string> events;
std::vector<int> bar_positions;
HWND current_dialog;

std::string message_text2(UINT id, const std::string &first, const std::string &second)
{
    std::string format = catalogue(id);
    size_t a = format.find("%s");
    if (a == std::string::npos)
        return format;
    size_t b = format.find("%s", a + 2);
    if (b == std::string::npos)
        return format.substr(0, a) + first + format.substr(a + 2);
    return format.substr(0, a) + first + format.substr(a + 2, b - a - 2) + second + format.substr(b + 2);
}

int first_event(const std::string &prefix)
{
    for (size_t i = 0; i < events.size(); i++)
        if (events[i].compare(0, prefix.size(), prefix) == 0)
            return (int)i;
    return -1;
}

// Each call a second after the last: the progress dialog shows every noted
// name and bar position at once, where the tests look at them.
static DWORD fast_clock(void)
{
    static DWORD now;
    return now += 1000;
}

static std::string name_lines(const RecordedBox &box)
{
    events.push_back("box:" + box.text);
    if (current_dialog && IsWindow(current_dialog))
        return text_of(current_dialog, IDC_SOURCE_FILE) + "|" + text_of(current_dialog, IDC_TARGET_FILE);
    return "";
}

static WNDPROC bar_proc;

static LRESULT CALLBACK recording_bar_proc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == PBM_SETPOS)
        bar_positions.push_back((int)wparam);
    return CallWindowProcA(bar_proc, bar, message, wparam, lparam);
}

void record_bar(HWND dialog)
{
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    ASSERT_NE(bar, nullptr);
    bar_proc = (WNDPROC)SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)recording_bar_proc);
}

static DWORD fake_find(DWORD flags, LPCSTR name, LPCSTR, LPCSTR app_dir, LPSTR cur_dir, PUINT cur_len,
                       LPSTR dest_dir, PUINT dest_len)
{
    events.push_back(std::string((flags & VFFF_ISSHAREDFILE) ? "find-shared:" : "find:") + name + "|" +
                     text_of(current_dialog, IDC_SOURCE_FILE) + "|" + text_of(current_dialog, IDC_TARGET_FILE));
    const char *folder = (flags & VFFF_ISSHAREDFILE) ? session.system_dir : app_dir;
    if (*cur_len > 0)
        cur_dir[0] = '\0';
    snprintf(dest_dir, *dest_len, "%s", folder);
    return 0;
}

static DWORD fake_install(DWORD, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir, LPCSTR dst_dir, LPCSTR, LPSTR,
                          PUINT)
{
    events.push_back(std::string("install:") + src_name + ">" + dst_name + "@" + dst_dir);
    std::string from = std::string(src_dir) + src_name;
    std::string to = std::string(dst_dir) + dst_name;
    return CopyFileA(from.c_str(), to.c_str(), FALSE) ? 0 : VIF_CANNOTREADSRC;
}

void fake_version_installer()
{
    seam_hook<SEAM_VerFindFileA>(fake_find, 1, 0);
    seam_hook<SEAM_VerInstallFileA>(fake_install, 1, 0);
}

static LONG fake_set_value(HKEY, LPCSTR name, DWORD, DWORD, const BYTE *, DWORD)
{
    events.push_back(std::string("count:") + (name ? name : ""));
    return ERROR_SUCCESS;
}

void fake_shared_count_writes()
{
    seam_hook<SEAM_RegSetValueExA>(fake_set_value, 1, 0);
}

void EngineTest::SetUp()
{
    WinTest::SetUp();
    if (HasFatalFailure())
        return;
    // As at start-up: the version installer and the progress bar's class.
    ASSERT_TRUE(load_system_libraries());
    events.clear();
    bar_positions.clear();
    current_dialog = NULL;
    box_context = name_lines;
    seam_hook<SEAM_GetTickCount>(fast_clock, 1, 0);

    make_scratch("eng");
    if (HasFatalFailure())
        return;
    root = scratch;
    src = root + "src\\";
    dst = root + "dst\\";
    sys = root + "sys\\";
    CreateDirectoryA(src.c_str(), NULL);
    CreateDirectoryA(dst.c_str(), NULL);
    CreateDirectoryA(sys.c_str(), NULL);
    snprintf(session.source_dir, sizeof session.source_dir, "%s", src.c_str());
    snprintf(session.destination_dir, sizeof session.destination_dir, "%s", dst.c_str());
    snprintf(session.system_dir, sizeof session.system_dir, "%s", sys.c_str());
    snprintf(session.application_name, sizeof session.application_name, "EngineApp");
    GetWindowsDirectoryA(session.windows_dir, sizeof session.windows_dir);
    session.run_mode = RunModeSetup;
}

void EngineTest::TearDown()
{
    if (dialog && IsWindow(dialog))
        DestroyWindow(dialog);
    dialog = NULL;
    WinTest::TearDown();
}

static INT_PTR CALLBACK plain_proc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

void EngineTest::open_dialog()
{
    dialog = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, plain_proc, 0);
    ASSERT_NE(dialog, nullptr);
    current_dialog = dialog;
    prepare_status_area(dialog);
    record_bar(dialog);
    // Start the pacing's clock, as the first file of a step does.
    pace_run();
}
