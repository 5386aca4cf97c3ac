// The file step: [files] file_1 ... file_N, installed from the medium or
// removed again, in order; the first entry that fails ends the step.
#include <string.h>

#include "engine.h"
#include "platform.h"
#include "registry.h"
#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "shell.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

void advance_progress(HWND dialog, unsigned int size)
{
    if (session.total_bytes == 0)
        return;
    session.done_bytes += size;
    note_progress(dialog);
}

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

// Entries name files: read as they stand, so that bin\tools stays a folder.
static size_t read_file_entry(unsigned int n, char *buffer, size_t size)
{
    char key[32];
    text_format(key, sizeof key, "file_%u", n);
    memset(buffer, 0, size);
    return script_read_entry("files", key, buffer, size);
}

// The source's full path into source. A path cut at its buffer names another
// file: such an entry is refused. A shared file in use may also need its
// temporary name (".$$$" appended).
static int paths_fit(const FileEntry *entry, char *source)
{
    char path[SETUP_PATH_SIZE];
    if (path_join(source, SETUP_PATH_SIZE, session.source_dir, entry->source_name) == 0) {
        show_message(MSG_DISK_NO_ACCESS, CAP_DISK_PREPARE, MB_OK | MB_ICONSTOP, entry->source_name);
        return 0;
    }
    const char *folder = entry->kind == 1 ? session.destination_dir : session.system_dir;
    size_t room = entry->kind == 1 ? sizeof path : sizeof path - 4;
    if (path_join(path, room, folder, entry->target_name) == 0) {
        show_message(MSG_COPY_CANNOT_CREATE, CAP_COPY_FAILED, MB_OK | MB_ICONSTOP, entry->target_name);
        return 0;
    }
    return 1;
}

static int install_file_entry(HWND dialog, const FileEntry *entry)
{
    char source[SETUP_PATH_SIZE];
    note_file_names(dialog, entry->source_name, entry->target_name);
    if (!paths_fit(entry, source))
        return 0;
    // Nothing is changed that the journal could not take back.
    if (!journal_make_room()) {
        show_message(MSG_COPY_OUT_OF_MEMORY, CAP_COPY_FAILED, MB_OK | MB_ICONSTOP, entry->target_name);
        return 0;
    }

    // A missing file asks for its disk until it is there or the user stops.
    while (!file_exists(source)) {
        if (show_message(MSG_INSERT_DISK, CAP_DISK_PREPARE, MB_OKCANCEL | MB_ICONEXCLAMATION,
                             entry->disk_label) != IDOK) {
            session.user_cancelled = !session.unattended;
            return 0;
        }
        note_file_names(dialog, entry->source_name, entry->target_name);
    }
    if (!can_read(source)) {
        show_message(MSG_DISK_NO_ACCESS, CAP_DISK_PREPARE, MB_OK | MB_ICONSTOP, source);
        return 0;
    }

    if (entry->kind == 1)
        return install_versioned_file(0, entry->source_name, entry->target_name) ? 1 : 0;

    if (!install_versioned_file(1, entry->source_name, entry->target_name))
        replace_file_at_restart(entry->source_name, entry->target_name);
    update_shared_count(entry->target_name, 1);
    return 1;
}

// A file copied from a CD may keep the medium's read-only attribute, which
// the platform's deletion refuses: the removal takes the attribute off.
BOOL delete_installed_file(const char *path)
{
    if (sys_DeleteFileA(path))
        return TRUE;
    DWORD attributes = sys_GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
        return FALSE;
    return sys_SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY) && sys_DeleteFileA(path);
}

int remove_file_entry(HWND dialog, const char *target_name, int kind)
{
    char path[SETUP_PATH_SIZE];
    note_file_names(dialog, target_name, NULL);
    // Cut short, the path would name another file: it is left alone.
    if (path_join(path, sizeof path, kind == 1 ? session.destination_dir : session.system_dir, target_name) == 0) {
        show_status_message(dialog, MSG_REMOVE_FAILED, target_name);
        return 1;
    }

    // Only the platform's "not found" says the file is gone; any other
    // failure leaves it to the deletion, which reports what stays.
    if (!file_exists(path) && path_not_found())
        return 1;
    int readable = can_read(path);
    if (kind == 1) {
        if (!readable)
            return 0;
        int deleted = delete_installed_file(path);
        // The running uninstaller goes once it has ended (self-removal).
        log_event("file %s: %s", path,
                  deleted                                         ? "deleted"
                  : text_equal_nocase(path, session.module_path) ? "the running uninstaller: removed after the run"
                                                                  : "could not be deleted");
        if (!deleted)
            show_status_message(dialog, MSG_REMOVE_FAILED, path);
        return 1;
    }

    if (update_shared_count(target_name, 0) != CountReachedZero)
        return 1;
    if (show_message(MSG_ASK_DELETE_SHARED, CAP_SHARED_REMOVE, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
                         path) != IDYES)
        return 1;
    int deleted = delete_installed_file(path);
    log_event("shared file %s: %s", path, deleted ? "deleted" : "could not be deleted");
    if (deleted)
        delete_shared_count(dialog, path);
    else
        show_status_message(dialog, MSG_REMOVE_FAILED, path);
    return 1;
}

int process_file_list(HWND dialog)
{
    unsigned int last = script_read_last_entry("files", "files", "file");
    char text[SCRIPT_TEXT_SIZE];
    for (unsigned int n = 1; n != 0 && n <= last; n++) {
        if (read_file_entry(n, text, sizeof text) == 0)
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
    show_paced_now();
    return 1;
}
