// The one process-wide state record of a setup or uninstall run, and the
// codes that more than one subsystem uses.
#pragma once

#include <windows.h>

enum { SETUP_PATH_SIZE = 260 };

enum RunMode : unsigned int {
    RunModeSetup = 0,       // started from the medium
    RunModeTempCopy = 1,    // "/TEMP": the copy in the temporary folder
    RunModeUninstall = 16,  // "/UNINSTALL": the installed uninstaller
};

enum CompletionCode : unsigned int {
    Cancelled = 0,
    InstallSucceeded = 16,
    InstallFailed = 17,
    SetupRefused = 18,
    UninstallSucceeded = 32,
    UninstallFailed = 33,
    DebugRun = 48,
};

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
    unsigned int total_bytes;
    unsigned int done_bytes;
    int restart_needed;
    HGLOBAL removal_log;
};

// Zeroed at start, never freed.
extern SetupSession session;
