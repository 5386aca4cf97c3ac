// Wizard pages, the progress dialog and the end of every run.
#pragma once

#include <windows.h>

#include "setup_types.h"

INT_PTR CALLBACK info_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK setup_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The one way out of every run that got past start-up: shows the closing
// message, cleans up after the run mode and closes the backdrop window.
void finish_run(CompletionCode code);
