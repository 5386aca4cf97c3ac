// A small program for the UI driver's own test, written like the programs
// the driver is for: ANSI calls with code page 932 text, message boxes and
// a modal dialog whose texts change while it is shown.
//
//   fixture.exe          shows a maximised backdrop (背景) that owns everything
//                        after it, asks 確認 "ファイルをコピーしますか？" (Yes/No, question icon,
//                        No is the default), tells the answer in a second box
//                        (結果, information icon), then shows the 進行状況 dialog
//                        that counts to three and enables OK. Exit code: the
//                        answer (6 Yes, 7 No), plus 10 when the dialog's note
//                        field held メモ at OK, plus 100 when it was cancelled.
//   fixture.exe /spawn   starts a copy of itself without arguments (WinExec)
//                        and ends at once with exit code 0.
//   fixture.exe /icons   one OK box for each icon and one without; exit code 0.
//   fixture.exe /busy    only the 進行状況 dialog, which counts inside one sent
//                        message without handling any other (as a program that
//                        does its work during its dialog's initialisation);
//                        exit code 0 after OK.
#include <windows.h>
#include <commctrl.h>

#include <string.h>

#include "fixture_ids.h"

// Texts in code page 932.
#define TXT_CONFIRM "\x8A\x6D\x94\x46"  // 確認
#define TXT_COPY_QUESTION                                                                       \
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x52\x83\x73\x81\x5B\x82\xB5\x82\xDC\x82\xB7" \
    "\x82\xA9\x81\x48"  // ファイルをコピーしますか？
#define TXT_RESULT "\x8C\x8B\x89\xCA"  // 結果
#define TXT_YES_CHOSEN \
    "\x82\xCD\x82\xA2\x82\xAA\x91\x49\x82\xCE\x82\xEA\x82\xDC\x82\xB5\x82\xBD\x81\x42"  // はいが選ばれました。
#define TXT_NO_CHOSEN                                                                   \
    "\x82\xA2\x82\xA2\x82\xA6\x82\xAA\x91\x49\x82\xCE\x82\xEA\x82\xDC\x82\xB5\x82\xBD" \
    "\x81\x42"  // いいえが選ばれました。
#define TXT_PREPARING "\x8F\x80\x94\xF5\x92\x86\x82\xC5\x82\xB7"  // 準備中です
#define TXT_COPYING "\x83\x52\x83\x73\x81\x5B\x92\x86"            // コピー中
#define TXT_NOTE "\x83\x81\x83\x82"  // メモ
#define TXT_BACKDROP "\x94\x77\x8C\x69"  // 背景
#define TXT_DONE "\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD"  // 完了しました

enum { STEPS = 3, TIMER_ID = 1, TIMER_MS = 300, WM_FIXTURE_WORK = WM_APP + 1 };

static int step;
static int busy;
static int note_ok;

static void show_step(HWND dlg)
{
    char text[64];
    if (step <= STEPS) {
        wsprintfA(text, TXT_COPYING " %d/%d", step, STEPS);
        SetDlgItemTextA(dlg, IDC_FIXTURE_STATUS, text);
        SendDlgItemMessageA(dlg, IDC_FIXTURE_BAR, PBM_SETPOS, step, 0);
    } else {
        SetDlgItemTextA(dlg, IDC_FIXTURE_STATUS, TXT_DONE);
        EnableWindow(GetDlgItem(dlg, IDOK), TRUE);
    }
}

static INT_PTR CALLBACK progress_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    (void)lp;
    switch (msg) {
    case WM_INITDIALOG:
        // Set while the dialog is still hidden: the driver must record it.
        SetDlgItemTextA(dlg, IDC_FIXTURE_STATUS, TXT_PREPARING);
        SendDlgItemMessageA(dlg, IDC_FIXTURE_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, STEPS));
        if (busy) {
            ShowWindow(dlg, SW_SHOW);
            UpdateWindow(dlg);
            SendMessageA(dlg, WM_FIXTURE_WORK, 0, 0);
        } else {
            SetTimer(dlg, TIMER_ID, TIMER_MS, NULL);
        }
        return TRUE;
    case WM_FIXTURE_WORK:
        for (step = 1; step <= STEPS + 1; step++) {
            Sleep(2 * TIMER_MS);
            show_step(dlg);
        }
        return TRUE;
    case WM_TIMER:
        step++;
        show_step(dlg);
        if (step > STEPS)
            KillTimer(dlg, TIMER_ID);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            char note[64];
            GetDlgItemTextA(dlg, IDC_FIXTURE_NOTE, note, sizeof note);
            note_ok = strcmp(note, TXT_NOTE) == 0;
            KillTimer(dlg, TIMER_ID);
            EndDialog(dlg, LOWORD(wp));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// A backdrop like an installer's: maximised, with no message loop of its
// own (the modal loops of the boxes and the dialog dispatch its messages).
static HWND create_backdrop(HINSTANCE instance)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 128));
    wc.lpszClassName = "FixtureBackdrop";
    if (!RegisterClassA(&wc))
        return NULL;
    HWND backdrop = CreateWindowExA(0, wc.lpszClassName, TXT_BACKDROP, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                    CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
    if (backdrop) {
        ShowWindow(backdrop, SW_SHOWMAXIMIZED);
        UpdateWindow(backdrop);
    }
    return backdrop;
}

static int ask_and_copy(HINSTANCE instance)
{
    HWND backdrop = create_backdrop(instance);
    int answer = MessageBoxA(backdrop, TXT_COPY_QUESTION, TXT_CONFIRM, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    MessageBoxA(backdrop, answer == IDYES ? TXT_YES_CHOSEN : TXT_NO_CHOSEN, TXT_RESULT, MB_OK | MB_ICONINFORMATION);
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FIXTURE_PROGRESS), backdrop, progress_proc, 0);
    if (backdrop)
        DestroyWindow(backdrop);
    return answer + (result == IDOK ? (note_ok ? 10 : 0) : 100);
}

static int show_icons(void)
{
    static const struct {
        const char *caption;
        UINT style;
    } boxes[] = {
        {"icon-stop", MB_ICONHAND},
        {"icon-question", MB_ICONQUESTION},
        {"icon-exclamation", MB_ICONEXCLAMATION},
        {"icon-information", MB_ICONASTERISK},
        {"icon-none", 0},
    };
    for (size_t i = 0; i < sizeof boxes / sizeof boxes[0]; i++)
        MessageBoxA(NULL, boxes[i].caption, boxes[i].caption, MB_OK | boxes[i].style);
    return 0;
}

static int spawn_copy(void)
{
    char path[MAX_PATH + 2];
    path[0] = '"';
    DWORD n = GetModuleFileNameA(NULL, path + 1, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    strcat(path, "\"");
    return WinExec(path, SW_SHOWNORMAL) > 31 ? 0 : 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    (void)previous;
    (void)show;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (strstr(command_line, "/spawn"))
        return spawn_copy();
    if (strstr(command_line, "/icons"))
        return show_icons();
    if (strstr(command_line, "/busy")) {
        busy = 1;
        INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FIXTURE_PROGRESS), NULL, progress_proc, 0);
        return result == IDOK ? 0 : 1;
    }
    return ask_and_copy(instance);
}
