// Run modes, completion codes and sizes: plain values shared by every
// subsystem, free of platform types so that portable code can use them.
#pragma once

// The one size of a path or a single name: folders, file names, registry key
// paths and names read from the script, at most 259 characters.
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

// How much of a run is shown: everything, the backdrop and the progress
// dialog only (/PASSIVE), or nothing (/QUIET).
enum Unattended { UnattendedNone = 0, UnattendedPassive = 1, UnattendedQuiet = 2 };

// What the command line asks for.
struct CommandLine {
    unsigned int run_mode;  // a RunMode
    int debug_run;          // /DEBUG
    int unattended;         // /PASSIVE, /QUIET (or /S): an Unattended
    int no_restart;         // /NORESTART
    int show_help;          // /?
    char dir[SETUP_PATH_SIZE];  // /DIR=folder, or empty
    char log[SETUP_PATH_SIZE];  // /LOG=file, or empty
};
