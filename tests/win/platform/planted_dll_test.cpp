// A DLL planted beside setup.exe under the name of a system library must
// never be loaded. An installer is often started from a download folder
// where anyone may have left a "version.dll".
//
// The test copies setup.exe into a fresh folder beside planted copies of
// version.dll and comctl32.dll (planted_dll.c: each leaves a marker file when
// it runs), has Wine prefer a file found by the search over its own library,
// as Windows does, for the time of the test, and runs setup.exe as a debugger
// would: every library the process loads is recorded with its full path. A
// copy that setup.exe may start from its temporary folder (which holds planted
// libraries too) is covered by the marker files. As a control, a program that
// calls LoadLibraryA("version.dll") from the same folder does run the planted
// one.
//
// The libraries that the loader resolves at process start are checked too:
// Wine's user32 imports version.dll, and a static import of user32 let the
// planted version.dll run before setup.exe had executed a single line.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform.h"
#include "win_test_support.h"

// The delay-load helper and the image it reads its descriptors from.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC *entry);
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

std::string read_text(const std::string &path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buf[512];
    DWORD got;
    while (ReadFile(file, buf, sizeof buf, &got, NULL) && got > 0)
        text.append(buf, got);
    CloseHandle(file);
    return text;
}

std::string system_dir()
{
    char buf[MAX_PATH];
    UINT n = GetSystemDirectoryA(buf, sizeof buf);
    return std::string(buf, n);
}

// The file name part of a path, lower case.
std::string base_name(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return lower(slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string folder_of(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return lower(slash == std::string::npos ? std::string() : path.substr(0, slash));
}

std::string path_of_handle(HANDLE file)
{
    char buf[MAX_PATH * 2];
    DWORD n = GetFinalPathNameByHandleA(file, buf, sizeof buf, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= sizeof buf)
        return std::string();
    std::string path(buf, n);
    if (path.compare(0, 4, "\\\\?\\") == 0)
        path.erase(0, 4);
    return path;
}

struct Trace {
    bool started = false;
    bool ended_by_itself = false;     // the process exited before the deadline
    DWORD exit_code = 0;              // when it exited by itself
    std::vector<std::string> loaded;  // every library it loaded, full path
};

// Runs command in dir under the debugging interface, with the temporary
// folder set to temp_dir, until it ends or until the deadline (then it is
// terminated). Once the libraries named in wanted have all been loaded, waits
// only settle_ms more.
Trace run_traced(const std::string &command, const std::string &dir, const std::string &temp_dir,
                 DWORD deadline_ms, std::vector<std::string> wanted, DWORD settle_ms)
{
    Trace trace;

    char old_temp[MAX_PATH] = "", old_tmp[MAX_PATH] = "";
    DWORD had_temp = GetEnvironmentVariableA("TEMP", old_temp, sizeof old_temp);
    DWORD had_tmp = GetEnvironmentVariableA("TMP", old_tmp, sizeof old_tmp);
    SetEnvironmentVariableA("TEMP", temp_dir.c_str());
    SetEnvironmentVariableA("TMP", temp_dir.c_str());

    std::vector<char> cmd(command.begin(), command.end());
    cmd.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    trace.started = CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, dir.c_str(),
                                   &si, &pi) != FALSE;

    SetEnvironmentVariableA("TEMP", had_temp ? old_temp : NULL);
    SetEnvironmentVariableA("TMP", had_tmp ? old_tmp : NULL);
    if (!trace.started)
        return trace;

    DWORD start = GetTickCount();
    DWORD settle_from = 0;
    bool terminating = false;
    for (;;) {
        DEBUG_EVENT ev;
        if (!WaitForDebugEvent(&ev, 100)) {
            DWORD now = GetTickCount();
            bool settled = settle_from != 0 && now - settle_from >= settle_ms;
            if (!terminating && (now - start >= deadline_ms || settled)) {
                terminating = true;
                TerminateProcess(pi.hProcess, 1);
            }
            if (terminating && now - start >= deadline_ms + 10000)
                break;  // a process that will not end: give up
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile)
                CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile) {
                std::string path = path_of_handle(ev.u.LoadDll.hFile);
                CloseHandle(ev.u.LoadDll.hFile);
                if (path.empty())
                    break;
                trace.loaded.push_back(path);
                for (auto it = wanted.begin(); it != wanted.end(); ++it) {
                    if (*it == base_name(path)) {
                        wanted.erase(it);
                        if (wanted.empty())
                            settle_from = GetTickCount();
                        break;
                    }
                }
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            if (!terminating) {
                trace.ended_by_itself = true;
                trace.exit_code = ev.u.ExitProcess.dwExitCode;
            }
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        default:
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
        if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            break;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return trace;
}

// Processes whose executable lies in dir or below (the copy that setup.exe
// may start from its temporary folder).
std::vector<DWORD> processes_in(const std::string &dir)
{
    std::vector<DWORD> found;
    std::string prefix = lower(dir) + "\\";
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == NULL)
            continue;
        char image[MAX_PATH * 2];
        DWORD size = sizeof image;
        if (QueryFullProcessImageNameA(process, 0, image, &size) && lower(image).compare(0, prefix.size(), prefix) == 0)
            found.push_back(entry.th32ProcessID);
        CloseHandle(process);
    }
    CloseHandle(snap);
    return found;
}

// Gives processes started from dir settle_ms to load their libraries, then
// ends them. Returns how many there were.
size_t end_processes_in(const std::string &dir, DWORD settle_ms)
{
    std::vector<DWORD> found = processes_in(dir);
    if (found.empty())
        return 0;
    Sleep(settle_ms);
    found = processes_in(dir);
    for (DWORD pid : found) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (process == NULL)
            continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    return found.size();
}

void copy_or_fail(const std::string &from, const std::string &to)
{
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to << ": " << GetLastError();
}

const char *const kPlanted[] = {"version.dll", "comctl32.dll"};
// Wine prefers its own libraries to a file of the same name that the search
// finds; Windows takes the file. For the time of a test, Wine's load order
// for the planted names is "native, then builtin" in every program (the copy
// that setup.exe starts from its temporary folder has a name of its own).
// Elsewhere the search finds Wine's placeholder files in the system folder,
// for which Wine still uses its own libraries.
const char kOverrides[] = "Software\\Wine\\DllOverrides";

struct SavedOverride {
    std::string name;
    bool present;
    std::string value;
};

std::vector<SavedOverride> set_native_first()
{
    std::vector<SavedOverride> saved;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &key,
                        NULL) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open HKCU\\" << kOverrides;
        return saved;
    }
    for (const char *lib : kPlanted) {
        SavedOverride old = {std::string(lib, strlen(lib) - 4), false, ""};  // name without ".dll"
        char value[64];
        DWORD size = sizeof value, type = 0;
        if (RegQueryValueExA(key, old.name.c_str(), NULL, &type, (BYTE *)value, &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            old.present = true;
            old.value.assign(value, strnlen(value, size));
        }
        saved.push_back(old);
        const char order[] = "native,builtin";
        EXPECT_EQ(RegSetValueExA(key, old.name.c_str(), 0, REG_SZ, (const BYTE *)order, sizeof order),
                  (LONG)ERROR_SUCCESS);
    }
    RegCloseKey(key);
    return saved;
}

void restore_overrides(const std::vector<SavedOverride> &saved)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kOverrides, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const SavedOverride &old : saved) {
        if (old.present)
            RegSetValueExA(key, old.name.c_str(), 0, REG_SZ, (const BYTE *)old.value.c_str(),
                           (DWORD)old.value.size() + 1);
        else
            RegDeleteValueA(key, old.name.c_str());
    }
    RegCloseKey(key);
}

// A fresh folder holding setup.exe, the control program and the planted
// libraries; its subfolder "tmp" (the temporary folder of the runs) holds
// planted libraries too, for the copy that setup.exe may start from there.
class PlantedDllTest : public ::testing::Test {
protected:
    std::string dir, temp;
    std::vector<SavedOverride> saved_overrides;

    void SetUp() override
    {
        char base[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof base, base), 0u);
        char name[64];
        wsprintfA(name, "planted-%lu-%lu", GetCurrentProcessId(), GetTickCount());
        dir = std::string(base) + name;
        temp = dir + "\\tmp";
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL)) << dir;
        ASSERT_TRUE(CreateDirectoryA(temp.c_str(), NULL)) << temp;
        copy_or_fail(windows_path(SETUP_EXE), dir + "\\setup.exe");
        copy_or_fail(windows_path(LOAD_PLAIN_EXE), dir + "\\load_plain.exe");
        for (const char *lib : kPlanted) {
            copy_or_fail(windows_path(PLANTED_DIR) + "\\" + lib, dir + "\\" + lib);
            copy_or_fail(windows_path(PLANTED_DIR) + "\\" + lib, temp + "\\" + lib);
        }
        saved_overrides = set_native_first();
    }

    void TearDown() override
    {
        restore_overrides(saved_overrides);
        if (!dir.empty()) {
            end_processes_in(dir, 0);
            remove_tree(dir);
        }
    }

    // Libraries in the trace that came from the test folder or below.
    std::vector<std::string> loaded_from_folder(const Trace &trace)
    {
        std::vector<std::string> found;
        std::string prefix = lower(dir) + "\\";
        for (const std::string &path : trace.loaded) {
            std::string l = lower(path);
            if (l.compare(0, prefix.size(), prefix) == 0)
                found.push_back(path);
        }
        return found;
    }

    // The library came from where the system keeps its own: the system
    // folder, the side-by-side store (common controls 6), or (under Wine)
    // the folder that ntdll.dll came from.
    bool loaded_from_system(const Trace &trace, const char *lib)
    {
        char windows[MAX_PATH];
        UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        std::string sys = lower(system_dir()), sxs = lower(std::string(windows, n)) + "\\winsxs\\", builtin;
        for (const std::string &path : trace.loaded) {
            if (base_name(path) == "ntdll.dll")
                builtin = folder_of(path);
        }
        for (const std::string &path : trace.loaded) {
            std::string folder = folder_of(path);
            if (base_name(path) == lib &&
                (folder == sys || folder == builtin || lower(path).compare(0, sxs.size(), sxs) == 0))
                return true;
        }
        return false;
    }

    // The marker files of planted libraries that ran, with the programs that
    // loaded them.
    std::string markers()
    {
        std::string text;
        for (const std::string &where : {dir, temp}) {
            for (const char *lib : kPlanted) {
                std::string marker = where + "\\" + lib + ".loaded";
                if (file_exists(marker))
                    text += marker + " by " + read_text(marker);
            }
        }
        return text;
    }
};

// The control: a program that does not restrict its search loads the planted
// libraries, from its own folder and, under another name, from the temporary
// folder. If this fails, the planting below proves nothing.
TEST_F(PlantedDllTest, PlainLoadLibraryTakesThePlantedDll)
{
    Trace trace = run_traced("\"" + dir + "\\load_plain.exe\"", dir, temp, 20000, {}, 0);
    ASSERT_TRUE(trace.started) << GetLastError();
    ASSERT_TRUE(trace.ended_by_itself);
    EXPECT_EQ(trace.exit_code, 0u);
    EXPECT_EQ(loaded_from_folder(trace).size(), 2u) << joined(trace.loaded);
    std::string found = markers();
    EXPECT_NE(found.find(dir + "\\version.dll.loaded by " + dir + "\\load_plain.exe"), std::string::npos)
        << found << joined(listing(dir + "\\"));
    EXPECT_NE(found.find(dir + "\\comctl32.dll.loaded by " + dir + "\\load_plain.exe"), std::string::npos)
        << found;

    std::string copy = temp + "\\~stp1A2B.exe";
    copy_or_fail(dir + "\\load_plain.exe", copy);
    trace = run_traced("\"" + copy + "\"", temp, temp, 20000, {}, 0);
    ASSERT_TRUE(trace.ended_by_itself);
    found = markers();
    EXPECT_NE(found.find(temp + "\\version.dll.loaded by " + copy), std::string::npos) << found;
}

TEST_F(PlantedDllTest, SetupLoadsNoLibraryFromItsFolder)
{
    Trace trace = run_traced("\"" + dir + "\\setup.exe\"", dir, temp, 15000, {"version.dll", "comctl32.dll"}, 1500);
    ASSERT_TRUE(trace.started) << GetLastError();
    // A copy started from the temporary folder gets its time too.
    end_processes_in(dir, 3000);

    // setup.exe got as far as loading its libraries, from the system.
    EXPECT_TRUE(loaded_from_system(trace, "version.dll")) << joined(trace.loaded);
    EXPECT_TRUE(loaded_from_system(trace, "comctl32.dll")) << joined(trace.loaded);
    EXPECT_EQ(joined(loaded_from_folder(trace)), "");
    EXPECT_EQ(markers(), "");
}

// The libraries that setup.exe imports statically are resolved by the loader
// before the program runs, with the program's folder searched first; so are
// the libraries that those import. Only libraries that import nothing outside
// the system's known set may stand here. user32, gdi32 and comdlg32 do not
// qualify (Wine's user32 imports version.dll, comdlg32 imports comctl32.dll):
// they are delay-loaded (cmake/delay_import.cmake).
std::vector<std::string> static_imports(const std::string &exe, std::string *error)
{
    std::vector<std::string> names;
    std::string image;
    HANDLE file = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot open " + exe;
        return names;
    }
    char buf[4096];
    DWORD got;
    while (ReadFile(file, buf, sizeof buf, &got, NULL) && got > 0)
        image.append(buf, got);
    CloseHandle(file);

    auto at = [&](size_t offset, size_t size) -> const char * {
        return offset + size <= image.size() ? image.data() + offset : nullptr;
    };
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)at(0, sizeof(IMAGE_DOS_HEADER));
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) {
        *error = "no DOS header";
        return names;
    }
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS));
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
        *error = "no PE header of this architecture";
        return names;
    }
    const IMAGE_SECTION_HEADER *sections = IMAGE_FIRST_SECTION(nt);
    auto file_offset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; i++) {
            const IMAGE_SECTION_HEADER &sec = sections[i];
            DWORD size = sec.Misc.VirtualSize > sec.SizeOfRawData ? sec.Misc.VirtualSize : sec.SizeOfRawData;
            if (rva >= sec.VirtualAddress && rva < sec.VirtualAddress + size)
                return rva - sec.VirtualAddress + sec.PointerToRawData;
        }
        return (size_t)-1;
    };
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (size_t off = file_offset(dir.VirtualAddress);; off += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const IMAGE_IMPORT_DESCRIPTOR *desc = (const IMAGE_IMPORT_DESCRIPTOR *)at(off, sizeof *desc);
        if (!desc) {
            *error = "import table runs past the file";
            break;
        }
        if (desc->Name == 0)
            break;
        size_t name_off = file_offset(desc->Name);
        const char *name = at(name_off, 1);
        if (!name) {
            *error = "import name outside the file";
            break;
        }
        names.push_back(lower(std::string(name, strnlen(name, image.size() - name_off))));
    }
    return names;
}

TEST(SetupImports, OnlyLibrariesThatPullInNothingFromTheProgramFolder)
{
    std::string error;
    std::vector<std::string> names = static_imports(windows_path(SETUP_EXE), &error);
    ASSERT_EQ(error, "");
    ASSERT_FALSE(names.empty());
    const char *const allowed[] = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
    bool has_kernel32 = false;
    for (const std::string &name : names) {
        bool ok = false;
        for (const char *a : allowed)
            ok = ok || name == a;
        EXPECT_TRUE(ok) << name << " is imported statically; delay-load it (cmake/delay_import.cmake) or load it "
                                   "with load_system_libraries()";
        EXPECT_NE(name, "version.dll");
        EXPECT_NE(name, "comctl32.dll");
        has_kernel32 = has_kernel32 || name == "kernel32.dll";
    }
    EXPECT_TRUE(has_kernel32) << joined(names);
}

// A delay-loaded function that some supported Windows lacks (the rows marked
// "stand-in" in tests/imports/windows95_imports.txt) must not end the program
// through the delay-load helper's exception: the failure hook answers it with
// a stand-in that fails, and the caller's fallback runs. The helper is called
// as setup.exe's import thunks call it, with a descriptor for a library that
// is missing altogether and one for a library that lacks the function.
struct StandIn {
    std::string library;
    std::string function;
};

std::vector<StandIn> stand_in_rows()
{
    std::vector<StandIn> rows;
    std::string table = read_file(windows_path(IMPORTS_TABLE), "");
    std::string library;
    size_t at = 0;
    while (at < table.size()) {
        size_t end = table.find('\n', at);
        if (end == std::string::npos)
            end = table.size();
        std::string line = table.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line.size() > 2 && line[0] == '[' && line.back() == ']')
            library = line.substr(1, line.size() - 2);
        size_t blank = line.find(' ');
        if (blank != std::string::npos && line.compare(blank, std::string::npos, " stand-in") == 0)
            rows.push_back({library, line.substr(0, blank)});
    }
    return rows;
}

DWORD image_rva(const void *p)
{
    return (DWORD)((const char *)p - (const char *)&__ImageBase);
}

// Calls the delay-load helper for one function of one library, as an import
// thunk of setup.exe does; the result is what lands in the address table.
FARPROC delay_load(const char *library, const char *function)
{
    static char library_name[64];
    static HMODULE module;
    static FARPROC addresses[2];
    static IMAGE_THUNK_DATA names[2];
    static struct {
        WORD hint;
        char name[64];
    } by_name;
    snprintf(library_name, sizeof library_name, "%s", library);
    snprintf(by_name.name, sizeof by_name.name, "%s", function);
    module = NULL;
    addresses[0] = NULL;
    names[0].u1.AddressOfData = image_rva(&by_name);
    ImgDelayDescr descriptor = {dlattrRva, image_rva(library_name), image_rva(&module), image_rva(addresses),
                                image_rva(names), 0, 0, 0};
    FARPROC found = __delayLoadHelper2(&descriptor, &addresses[0]);
    EXPECT_EQ(addresses[0], found) << "the address table keeps the answer for later calls";
    return found;
}

TEST(DelayLoadFailure, AMissingFunctionWithAFallbackGetsAStandInThatFails)
{
    ASSERT_EQ(__pfnDliFailureHook2, &delay_load_failed) << "setup.exe's failure hook is installed";
    std::vector<StandIn> rows = stand_in_rows();
    ASSERT_FALSE(rows.empty()) << IMPORTS_TABLE;
    for (const StandIn &row : rows) {
        // The library is there but lacks the function (kernel32 has none of
        // the shell's), and the library is missing altogether.
        const std::string libraries[] = {"kernel32.dll", "setup_missing_" + row.library};
        for (const std::string &library : libraries) {
            SCOPED_TRACE(library + " " + row.function);
            FARPROC stand_in = delay_load(library.c_str(), row.function.c_str());
            ASSERT_NE(stand_in, nullptr);
            EXPECT_NE(stand_in, GetProcAddress(LoadLibraryA(row.library.c_str()), row.function.c_str()))
                << "not the real function";
            // Each stand-in reports failure (0, FALSE, NULL) whatever it is given.
            char path[MAX_PATH] = "untouched";
            typedef INT_PTR(WINAPI * FourArguments)(INT_PTR, INT_PTR, INT_PTR, INT_PTR);
            EXPECT_EQ(((FourArguments)(void *)stand_in)(0, (INT_PTR)path, CSIDL_PROGRAMS, FALSE), 0);
        }
    }
}

TEST(DelayLoadFailure, AMissingLibraryIsAnsweredWithTheProgramItselfWhichExportsNothing)
{
    DelayLoadInfo info = {};
    info.cb = sizeof info;
    info.szDll = "setup_missing_shell32.dll";
    info.dwLastError = ERROR_MOD_NOT_FOUND;
    HMODULE module = (HMODULE)(void *)delay_load_failed(dliFailLoadLib, &info);
    EXPECT_EQ(module, GetModuleHandleA(NULL));
    EXPECT_EQ(GetProcAddress(module, "SHGetSpecialFolderPathA"), nullptr);
}

TEST(DelayLoadFailure, AFunctionEverySupportedWindowsHasGetsNoStandIn)
{
    // Its absence means a broken system; the helper raises its exception.
    DelayLoadInfo info = {};
    info.cb = sizeof info;
    info.szDll = "user32.dll";
    info.dlp.fImportByName = TRUE;
    info.dlp.szProcName = "MessageBoxA";
    EXPECT_EQ(delay_load_failed(dliFailGetProc, &info), nullptr);
    info.dlp.fImportByName = FALSE;
    info.dlp.dwOrdinal = 1;
    EXPECT_EQ(delay_load_failed(dliFailGetProc, &info), nullptr);
}

} // namespace
