// The setup page: system and destination folders with the bytes needed and
// free, the probe for an installed older version, and the checks made before
// the files are copied.
#include <string.h>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

// Values of the older version's keys ([oldver]) are read up to 263 bytes.
enum { OLDVER_VALUE_SIZE = 263 };

// " ﾊﾞｲﾄ" (bytes) in code page 932.
static const char bytes_suffix[] = " \xCA\xDE\xB2\xC4";

static void show_byte_count(HWND page, UINT id, unsigned long long count)
{
    char text[64];
    text_format(text, sizeof text, "%llu%s", count, bytes_suffix);
    SetDlgItemTextA(page, id, text);
}

void show_folder_and_free_space(HWND page, SetupFolder which)
{
    char folder[SETUP_PATH_SIZE];
    char root[4];
    text_copy(folder, sizeof folder, which == SystemFolder ? session.system_dir : session.destination_dir);
    // The root is taken before the cut: a drive's root itself ("C:\") is
    // shown as "C:" but measured at "C:\", the form of a root that the
    // platform asks for.
    text_copy_n(root, sizeof root, folder, 3);
    char *last = text_find_last(folder, '\\');
    if (last)
        *last = '\0';
    SetDlgItemTextA(page, which == SystemFolder ? IDC_SYSTEM_DIR : IDC_DEST_DIR, folder);

    DWORD sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters;
    if (!sys_GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector, &free_clusters, &total_clusters))
        return;
    // The figure is exact in 64 bits for any real file system; a cluster
    // above 4 GiB (no such file system exists) counts as not measured rather
    // than overflow the product. Windows 95 and 98 report at most 2 GB here.
    unsigned long long cluster_bytes = (unsigned long long)bytes_per_sector * sectors_per_cluster;
    if (cluster_bytes >> 32)
        return;
    unsigned long long free_bytes = cluster_bytes * free_clusters;
    if (which == SystemFolder) {
        session.system_bytes_free = free_bytes;
        show_byte_count(page, IDC_SYSTEM_FREE, free_bytes);
    } else {
        session.destination_bytes_free = free_bytes;
        show_byte_count(page, IDC_DEST_FREE, free_bytes);
    }
}

static void show_bytes_needed(HWND page, SetupFolder which)
{
    if (which == SystemFolder) {
        session.system_bytes_needed = script_read_uint("files", "systotal", 0);
        show_byte_count(page, IDC_SYSTEM_NEEDED, session.system_bytes_needed);
    } else {
        session.destination_bytes_needed = script_read_uint("files", "dsttotal", 0);
        show_byte_count(page, IDC_DEST_NEEDED, session.destination_bytes_needed);
    }
}

static void fill_setup_page(HWND page)
{
    static const struct {
        UINT id;
        const char *key;
        const char *placeholder;
    } texts[] = {
        {IDC_MSG1, "msg1", "[setup]msg1"},
        {IDC_MSG2, "msg2", "[setup]msg2"},
        {IDC_MSG_SUB1, "msg_sub1", "[setup]msg_sub1"},
        {IDC_MSG_SUB2, "msg_sub2", "[setup]msg_sub2"},
        {IDC_SYSTEM_HEADING, "system", "[setup]system"},
        {IDC_DEST_HEADING, "destination", "[setup]destination"},
    };
    script_set_window_text(page, "setup", "title", "[setup]title");
    for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++)
        script_set_window_text(GetDlgItem(page, texts[i].id), "setup", texts[i].key, texts[i].placeholder);
    show_folder_and_free_space(page, SystemFolder);
    show_folder_and_free_space(page, DestinationFolder);
    show_bytes_needed(page, SystemFolder);
    show_bytes_needed(page, DestinationFolder);
    session.total_bytes = session.destination_bytes_needed + session.system_bytes_needed;
}

int check_disk_space(void)
{
    log_event("bytes needed %u in the system folder (%llu free), %u in the destination (%llu free)",
              session.system_bytes_needed, session.system_bytes_free, session.destination_bytes_needed,
              session.destination_bytes_free);
    int room = 1;
    if (session.system_bytes_free < session.system_bytes_needed) {
        show_message(MSG_SYSTEM_SPACE, CAP_DISK_ERROR, MB_OK | MB_ICONEXCLAMATION);
        room = 0;
    }
    if (session.destination_bytes_free < session.destination_bytes_needed) {
        show_message(MSG_DEST_SPACE, CAP_DISK_ERROR, MB_OK | MB_ICONEXCLAMATION);
        room = 0;
    }
    session.space_refused = !room;
    return room;
}

int ensure_destination(const char *folder)
{
    if (sys_SetCurrentDirectoryA(folder))
        return 1;
    // A folder made here is the installation's first change: a failed run
    // removes it again, so it is made only where the journal can note it.
    if (!journal_make_room() || !sys_CreateDirectoryA(folder, NULL)) {
        show_message(MSG_FOLDER_NOT_CREATED, CAP_FOLDER_CREATE, MB_OK | MB_ICONEXCLAMATION, folder);
        return 0;
    }
    journal_note(JournalFolderCreated, folder);
    sys_SetCurrentDirectoryA(folder);
    return 1;
}

// A value of a key under HKEY_LOCAL_MACHINE, of whatever type, terminated.
static int read_machine_value(HKEY key, const char *name, char *value)
{
    DWORD size = OLDVER_VALUE_SIZE;
    memset(value, 0, OLDVER_VALUE_SIZE + 1);
    return sys_RegQueryValueExA(key, name, NULL, NULL, (BYTE *)value, &size) == ERROR_SUCCESS;
}

// The older version's folder, tested by making it the current directory.
static int find_previous_folder(const char *path_key, const char *dir_value)
{
    HKEY key;
    if (sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, path_key, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    char folder[OLDVER_VALUE_SIZE + 1];
    char current[SETUP_PATH_SIZE];
    int found = 0;
    if (read_machine_value(key, dir_value, folder)) {
        DWORD len = sys_GetCurrentDirectoryA(sizeof current, current);
        // Most programs store a folder without its trailing backslash; every
        // path is joined to the folder with one.
        size_t folder_len = strlen(folder);
        int add_backslash = !path_ends_in_backslash(folder);
        if (len > 0 && len < sizeof current && folder_len + add_backslash < SETUP_PATH_SIZE &&
            sys_SetCurrentDirectoryA(folder)) {
            sys_SetCurrentDirectoryA(current);
            text_format(session.previous_version_dir, sizeof session.previous_version_dir, "%s%s", folder,
                        add_backslash ? "\\" : "");
            found = 1;
        }
    }
    sys_RegCloseKey(key);
    return found;
}

int detect_previous_version(void)
{
    char key_name[SETUP_PATH_SIZE], value_name[SETUP_PATH_SIZE];
    char data[OLDVER_VALUE_SIZE + 1], stored[OLDVER_VALUE_SIZE + 1];
    if (script_read_int("oldver", "check", 0) == 0)
        return 0;
    // Registry names are read as they stand: SOFTWARE\nihon is no line feed.
    if (script_read_string("oldver", "key", "", key_name, sizeof key_name) == 0 ||
        script_read_string("oldver", "value", "", value_name, sizeof value_name) == 0 ||
        script_read_text("oldver", "data", "", data, OLDVER_VALUE_SIZE) == 0)
        return 0;

    HKEY key;
    if (sys_RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (!read_machine_value(key, value_name, stored) || strcmp(stored, data) != 0) {
        sys_RegCloseKey(key);
        return 0;
    }
    char title[SCRIPT_TEXT_SIZE], text[SCRIPT_TEXT_SIZE];
    memset(title, 0, sizeof title);
    memset(text, 0, sizeof text);
    script_read_text("oldver", "title", "[oldver]title", title, sizeof title);
    script_read_text("oldver", "msg", "[oldver]msg", text, sizeof text);
    int answer = show_box(text, title, MB_YESNO | MB_ICONINFORMATION);
    sys_RegCloseKey(key);
    if (answer != IDYES)
        return 0;

    char path_key[SETUP_PATH_SIZE], dir_value[SETUP_PATH_SIZE];
    if (script_read_string("oldver", "path", "", path_key, sizeof path_key) == 0 ||
        script_read_string("oldver", "dir", "", dir_value, sizeof dir_value) == 0)
        return 0;
    if (!find_previous_folder(path_key, dir_value)) {
        show_message(MSG_OLD_FOLDER_UNKNOWN, CAP_DISK_ERROR, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    session.previous_version_found = 1;
    return 1;
}

// What the page's OK does: 1 when the run goes on to the files; otherwise
// finish_run has ended it.
static int setup_accepted(void)
{
    if (session.debug_run) {
        finish_run(DebugRun);
        return 0;
    }
    log_event("destination %s", session.destination_dir);
    if (check_disk_space() && ensure_destination(session.destination_dir))
        return 1;
    finish_run(SetupRefused);
    return 0;
}

// The page's start: the older version's folder becomes the destination
// (unless /DIR named one), and the figures are measured.
static void prepare_setup_page(HWND page)
{
    session.previous_version_found = 0;
    session.over_previous_version = 0;
    const char *why = session.given_dir[0] != '\0' ? "/DIR" : "the script's default";
    if (session.given_dir[0] == '\0' && detect_previous_version()) {
        session.over_previous_version = 1;
        text_copy(session.destination_dir, sizeof session.destination_dir, session.previous_version_dir);
        why = "the older version's folder";
    }
    log_event("setup page: destination %s (%s)", session.destination_dir, why);
    fill_setup_page(page);
}

int accept_setup_page(void)
{
    prepare_setup_page(NULL);
    return setup_accepted();
}

INT_PTR CALLBACK setup_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    if (message == WM_INITDIALOG) {
        prepare_setup_page(page);
        center_on_backdrop(page);
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    switch (wparam) {
    case IDOK:
        if (setup_accepted())
            EndDialog(page, 0);
        return 1;
    case IDCANCEL:
        finish_run(Cancelled);
        return 1;
    case IDC_BACK:
        session.back_requested = 1;
        EndDialog(page, 0);
        return 1;
    case IDC_CHOOSE_FOLDER:
        ShowWindow(page, SW_HIDE);
        if (choose_destination_folder(page))
            log_event("setup page: destination %s (chosen)", session.destination_dir);
        show_folder_and_free_space(page, DestinationFolder);
        ShowWindow(page, SW_SHOW);
        return 1;
    default:
        return 0;
    }
}
