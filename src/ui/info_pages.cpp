// The information pages: start prompt, welcome (or farewell) page and the
// Copyright page with the licence text from the medium. One procedure serves
// all three; session.info_page says which one is open.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

enum { LICENCE_TEXT_SIZE = 32768 };

static const UINT welcome_controls[] = {IDC_MSG1, IDC_MSG2, IDC_MSG3, IDC_MSG4, IDC_MSG5};
static const char *const welcome_keys[] = {"msg1", "msg2", "msg3", "msg4", "msg5"};
static const char *const welcome_placeholders[] = {"[...]msg1", "[...]msg2", "[...]msg3", "[...]msg4",
                                                   "[...]msg5"};

static void set_control_from_script(HWND page, UINT id, const char *section, const char *key,
                                    const char *placeholder)
{
    script_set_window_text(GetDlgItem(page, id), section, key, placeholder);
}

static void fill_start_page(HWND page)
{
    script_set_window_text(page, "start", "title", "[start]title");
    set_control_from_script(page, IDC_MSG1, "start", "msg", "[start]msg");
}

static void fill_welcome_page(HWND page)
{
    const char *section = "welcome";
    if (session.run_mode == RunModeUninstall) {
        HBITMAP picture = LoadBitmapA(session.instance, MAKEINTRESOURCEA(IDB_SIDE_ALT));
        if (picture)
            SendDlgItemMessageA(page, IDC_SIDE_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)picture);
        section = "goodby";
    }
    script_set_window_text(page, section, "title", "[...]title");
    for (int i = 0; i < 5; i++)
        set_control_from_script(page, welcome_controls[i], section, welcome_keys[i], welcome_placeholders[i]);
    if (session.run_mode == RunModeUninstall) {
        char label[MESSAGE_CAPTION_SIZE];
        load_catalogue_text(CAP_COMPLETED, label, sizeof label);
        SetDlgItemTextA(page, IDOK, label);
    }
}

static void show_licence_message(HWND page, UINT id)
{
    char text[SETUP_PATH_SIZE];
    load_catalogue_text(id, text, sizeof text);
    SetDlgItemTextA(page, IDC_LICENCE_TEXT, text);
}

// Whether the file can be read at all: a folder cannot, nor a file that
// another program holds without sharing it.
static int can_read(const char *path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    HANDLE probe = sys_CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe == INVALID_HANDLE_VALUE)
        return 0;
    sys_CloseHandle(probe);
    return 1;
}

static void fill_copyright_page(HWND page)
{
    static char licence[LICENCE_TEXT_SIZE + 1];
    char name[SETUP_PATH_SIZE];
    char path[SETUP_PATH_SIZE];

    script_set_window_text(page, "copyright", "title", "[copyright]title");
    set_control_from_script(page, IDC_MSG1, "copyright", "msg1", "[copyright]msg1");
    set_control_from_script(page, IDC_MSG2, "copyright", "msg2", "[copyright]msg2");

    if (script_read_string("copyright", "file", "", name, sizeof name) == 0)
        return;
    if (path_join(path, sizeof path, session.source_dir, name) == 0) {
        show_licence_message(page, MSG_FILE_NOT_FOUND);
        return;
    }

    DWORD attributes = sys_GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        show_licence_message(page, MSG_FILE_NOT_FOUND);
        return;
    }
    if (!can_read(path, attributes)) {
        show_licence_message(page, MSG_FILE_NO_ACCESS);
        return;
    }
    // Shared as the access test shares it: a file that another program keeps
    // open for writing, sharing it, can be read and is shown.
    HANDLE file = sys_CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
    // COM1, CON, NUL and the like open a device, whose reading may never
    // end: only a file on a disk is read.
    if (file != INVALID_HANDLE_VALUE && sys_GetFileType(file) != FILE_TYPE_DISK) {
        sys_CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    if (file == INVALID_HANDLE_VALUE) {
        show_licence_message(page, MSG_FILE_CANNOT_OPEN);
        return;
    }
    // One read of at most 32,768 bytes, taken as it is; the buffer keeps
    // room for the terminator, and a zero byte ends the text.
    memset(licence, 0, sizeof licence);
    DWORD read = 0;
    if (sys_ReadFile(file, licence, LICENCE_TEXT_SIZE, &read, NULL) && read > 0)
        SetDlgItemTextA(page, IDC_LICENCE_TEXT, licence);
    sys_CloseHandle(file);
}

INT_PTR CALLBACK info_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    if (message == WM_INITDIALOG) {
        switch (session.info_page) {
        case 0:
            fill_start_page(page);
            break;
        case 1:
            fill_welcome_page(page);
            break;
        case 2:
            fill_copyright_page(page);
            break;
        default:
            finish_run(Cancelled);
            return 1;
        }
        center_on_backdrop(page);
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    if (wparam == IDOK) {
        EndDialog(page, 0);
        return 1;
    }
    if (wparam == IDCANCEL) {
        finish_run(Cancelled);
        return 1;
    }
    return 0;
}
