// The log of a run (/LOG=file): one line per event, appended as it happens,
// so that a run that ends abruptly keeps every line written before. The file
// is UTF-8 with a byte-order mark (the script's code page 932 texts are
// converted); where the system cannot convert to UTF-8 (Windows 95) the
// lines stay code page 932 and the run's first line says so. The medium's
// process and the temporary copy write to the same file.
#include <stdarg.h>
#include <string.h>

#include "platform.h"
#include "setup.h"
#include "shell.h"
#include "text.h"

enum { LOG_LINE_SIZE = 2048 };

static int log_in_utf8;

// Two or more digits of value at p, zero-padded to width.
static char *put_number(char *p, unsigned int value, int width)
{
    for (int i = width - 1; i >= 0; i--) {
        p[i] = (char)('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

static const char *mode_name(void)
{
    switch (session.run_mode) {
    case RunModeTempCopy:
        return "temp";
    case RunModeUninstall:
        return "uninstall";
    default:
        return "setup";
    }
}

// Appends bytes at the end of the file, wherever another process left it.
static void append_bytes(const char *bytes, DWORD size)
{
    DWORD written;
    if (!session.is_nt)
        sys_SetFilePointer(session.run_log, 0, NULL, FILE_END);
    sys_WriteFile(session.run_log, bytes, size, &written, NULL);
}

// The line in code page 932 turned into UTF-8; 0 when it cannot be.
static int to_utf8(const char *line, char *out, int out_size)
{
    static WCHAR wide[LOG_LINE_SIZE];
    int wide_len = MultiByteToWideChar(932, 0, line, -1, wide, LOG_LINE_SIZE);
    if (wide_len <= 0)
        return 0;
    int len = sys_WideCharToMultiByte(CP_UTF8, 0, wide, wide_len - 1, out, out_size, NULL, NULL);
    return len > 0 ? len : 0;
}

static void write_line(const char *line)
{
    static char utf8[LOG_LINE_SIZE * 3];
    int len = log_in_utf8 ? to_utf8(line, utf8, sizeof utf8) : 0;
    if (len > 0)
        append_bytes(utf8, (DWORD)len);
    else
        append_bytes(line, (DWORD)strlen(line));
    append_bytes("\r\n", 2);
}

void log_event(const char *format, ...)
{
    if (session.run_log == NULL)
        return;
    static char line[LOG_LINE_SIZE];
    SYSTEMTIME now;
    GetLocalTime(&now);
    char *p = line;
    p = put_number(p, now.wYear, 4);
    *p++ = '-';
    p = put_number(p, now.wMonth, 2);
    *p++ = '-';
    p = put_number(p, now.wDay, 2);
    *p++ = ' ';
    p = put_number(p, now.wHour, 2);
    *p++ = ':';
    p = put_number(p, now.wMinute, 2);
    *p++ = ':';
    p = put_number(p, now.wSecond, 2);
    *p++ = '.';
    p = put_number(p, now.wMilliseconds, 3);
    size_t len = (size_t)(p - line);
    len += text_format(p, sizeof line - len, " [%lu] %s: ", GetCurrentProcessId(), mode_name());

    va_list args;
    va_start(args, format);
    text_format_v(line + len, sizeof line - len, format, args);
    va_end(args);
    // One event, one line: a text's own line breaks are shown as \n.
    for (char *c = line; *c != '\0'; c = text_next(c)) {
        if (*c == '\n' || *c == '\r' || *c == '\t')
            *c = ' ';
    }
    write_line(line);
}

int open_run_log(const char *path)
{
    // Appending whole lines: NT appends each write at the end of the file
    // even while another process writes to it; 95/98 move there first.
    DWORD access = session.is_nt ? FILE_APPEND_DATA | SYNCHRONIZE : GENERIC_WRITE;
    HANDLE file = sys_CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    session.run_log = file;
    char probe[4];
    log_in_utf8 = sys_WideCharToMultiByte(CP_UTF8, 0, L"a", 1, probe, sizeof probe, NULL, NULL) == 1;
    DWORD size = GetFileSize(file, NULL);
    if (size == 0 && log_in_utf8)
        append_bytes("\xEF\xBB\xBF", 3);
    if (!log_in_utf8)
        log_event("this system cannot write UTF-8: the lines of this run are in code page 932");
    return 1;
}
