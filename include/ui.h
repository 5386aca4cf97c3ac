// User interface: backdrop window, message boxes, status area, pages.
#pragma once

#include <windows.h>

enum {
    MESSAGE_TEXT_SIZE = 512,
    MESSAGE_CAPTION_SIZE = 256,
    STATUS_TEXT_SIZE = 520,
    PROGRESS_CAPTION_SIZE = 260,
};

// Message boxes named by catalogue numbers, owned by the backdrop window.
// The result is the button code (IDOK, IDCANCEL, IDYES, IDNO).
int show_message(UINT text_id, UINT caption_id, UINT style);
int show_message_arg(UINT text_id, UINT caption_id, UINT style, const char *arg);
int show_message_args(UINT text_id, UINT caption_id, UINT style, const char *arg1, const char *arg2);

// Catalogue text into buf (cleared first; a missing number gives "").
void load_catalogue_text(UINT id, char *buf, int size);

// Moves a page to the middle of the backdrop window.
void center_on_backdrop(HWND window);

// Status area of the progress dialog.
void prepare_status_area(HWND dialog);
void show_status_text(HWND dialog, const char *text);
void show_status_message(HWND dialog, UINT text_id);
void show_status_message_arg(HWND dialog, UINT text_id, const char *arg);
void show_status_message_path(HWND dialog, UINT text_id, const char *folder, const char *name);
void show_status_step(HWND dialog, UINT text_id);

// Backdrop window.
int register_backdrop_class(void);
int create_backdrop_window(int show);
LRESULT CALLBACK backdrop_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void read_backdrop_font(void);
