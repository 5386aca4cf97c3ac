// Shared by the tests under Wine: setup.exe's catalogue texts, whole files
// read and written directly (not through the seam), folders removed with
// everything in them, window texts and folder listings, the message-box
// recorder with its answers, and WinTest, the base of their fixtures.
#pragma once

#include <gtest/gtest.h>

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

// The text of a window, or of its dialog item id when id is not 0.
std::string text_of(HWND window, int id = 0);

// Hands every message waiting for this thread to its window; a WM_QUIT is
// dropped.
void drain_messages();

// True when something (file or folder) has this name.
bool file_exists(const std::string &path);

// Names of the files directly in a folder (given with its trailing
// backslash) that match a wildcard pattern, in the order found; folders are
// left out.
std::vector<std::string> files_matching(const std::string &folder, const char *pattern);

// All of them, sorted.
std::vector<std::string> listing(const std::string &folder);

// The names one a line, indented, for a failure message.
std::string joined(const std::vector<std::string> &names);

// ASCII letters in lower case, other bytes (DBCS ones too) unchanged.
std::string lower(std::string s);

// A host path (as CMake gives build-tree paths) as Windows names it under
// Wine: through wine_get_dos_file_name, or else drive Z:, the host's root.
// A path that is not a host path comes back unchanged.
std::string windows_path(const std::string &path);

// A message box as the program asked for it.
struct RecordedBox {
    std::string text, caption;
    UINT style;
    HWND owner;
    std::string context; // what box_context noted when it came up
};

// The boxes note_box has seen, in order; a test clears it in its set-up.
extern std::vector<RecordedBox> recorded_boxes;

// The answers note_box gives, first to last; when none is left it answers
// box_default_answer (IDOK unless a test says otherwise).
extern std::vector<int> box_answers;
extern int box_default_answer;

// When set, called as each box comes up: what it returns is noted with the
// box (the progress dialog's name lines, say).
extern std::string (*box_context)(const RecordedBox &box);

// When set, answers each box in place of box_answers.
extern int (*box_reply)(const RecordedBox &box);

// Stands in for MessageBoxA (seam_hook<SEAM_MessageBoxA>(note_box)): notes
// the box and answers from box_answers, so that nothing waits for a click.
int note_box(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// The number of boxes recorded so far, safe to ask from another thread.
size_t boxes_shown();

// Checks that box number i (from 0) of recorded_boxes shows catalogue text
// text_id (with its %s filled with arg, when one is given) under caption
// caption_id, with this style.
void expect_box(size_t i, UINT text_id, UINT caption_id, UINT style, const char *arg = nullptr);

// The base of the test cases under Wine: a zeroed session on setup.exe's
// resources, the seam reset, and message boxes recorded by note_box. A
// fixture with more to prepare calls WinTest::SetUp() first; what it asks of
// make_scratch and make_backdrop is undone by WinTest::TearDown().
class WinTest : public ::testing::Test {
protected:
    // The test's own folder in the temporary folder, with its trailing
    // backslash; "" until make_scratch.
    std::string scratch;
    // The window make_backdrop made, if any.
    HWND backdrop = NULL;

    void SetUp() override;
    void TearDown() override;

    // Makes scratch, a new empty folder named from prefix, and points the
    // session's script at setup.inf in it.
    void make_scratch(const char *prefix);

    // Writes the session's script.
    void write_script(const std::string &bytes);

    // A plain 800 x 600 window in the backdrop's place (finish_run closes
    // it), made the session's backdrop.
    HWND make_backdrop();
};
