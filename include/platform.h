// The seam over the platform: the program calls every service that can fail
// in a way a user must hear about through sys_<name> (same parameters and
// result as the Windows call). The product links plain forwarders; test
// builds link a version that can inject failures.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <ddeml.h>
#include <shlobj.h>
#include <delayimp.h>

#define SYS_CALL(ret, name, params, args, real) ret sys_##name params;
#include "platform_calls.def"
#undef SYS_CALL

// 1 when the last failed call said its file or folder is not there; any
// other failure (access denied, a drive not ready) leaves the question open.
inline int path_not_found(void)
{
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Libraries that are not taken from the system folder by the loader itself
// are loaded by full path from there, never from the program's folder
// (a download folder may hold a planted DLL). Call once, first thing in
// WinMain: user32, gdi32 and comdlg32 are delay-loaded at their first call and
// must not be reached before the search is restricted. Returns 1 when every
// library and entry point was found.
int load_system_libraries(void);

// The version installer's entry points, reached through load_system_libraries.
DWORD WINAPI real_VerFindFileA(DWORD flags, LPCSTR name, LPCSTR win_dir, LPCSTR app_dir, LPSTR cur_dir,
                               PUINT cur_len, LPSTR dest_dir, PUINT dest_len);
DWORD WINAPI real_VerInstallFileA(DWORD flags, LPCSTR src_name, LPCSTR dst_name, LPCSTR src_dir,
                                  LPCSTR dst_dir, LPCSTR cur_dir, LPSTR tmp_name, PUINT tmp_len);

// The failure hook of the delay-loaded libraries (cmake/delay_import.cmake):
// for a missing function that a supported version of Windows may lack, a
// stand-in that fails as the function documents; for a library that cannot
// be loaded, the program's own module, so that its functions come back here
// one by one. NULL for anything else (the helper then raises its exception).
FARPROC WINAPI delay_load_failed(unsigned notice, PDelayLoadInfo info);
