// Entry point of setup.exe. The process exit code is always 0.
#include <windows.h>

#include "startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    (void)previous;
    setup_main(instance, command_line, show);
    return 0;
}
