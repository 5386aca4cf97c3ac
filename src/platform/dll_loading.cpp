// Loading of the libraries that setup.exe does not import statically.
//
// setup.exe imports statically only kernel32 and advapi32, which
// pull in nothing but the system's known libraries. user32, gdi32 and
// comdlg32 are delay-loaded (cmake/delay_import.cmake): their first call
// loads them, and with them what they import (Wine's user32 imports
// version.dll), under the search order set here. Everything else (the
// version installer, the common controls) is loaded here, from the system
// folder only: an installer is often started from a download folder, where a
// planted DLL of the same name must never be picked up.
//
// The program also starts on Windows 95 and NT 4.0: a platform call that came
// later is fetched here with GetProcAddress and skipped where it is missing,
// and a delay-loaded one that is missing fails through delay_load_failed.
#include "platform.h"

#include <commctrl.h>
#include <string.h>

#include "text.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef BOOL(WINAPI *SetDllDirectoryFn)(LPCSTR);
typedef BOOL(WINAPI *SetDefaultDllDirectoriesFn)(DWORD);
typedef DWORD(WINAPI *VerFindFileFn)(DWORD, LPCSTR, LPCSTR, LPCSTR, LPSTR, PUINT, LPSTR, PUINT);
typedef DWORD(WINAPI *VerInstallFileFn)(DWORD, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPSTR, PUINT);
typedef BOOL(WINAPI *InitCommonControlsExFn)(const INITCOMMONCONTROLSEX *);
typedef void(WINAPI *InitCommonControlsFn)(void);

static int system_search_only;
static VerFindFileFn ver_find_file;
static VerInstallFileFn ver_install_file;

// Where the platform can restrict the search to the system folder, do so for
// the whole process (this also covers libraries that system libraries load
// later); elsewhere name the system folder in full.
static HMODULE load_system_library(const char *name)
{
    if (system_search_only)
        return LoadLibraryA(name);

    char path[MAX_PATH];
    UINT len = GetSystemDirectoryA(path, sizeof path);
    if (len == 0 || len >= sizeof path)
        return NULL;
    text_append(path, sizeof path, "\\");
    text_append(path, sizeof path, name);
    return LoadLibraryA(path);
}

// An entry point of kernel32 that not every version has; NULL where missing.
static FARPROC kernel_entry(const char *name)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel ? GetProcAddress(kernel, name) : NULL;
}

int load_system_libraries(void)
{
    // Drop the current folder from the search order (Windows XP SP1 and
    // later; older versions have no such call and keep their order).
    SetDllDirectoryFn set_dll_directory = (SetDllDirectoryFn)(void *)kernel_entry("SetDllDirectoryA");
    if (set_dll_directory)
        set_dll_directory("");

    SetDefaultDllDirectoriesFn set_default =
        (SetDefaultDllDirectoriesFn)(void *)kernel_entry("SetDefaultDllDirectories");
    if (set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32))
        system_search_only = 1;

    int ok = 1;
    HMODULE version = load_system_library("version.dll");
    if (version) {
        ver_find_file = (VerFindFileFn)(void *)GetProcAddress(version, "VerFindFileA");
        ver_install_file = (VerInstallFileFn)(void *)GetProcAddress(version, "VerInstallFileA");
    }
    if (!ver_find_file || !ver_install_file)
        ok = 0;

    // The progress bar needs the common controls registered. The common
    // controls of Windows 95 and NT 4.0 have only InitCommonControls, which
    // registers the progress bar among others; later ones (version 6 in
    // particular) want InitCommonControlsEx.
    HMODULE controls = load_system_library("comctl32.dll");
    if (!controls)
        return 0;
    InitCommonControlsExFn init = (InitCommonControlsExFn)(void *)GetProcAddress(controls, "InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    if (init)
        return init(&icc) ? ok : 0;
    InitCommonControlsFn init_all = (InitCommonControlsFn)(void *)GetProcAddress(controls, "InitCommonControls");
    if (!init_all)
        return 0;
    init_all();
    return ok;
}

DWORD WINAPI real_VerFindFileA(DWORD flags, LPCSTR name, LPCSTR win_dir, LPCSTR app_dir, LPSTR cur_dir,
                               PUINT cur_len, LPSTR dest_dir, PUINT dest_len)
{
    if (!ver_find_file)
        return VFF_BUFFTOOSMALL;
    return ver_find_file(flags, name, win_dir, app_dir, cur_dir, cur_len, dest_dir, dest_len);
}

DWORD WINAPI real_VerInstallFileA(DWORD flags, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir,
                                  LPCSTR dst_dir, LPCSTR cur_dir, LPSTR tmp_name, PUINT tmp_len)
{
    if (!ver_install_file)
        return VIF_OUTOFMEMORY;
    return ver_install_file(flags, src_name, dst_name, src_dir, dst_dir, cur_dir, tmp_name, tmp_len);
}

// Delay-loaded functions that some supported version lacks, each with a
// stand-in that fails as the function documents, so that the caller's own
// fallback runs. SHGetSpecialFolderPathA came with a later shell than
// Windows 95's and NT 4.0's; its caller then takes the Windows folder's
// Start menu.
static BOOL WINAPI no_special_folder_path(HWND, LPSTR, int, BOOL)
{
    return FALSE;
}

static const struct {
    const char *name;
    FARPROC stand_in;
} stand_ins[] = {
    {"SHGetSpecialFolderPathA", (FARPROC)(void *)no_special_folder_path},
};

FARPROC WINAPI delay_load_failed(unsigned notice, PDelayLoadInfo info)
{
    // A library that cannot be loaded is answered with the program's own
    // module, which exports nothing: each of its functions then comes back
    // here as missing.
    if (notice == dliFailLoadLib)
        return (FARPROC)(void *)GetModuleHandleA(NULL);
    if (notice == dliFailGetProc && info->dlp.fImportByName)
        for (size_t i = 0; i < sizeof stand_ins / sizeof stand_ins[0]; i++)
            if (strcmp(info->dlp.szProcName, stand_ins[i].name) == 0)
                return stand_ins[i].stand_in;
    // Anything else exists on every supported version; the helper raises
    // its exception as before.
    return NULL;
}

// The delay-load helper calls this hook when a library or function is missing.
PfnDliHook __pfnDliFailureHook2 = delay_load_failed;
