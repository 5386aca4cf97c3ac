// The folder chooser: the platform's classic save-file dialog dressed with
// template 1536. The file-name field names a new folder to create inside the
// listed folder; an empty field may take the listed folder itself.
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

// Controls of the classic save-file dialog (dlgs.h) that the hook uses.
enum {
    CHOOSER_NAME_FIELD = 1152,   // edt1: the new folder's name
    CHOOSER_LISTED_FOLDER = 1088 // stc1: the folder currently listed
};

static const char listed_folder_placeholder[] = "$dummy$";

// Messages for the dialog's extended error codes; others show nothing.
static const struct {
    DWORD code;
    UINT message;
} chooser_errors[] = {
    {CDERR_STRUCTSIZE, MSG_CDERR_STRUCTSIZE},
    {CDERR_INITIALIZATION, MSG_CDERR_INITIALIZATION},
    {CDERR_NOTEMPLATE, MSG_CDERR_NOTEMPLATE},
    {CDERR_NOHINSTANCE, MSG_CDERR_NOHINSTANCE},
    {CDERR_LOADSTRFAILURE, MSG_CDERR_LOADSTRFAILURE},
    {CDERR_FINDRESFAILURE, MSG_CDERR_FINDRESFAILURE},
    {CDERR_LOADRESFAILURE, MSG_CDERR_LOADRESFAILURE},
    {CDERR_LOCKRESFAILURE, MSG_CDERR_LOCKRESFAILURE},
    {CDERR_MEMALLOCFAILURE, MSG_CDERR_MEMALLOCFAILURE},
    {CDERR_MEMLOCKFAILURE, MSG_CDERR_MEMLOCKFAILURE},
    {CDERR_NOHOOK, MSG_CDERR_NOHOOK},
    {FNERR_SUBCLASSFAILURE, MSG_FNERR_SUBCLASSFAILURE},
    {FNERR_INVALIDFILENAME, MSG_FNERR_INVALIDFILENAME},
    {FNERR_BUFFERTOOSMALL, MSG_FNERR_BUFFERTOOSMALL},
};

// The folder without its trailing backslash, cut after the backslash before
// that: the parent with its trailing backslash. A drive root (C:\) has no
// parent and is its own starting point.
static void parent_folder(const char *folder, char *parent, size_t size)
{
    text_copy(parent, size, folder);
    char *last = text_find_last(parent, '\\');
    if (last && last[1] == '\0')
        *last = '\0';
    char *before = text_find_last(parent, '\\');
    if (before)
        before[1] = '\0';
    else if (last)
        *last = '\\';
    else
        parent[0] = '\0';
}

// The last component of a folder that ends in a backslash; nothing for a
// drive root.
static void last_component(const char *folder, char *name, size_t size)
{
    char copy[SETUP_PATH_SIZE];
    text_copy(copy, sizeof copy, folder);
    char *last = text_find_last(copy, '\\');
    if (last && last[1] == '\0')
        *last = '\0';
    last = text_find_last(copy, '\\');
    text_copy(name, size, last ? last + 1 : "");
}

// The classic dialog writes its default title over the template's caption;
// put the template's own caption back.
static void restore_template_caption(HWND dialog)
{
    HRSRC found = FindResourceA(session.instance, MAKEINTRESOURCEA(IDD_FOLDER), (LPCSTR)RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(session.instance, found) : NULL;
    const WORD *p = loaded ? (const WORD *)LockResource(loaded) : NULL;
    DWORD size = found ? SizeofResource(session.instance, found) : 0;
    if (p == NULL || size < 28 || p[0] != 1 || p[1] != 0xFFFF)
        return;
    const WORD *end = p + size / sizeof(WORD);
    // DLGTEMPLATEEX: version, signature, help id, extended style, style,
    // item count and the four coordinates come first.
    p += 13;
    for (int field = 0; field < 2 && p < end; field++) { // menu, class
        if (*p == 0xFFFF)
            p += 2;
        else if (*p == 0)
            p += 1;
        else {
            while (p < end && *p)
                p++;
            p++;
        }
    }
    const WORD *title = p;
    while (p < end && *p)
        p++;
    if (p >= end || sys_SetWindowTextW(dialog, (const WCHAR *)title))
        return;
    // Windows 95/98 have SetWindowTextW only as a stub that fails: the
    // caption in the ANSI code page instead.
    char text[SETUP_PATH_SIZE];
    if (WideCharToMultiByte(CP_ACP, 0, (const WCHAR *)title, -1, text, sizeof text, NULL, NULL))
        SetWindowTextA(dialog, text);
}

// A message box belongs to the backdrop, which is activated and comes to the
// front when the box closes; the chooser (owned by the hidden setup page)
// would stay behind it. Its messages therefore bring it back to the front.
static int tell(HWND dialog, UINT text_id, UINT caption_id, UINT style, const char *arg)
{
    int answer = show_message(text_id, caption_id, style, arg);
    BringWindowToTop(dialog);
    return answer;
}

UINT_PTR CALLBACK folder_chooser_hook(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    if (message == WM_INITDIALOG) {
        restore_template_caption(dialog);
        char name[SETUP_PATH_SIZE];
        last_component(session.destination_dir, name, sizeof name);
        if (!session.chooser_took_listed_folder)
            SetDlgItemTextA(dialog, CHOOSER_NAME_FIELD, name);
        session.chooser_took_listed_folder = 0;
        return 0;
    }
    if (message != WM_COMMAND || wparam != IDOK)
        return 0;

    char typed[SETUP_PATH_SIZE];
    memset(typed, 0, sizeof typed);
    GetDlgItemTextA(dialog, CHOOSER_NAME_FIELD, typed, sizeof typed);
    if (typed[0] == '\0') {
        char listed[SETUP_PATH_SIZE];
        memset(listed, 0, sizeof listed);
        GetDlgItemTextA(dialog, CHOOSER_LISTED_FOLDER, listed, sizeof listed);
        if (tell(dialog, MSG_ASK_USE_LISTED_FOLDER, CAP_NEW_FOLDER_UNSET, MB_YESNO | MB_ICONQUESTION, listed) !=
            IDYES) {
            // The chooser stays open where it is. Given the empty name, the
            // dialog's own processing would move to the root of the drive.
            return 1;
        }
        // The dialog's own OK processing returns the listed folder joined
        // with the placeholder, which is cut off again afterwards.
        session.chooser_took_listed_folder = 1;
        SetDlgItemTextA(dialog, CHOOSER_NAME_FIELD, listed_folder_placeholder);
        return 0;
    }
    if (strcmp(typed, "*.*") == 0)
        tell(dialog, MSG_FOLDER_WILDCARD, CAP_FOLDER_CHANGE_FAILED, MB_OK | MB_ICONEXCLAMATION, NULL);
    if (text_find(typed, '\\') != NULL) {
        tell(dialog, MSG_NO_BACKSLASH, CAP_FOLDER_CHANGE_FAILED, MB_OK | MB_ICONEXCLAMATION, NULL);
        return 1;
    }
    return 0;
}

static void report_chooser_error(DWORD code)
{
    for (size_t i = 0; i < sizeof chooser_errors / sizeof chooser_errors[0]; i++) {
        if (chooser_errors[i].code == code) {
            show_message(chooser_errors[i].message, CAP_FOLDER_CHANGE_FAILED, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
}

// A folder equal to the previous version's (trailing backslashes aside).
static int is_previous_version_folder(const char *folder)
{
    char a[SETUP_PATH_SIZE + 1], b[SETUP_PATH_SIZE + 1];
    text_copy(a, sizeof a, folder);
    text_copy(b, sizeof b, session.previous_version_dir);
    if (!path_ends_in_backslash(a))
        text_append(a, sizeof a, "\\");
    if (!path_ends_in_backslash(b))
        text_append(b, sizeof b, "\\");
    return text_equal_nocase(a, b);
}

// Installing over the previous version decides whether shared counts are
// raised: it holds only while the destination is that version's folder.
static void note_previous_version_folder(void)
{
    if (!session.previous_version_found)
        return;
    if (!is_previous_version_folder(session.destination_dir)) {
        session.over_previous_version = 0;
        return;
    }
    if (!session.over_previous_version) {
        show_message(MSG_OLD_VERSION_HERE, CAP_FOLDER_CHANGE, MB_OK | MB_ICONEXCLAMATION);
        session.over_previous_version = 1;
    }
}

int choose_destination_folder(HWND setup_page)
{
    char initial[SETUP_PATH_SIZE];
    char file[SETUP_PATH_SIZE];
    char file_title[SETUP_PATH_SIZE];
    parent_folder(session.destination_dir, initial, sizeof initial);
    const char *initial_dir = NULL;
    if (initial[0] != '\0' && sys_SetCurrentDirectoryA(initial))
        initial_dir = initial;

    memset(file, 0, sizeof file);
    memset(file_title, 0, sizeof file_title);
    OPENFILENAMEA request;
    memset(&request, 0, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = setup_page;
    request.hInstance = (HINSTANCE)session.instance;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.lpstrFileTitle = file_title;
    request.nMaxFileTitle = sizeof file_title;
    request.lpstrInitialDir = initial_dir;
    request.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_LONGNAMES;
    request.lpfnHook = folder_chooser_hook;
    request.lpTemplateName = MAKEINTRESOURCEA(IDD_FOLDER);

    SetFocus(setup_page);
    if (!sys_GetSaveFileNameA(&request)) {
        report_chooser_error(sys_CommDlgExtendedError());
        return 0;
    }
    char chosen[SETUP_PATH_SIZE];
    size_t length = text_copy(chosen, sizeof chosen, file);
    if (session.chooser_took_listed_folder) {
        char *last = text_find_last(chosen, '\\');
        if (last)
            *last = '\0';
    } else if (length >= sizeof chosen - 1) {
        // No room for the trailing backslash; the dialog may also have cut
        // a longer path to the buffer without saying so.
        show_message(MSG_FNERR_BUFFERTOOSMALL, CAP_FOLDER_CHANGE_FAILED, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    text_copy(session.destination_dir, sizeof session.destination_dir, chosen);
    text_append(session.destination_dir, sizeof session.destination_dir, "\\");
    note_previous_version_folder();
    return 1;
}
