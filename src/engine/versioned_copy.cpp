// Versioned copy of one file through the platform's version installer, and
// the replacement of a shared file in use at the next start of Windows.
#include <string.h>

#include "engine.h"
#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "shell.h"
#include "startup.h"
#include "text.h"
#include "ui.h"

enum {
    // system_dir + target, "=", system_dir + temporary name, two line ends
    // and the header: never cut for names that fit their buffers.
    WININIT_BLOCK_SIZE = 4 * SETUP_PATH_SIZE + 32,
};

static const UINT QUESTION_STYLE = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
static const UINT ERROR_STYLE = MB_OK | MB_ICONSTOP;
static const UINT FIND_ERROR_STYLE = MB_OK | MB_ICONEXCLAMATION;

struct ResultRow {
    DWORD bit;
    UINT message;
};

// Differences the user may override with a forced copy. The installer sets
// VIF_MISMATCH together with each particular difference, so it is looked at
// last: alone, it stands for a difference that has no message of its own.
static const ResultRow question_rows[] = {
    {VIF_SRCOLD, MSG_COPY_NEWER},
    {VIF_DIFFLANG, MSG_COPY_DIFF_LANG},
    {VIF_DIFFCODEPG, MSG_COPY_DIFF_CODEPAGE},
    {VIF_DIFFTYPE, MSG_COPY_DIFF_TYPE},
    {VIF_MISMATCH, MSG_COPY_DIFF_ATTR},
};

// Failures: nothing was installed.
static const ResultRow error_rows[] = {
    {VIF_WRITEPROT, MSG_COPY_WRITE_PROTECTED},
    {VIF_FILEINUSE, MSG_COPY_IN_USE},
    {VIF_OUTOFSPACE, MSG_COPY_OUT_OF_SPACE},
    {VIF_ACCESSVIOLATION, MSG_COPY_ACCESS_VIOLATION},
    {VIF_SHARINGVIOLATION, MSG_COPY_SHARING_VIOLATION},
    {VIF_CANNOTCREATE, MSG_COPY_CANNOT_CREATE},
    {VIF_CANNOTDELETE, MSG_COPY_CANNOT_DELETE},
    {VIF_CANNOTRENAME, MSG_COPY_CANNOT_RENAME},
    {VIF_OUTOFMEMORY, MSG_COPY_OUT_OF_MEMORY},
    {VIF_CANNOTREADSRC, MSG_COPY_CANNOT_READ_SRC},
    {VIF_CANNOTREADDST, MSG_COPY_CANNOT_READ_DST},
    {VIF_BUFFTOOSMALL, MSG_COPY_TEMP_TOO_SMALL},
};

static UINT first_row(const ResultRow *rows, size_t count, DWORD result)
{
    for (size_t i = 0; i < count; i++) {
        if (result & rows[i].bit)
            return rows[i].message;
    }
    return 0;
}

// folder, a backslash unless it ends in one, and name, into path: the
// length, or 0 (path empty) when the whole does not fit, for a path cut
// short names another file.
static size_t path_in_folder(char *path, size_t size, const char *folder, const char *name)
{
    const char *separator = folder[0] != '\0' && !path_ends_in_backslash(folder) ? "\\" : "";
    if (strlen(folder) + strlen(separator) + strlen(name) >= size) {
        path[0] = '\0';
        return 0;
    }
    return text_format(path, size, "%s%s%s", folder, separator, name);
}

// The installer leaves its temporary copy in the destination folder and
// names it relative to that folder (some versions with a leading backslash).
static void delete_temporary_copy(const char *folder, const char *name)
{
    char path[2 * SETUP_PATH_SIZE];
    if (name[0] != '\0' && name[1] == ':') {
        text_copy(path, sizeof path, name);
    } else {
        while (*name == '\\')
            name++;
        if (*name == '\0' || path_in_folder(path, sizeof path, folder, name) == 0)
            return;
    }
    sys_DeleteFileA(path);
}

// The target's full path in the folder the version installer chose, and
// whether a file stood there before the copy. Where the platform cannot
// say, or the path cannot be formed, one did: a failed run never deletes a
// file it did not make.
static int target_stood_before(const char *folder, const char *name, char *path, size_t size)
{
    path[0] = '\0';
    if (folder[0] == '\0' || path_in_folder(path, size, folder, name) == 0)
        return 1;
    return sys_GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES || !path_not_found();
}

int install_versioned_file(int shared, const char *source_name, const char *target_name)
{
    char current_dir[SETUP_PATH_SIZE];
    char dest_dir[SETUP_PATH_SIZE];
    char temp_name[SETUP_PATH_SIZE];
    UINT current_len = sizeof current_dir;
    UINT dest_len = sizeof dest_dir;
    memset(current_dir, 0, sizeof current_dir);
    memset(dest_dir, 0, sizeof dest_dir);
    memset(temp_name, 0, sizeof temp_name);

    DWORD found = sys_VerFindFileA(shared ? VFFF_ISSHAREDFILE : 0, target_name, session.windows_dir,
                                   session.destination_dir, current_dir, &current_len, dest_dir, &dest_len);
    current_dir[sizeof current_dir - 1] = '\0';
    dest_dir[sizeof dest_dir - 1] = '\0';
    UINT find_error = 0;
    if (found & VFF_FILEINUSE)
        find_error = MSG_COPY_IN_USE;
    else if (found & VFF_BUFFTOOSMALL)
        find_error = MSG_COPY_TEMP_TOO_SMALL;
    if (find_error != 0) {
        log_event("file %s: the version installer's search gave 0x%lx; not installed", target_name, found);
        if (!shared)
            show_message(find_error, CAP_COPY_FAILED, FIND_ERROR_STYLE, target_name);
        return 0;
    }

    char target_path[SETUP_PATH_SIZE];
    int stood_before = target_stood_before(dest_dir, target_name, target_path, sizeof target_path);
    DWORD flags = VIFF_DONTDELETEOLD;
    for (;;) {
        // The temporary copy of an earlier attempt is deleted already: the
        // forced copy makes a new one instead of looking for it.
        temp_name[0] = '\0';
        UINT temp_len = sizeof temp_name;
        DWORD result = sys_VerInstallFileA(flags, source_name, target_name, session.source_dir, dest_dir,
                                           current_dir, temp_name, &temp_len);
        temp_name[sizeof temp_name - 1] = '\0';
        log_event("file %s from %s to %s: the version installer gave 0x%lx", source_name, session.source_dir,
                  dest_dir, result);
        if (result & VIF_TEMPFILE)
            delete_temporary_copy(dest_dir, temp_name);

        UINT question = first_row(question_rows, sizeof question_rows / sizeof question_rows[0], result);
        if (question != 0) {
            if (show_message(question, CAP_COPY_FAILED, QUESTION_STYLE, target_name) != IDYES) {
                log_event("file %s: the existing file kept", target_name);
                return 1;
            }
            flags = VIFF_FORCEINSTALL;
            continue;
        }
        UINT error = first_row(error_rows, sizeof error_rows / sizeof error_rows[0], result);
        log_event("file %s: %s", target_name,
                  error != 0 ? "not installed" : flags == VIFF_FORCEINSTALL ? "copied over the existing file" : "copied");
        if (error == 0) {
            if (target_path[0] != '\0')
                journal_note(stood_before ? JournalFileReplaced : JournalFileCreated, target_path);
            return 1;
        }
        if (!shared)
            show_message(error, CAP_COPY_FAILED, ERROR_STYLE, target_name);
        return 0;
    }
}

// Windows 95/98: a [rename] line "folder+target=folder+temp" in wininit.ini,
// appended at its end. 1 when it was written.
static int schedule_in_wininit(const char *folder, const char *target_name, const char *temp_name)
{
    static char head[WININIT_HEAD_SIZE + 1];
    char block[WININIT_BLOCK_SIZE];
    char path[2 * SETUP_PATH_SIZE];
    text_copy(path, sizeof path, session.windows_dir);
    text_append(path, sizeof path, "\\wininit.ini");

    size_t len;
    HANDLE file = sys_CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD got = 0;
        memset(head, 0, sizeof head);
        if (!sys_ReadFile(file, head, WININIT_HEAD_SIZE, &got, NULL))
            got = 0;
        len = wininit_rename_block(head, got, folder, target_name, temp_name, block, sizeof block);
        // The end of the text: an end-of-file mark (Ctrl-Z) that ends the
        // file would hide what follows it, so the block takes its place.
        DWORD end = sys_SetFilePointer(file, 0, NULL, FILE_END);
        if (end != INVALID_SET_FILE_POINTER && end > 0) {
            char last = 0;
            DWORD one = 0;
            sys_SetFilePointer(file, (LONG)(end - 1), NULL, FILE_BEGIN);
            if (sys_ReadFile(file, &last, 1, &one, NULL) && one == 1 && last == '\x1a')
                sys_SetFilePointer(file, (LONG)(end - 1), NULL, FILE_BEGIN);
        }
    } else {
        file = sys_CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return 0;
        len = wininit_rename_block(NULL, 0, folder, target_name, temp_name, block, sizeof block);
    }
    if (len != 0) {
        DWORD written = 0;
        sys_WriteFile(file, block, (DWORD)len, &written, NULL);
    }
    sys_CloseHandle(file);
    return len != 0;
}

void replace_file_at_restart(const char *source_name, const char *target_name)
{
    char temp_name[SETUP_PATH_SIZE];
    temporary_replacement_name(target_name, temp_name, sizeof temp_name);
    if (!install_versioned_file(1, source_name, temp_name)) {
        show_message(MSG_FILE_IN_USE_SKIPPED, CAP_COPY_FAILED, MB_OK | MB_ICONINFORMATION, target_name);
        return;
    }

    char from[2 * SETUP_PATH_SIZE];
    text_copy(from, sizeof from, session.system_dir);
    text_append(from, sizeof from, temp_name);
    int scheduled;
    if (session.is_nt) {
        char to[2 * SETUP_PATH_SIZE];
        text_copy(to, sizeof to, session.system_dir);
        text_append(to, sizeof to, target_name);
        // Without MOVEFILE_REPLACE_EXISTING the file in use would stay.
        scheduled = sys_MoveFileExA(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
    } else {
        scheduled = schedule_in_wininit(session.system_dir, target_name, temp_name);
    }
    if (scheduled) {
        session.restart_needed = 1;
        journal_note_scheduled(from);
    }
    log_event("file %s: %s", target_name,
              scheduled ? "replaced at the next start of Windows" : "its replacement could not be scheduled");
}

int delete_file_at_restart(const char *path)
{
    if (session.is_nt)
        return sys_MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    // wininit.ini deletes with "NUL=path", in the short name its DOS-time
    // run can read.
    char short_path[SETUP_PATH_SIZE];
    DWORD len = sys_GetShortPathNameA(path, short_path, sizeof short_path);
    return schedule_in_wininit("", "NUL", len > 0 && len < sizeof short_path ? short_path : path);
}
