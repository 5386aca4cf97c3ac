// Path forming for the start-up. Paths are code-page-932 text: every search
// for a backslash or a full stop steps over double-byte characters.
#include <string.h>

#include "startup.h"
#include "text.h"

int path_ends_in_backslash(const char *path)
{
    const char *last = text_find_last(path, '\\');
    return last != NULL && last[1] == '\0';
}

void path_folder_of(const char *path, char *folder, size_t size)
{
    const char *last = text_find_last(path, '\\');
    if (last == NULL) {
        text_copy(folder, size, "");
        return;
    }
    text_copy_n(folder, size, path, (size_t)(last - path) + 1);
}

void path_script_of(const char *module_path, char *script, size_t size)
{
    text_copy(script, size, module_path);
    // Only a full stop in the file name counts, not one in a folder name.
    char *name = text_find_last(script, '\\');
    name = name ? name + 1 : script;
    char *dot = text_find_last(name, '.');
    if (dot == NULL) {
        text_append(script, size, ".inf");
        return;
    }
    dot[1] = '\0';
    text_append(script, size, "inf");
}

void path_destination(const char *program_files, const char *folder_name, char *dest, size_t size)
{
    text_copy(dest, size, program_files);
    if (!path_ends_in_backslash(dest))
        text_append(dest, size, "\\");
    text_append(dest, size, folder_name);
    if (!path_ends_in_backslash(dest))
        text_append(dest, size, "\\");
}

size_t path_join(char *path, size_t size, const char *folder, const char *name)
{
    if (size == 0)
        return 0;
    size_t folder_len = strlen(folder), name_len = strlen(name);
    if (folder_len + name_len >= size) {
        path[0] = '\0';
        return 0;
    }
    return text_format(path, size, "%s%s", folder, name);
}
