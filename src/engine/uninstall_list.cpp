// The uninstall list: further files in the destination folder that only an
// uninstallation deletes ([files] uninst_1 ... uninst_N). A whole entry is
// the name, commas and subfolders included.
#include <string.h>

#include "engine.h"
#include "script.h"
#include "text.h"

void remove_uninstall_list(HWND dialog)
{
    unsigned int last = script_read_last_entry("files", "uninst", "uninst");
    char key[32];
    char name[SCRIPT_TEXT_SIZE];
    for (unsigned int n = 1; n != 0 && n <= last; n++) {
        text_format(key, sizeof key, "uninst_%u", n);
        memset(name, 0, sizeof name);
        // A file name as it stands: logs\new.log is not "logs", a line feed, "ew.log".
        if (script_read_entry("files", key, name, sizeof name) == 0)
            continue;
        remove_file_entry(dialog, name, 1);
    }
}
