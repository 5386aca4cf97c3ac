// Shared by the engine tests: a folder of real files standing in for the
// medium, the destination and the system folder; a script; a progress
// dialog from template 107 whose bar positions are recorded; message boxes
// (with the dialog's name lines) and the version installer's calls recorded
// at the seam.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "win_test_support.h"

// What happened, in order ("find:NAME", "install:SRC>DST@DIR", "count:VALUE",
// "delete:PATH", "box:TEXT", ...), appended by the recording hooks. Each
// box's context is the dialog's two name lines when it came up.
extern std::vector<std::string> events;
// Positions the bar was sent with PBM_SETPOS, in order.
extern std::vector<int> bar_positions;
// The dialog the hooks read the name lines from.
extern HWND current_dialog;

// The catalogue text with its two %s filled in turn.
std::string message_text2(UINT id, const std::string &first, const std::string &second);
// Index of the first event that starts with prefix, or -1.
int first_event(const std::string &prefix);

// Subclasses the dialog's bar so that PBM_SETPOS is recorded.
void record_bar(HWND dialog);

// The stand-in version installer: VerFindFileA names the destination folder
// (the system folder for shared files), VerInstallFileA copies the file.
// Both record an event; the find also records the two name lines.
void fake_version_installer();
// The shared-use count is recorded instead of written.
void fake_shared_count_writes();

// Folders src, dst and sys in the test's scratch folder, the script beside
// them, the version libraries loaded, and a clock that runs a second a call.
class EngineTest : public WinTest {
protected:
    std::string root, src, dst, sys;
    HWND dialog = NULL;

    void SetUp() override;
    void TearDown() override;
    // A dialog from template 107 with a plain procedure, status area ready,
    // bar recorded from here on.
    void open_dialog();
};
