// The file step: [files] file_1 ... file_N, installed from the medium or
// removed again, in order; the first entry that fails ends the step.
#include <string.h>

#include "engine.h"
#include "engine_text.h"
#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "text.h"
#include "ui.h"

static int file_exists(const char *path)
{
    return sys_GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The platform's test for read access: every existing file whose attributes
// can be read passes it.
static int can_read(const char *path)
{
    return sys_GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static size_t read_file_entry(unsigned int n, char *buffer, size_t size)
{
    char key[32];
    text_format(key, sizeof key, "file_%u", n);
    memset(buffer, 0, size);
    return script_read_text("files", key, "", buffer, size);
}

static void show_names(HWND dialog, const char *first, const char *second)
{
    SetDlgItemTextA(dialog, IDC_SOURCE_FILE, first);
    SetDlgItemTextA(dialog, IDC_TARGET_FILE, second);
}

static int install_file_entry(HWND dialog, const FileEntry *entry)
{
    char source[SETUP_PATH_SIZE];
    text_copy(source, sizeof source, session.source_dir);
    text_append(source, sizeof source, entry->source_name);
    show_names(dialog, entry->source_name, entry->target_name);

    // A missing file asks for its disk until it is there or the user stops.
    while (!file_exists(source)) {
        if (show_message_arg(MSG_INSERT_DISK, CAP_DISK_PREPARE, MB_OKCANCEL | MB_ICONEXCLAMATION,
                             entry->disk_label) != IDOK)
            return 0;
        text_copy(source, sizeof source, session.source_dir);
        text_append(source, sizeof source, entry->source_name);
        show_names(dialog, entry->source_name, entry->target_name);
    }
    if (!can_read(source)) {
        show_message_arg(MSG_DISK_NO_ACCESS, CAP_DISK_PREPARE, MB_OK | MB_ICONSTOP, source);
        return 0;
    }

    if (entry->kind == 1)
        return install_versioned_file(0, entry->source_name, entry->target_name) ? 1 : 0;

    if (!install_versioned_file(1, entry->source_name, entry->target_name))
        replace_file_at_restart(entry->source_name, entry->target_name);
    update_shared_count(entry->target_name, 1);
    return 1;
}

int remove_file_entry(HWND dialog, const char *target_name, int kind)
{
    char path[SETUP_PATH_SIZE];
    text_copy(path, sizeof path, kind == 1 ? session.destination_dir : session.system_dir);
    text_append(path, sizeof path, target_name);
    SetDlgItemTextA(dialog, IDC_SOURCE_FILE, target_name);

    if (!file_exists(path))
        return 1;
    int readable = can_read(path);
    if (kind == 1) {
        if (!readable)
            return 0;
        if (!sys_DeleteFileA(path))
            show_status_message_arg(dialog, MSG_REMOVE_FAILED, path);
        return 1;
    }

    if (update_shared_count(target_name, 0) != CountReachedZero)
        return 1;
    if (show_message_arg(MSG_ASK_DELETE_SHARED, CAP_SHARED_REMOVE, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
                         path) != IDYES)
        return 1;
    if (sys_DeleteFileA(path))
        delete_shared_count(dialog, path);
    else
        show_status_message_arg(dialog, MSG_REMOVE_FAILED, path);
    return 1;
}

int process_file_list(HWND dialog)
{
    int count = script_read_int("files", "files", 0);
    char text[SCRIPT_TEXT_SIZE];
    for (int n = 1; n <= count; n++) {
        if (read_file_entry((unsigned int)n, text, sizeof text) == 0)
            continue;
        FileEntry entry;
        if (!parse_file_entry(text, &entry))
            continue;
        int go_on = session.run_mode == RunModeUninstall ? remove_file_entry(dialog, entry.target_name, entry.kind)
                                                           : install_file_entry(dialog, &entry);
        if (!go_on)
            return 0;
        advance_progress(dialog, entry.size);
    }
    return 1;
}
