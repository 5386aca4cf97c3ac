// Watching the program under test and its descendants.
#include "procwatch.h"

#include <tlhelp32.h>

#include <string.h>

#include "json_text.h"
#include "transcript.h"

enum { MAX_PROCESSES = 128 };

struct Watched {
    DWORD pid;
    DWORD parent;
    HANDLE handle;  // NULL when the process could not be opened
    int running;
};

static Watched procs[MAX_PROCESSES];
static int nprocs;

// Helpers of Wine's session that a program may happen to start (the
// desktop process when it creates the first window, a console host): they
// outlive the program and are not part of it.
static int is_session_helper(const wchar_t *exe)
{
    static const wchar_t *const names[] = {L"explorer.exe", L"conhost.exe", L"services.exe",
                                           L"winedevice.exe", L"plugplay.exe", L"rpcss.exe",
                                           L"svchost.exe", L"winemenubuilder.exe"};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; i++)
        if (lstrcmpiW(exe, names[i]) == 0)
            return 1;
    return 0;
}

static void log_process(DWORD pid, DWORD parent, const wchar_t *exe)
{
    char exe8[MAX_PATH * 3];
    utf16_to_utf8((const uint16_t *)exe, (size_t)-1, exe8, sizeof exe8);
    JsonLine *j = transcript_begin("process");
    json_uint(j, "pid", pid);
    json_uint(j, "parent", parent);
    json_str(j, "exe", exe8);
    transcript_write(j);
}

static void add(DWORD pid, DWORD parent, HANDLE handle, const wchar_t *exe)
{
    if (nprocs >= MAX_PROCESSES)
        return;
    Watched *p = &procs[nprocs++];
    p->pid = pid;
    p->parent = parent;
    p->handle = handle;
    p->running = 1;
    log_process(pid, parent, exe);
}

int procwatch_start(const wchar_t *command_line, const wchar_t *program, char *err, size_t err_size)
{
    static wchar_t cmd[32768];
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    lstrcpynW(cmd, command_line, sizeof cmd / sizeof cmd[0]);
    if (!CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        char cmd8[1024];
        utf16_to_utf8((const uint16_t *)command_line, (size_t)-1, cmd8, sizeof cmd8);
        snprintf(err, err_size, "cannot start %s (error %lu)", cmd8, (unsigned long)GetLastError());
        return 0;
    }
    CloseHandle(pi.hThread);
    add(pi.dwProcessId, GetCurrentProcessId(), pi.hProcess, program);
    return 1;
}

DWORD procwatch_root_pid(void)
{
    return nprocs ? procs[0].pid : 0;
}

int procwatch_is_watched(DWORD pid)
{
    for (int i = 0; i < nprocs; i++)
        if (procs[i].pid == pid)
            return 1;
    return 0;
}

static void note_exit(Watched *p)
{
    DWORD code = 0;
    int have = p->handle && GetExitCodeProcess(p->handle, &code);
    p->running = 0;
    JsonLine *j = transcript_begin("exit");
    json_uint(j, "pid", p->pid);
    if (have)
        json_uint(j, "code", code);
    else
        json_null(j, "code");
    transcript_write(j);
}

// Adds processes whose parent is watched. Returns how many were added, or
// were seen but not added yet: a process that has only just been created has
// no image name in the snapshot until its program is mapped, and it is added
// once it has one (a later poll), so that every "process" line names its
// program.
static int find_descendants(void)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return 0;
    int added = 0, unnamed = 0;
    PROCESSENTRY32W pe;
    pe.dwSize = sizeof pe;
    // Repeat until no more are found: a grandchild may come before its
    // parent in the list.
    for (int again = 1; again;) {
        again = 0;
        for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
            if (procwatch_is_watched(pe.th32ProcessID) || !procwatch_is_watched(pe.th32ParentProcessID) ||
                pe.th32ProcessID == GetCurrentProcessId() || is_session_helper(pe.szExeFile))
                continue;
            HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                                   pe.th32ProcessID);
            // Still starting: its name comes with a later snapshot. One that
            // ended without ever having a name is taken as it is.
            if (pe.szExeFile[0] == 0 && h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT) {
                CloseHandle(h);
                unnamed++;
                continue;
            }
            add(pe.th32ProcessID, pe.th32ParentProcessID, h, pe.szExeFile);
            if (!h)
                procs[nprocs - 1].running = 0;  // already gone or not ours to open
            added++;
            again = 1;
        }
    }
    CloseHandle(snap);
    return added + unnamed;
}

int procwatch_poll(void)
{
    // Liveness first, then the snapshot: a process that ended after
    // starting a child had started it before it ended, so the snapshot
    // taken afterwards shows the child.
    int running = 0;
    for (int i = 0; i < nprocs; i++) {
        Watched *p = &procs[i];
        if (!p->running)
            continue;
        if (p->handle && WaitForSingleObject(p->handle, 0) == WAIT_TIMEOUT)
            running++;
        else
            note_exit(p);
    }
    int added = find_descendants();
    return running > 0 || added > 0;
}

void procwatch_kill_all(void)
{
    for (int round = 0; round < 3; round++) {
        find_descendants();
        int killed = 0;
        for (int i = 0; i < nprocs; i++) {
            Watched *p = &procs[i];
            if (p->running && p->handle && WaitForSingleObject(p->handle, 0) == WAIT_TIMEOUT) {
                TerminateProcess(p->handle, 255);
                killed++;
            }
        }
        for (int i = 0; i < nprocs; i++)
            if (procs[i].running && procs[i].handle)
                WaitForSingleObject(procs[i].handle, 2000);
        procwatch_poll();
        if (!killed)
            break;
    }
}
