/* Stands in for the installed uninstaller: records how it was started, in
   started.txt beside itself: the command line as the process got it, then
   the argument tail that WinMain receives (what setup.exe reads its mode
   from), one per line. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    char path[MAX_PATH];
    (void)instance;
    (void)previous;
    (void)show;
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return 2;
    char *slash = strrchr(path, '\\');
    if (slash == NULL || (size_t)(slash - path) + sizeof "started.txt" >= sizeof path)
        return 2;
    strcpy(slash + 1, "started.txt");
    FILE *f = fopen(path, "wb");
    if (f == NULL)
        return 3;
    fprintf(f, "%s\n%s\n", GetCommandLineA(), command_line);
    fclose(f);
    return 0;
}
