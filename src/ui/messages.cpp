// Message boxes built from catalogue numbers, and page centring.
#include <stdarg.h>
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "text.h"
#include "ui.h"

void load_catalogue_text(UINT id, char *buf, int size)
{
    memset(buf, 0, (size_t)size);
    LoadStringA(session.instance, id, buf, size);
}

void format_catalogue_text(UINT id, char *text, int size, va_list args)
{
    // The format is read at the size of the text it fills.
    static_assert(MESSAGE_TEXT_SIZE <= STATUS_TEXT_SIZE, "the largest text formatted here");
    char format[STATUS_TEXT_SIZE];
    load_catalogue_text(id, format, size);
    memset(text, 0, (size_t)size);
    text_format_v(text, (size_t)size, format, args);
}

int show_message(UINT text_id, UINT caption_id, UINT style, ...)
{
    char text[MESSAGE_TEXT_SIZE];
    char caption[MESSAGE_CAPTION_SIZE];
    va_list args;
    va_start(args, style);
    format_catalogue_text(text_id, text, sizeof text, args);
    va_end(args);
    // A box during a step asks about the file the dialog shows.
    show_paced_now();
    load_catalogue_text(caption_id, caption, sizeof caption);
    return sys_MessageBoxA(session.backdrop_window, text, caption, style);
}

void center_on_backdrop(HWND window)
{
    RECT backdrop, page;
    GetWindowRect(session.backdrop_window, &backdrop);
    GetWindowRect(window, &page);
    // Pages start at the backdrop's top-left corner, so half the difference
    // of the far edges puts them in the middle.
    int left = (backdrop.right - page.right) / 2;
    int top = (backdrop.bottom - page.bottom) / 2;
    SetWindowPos(window, HWND_TOP, left, top, 0, 0, SWP_NOSIZE);
}
