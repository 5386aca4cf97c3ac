// Message boxes built from catalogue numbers, and page centring.
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

static int show_box(const char *text, UINT caption_id, UINT style)
{
    // A box during a step asks about the file the dialog shows.
    show_paced_now();
    char caption[MESSAGE_CAPTION_SIZE];
    load_catalogue_text(caption_id, caption, sizeof caption);
    return sys_MessageBoxA(session.backdrop_window, text, caption, style);
}

int show_message(UINT text_id, UINT caption_id, UINT style)
{
    char text[MESSAGE_TEXT_SIZE];
    load_catalogue_text(text_id, text, sizeof text);
    return show_box(text, caption_id, style);
}

int show_message_arg(UINT text_id, UINT caption_id, UINT style, const char *arg)
{
    char format[MESSAGE_TEXT_SIZE];
    char text[MESSAGE_TEXT_SIZE];
    load_catalogue_text(text_id, format, sizeof format);
    memset(text, 0, sizeof text);
    text_format(text, sizeof text, format, arg);
    return show_box(text, caption_id, style);
}

int show_message_args(UINT text_id, UINT caption_id, UINT style, const char *arg1, const char *arg2)
{
    char format[MESSAGE_TEXT_SIZE];
    char text[MESSAGE_TEXT_SIZE];
    load_catalogue_text(text_id, format, sizeof format);
    memset(text, 0, sizeof text);
    text_format(text, sizeof text, format, arg1, arg2);
    return show_box(text, caption_id, style);
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
