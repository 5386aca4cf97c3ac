// The uninstall list: further files in the destination folder that only an
// uninstallation deletes ([files] uninst_1 ... uninst_N). A whole entry is
// the name, commas and subfolders included.
#include <string.h>

#include "engine.h"
#include "script.h"
#include "text.h"

void remove_uninstall_list(HWND dialog)
{
    int count = script_read_int("files", "uninst", 0);
    char key[32];
    char name[SCRIPT_TEXT_SIZE];
    for (int n = 1; n <= count; n++) {
        text_format(key, sizeof key, "uninst_%u", (unsigned int)n);
        memset(name, 0, sizeof name);
        if (script_read_text("files", key, "", name, sizeof name) == 0)
            continue;
        remove_file_entry(dialog, name, 1);
    }
}
