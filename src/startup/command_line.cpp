// The command line: four tokens, separated by blanks or tabs, no quoting.
#include <string.h>

#include "setup_types.h"
#include "startup.h"
#include "text.h"

int command_line_apply(char *text, unsigned int *run_mode, int *debug_run)
{
    *run_mode = RunModeSetup;
    char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p == '\0')
            return 1;
        char *token = p;
        while (*p != '\0' && *p != ' ' && *p != '\t')
            p++;
        if (*p != '\0')
            *p++ = '\0';

        if (text_equal_nocase(token, "/SETUP"))
            *run_mode = RunModeSetup;
        else if (text_equal_nocase(token, "/TEMP"))
            *run_mode = RunModeTempCopy;
        else if (text_equal_nocase(token, "/UNINSTALL"))
            *run_mode = RunModeUninstall;
        else if (text_equal_nocase(token, "/DEBUG"))
            *debug_run = 1;
        else
            return 0;
    }
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
