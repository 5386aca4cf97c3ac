// Self-removal: a program cannot delete its own file while it runs, so the
// uninstaller (and the temporary copy of a setup) arranges for it to go
// after the process has ended.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "shell.h"
#include "text.h"
#include "ui.h"

enum { BATCH_TEXT_SIZE = 1560, BATCH_COMMAND_SIZE = 520 };

static void report_failure(void)
{
    UINT text = session.run_mode == RunModeUninstall ? MSG_SELF_REMOVE_NO_TEMP : MSG_TEMP_REMOVE_FAILED;
    show_message(text, CAP_REMOVE_FAILED, MB_OK | MB_ICONEXCLAMATION);
}

// NT family: the system deletes the file, then the emptied folder, at the
// next start (in the order they were scheduled).
static void schedule_removal(int remove_folder, const char *folder)
{
    if (!sys_MoveFileExA(session.module_path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        report_failure();
        return;
    }
    if (remove_folder && !sys_MoveFileExA(folder, NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
        report_failure();
}

// 95/98 family: a hidden batch file deletes the program as soon as it can,
// then the folder if it is empty, then itself.
static void start_removal_batch(int remove_folder, const char *folder)
{
    char temp_dir[SETUP_PATH_SIZE];
    char batch[SETUP_PATH_SIZE];
    char text[BATCH_TEXT_SIZE];
    char command[BATCH_COMMAND_SIZE];

    DWORD len = sys_GetTempPathA(sizeof temp_dir, temp_dir);
    if (len == 0 || len >= sizeof temp_dir || sys_GetTempFileNameA(temp_dir, "~ec", 0, batch) == 0) {
        report_failure();
        return;
    }
    sys_DeleteFileA(batch);
    size_t name_len = strlen(batch);
    if (name_len < 4) {
        report_failure();
        return;
    }
    batch[name_len - 4] = '\0';
    text_append(batch, sizeof batch, ".bat");

    size_t text_len = text_format(text, sizeof text, ":loop\r\ndel \"%s\"\r\nif exist \"%s\" goto :loop\r\n",
                                  session.module_path, session.module_path);
    if (remove_folder)
        text_len += text_format(text + text_len, sizeof text - text_len, "rmdir \"%s\"\r\n", folder);
    text_len += text_format(text + text_len, sizeof text - text_len, "del \"%s\"\r\n", batch);

    HANDLE file =
        sys_CreateFileA(batch, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        report_failure();
        return;
    }
    DWORD written;
    sys_WriteFile(file, text, (DWORD)text_len, &written, NULL);
    sys_CloseHandle(file);

    text_format(command, sizeof command, "%s\\command.com /C \"%s\"", session.windows_dir, batch);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!sys_CreateProcessA(NULL, command, NULL, NULL, FALSE, CREATE_DEFAULT_ERROR_MODE, NULL, temp_dir, &startup,
                            &process)) {
        report_failure();
        return;
    }
    sys_CloseHandle(process.hProcess);
    sys_CloseHandle(process.hThread);
}

void remove_self(int remove_folder)
{
    char folder[SETUP_PATH_SIZE];
    text_copy(folder, sizeof folder, session.module_path);
    char *last = text_find_last(folder, '\\');
    if (last)
        *last = '\0';
    log_event("%s%s: removed %s", session.module_path, remove_folder ? " and its folder, once emptied," : "",
              session.is_nt ? "at the next start of Windows" : "once this program has ended");
    if (session.is_nt)
        schedule_removal(remove_folder, folder);
    else
        start_removal_batch(remove_folder, folder);
}
