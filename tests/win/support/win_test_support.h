// Small helpers shared by the tests under Wine: setup.exe's catalogue texts,
// whole files read and written directly (not through the seam), and folders
// removed with everything in them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Text number id of setup.exe's message catalogue (code page 932); "" when
// the catalogue has no such text.
std::string catalogue(UINT id);

// The catalogue text with its first "%s" replaced by arg, as a message box
// shows it; the text unchanged when it has no "%s".
std::string catalogue_with(UINT id, const std::string &arg);

// Every byte of a file; if_missing when the file cannot be opened.
std::string read_file(const std::string &path, const std::string &if_missing = "<missing>");

// Creates or replaces a file holding exactly these bytes. A file that cannot
// be written is a (non-fatal) test failure naming the path, and false.
bool write_file(const std::string &path, const std::string &bytes);

// Deletes a folder and everything in it, read-only files too. The folder may
// be named with or without its trailing backslash; an empty name does nothing.
void remove_tree(const std::string &folder);

// A message box as the program asked for it.
struct RecordedBox {
    std::string text, caption;
    UINT style;
};

// The boxes note_box has seen, in order; a test clears it in its set-up.
extern std::vector<RecordedBox> recorded_boxes;

// Stands in for MessageBoxA (seam_hook<SEAM_MessageBoxA>(note_box)): notes
// the box and answers OK, so that nothing waits for a click.
int note_box(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
