// Entry point of setup.exe. The program starts here directly, without the
// C run-time's start-up code: it needs none of it (no constructors, no
// arguments vector, no thread-local data), and leaving it out keeps the
// program small.
#include <windows.h>

#include "startup.h"

extern "C" void WINAPI setup_entry(void)
{
    // The tail is cut up in place by the command-line parser: work on a copy.
    static char tail[32768];
    const char *given = command_line_tail(GetCommandLineA());
    lstrcpynA(tail, given, sizeof tail);
    ExitProcess(setup_main(GetModuleHandleA(NULL), tail));
}
