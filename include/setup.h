// The one process-wide state record of a setup or uninstall run, and the
// codes that more than one subsystem uses.
#pragma once

#include <windows.h>

#include "setup_types.h"

struct SetupSession {
    HINSTANCE instance;
    unsigned int run_mode;
    int debug_run;
    int is_nt;
    int info_page;
    int back_requested;
    HWND backdrop_window;

    char windows_dir[SETUP_PATH_SIZE];
    char system_dir[SETUP_PATH_SIZE];
    char module_path[SETUP_PATH_SIZE];
    char program_files_dir[SETUP_PATH_SIZE];
    char script_path[SETUP_PATH_SIZE];
    char source_dir[SETUP_PATH_SIZE];
    char destination_dir[SETUP_PATH_SIZE];
    char application_name[SETUP_PATH_SIZE];
    char previous_version_dir[SETUP_PATH_SIZE];

    int previous_version_found;
    int over_previous_version;
    int chooser_took_listed_folder;

    // Setup page: bytes needed (from the script) and free (as last measured).
    unsigned int system_bytes_needed;
    unsigned int destination_bytes_needed;
    unsigned long long system_bytes_free;
    unsigned long long destination_bytes_free;

    unsigned int total_bytes;
    unsigned int done_bytes;
    int restart_needed;
    HGLOBAL removal_log;

    // Backdrop window: its text, font and first-paint state.
    char backdrop_text[520];
    LOGFONTA backdrop_font;
    int backdrop_repainted;

    // A step of the run is under way in the progress dialog: closing the
    // backdrop must wait for its end.
    int run_busy;

    // From the command line: how much of the run is shown (an Unattended),
    // the destination given with /DIR (trailing backslash; empty without
    // one), /NORESTART, and the log of /LOG (NULL without one).
    int unattended;
    int no_restart;
    char given_dir[SETUP_PATH_SIZE];
    char log_path[SETUP_PATH_SIZE];
    HANDLE run_log;
    // The lock of the one setup at a time, held until the process ends.
    HANDLE run_lock;

    // The process's exit code, as the end of the run sets it; the setup
    // page's refusal for want of disk space sets space_refused.
    DWORD exit_code;
    int space_refused;
    // What this installation changed, in order, for a failed run to take
    // back: journal_steps JournalSteps in a block of journal_room.
    HGLOBAL journal;
    unsigned int journal_steps;
    unsigned int journal_room;
    // The user cancelled the insert-disk prompt: the failed run was their
    // choice.
    int user_cancelled;
};

// Zeroed at start, never freed.
extern SetupSession session;
