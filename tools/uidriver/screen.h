// Pictures of the screen: whole-screen PNG files, and recognition of a
// message box's icon by comparing what the screen shows with the system
// icons drawn here (icon handles belong to their process, so the handle a
// message box's static holds cannot be compared or read from outside).
#pragma once

#include <windows.h>

#include <stddef.h>

// Saves the whole screen as a PNG file. Returns 1, or 0 with a message.
int screen_save_png(const wchar_t *path, char *err, size_t err_size);

// Compares the picture inside the static control with the system icons
// (hand, question, exclamation, asterisk). Returns a UidIcon: the icon
// shown, or UID_ICON_UNKNOWN when none matches (covered, not painted yet).
int screen_recognise_icon(HWND icon_static);
