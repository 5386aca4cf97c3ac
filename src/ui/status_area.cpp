// The status area of the progress dialog: two labels, two lines, the icon
// and the bar.
#include <windows.h>

#include <commctrl.h>
#include <stdarg.h>

#include "resource_ids.h"
#include "setup.h"
#include "ui.h"

void prepare_status_area(HWND dialog)
{
    UINT upper = LBL_SOURCE_FILE, lower = LBL_TARGET_FILE;
    if (session.run_mode == RunModeUninstall) {
        upper = CAP_WORKING;
        lower = LBL_SPACE;
    }
    char text[STATUS_TEXT_SIZE];

    // The run that follows keeps the thread until it ends, so the dialog
    // must be visible, labelled and its icon drawn before it starts.
    ShowWindow(dialog, SW_SHOW);
    load_catalogue_text(upper, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_SOURCE_LABEL, text);
    load_catalogue_text(lower, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_TARGET_LABEL, text);

    HWND icon_control = GetDlgItem(dialog, IDC_PROGRESS_ICON);
    HICON icon = LoadIconA(session.instance, MAKEINTRESOURCEA(IDI_SETUP));
    if (icon_control && icon) {
        InvalidateRect(icon_control, NULL, TRUE);
        UpdateWindow(icon_control);
        HDC dc = GetDC(icon_control);
        if (dc) {
            DrawIcon(dc, 0, 0, icon);
            ReleaseDC(icon_control, dc);
        }
    }
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 1, 0);
}

static void show_status_text(HWND dialog, const char *text)
{
    // Shown now, and not covered by a name noted before it.
    forget_noted_names();
    SetDlgItemTextA(dialog, IDC_SOURCE_LABEL, "");
    SetDlgItemTextA(dialog, IDC_TARGET_LABEL, "");
    SetDlgItemTextA(dialog, IDC_TARGET_FILE, "");
    SetDlgItemTextA(dialog, IDC_SOURCE_FILE, text);
}

void show_status_message(HWND dialog, UINT text_id, ...)
{
    char text[STATUS_TEXT_SIZE];
    va_list args;
    va_start(args, text_id);
    format_catalogue_text(text_id, text, sizeof text, args);
    va_end(args);
    show_status_text(dialog, text);
}

void show_status_step(HWND dialog, UINT text_id)
{
    char caption[MESSAGE_CAPTION_SIZE];
    load_catalogue_text(CAP_INITIALISATION, caption, sizeof caption);
    SetWindowTextA(dialog, caption);
    show_status_message(dialog, text_id);
}
