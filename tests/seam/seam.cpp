// Test version of the platform seam: the sys_<name> functions of
// include/platform_calls.def, each consulting the injection table first.
#include "seam.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <type_traits>

namespace {

enum { SLOTS_PER_CALL = 8 };

struct Injection {
    int used;
    void *hook;            // non-null: call this instead
    long long result;      // otherwise: return this
    DWORD last_error;      // after SetLastError(last_error)
    unsigned first;        // first call covered (1-based)
    unsigned times;        // calls covered, 0 for ever
};

unsigned counts[SEAM_COUNT];
Injection table[SEAM_COUNT][SLOTS_PER_CALL];

const char *const call_names[SEAM_COUNT] = {
#define SYS_CALL(ret, name, params, args, real) #name,
#include "platform_calls.def"
#undef SYS_CALL
};

void add_injection(SeamCall call, unsigned nth, Injection injection)
{
    if ((unsigned)call >= SEAM_COUNT) {
        fprintf(stderr, "seam: call number %d out of range\n", (int)call);
        abort();
    }
    injection.first = nth == SEAM_NEXT ? counts[call] + 1 : nth;
    if (injection.times != 0 && injection.first + injection.times - 1 <= counts[call]) {
        fprintf(stderr, "seam: injection for %s covers calls %u..%u, but %u calls are already made\n",
                call_names[call], injection.first, injection.first + injection.times - 1, counts[call]);
        abort();
    }
    for (unsigned i = 0; i < SLOTS_PER_CALL; i++) {
        if (!table[call][i].used) {
            table[call][i] = injection;
            table[call][i].used = 1;
            return;
        }
    }
    fprintf(stderr, "seam: more than %d injections for %s\n", SLOTS_PER_CALL, call_names[call]);
    abort();
}

// Counts the call and returns the injection that covers it, if any.
const Injection *take(SeamCall call)
{
    unsigned n = ++counts[call];
    const Injection *found = NULL;
    for (unsigned i = 0; i < SLOTS_PER_CALL; i++) {
        const Injection *inj = &table[call][i];
        if (!inj->used || n < inj->first)
            continue;
        if (inj->times != 0 && n - inj->first >= inj->times)
            continue;
        found = inj;  // the one set last wins
    }
    return found;
}

template <typename T> T result_as(long long value)
{
    if constexpr (std::is_void_v<T>)
        return;
    else if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(static_cast<intptr_t>(value));
    else
        return static_cast<T>(value);
}

} // namespace

void seam_reset(void)
{
    for (unsigned c = 0; c < SEAM_COUNT; c++) {
        counts[c] = 0;
        for (unsigned i = 0; i < SLOTS_PER_CALL; i++)
            table[c][i] = Injection();
    }
}

void seam_fail(SeamCall call, long long result, DWORD last_error, unsigned nth, unsigned times)
{
    Injection inj = Injection();
    inj.result = result;
    inj.last_error = last_error;
    inj.times = times;
    add_injection(call, nth, inj);
}

void seam_hook(SeamCall call, void *replacement, unsigned nth, unsigned times)
{
    if (replacement == NULL) {
        fprintf(stderr, "seam: null hook for %s\n", call_names[call]);
        abort();
    }
    Injection inj = Injection();
    inj.hook = replacement;
    inj.times = times;
    add_injection(call, nth, inj);
}

int seam_failure_of(SeamCall call, SeamFailure *failure)
{
    // Where the platform documents several errors, the one a locked-down
    // or full machine gives: access denied, disk full, no memory.
    const long long bad_handle = (long long)(intptr_t)INVALID_HANDLE_VALUE;
    SeamFailure f = {0, ERROR_ACCESS_DENIED};
    switch (call) {
    case SEAM_GetVersion:
    case SEAM_GetTickCount:
    case SEAM_CommDlgExtendedError:
    case SEAM_COUNT:
        return 0;
    case SEAM_GetWindowsDirectoryA:
    case SEAM_GetSystemDirectoryA:
    case SEAM_GetModuleFileNameA:
    case SEAM_GetTempPathA:
    case SEAM_GetCurrentDirectoryA:
    case SEAM_SetCurrentDirectoryA:
    case SEAM_GetTempFileNameA:
    case SEAM_DeleteFileA:
    case SEAM_MoveFileExA:
    case SEAM_CreateDirectoryA:
    case SEAM_RemoveDirectoryA:
    case SEAM_SetFileAttributesA:
    case SEAM_CloseHandle:
    case SEAM_WritePrivateProfileStringA:
        break;
    case SEAM_GetDriveTypeA:
        f.result = DRIVE_UNKNOWN;
        f.last_error = 0;
        break;
    case SEAM_CopyFileA:
    case SEAM_WriteFile:
        f.last_error = ERROR_DISK_FULL;
        break;
    case SEAM_GetFileAttributesA:
        f.result = INVALID_FILE_ATTRIBUTES;
        break;
    case SEAM_GetDiskFreeSpaceA:
        f.last_error = ERROR_NOT_READY;
        break;
    case SEAM_CreateFileA:
        f.result = bad_handle;
        f.last_error = ERROR_SHARING_VIOLATION;
        break;
    case SEAM_GetFileType:
        f.result = FILE_TYPE_UNKNOWN;
        f.last_error = ERROR_INVALID_HANDLE;
        break;
    case SEAM_ReadFile:
        f.last_error = ERROR_READ_FAULT;
        break;
    case SEAM_SetFilePointer:
        f.result = INVALID_SET_FILE_POINTER;
        f.last_error = ERROR_NEGATIVE_SEEK;
        break;
    case SEAM_GetPrivateProfileStringA:
    case SEAM_GetPrivateProfileSectionA:
        // Nothing read: the length 0 and ERROR_FILE_NOT_FOUND.
        f.last_error = ERROR_FILE_NOT_FOUND;
        break;
    case SEAM_GetPrivateProfileIntA:
        f.last_error = ERROR_FILE_NOT_FOUND;
        break;
    case SEAM_RegOpenKeyExA:
    case SEAM_RegCreateKeyExA:
    case SEAM_RegQueryValueExA:
    case SEAM_RegSetValueExA:
    case SEAM_RegDeleteValueA:
    case SEAM_RegDeleteKeyA:
    case SEAM_RegEnumKeyExA:
    case SEAM_RegEnumValueA:
    case SEAM_RegCloseKey:
    case SEAM_RegQueryInfoKeyA:
        f.result = ERROR_ACCESS_DENIED;
        f.last_error = 0;
        break;
    case SEAM_VerFindFileA:
        f.result = VFF_BUFFTOOSMALL;
        f.last_error = 0;
        break;
    case SEAM_VerInstallFileA:
        f.result = VIF_CANNOTREADSRC;
        f.last_error = 0;
        break;
    case SEAM_WinExec:
        f.result = ERROR_FILE_NOT_FOUND;  // below 32: failed
        f.last_error = ERROR_FILE_NOT_FOUND;
        break;
    case SEAM_CreateProcessA:
        f.last_error = ERROR_FILE_NOT_FOUND;
        break;
    case SEAM_DdeInitializeA:
    case SEAM_DdeInitializeW:
        f.result = DMLERR_SYS_ERROR;
        f.last_error = 0;
        break;
    case SEAM_DdeCreateStringHandleA:
    case SEAM_DdeCreateStringHandleW:
    case SEAM_DdeFreeStringHandle:
    case SEAM_DdeDisconnect:
    case SEAM_DdeUninitialize:
        f.last_error = DMLERR_SYS_ERROR;
        break;
    case SEAM_MultiByteToWideChar:
        // A system without the tables of the code page asked for.
        f.last_error = ERROR_INVALID_PARAMETER;
        break;
    case SEAM_DdeConnect:
        f.last_error = DMLERR_NO_CONV_ESTABLISHED;
        break;
    case SEAM_DdeClientTransaction:
        f.last_error = DMLERR_EXECACKTIMEOUT;
        break;
    case SEAM_GlobalAlloc:
    case SEAM_GlobalReAlloc:
        f.last_error = ERROR_NOT_ENOUGH_MEMORY;
        break;
    case SEAM_GlobalLock:
        f.last_error = ERROR_DISCARDED;
        break;
    case SEAM_GlobalUnlock:
        f.last_error = ERROR_NOT_LOCKED;
        break;
    case SEAM_GlobalFree:
        f.result = 1;  // the handle back: not freed
        f.last_error = ERROR_INVALID_HANDLE;
        break;
    case SEAM_GetSaveFileNameA:
    case SEAM_MessageBoxA:
    case SEAM_SHGetSpecialFolderPathA:
        f.last_error = 0;
        break;
    case SEAM_SetWindowTextW:
        // Windows 95/98 have the wide call only as a stub that fails so.
        f.last_error = ERROR_CALL_NOT_IMPLEMENTED;
        break;
    case SEAM_WideCharToMultiByte:
        // Windows 95 knows no UTF-8 code page.
        f.last_error = ERROR_INVALID_PARAMETER;
        break;
    case SEAM_GetFullPathNameA:
    case SEAM_GetShortPathNameA:
    case SEAM_CreateMutexA:
    case SEAM_GetExitCodeProcess:
        break;
    case SEAM_WaitForSingleObject:
        f.result = WAIT_FAILED;
        f.last_error = ERROR_INVALID_HANDLE;
        break;
    }
    *failure = f;
    return 1;
}

void seam_fail_at(SeamCall call, unsigned nth, unsigned times)
{
    SeamFailure f;
    if (!seam_failure_of(call, &f)) {
        fprintf(stderr, "seam: %s cannot fail\n", seam_call_name(call));
        abort();
    }
    seam_fail(call, f.result, f.last_error, nth, times);
}

const char *seam_call_name(SeamCall call)
{
    return (unsigned)call < SEAM_COUNT ? call_names[call] : "?";
}

unsigned seam_count(SeamCall call)
{
    return (unsigned)call < SEAM_COUNT ? counts[call] : 0;
}

#define SYS_CALL(ret, name, params, args, real)                                 \
    ret sys_##name params                                                      \
    {                                                                          \
        const Injection *inj = take(SEAM_##name);                              \
        if (inj != NULL && inj->hook != NULL)                                  \
            return reinterpret_cast<SeamFn<SEAM_##name>::type>(inj->hook) args; \
        if (inj != NULL) {                                                     \
            SetLastError(inj->last_error);                                     \
            return result_as<ret>(inj->result);                                \
        }                                                                      \
        return real args;                                                      \
    }
#include "platform_calls.def"
#undef SYS_CALL
