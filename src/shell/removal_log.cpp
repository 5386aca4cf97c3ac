// The removal error log: failures that an uninstallation does not show in a
// message box are collected in one growing block and written to delerr.log
// in the program's folder at the end of the run.
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "shell.h"
#include "text.h"
#include "ui.h"

enum { LOG_LINE_SIZE = 520 };

// "ｷｰ " (key) in code page 932.
static const char key_word[] = "\xB7\xB0 ";

// Bytes of the block in use: the lines and one zero byte for each.
static SIZE_T log_size;

void append_to_removal_log(const char *text)
{
    SIZE_T length = strlen(text);
    if (session.removal_log == NULL) {
        HGLOBAL block = sys_GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, length + 1);
        if (block == NULL)
            return;
        memcpy((char *)block, text, length + 1);
        session.removal_log = block;
        log_size = length + 1;
        return;
    }
    // A block that cannot grow keeps the lines it holds; the new one is lost.
    HGLOBAL grown = sys_GlobalReAlloc(session.removal_log, log_size + length + 1, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (grown == NULL)
        return;
    session.removal_log = grown;
    char *block = (char *)grown;
    memcpy(block + strlen(block), text, length + 1);
    log_size += length + 1;
}

void log_removal_failure(char separator, const char *key_path, const char *value_name)
{
    char failure[SETUP_PATH_SIZE];
    char format[LOG_LINE_SIZE];
    char line[LOG_LINE_SIZE];
    char sep[2] = {separator, '\0'};
    text_format(failure, sizeof failure, "%s%s%s%s", key_word, key_path, sep, value_name);
    load_catalogue_text(MSG_REMOVE_FAILED, format, sizeof format);
    memset(line, 0, sizeof line);
    text_format(line, sizeof line, format, failure);
    append_to_removal_log(line);
}

// Writes bytes as a text-mode file does: each line feed as CR LF.
static void write_text(HANDLE file, const char *bytes, SIZE_T size)
{
    SIZE_T start = 0;
    DWORD written;
    for (SIZE_T i = 0; i < size; i++) {
        if (bytes[i] != '\n')
            continue;
        if (i > start)
            sys_WriteFile(file, bytes + start, (DWORD)(i - start), &written, NULL);
        sys_WriteFile(file, "\r\n", 2, &written, NULL);
        start = i + 1;
    }
    if (size > start)
        sys_WriteFile(file, bytes + start, (DWORD)(size - start), &written, NULL);
}

void write_removal_log(void)
{
    if (session.removal_log == NULL)
        return;
    char path[SETUP_PATH_SIZE];
    text_copy(path, sizeof path, session.source_dir);
    text_append(path, sizeof path, "delerr.log");

    HANDLE file = sys_CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  NULL);
    if (file != INVALID_HANDLE_VALUE) {
        write_text(file, (const char *)session.removal_log, log_size);
        // An older, longer log must not leave its tail behind this run's
        // lines: it would read as failures of this removal.
        SetEndOfFile(file);
        sys_CloseHandle(file);
    }
    sys_GlobalFree(session.removal_log);
    session.removal_log = NULL;
    log_size = 0;
}
