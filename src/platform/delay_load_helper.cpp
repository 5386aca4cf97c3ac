// The delay-load helper: every import thunk of a delay-loaded library
// (cmake/delay_import.cmake) calls it on the function's first call. It loads
// the library, looks the function up, keeps the address in the thunk's slot
// of the address table and returns it; what is missing goes to the failure
// hook (delay_load_failed).
//
// The program's own rather than the toolchain's: that one brings unwind
// tables that nothing here reads, and on i686 they took the 512 bytes that
// keep setup.exe within 64 KiB.
#include <windows.h>

#include <delayimp.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

static void *from_rva(DWORD rva)
{
    return (char *)&__ImageBase + rva;
}

// As the platform's helper ends a failed delay load: an exception whose
// argument is the load's description.
static FARPROC fail(DWORD error, DelayLoadInfo *info)
{
    ULONG_PTR argument = (ULONG_PTR)info;
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, error), 0, 1, &argument);
    return NULL;
}

static FARPROC ask_hook(unsigned notice, DelayLoadInfo *info)
{
    return __pfnDliFailureHook2 ? __pfnDliFailureHook2(notice, info) : NULL;
}

extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC *slot)
{
    DelayLoadInfo info = {};
    info.cb = sizeof info;
    info.pidd = descriptor;
    info.ppfn = slot;
    info.szDll = (LPCSTR)from_rva(descriptor->rvaDLLName);

    // The slot's place in the address table is the function's place in the
    // name table.
    FARPROC *table = (FARPROC *)from_rva(descriptor->rvaIAT);
    const IMAGE_THUNK_DATA *names = (const IMAGE_THUNK_DATA *)from_rva(descriptor->rvaINT);
    const IMAGE_THUNK_DATA *name = names + (slot - table);
    info.dlp.fImportByName = !IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal);
    if (info.dlp.fImportByName)
        info.dlp.szProcName = (LPCSTR)((IMAGE_IMPORT_BY_NAME *)from_rva((DWORD)name->u1.AddressOfData))->Name;
    else
        info.dlp.dwOrdinal = (DWORD)IMAGE_ORDINAL(name->u1.Ordinal);

    HMODULE *kept = (HMODULE *)from_rva(descriptor->rvaHmod);
    HMODULE module = *kept;
    if (!module) {
        module = LoadLibraryA(info.szDll);
        if (!module) {
            info.dwLastError = GetLastError();
            module = (HMODULE)(void *)ask_hook(dliFailLoadLib, &info);
            if (!module)
                return fail(ERROR_MOD_NOT_FOUND, &info);
        }
        // The program has one thread: no other can have loaded it meanwhile.
        *kept = module;
    }
    info.hmodCur = module;

    FARPROC function =
        GetProcAddress(module, info.dlp.fImportByName ? info.dlp.szProcName : (LPCSTR)(ULONG_PTR)info.dlp.dwOrdinal);
    if (!function) {
        info.dwLastError = GetLastError();
        function = ask_hook(dliFailGetProc, &info);
        if (!function)
            return fail(ERROR_PROC_NOT_FOUND, &info);
    }
    *slot = function;
    return function;
}
