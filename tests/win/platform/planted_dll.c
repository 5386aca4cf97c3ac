/* A DLL to plant beside a program under the name of a system library. When
   any process loads it, it leaves a marker file beside itself,
   "<its own file name>.loaded", holding the path of that process's
   executable. Every export does nothing and returns 0. */
#include <windows.h>

int planted_stub(void)
{
    return 0;
}

static void leave_marker(HINSTANCE self)
{
    char path[MAX_PATH + 16];
    char exe[MAX_PATH];
    DWORD len = GetModuleFileNameA(self, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return;
    lstrcatA(path, ".loaded");
    DWORD exe_len = GetModuleFileNameA(NULL, exe, sizeof exe);
    if (exe_len >= sizeof exe)
        exe_len = 0;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD done;
    WriteFile(file, exe, exe_len, &done, NULL);
    WriteFile(file, "\r\n", 2, &done, NULL);
    CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        leave_marker(self);
    return TRUE;
}
