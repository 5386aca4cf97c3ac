// Message boxes built from catalogue numbers, and page centring.
#include <stdarg.h>
#include <string.h>

#include "platform.h"
#include "resource_ids.h"
#include "setup.h"
#include "shell.h"
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

// The answer an unattended run gives: Cancel where Cancel is offered (the
// insert-disk prompt: no waiting for a disk), the default button of a
// question (No on the replacement and shared-file questions, Yes on the
// older version's), OK alone otherwise.
static int unattended_answer(UINT style)
{
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return (style & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
    default:
        return IDOK;
    }
}

static const char *answer_name(int answer)
{
    switch (answer) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "none";
    }
}

int show_box(const char *text, const char *caption, UINT style)
{
    int answer = session.unattended ? unattended_answer(style)
                                    : sys_MessageBoxA(session.backdrop_window, text, caption, style);
    log_event("box%s %s: %s; answered %s", session.unattended ? " (not shown)" : "", caption, text,
              answer_name(answer));
    return answer;
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
    return show_box(text, caption, style);
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
