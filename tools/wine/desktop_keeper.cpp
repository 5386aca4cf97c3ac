// Keeps the desktop of a Wine test session open. Wine closes a desktop, and
// ends its desktop process (explorer.exe), shortly after the last program
// that uses it has ended; the next program then starts explorer.exe again and
// waits for it. Between two tests that start may race with the closing, or
// on a busy machine outlast user32's wait, and the test's first window fails
// to be created. While this program runs the desktop has a user, so it stays.
//
//   desktop_keeper.exe READY_FILE
//
// Writes READY_FILE once the desktop window exists, then waits until the
// session ends (wineserver -k). Started by winerun --start.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR command_line, int)
{
    // The first call starts the desktop process; a call that finds none
    // (the start outlasted user32's wait) is simply made again.
    while (GetDesktopWindow() == NULL)
        Sleep(100);
    if (command_line[0] != L'\0') {
        HANDLE ready = CreateFileW(command_line, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (ready != INVALID_HANDLE_VALUE)
            CloseHandle(ready);
    }
    for (;;)
        Sleep(INFINITE);
}
