// User interface (src/ui): backdrop window, message boxes, status area and
// the pacing of the progress dialog, information pages, setup page, folder
// chooser.
#pragma once

#include <stdarg.h>

#include <windows.h>

enum {
    MESSAGE_TEXT_SIZE = 512,
    MESSAGE_CAPTION_SIZE = 256,
    STATUS_TEXT_SIZE = 520,
};

// messages.cpp

// A message box named by catalogue numbers, owned by the backdrop window:
// the text is a format whose %s are filled with the texts that follow, in
// order (the catalogue's texts without arguments have no %). The result is
// the button code (IDOK, IDCANCEL, IDYES, IDNO).
int show_message(UINT text_id, UINT caption_id, UINT style, ...);
// Every message box of the program goes through here, and into the log. An
// unattended run shows none: each gets its fixed answer (Cancel where offered,
// else the default button).
int show_box(const char *text, const char *caption, UINT style);

// Catalogue text into buf (cleared first; a missing number gives "").
void load_catalogue_text(UINT id, char *buf, int size);
// The catalogue format id filled with args into text (size bytes, at most
// STATUS_TEXT_SIZE), as message boxes and status lines are.
void format_catalogue_text(UINT id, char *text, int size, va_list args);

// Moves a page to the middle of the backdrop window.
void center_on_backdrop(HWND window);

// status_area.cpp

// Status area of the progress dialog. A status message is a catalogue format
// filled as show_message fills it, shown in the first name line with the
// labels and the second line blanked; a step also sets the dialog's caption.
void prepare_status_area(HWND dialog);
void show_status_message(HWND dialog, UINT text_id, ...);
void show_status_step(HWND dialog, UINT text_id);

// run_pacing.cpp: the progress dialog while a step runs. It looks at its
// queue every 50 ms (input is dropped); names and the bar are noted and
// drawn every 250 ms. Whatever was noted is shown at once before a message
// box and at the end of the run.
void begin_paced_run(HWND dialog);
void end_paced_run(void);
void note_file_names(HWND dialog, const char *first, const char *second);
void note_progress(HWND dialog);
void pace_run(void);
void show_paced_now(void);
void forget_noted_names(void);

// info_pages.cpp: the start prompt, the welcome (or farewell) page and the
// licence page; session.info_page says which one is open.
INT_PTR CALLBACK info_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

// setup_page.cpp
enum SetupFolder { SystemFolder, DestinationFolder };
INT_PTR CALLBACK setup_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
void show_folder_and_free_space(HWND page, SetupFolder which);
int check_disk_space(void);
int ensure_destination(const char *folder);
int detect_previous_version(void);
// An unattended run takes the setup page as accepted: the older version's
// probe, the figures and the checks of its OK, without the page. 1 when the
// run goes on; otherwise finish_run has ended it.
int accept_setup_page(void);

// folder_chooser.cpp: the platform's classic save-file dialog with template
// 1536. On success destination_dir holds the chosen folder with a trailing
// backslash; on cancel or failure it is unchanged.
int choose_destination_folder(HWND setup_page);
UINT_PTR CALLBACK folder_chooser_hook(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// backdrop.cpp: the maximised window behind every page; closing it ends the
// program.
int register_backdrop_class(void);
int create_backdrop_window(void);
