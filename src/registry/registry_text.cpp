// Registry path and value forming: plain text work, built natively too.
#include <string.h>

#include "registry.h"
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

int registry_command_runs(const char *command, const char *program_path)
{
    char program[REGISTRY_VALUE_SIZE];
    size_t path_len = strlen(program_path);
    if (path_len == 0 || path_len >= sizeof program)
        return 0;
    if (*command == '"') {
        const char *end = command + 1;
        while (*end != '\0' && *end != '"')
            end = text_next(end);
        if (*end != '"' || (size_t)(end - command - 1) != path_len)
            return 0;
        text_copy_n(program, sizeof program, command + 1, path_len);
        return text_equal_nocase(program, program_path);
    }
    // A cut that would split a double-byte character is shorter: no match.
    if (text_copy_n(program, sizeof program, command, path_len) != path_len)
        return 0;
    char after = command[path_len];
    return (after == '\0' || after == ' ' || after == '\t') && text_equal_nocase(program, program_path);
}
