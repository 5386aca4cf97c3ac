/* Loads version.dll and comctl32.dll by bare name, as a program that does not
   restrict its library search would, and prints the path each was given.
   Exit code 0 when both loaded. (Under Wine the path is that of the file the
   search found even when Wine's own library was used in its place: only the
   planted library's marker file tells that it ran.) */
#include <windows.h>
#include <stdio.h>

static int load(const char *name)
{
    char path[MAX_PATH] = "";
    HMODULE module = LoadLibraryA(name);
    if (module == NULL) {
        printf("%s: not loaded (%lu)\n", name, GetLastError());
        return 0;
    }
    GetModuleFileNameA(module, path, sizeof path);
    printf("%s: %s\n", name, path);
    return 1;
}

int main(void)
{
    int ok = load("version.dll");
    ok &= load("comctl32.dll");
    return ok ? 0 : 1;
}
