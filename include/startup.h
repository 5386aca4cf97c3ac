// Start-up: command line, environment discovery, temporary-copy bootstrap.
#pragma once

#include <windows.h>

#include "startup_text.h"

// Windows-side start-up steps.
int setup_main(HINSTANCE instance, char *command_line, int show);
void probe_windows_version(void);
int parse_command_line(char *text);
int discover_environment(void);
int start_temporary_copy(void);
