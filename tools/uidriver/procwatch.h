// The processes the UI driver watches: the program it started and every
// process started by one of them (found by parent id in process snapshots).
#pragma once

#include <windows.h>

#include <stddef.h>

// Starts the program (command line as CreateProcessW takes it; program is
// its file, for the transcript). Returns 1, or 0 with a message in err.
int procwatch_start(const wchar_t *command_line, const wchar_t *program, char *err, size_t err_size);

// Notes which watched processes have ended (transcript "exit" lines) and
// adds new descendants ("process" lines). Returns 1 while any watched
// process runs or a new one was found in this poll, 0 when all have ended.
int procwatch_poll(void);

// 1 when the process is watched (running or ended).
int procwatch_is_watched(DWORD pid);

// Process id of the program started first.
DWORD procwatch_root_pid(void);

// Ends every watched process and its descendants; waits briefly for them.
void procwatch_kill_all(void);
