// The backdrop: a maximised blue window with one line of the script's text
// in large white letters over a black shadow. It owns every dialog and
// message box; closing it ends the program.
#include <stddef.h>
#include <string.h>

#include "resource_ids.h"
#include "script.h"
#include "setup.h"
#include "text.h"
#include "ui.h"

static const char backdrop_class_name[] = "Setup";
static const COLORREF backdrop_blue = RGB(0, 0, 255);
static const COLORREF text_white = RGB(255, 255, 255);
static const COLORREF shadow_black = RGB(0, 0, 0);
enum { SHADOW_OFFSET = 3 };

// The script's [font] keys in the order of the LOGFONTA fields they fill,
// with their defaults: five LONG fields from lfHeight on, then eight BYTE
// fields from lfItalic on, of which the low byte of the integer is kept.
// Without a CharSet the Japanese text must still be drawn as Japanese: the
// ANSI set would draw its bytes as Latin letters.
enum { FONT_LONGS = 5, FONT_FIELDS = 13 };
static const char font_keys[] = "Height\0Width\0Escapement\0Orientation\0Weight\0Italic\0Underline\0StrikeOut\0"
                                "CharSet\0OutPrecision\0ClipPrecision\0Quality\0PitchAndFamily";
static const short font_defaults[FONT_FIELDS] = {-50, 0, 0, 0, 800, 1, 0, 0, SHIFTJIS_CHARSET, 5, 0, 2, 18};
static_assert(offsetof(LOGFONTA, lfWeight) == offsetof(LOGFONTA, lfHeight) + 4 * sizeof(LONG), "LONG fields");
static_assert(offsetof(LOGFONTA, lfPitchAndFamily) == offsetof(LOGFONTA, lfItalic) + 7, "BYTE fields");

static void read_backdrop_font(void)
{
    LOGFONTA *font = &session.backdrop_font;
    memset(font, 0, sizeof *font);
    const char *key = font_keys;
    for (int i = 0; i < FONT_FIELDS; i++, key += strlen(key) + 1) {
        int value = script_read_int("font", key, font_defaults[i]);
        if (i < FONT_LONGS)
            (&font->lfHeight)[i] = value;
        else
            (&font->lfItalic)[i - FONT_LONGS] = (BYTE)(value & 0xFF);
    }
    script_read_string("font", "FaceName", "Times New Roman", font->lfFaceName, sizeof font->lfFaceName);
}

static void on_create(void)
{
    memset(session.backdrop_text, 0, sizeof session.backdrop_text);
    read_backdrop_font();
    session.backdrop_repainted = 0;
    if (session.run_mode == RunModeUninstall)
        script_read_text("general", "msg_uninstall", "[uninstall]msg_uninstall", session.backdrop_text,
                         sizeof session.backdrop_text);
    else
        script_read_text("general", "msg", "[general]msg", session.backdrop_text, sizeof session.backdrop_text);
}

// The font of the line. GDI does not follow a code page that the program
// chose for itself: it takes a face name through the system's code page. On
// the NT family the name therefore goes in as Unicode, converted from 932
// here; Windows 95/98 have no Unicode font call. (The line itself comes out
// right on any system: GDI converts an ANSI text with the code page of the
// font's character set, Japanese unless the script says otherwise, and the
// checker refuses a Japanese text with another.) Kept out of the window
// procedure, where inlined it takes 48 bytes more.
__attribute__((noinline)) static HFONT create_backdrop_font(void)
{
    const LOGFONTA *narrow = &session.backdrop_font;
    LOGFONTW font;
    memcpy(&font, narrow, offsetof(LOGFONTW, lfFaceName));
    // 31 bytes and the terminator: at most LF_FACESIZE units. Where 932
    // cannot be converted, the ANSI call as on Windows 95/98.
    if (session.is_nt && MultiByteToWideChar(932, 0, narrow->lfFaceName, -1, font.lfFaceName, LF_FACESIZE))
        return CreateFontIndirectW(&font);
    return CreateFontIndirectA(narrow);
}

static void on_paint(HWND window)
{
    // The class starts with the stock white brush; blue replaces it here so
    // that every later erase is blue, and the first paint asks for one more
    // full repaint so the white never stays visible.
    HBRUSH blue = CreateSolidBrush(backdrop_blue);
    HBRUSH old = (HBRUSH)SetClassLongPtrA(window, GCLP_HBRBACKGROUND, (LONG_PTR)blue);
    if (old)
        DeleteObject(old);
    if (!session.backdrop_repainted) {
        InvalidateRect(window, NULL, TRUE);
        session.backdrop_repainted = 1;
    }

    RECT rect;
    GetClientRect(window, &rect);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HFONT font = create_backdrop_font();
    HGDIOBJ previous = SelectObject(dc, font);

    SetBkColor(dc, backdrop_blue);
    SetTextColor(dc, shadow_black);
    rect.left += SHADOW_OFFSET;
    rect.top += SHADOW_OFFSET;
    DrawTextA(dc, session.backdrop_text, -1, &rect, DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX);

    SetTextColor(dc, text_white);
    SetBkMode(dc, TRANSPARENT);
    rect.left -= SHADOW_OFFSET;
    rect.top -= SHADOW_OFFSET;
    DrawTextA(dc, session.backdrop_text, -1, &rect, DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX);

    SetBkMode(dc, OPAQUE);
    SelectObject(dc, previous);
    DeleteObject(font);
    EndPaint(window, &ps);
}

static LRESULT CALLBACK backdrop_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        on_create();
        return 0;
    case WM_PAINT:
        on_paint(window);
        return 0;
    case WM_CLOSE:
        // Closing it would end the program in the middle of a step.
        if (session.run_busy)
            return 0;
        return DefWindowProcA(window, message, wparam, lparam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

int register_backdrop_class(void)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = backdrop_window_proc;
    wc.hInstance = session.instance;
    wc.hIcon = LoadIconA(session.instance, MAKEINTRESOURCEA(IDI_SETUP));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = backdrop_class_name;
    return RegisterClassA(&wc) != 0;
}

int create_backdrop_window(void)
{
    char title[SCRIPT_TEXT_SIZE];
    memset(title, 0, sizeof title);
    if (session.run_mode == RunModeUninstall)
        script_read_text("general", "title_uninstall", "[uninstall]title_uninstall", title, sizeof title);
    else
        script_read_text("general", "title", "[general]title", title, sizeof title);

    session.backdrop_window = CreateWindowExA(0, backdrop_class_name, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL,
                                              session.instance, NULL);
    if (session.backdrop_window == NULL)
        return 0;
    ShowWindow(session.backdrop_window, SW_SHOWMAXIMIZED);
    UpdateWindow(session.backdrop_window);
    return 1;
}
