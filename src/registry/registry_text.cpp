// Registry path and value forming: plain text work, built natively too.
#include <string.h>

#include "registry_text.h"
#include "text.h"

size_t registry_key_path(char *path, size_t size, const char *base, const char *name)
{
    if (size == 0)
        return 0;
    path[0] = '\0';
    size_t base_len = strlen(base), name_len = strlen(name);
    if (name_len == 0 || base_len + name_len >= size)
        return 0;
    return text_format(path, size, "%s%s", base, name);
}

int registry_cut_last_component(char *path)
{
    char *last = text_find_last(path, '\\');
    if (last == NULL)
        return 0;
    *last = '\0';
    return path[0] != '\0';
}

size_t registry_uninstall_command(char *out, size_t size, const char *destination_dir, const char *command)
{
    if (size == 0)
        return 0;
    out[0] = '\0';
    const char *program = command, *program_end, *rest;
    if (*command == '"') {
        // Already quoted in the script: the program is what the quotes hold.
        program = command + 1;
        program_end = program;
        while (*program_end != '\0' && *program_end != '"')
            program_end = text_next(program_end);
        rest = *program_end == '"' ? program_end + 1 : program_end;
    } else {
        program_end = command;
        while (*program_end != '\0' && *program_end != ' ' && *program_end != '\t')
            program_end = text_next(program_end);
        rest = program_end;
    }
    size_t dir_len = strlen(destination_dir);
    size_t program_len = (size_t)(program_end - program);
    size_t rest_len = strlen(rest);
    if (program_len == 0 || dir_len + program_len + rest_len + 2 >= size)
        return 0;
    size_t len = text_format(out, size, "\"%s", destination_dir);
    text_copy_n(out + len, size - len, program, program_len);
    text_append(out, size, "\"");
    return text_append(out, size, rest);
}
