// The Windows side of bench/install_bench: times a program's windows, and
// the platform's own copy loops that setup.exe is measured against.
//
//   bench_timer.exe run SECONDS PROGRAM [ARGS...]
//       Starts PROGRAM and looks at the windows of its main thread every
//       POLL_MS. A dialog page is answered with its default button as soon
//       as it is shown; a message box with OK. Prints one line per event, in
//       milliseconds since the program was started:
//           show MS CAPTION      a window became visible
//           click MS CAPTION     its default button was pressed
//           exit MS              the program ended
//   bench_timer.exe verloop SOURCE_DIR DEST_DIR COUNT
//       VerFindFileA and VerInstallFileA over f00001.dat ... (as the file
//       step calls them); prints "verloop MS".
//   bench_timer.exe copyloop SOURCE_DIR DEST_DIR COUNT
//       CopyFileA over the same files; prints "copyloop MS".
//   bench_timer.exe box
//       A trivial program: one message box, for the start latency.
//
// Folders are given with their trailing backslash. Captions are printed in
// UTF-8.
#include <windows.h>

#include <mmsystem.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

enum { POLL_MS = 2 };

LARGE_INTEGER frequency, started;

long long elapsed_ms()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (now.QuadPart - started.QuadPart) * 1000 / frequency.QuadPart;
}

void start_clock()
{
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
}

void print_caption(const char *what, long long ms, HWND window)
{
    wchar_t caption[256] = L"";
    char utf8[768] = "";
    GetWindowTextW(window, caption, 256);
    WideCharToMultiByte(CP_UTF8, 0, caption, -1, utf8, sizeof utf8, NULL, NULL);
    printf("%s %lld %s\n", what, ms, utf8);
    fflush(stdout);
}

// The windows seen so far, so that each is reported and answered once.
enum { MAX_SEEN = 64 };
HWND seen[MAX_SEEN];
int nseen;
DWORD watched_pid;

bool already_seen(HWND window)
{
    for (int i = 0; i < nseen; i++)
        if (seen[i] == window)
            return true;
    if (nseen < MAX_SEEN)
        seen[nseen++] = window;
    return false;
}

// A window of the program became visible: a dialog page is answered with
// its default button, a message box with OK (both IDOK here).
void answer(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != watched_pid || !IsWindowVisible(window))
        return;
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || already_seen(window))
        return;
    long long ms = elapsed_ms();
    print_caption("show", ms, window);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(window, IDOK));
    print_caption("click", elapsed_ms(), window);
}

BOOL CALLBACK visit(HWND window, LPARAM)
{
    answer(window);
    return TRUE;
}

int run(int seconds, int argc, wchar_t **argv)
{
    static wchar_t command[32768];
    command[0] = 0;
    // Arguments with a blank are quoted; the others stay as they are (the
    // program splits its own command line and knows no quotes).
    for (int i = 0; i < argc; i++) {
        bool quote = wcschr(argv[i], L' ') != NULL;
        if (i)
            wcscat(command, L" ");
        if (quote)
            wcscat(command, L"\"");
        wcscat(command, argv[i]);
        if (quote)
            wcscat(command, L"\"");
    }
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    start_clock();
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "bench_timer: cannot start (error %lu)\n", GetLastError());
        return 2;
    }
    CloseHandle(pi.hThread);
    watched_pid = pi.dwProcessId;
    // The program makes every window on its main thread: only that thread's
    // windows are looked at, every POLL_MS, so that the looking costs the
    // program little.
    timeBeginPeriod(1);
    while (WaitForSingleObject(pi.hProcess, POLL_MS) == WAIT_TIMEOUT) {
        EnumThreadWindows(pi.dwThreadId, visit, 0);
        if (elapsed_ms() > seconds * 1000LL) {
            TerminateProcess(pi.hProcess, 255);
            fprintf(stderr, "bench_timer: time limit passed\n");
            return 3;
        }
    }
    timeEndPeriod(1);
    printf("exit %lld\n", elapsed_ms());
    CloseHandle(pi.hProcess);
    return 0;
}

typedef DWORD(WINAPI *VerFindFileFn)(DWORD, LPCSTR, LPCSTR, LPCSTR, LPSTR, PUINT, LPSTR, PUINT);
typedef DWORD(WINAPI *VerInstallFileFn)(DWORD, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPSTR, PUINT);

int loop(bool versioned, const char *source, const char *dest, int count)
{
    HMODULE version = LoadLibraryA("version.dll");
    VerFindFileFn find = (VerFindFileFn)(void *)GetProcAddress(version, "VerFindFileA");
    VerInstallFileFn install = (VerInstallFileFn)(void *)GetProcAddress(version, "VerInstallFileA");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    start_clock();
    for (int n = 1; n <= count; n++) {
        char name[32];
        snprintf(name, sizeof name, "f%05d.dat", n);
        if (!versioned) {
            char from[MAX_PATH], to[MAX_PATH];
            snprintf(from, sizeof from, "%s%s", source, name);
            snprintf(to, sizeof to, "%s%s", dest, name);
            if (!CopyFileA(from, to, FALSE))
                return 1;
            continue;
        }
        char current[MAX_PATH] = "", target[MAX_PATH] = "", temp[MAX_PATH] = "";
        UINT current_len = sizeof current, target_len = sizeof target, temp_len = sizeof temp;
        find(0, name, windows, dest, current, &current_len, target, &target_len);
        DWORD result = install(VIFF_DONTDELETEOLD, name, name, source, target, current, temp, &temp_len);
        if (result & ~(VIF_TEMPFILE | VIF_MISMATCH | VIF_SRCOLD))
            return 1;
    }
    printf("%s %lld\n", versioned ? "verloop" : "copyloop", elapsed_ms());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc >= 4 && wcscmp(argv[1], L"run") == 0)
        return run(_wtoi(argv[2]), argc - 3, argv + 3);
    if (argc == 5 && (wcscmp(argv[1], L"verloop") == 0 || wcscmp(argv[1], L"copyloop") == 0)) {
        char source[MAX_PATH], dest[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, argv[2], -1, source, sizeof source, NULL, NULL);
        WideCharToMultiByte(CP_ACP, 0, argv[3], -1, dest, sizeof dest, NULL, NULL);
        return loop(wcscmp(argv[1], L"verloop") == 0, source, dest, _wtoi(argv[4]));
    }
    if (argc == 2 && wcscmp(argv[1], L"box") == 0) {
        MessageBoxA(NULL, "ready", "bench", MB_OK);
        return 0;
    }
    fprintf(stderr, "usage: bench_timer.exe run SECONDS PROGRAM [ARGS...] | verloop|copyloop SRC DST COUNT | box\n");
    return 2;
}
