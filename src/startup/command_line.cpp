// The command line: tokens separated by blanks or tabs. The run modes and
// /DEBUG are bare words; /DIR= and /LOG= carry a value, which may be quoted
// (/DIR="C:\Program Files\App") or stand in a quoted token
// ("/DIR=C:\Program Files\App").
#include <string.h>

#include "setup_types.h"
#include "startup.h"
#include "text.h"

static int is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// The next token from *p on, unquoted in place: its text ends at a zero
// written over its closing quote or the blank after it. A quote may open the
// token or its value (right after the first '='); any other quote, a quote
// left open, or a closing quote followed by more than a blank refuses the
// line. Returns 1 with *token set, 0 at the end of the text, -1 when refused.
static int next_token(char **p, char **token)
{
    char *s = *p;
    while (is_blank(*s))
        s++;
    if (*s == '\0')
        return 0;
    int quoted = *s == '"';
    if (quoted)
        s++;
    *token = s;
    char *out = s;
    const char *value_at = NULL;
    for (;;) {
        char c = *s;
        if (c == '\0') {
            if (quoted)
                return -1;
            break;
        }
        if (c == '"') {
            if (quoted) {
                s++;
                if (*s != '\0' && !is_blank(*s))
                    return -1;
                break;
            }
            // A quoted value: only right after the token's first '='.
            if (s != value_at || out != s)
                return -1;
            quoted = 1;
            s++;
            continue;
        }
        if (!quoted && is_blank(c))
            break;
        if (c == '=' && value_at == NULL && !quoted)
            value_at = s + 1;
        // Characters are moved whole: a double-byte pair is never parted.
        const char *next = text_next(s);
        while (s < next)
            *out++ = *s++;
    }
    // Past the token: the separator (or the closing quote) is overwritten.
    *p = *s == '\0' ? s : s + 1;
    *out = '\0';
    return 1;
}

// "/NAME=value" with a value of 1 to SETUP_PATH_SIZE - 1 bytes copied into
// value: 1. The name not matching: 0. The name matching with an empty or
// overlong value: -1.
static int value_switch(const char *token, const char *name, char *value)
{
    size_t name_len = strlen(name);
    char head[16];
    text_copy_n(head, sizeof head, token, name_len);
    if (!text_equal_nocase(head, name) || token[name_len] != '=')
        return 0;
    const char *given = token + name_len + 1;
    size_t len = strlen(given);
    // Cut, the value would name another file or folder.
    if (len == 0 || text_copy(value, SETUP_PATH_SIZE, given) != len)
        return -1;
    return 1;
}

int command_line_apply(char *text, CommandLine *line)
{
    memset(line, 0, sizeof *line);
    line->run_mode = RunModeSetup;
    char *p = text;
    for (;;) {
        char *token;
        int found = next_token(&p, &token);
        if (found == 0)
            return 1;
        if (found < 0)
            return 0;

        int dir = value_switch(token, "/DIR", line->dir);
        int log = value_switch(token, "/LOG", line->log);
        if (dir < 0 || log < 0)
            return 0;
        if (dir || log)
            continue;
        if (text_equal_nocase(token, "/SETUP"))
            line->run_mode = RunModeSetup;
        else if (text_equal_nocase(token, "/TEMP"))
            line->run_mode = RunModeTempCopy;
        else if (text_equal_nocase(token, "/UNINSTALL"))
            line->run_mode = RunModeUninstall;
        else if (text_equal_nocase(token, "/DEBUG"))
            line->debug_run = 1;
        else if (text_equal_nocase(token, "/QUIET") || text_equal_nocase(token, "/S"))
            line->unattended = UnattendedQuiet;
        else if (text_equal_nocase(token, "/PASSIVE"))
            line->unattended = UnattendedPassive;
        else if (text_equal_nocase(token, "/NORESTART"))
            line->no_restart = 1;
        else if (text_equal_nocase(token, "/?"))
            line->show_help = 1;
        else
            return 0;
    }
}

int command_line_folder_is_absolute(const char *folder)
{
    // A drive's folder (C:\...) or a network share (\\server\share...).
    char c = folder[0];
    int drive = ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && folder[1] == ':' && folder[2] == '\\';
    int share = folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\0' && folder[2] != '\\';
    if (!drive && !share)
        return 0;
    // Names the file system refuses, and the chooser's wildcards.
    for (const char *p = folder; *p != '\0'; p = text_next(p)) {
        unsigned char b = (unsigned char)*p;
        if (b < ' ' || text_find("*?<>|\"", *p) != NULL || (*p == ':' && p != folder + 1))
            return 0;
    }
    return 1;
}

const char *command_line_tail(const char *command_line)
{
    const char *p = command_line;
    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"')
            p++;
        if (*p == '"')
            p++;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            p++;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}
