// Entry point of setup.exe.
#include "platform.h"
#include "resource_ids.h"
#include "setup.h"

static INT_PTR CALLBACK start_page_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    (void)previous;
    (void)command_line;
    (void)show;
    session.instance = instance;
    load_system_libraries();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_START), NULL, start_page_proc, 0);
    return 0;
}
