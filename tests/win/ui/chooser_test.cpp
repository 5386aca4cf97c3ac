// The folder chooser under Wine: choose_destination_folder opens the real
// classic save-file dialog with template 1536 (modal, on the test's main
// thread) while a second thread finds the dialog, reads its fields, types and
// presses its buttons. Message boxes go through the seam and are recorded.
// Dialog failures, which Wine cannot be made to produce, are injected.
#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "ui.h"
#include "win_test_support.h"

namespace {

const int NAME_FIELD = 1152;
const int LISTED_FOLDER = 1088;


// The open chooser, seen from the helper thread. Every action is sent, so it
// has been handled by the dialog (and its hook) when it returns.
struct Chooser {
    HWND dialog;

    std::string text(int id) const
    {
        char buf[600] = "";
        GetDlgItemTextA(dialog, id, buf, sizeof buf);
        return buf;
    }
    std::string field() const { return text(NAME_FIELD); }
    std::string listed() const { return text(LISTED_FOLDER); }
    std::wstring caption() const
    {
        WCHAR buf[100] = L"";
        GetWindowTextW(dialog, buf, 100);
        return buf;
    }
    void type(const char *cp932) const
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(GetDlgItem(dialog, NAME_FIELD), WM_SETTEXT, 0, (LPARAM)cp932, SMTO_NORMAL, 5000,
                            &ignored);
    }
    // Presses a button; true when the dialog is still open afterwards.
    bool press(int id) const
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id),
                            SMTO_NORMAL, 10000, &ignored);
        return IsWindow(dialog) && IsWindowVisible(dialog);
    }
    bool ok() const { return press(IDOK); }
    bool cancel() const { return press(IDCANCEL); }
};

struct Search {
    HWND found;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM param)
{
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<Search *>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

class FolderChooser : public WinTest {
protected:
    std::string base; // the scratch folder, with a trailing backslash
    char saved_dir[MAX_PATH];
    HWND page = NULL;
    bool appeared = false;    // the dialog was found
    bool left_open = false;   // the driving ended with the dialog still open

    void SetUp() override
    {
        WinTest::SetUp();
        if (HasFatalFailure())
            return;
        GetCurrentDirectoryA(sizeof saved_dir, saved_dir);
        make_scratch("cho");
        base = scratch;
        // The setup page the chooser belongs to.
        page = CreateWindowExA(0, "STATIC", "page", WS_POPUP, 0, 0, 200, 100, NULL, NULL, NULL, NULL);
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(saved_dir);
        if (page)
            DestroyWindow(page);
        WinTest::TearDown();
    }

    void make_folder(const std::string &relative)
    {
        ASSERT_TRUE(CreateDirectoryA((base + relative).c_str(), NULL)) << base + relative;
    }
    void set_destination(const std::string &folder)
    {
        snprintf(session.destination_dir, sizeof session.destination_dir, "%s", folder.c_str());
    }

    // Opens the chooser; drive() runs on a second thread with the dialog once
    // it is shown. Should drive() leave it open, it is cancelled (and the
    // test fails on left_open). Returns choose_destination_folder's result.
    int open_chooser(const std::function<void(const Chooser &)> &drive)
    {
        DWORD main_thread = GetCurrentThreadId();
        std::atomic<bool> returned(false);
        appeared = false;
        left_open = false;
        std::thread helper([&] {
            Search search = {NULL};
            for (int waited = 0; !search.found && !returned && waited < 15000; waited += 20) {
                Sleep(20);
                EnumThreadWindows(main_thread, find_dialog, (LPARAM)&search);
            }
            if (!search.found)
                return;
            appeared = true;
            Chooser chooser = {search.found};
            drive(chooser);
            for (int waited = 0; !returned && waited < 5000; waited += 20)
                Sleep(20);
            if (!returned) {
                left_open = true;
                PostMessageA(chooser.dialog, WM_COMMAND, IDCANCEL, 0);
            }
        });
        int result = choose_destination_folder(page);
        returned = true;
        helper.join();
        return result;
    }
};

// What choose_destination_folder asked the platform for, when a test looks.
OPENFILENAMEA request_seen;
bool had_initial_dir;
std::string initial_dir_seen;

BOOL look_then_open(LPOPENFILENAMEA request)
{
    request_seen = *request;
    had_initial_dir = request->lpstrInitialDir != NULL;
    initial_dir_seen = had_initial_dir ? request->lpstrInitialDir : "";
    return GetSaveFileNameA(request);
}

// A dialog that returns a chosen full path at once.
const char *dialog_answer;
BOOL answer_at_once(LPOPENFILENAMEA request)
{
    snprintf(request->lpstrFile, request->nMaxFile, "%s", dialog_answer);
    return TRUE;
}

const char SOFT[] = "\x83\x5c\x83\x74\x83\x67"; // ソフト: the trail byte of ソ is a backslash code

TEST_F(FolderChooser, OpensInTheParentWithTheLastComponentAndOkGivesItBack)
{
    make_folder("Apps");
    set_destination(base + "Apps\\Tool\\");
    seam_hook<SEAM_GetSaveFileNameA>(look_then_open);
    std::string field, listed;
    std::wstring caption;
    HWND owner = NULL;
    bool open_after_ok = true;
    int result = open_chooser([&](const Chooser &c) {
        field = c.field();
        listed = c.listed();
        caption = c.caption();
        owner = GetWindow(c.dialog, GW_OWNER);
        open_after_ok = c.ok();
    });
    ASSERT_TRUE(appeared);
    EXPECT_FALSE(left_open);
    EXPECT_EQ(field, "Tool");
    EXPECT_EQ(lower(listed), lower(base + "Apps")) << "the dialog lists its folder in lower case";
    EXPECT_EQ(utf16_to_utf8(caption), "ﾌｫﾙﾀﾞの選択") << "the template's caption, not the dialog's default title";
    EXPECT_EQ(owner, page);
    EXPECT_FALSE(open_after_ok);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "Apps\\Tool\\");
    EXPECT_EQ(boxes_shown(), 0u);

    // The request: classic dialog with hook and template 1536, owned by the
    // page, starting in the destination's parent.
    EXPECT_EQ(request_seen.Flags, 2097248u);
    EXPECT_EQ(request_seen.lStructSize, (DWORD)OPENFILENAME_SIZE_VERSION_400A);
    EXPECT_EQ(request_seen.hwndOwner, page);
    EXPECT_EQ(request_seen.lpTemplateName, MAKEINTRESOURCEA(1536));
    EXPECT_EQ(request_seen.lpfnHook, folder_chooser_hook);
    EXPECT_EQ(request_seen.lpstrFilter, nullptr);
    EXPECT_EQ(request_seen.lpstrTitle, nullptr);
    EXPECT_EQ(request_seen.nMaxFile, 260u);
    EXPECT_TRUE(had_initial_dir);
    EXPECT_EQ(initial_dir_seen, base + "Apps\\");
}

// Windows 95/98 answer SetWindowTextW with a failure: the caption then goes
// in through the ANSI code page.
TEST_F(FolderChooser, KeepsItsCaptionWhereTheWideCallFails)
{
    make_folder("Apps");
    set_destination(base + "Apps\\Tool\\");
    seam_fail_at(SEAM_SetWindowTextW);
    std::wstring caption;
    open_chooser([&](const Chooser &c) {
        caption = c.caption();
        c.cancel();
    });
    ASSERT_TRUE(appeared);
    EXPECT_EQ(seam_count(SEAM_SetWindowTextW), 1u);
    EXPECT_EQ(utf16_to_utf8(caption), "ﾌｫﾙﾀﾞの選択");
}

TEST_F(FolderChooser, TypedNameGoesIntoTheListedFolder)
{
    make_folder("Data");
    set_destination(base + "Tool\\");
    std::string listed_first, listed_inside;
    bool open_after_data = false, open_after_name = true;
    int result = open_chooser([&](const Chooser &c) {
        listed_first = c.listed();
        c.type("Data"); // an existing folder's name: the dialog goes into it
        open_after_data = c.ok();
        listed_inside = c.listed();
        c.type("NewTool");
        open_after_name = c.ok();
    });
    ASSERT_TRUE(appeared);
    EXPECT_FALSE(left_open);
    EXPECT_EQ(lower(listed_first), lower(base.substr(0, base.size() - 1)));
    EXPECT_TRUE(open_after_data);
    EXPECT_EQ(lower(listed_inside), lower(base + "Data"));
    EXPECT_FALSE(open_after_name);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "Data\\NewTool\\");
    EXPECT_EQ(boxes_shown(), 0u);

    // A double-byte name whose trail byte is a backslash code is a name,
    // not a path.
    std::string field;
    result = open_chooser([&](const Chooser &c) {
        field = c.field();
        c.type(SOFT);
        c.ok();
    });
    EXPECT_FALSE(left_open);
    EXPECT_EQ(field, "NewTool");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "Data\\" + SOFT + "\\");
    EXPECT_EQ(boxes_shown(), 0u);

    // ... and it is offered whole the next time.
    result = open_chooser([&](const Chooser &c) {
        field = c.field();
        c.cancel();
    });
    EXPECT_EQ(field, SOFT);
    EXPECT_EQ(result, 0);
}

TEST_F(FolderChooser, EmptyFieldOffersTheListedFolder)
{
    make_folder("Data");
    set_destination(base + "Data\\Old\\");
    box_answers = {IDNO, IDYES};
    std::string listed, listed_after_no, field_after_no;
    bool open_after_no = false, open_after_yes = true;
    int result = open_chooser([&](const Chooser &c) {
        listed = c.listed();
        c.type("");
        open_after_no = c.ok();
        listed_after_no = c.listed();
        field_after_no = c.field();
        open_after_yes = c.ok();
    });
    ASSERT_TRUE(appeared);
    EXPECT_FALSE(left_open);
    ASSERT_EQ(recorded_boxes.size(), 2u);
    for (const RecordedBox &box : recorded_boxes) {
        EXPECT_EQ(box.text, catalogue_with(48003, listed));
        EXPECT_EQ(box.caption, catalogue(16018));
        EXPECT_EQ(box.style, 36u);
    }
    EXPECT_NE(recorded_boxes[0].text.find(listed), std::string::npos) << "the question names the listed folder";
    EXPECT_TRUE(open_after_no);
    EXPECT_EQ(listed_after_no, listed) << "No leaves the chooser where it was";
    EXPECT_EQ(field_after_no, "");
    EXPECT_FALSE(open_after_yes);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "Data\\");
    EXPECT_EQ(session.chooser_took_listed_folder, 1);

    // The next opening does not pre-fill; cancelling it changes nothing.
    std::string field;
    result = open_chooser([&](const Chooser &c) {
        field = c.field();
        listed = c.listed();
        c.cancel();
    });
    EXPECT_FALSE(left_open);
    EXPECT_NE(field, "Data");
    EXPECT_EQ(field, "*.*") << "as the dialog fills it: message 1020 tells what to do with it";
    EXPECT_EQ(lower(listed), lower(base.substr(0, base.size() - 1)));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(session.destination_dir), base + "Data\\");
    EXPECT_EQ(session.chooser_took_listed_folder, 0);
    EXPECT_EQ(recorded_boxes.size(), 2u) << "cancel shows nothing";

    // The one after pre-fills again.
    result = open_chooser([&](const Chooser &c) {
        field = c.field();
        c.cancel();
    });
    EXPECT_EQ(field, "Data");
}

TEST_F(FolderChooser, WildcardsAndBackslashesKeepTheChooserOpen)
{
    make_folder("Apps");
    set_destination(base + "Apps\\Tool\\");
    std::string listed, field_after_path, listed_after_path;
    bool open[5] = {};
    size_t boxes[5] = {};
    std::string path_with_dbcs = std::string(SOFT) + "\\x";
    int result = open_chooser([&](const Chooser &c) {
        listed = c.listed();
        const char *typed[5] = {"*.*", "*.txt", "Sub\\Dir", path_with_dbcs.c_str(), "Tool"};
        for (int i = 0; i < 5; i++) {
            c.type(typed[i]);
            open[i] = c.ok();
            boxes[i] = boxes_shown();
            if (i == 2) {
                field_after_path = c.field();
                listed_after_path = c.listed();
            }
        }
    });
    ASSERT_TRUE(appeared);
    EXPECT_FALSE(left_open);
    EXPECT_TRUE(open[0]) << "*.*";
    EXPECT_TRUE(open[1]) << "*.txt";
    EXPECT_TRUE(open[2]) << "Sub\\Dir";
    EXPECT_TRUE(open[3]) << "ソフト\\x";
    EXPECT_FALSE(open[4]) << "Tool";
    EXPECT_EQ(boxes[0], 1u) << "*.* is explained";
    EXPECT_EQ(boxes[1], 1u) << "another pattern is only a filter";
    EXPECT_EQ(boxes[2], 2u);
    EXPECT_EQ(boxes[3], 3u);
    EXPECT_EQ(boxes[4], 3u);
    ASSERT_EQ(recorded_boxes.size(), 3u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue(1020));
    EXPECT_EQ(recorded_boxes[1].text, catalogue(32023));
    EXPECT_EQ(recorded_boxes[2].text, catalogue(32023));
    for (const RecordedBox &box : recorded_boxes) {
        EXPECT_EQ(box.caption, catalogue(16017));
        EXPECT_EQ(box.style, 48u);
    }
    EXPECT_EQ(field_after_path, "Sub\\Dir") << "the refused name stays for correcting";
    EXPECT_EQ(listed_after_path, listed);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "Apps\\Tool\\");
}

TEST_F(FolderChooser, MissingParentOpensWhereTheProcessIs)
{
    make_folder("Elsewhere");
    ASSERT_TRUE(SetCurrentDirectoryA((base + "Elsewhere").c_str()));
    set_destination(base + "Gone\\Tool\\");
    seam_hook<SEAM_GetSaveFileNameA>(look_then_open);
    std::string field, listed;
    int result = open_chooser([&](const Chooser &c) {
        field = c.field();
        listed = c.listed();
        c.cancel();
    });
    ASSERT_TRUE(appeared);
    EXPECT_FALSE(had_initial_dir);
    EXPECT_EQ(lower(listed), lower(base + "Elsewhere"));
    EXPECT_EQ(field, "Tool");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(session.destination_dir), base + "Gone\\Tool\\");
    EXPECT_EQ(boxes_shown(), 0u);
}

TEST_F(FolderChooser, DriveRootOpensInTheRootWithoutAName)
{
    set_destination("C:\\");
    seam_hook<SEAM_GetSaveFileNameA>(look_then_open);
    box_answers = {IDYES};
    std::string field, listed;
    int result = open_chooser([&](const Chooser &c) {
        field = c.field();
        listed = c.listed();
        c.ok();
    });
    ASSERT_TRUE(appeared);
    EXPECT_FALSE(left_open);
    EXPECT_EQ(initial_dir_seen, "C:\\");
    EXPECT_EQ(field, "");
    EXPECT_EQ(lower(listed), "c:\\");
    ASSERT_EQ(recorded_boxes.size(), 1u);
    EXPECT_EQ(recorded_boxes[0].text, catalogue_with(48003, listed));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), "C:\\");
}

TEST_F(FolderChooser, PathWithoutRoomForTheBackslashIsRefused)
{
    // A folder 234 characters deep, in which names make paths of a chosen
    // length. The destination holds 259 characters and its backslash.
    std::string deep = base;
    while (deep.size() < 200) {
        deep += std::string(40, 'a') + "\\";
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL));
    }
    for (size_t length : {258u, 259u, 270u}) {
        SCOPED_TRACE(length);
        recorded_boxes.clear();
        set_destination(deep + "x\\");
        std::string name(length - deep.size(), 'n');
        int result = open_chooser([&](const Chooser &c) {
            c.type(name.c_str());
            if (c.ok())
                c.cancel();
        });
        ASSERT_TRUE(appeared);
        EXPECT_FALSE(left_open);
        if (length == 258) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(std::string(session.destination_dir), deep + name + "\\");
            EXPECT_TRUE(recorded_boxes.empty());
            continue;
        }
        // 259 leaves no room for the backslash; the dialog cuts a longer
        // path to its buffer without a word.
        EXPECT_EQ(result, 0);
        EXPECT_EQ(std::string(session.destination_dir), deep + "x\\");
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_EQ(recorded_boxes[0].text, catalogue(33027));
        EXPECT_EQ(recorded_boxes[0].caption, catalogue(16017));
        EXPECT_EQ(recorded_boxes[0].style, 48u);
    }
}

TEST_F(FolderChooser, PickingAnotherFolderEndsInstallingOverThePreviousVersion)
{
    make_folder("Old");
    // As the setup page leaves it after adopting the previous version's
    // folder, here written in other letter case and without a backslash.
    session.previous_version_found = 1;
    session.over_previous_version = 1;
    std::string old_upper = base + "OLD";
    CharUpperA(&old_upper[0]);
    snprintf(session.previous_version_dir, sizeof session.previous_version_dir, "%s", old_upper.c_str());
    set_destination(base + "Old\\");

    int result = open_chooser([&](const Chooser &c) {
        c.type("NewTool");
        c.ok();
    });
    ASSERT_TRUE(appeared);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "NewTool\\");
    EXPECT_EQ(session.over_previous_version, 0);
    EXPECT_TRUE(recorded_boxes.empty());

    // Back into the old folder and take it as listed: the notice, and the
    // installation goes over the previous version again.
    box_answers = {IDYES};
    result = open_chooser([&](const Chooser &c) {
        c.type("Old");
        c.ok();
        c.type("");
        c.ok();
    });
    EXPECT_FALSE(left_open);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(session.destination_dir), base + "Old\\");
    EXPECT_EQ(session.over_previous_version, 1);
    ASSERT_EQ(recorded_boxes.size(), 2u);
    EXPECT_EQ(recorded_boxes[0].caption, catalogue(16018));
    EXPECT_EQ(recorded_boxes[1].text, catalogue(32015));
    EXPECT_EQ(recorded_boxes[1].caption, catalogue(16006));
    EXPECT_EQ(recorded_boxes[1].style, 48u);
}

TEST_F(FolderChooser, PreviousVersionFolderComparedWithoutCaseAndBackslash)
{
    seam_hook<SEAM_GetSaveFileNameA>(answer_at_once, 1, 0);
    session.previous_version_found = 1;
    session.over_previous_version = 1;
    const struct {
        const char *previous;
        const char *picked;
        int over;   // over_previous_version afterwards
        bool told;  // message 32015 shown
    } steps[] = {
        {"C:\\Old\\", "C:\\Other", 0, false},        // another folder: not over it any more
        {"C:\\Old\\", "c:\\OLD", 1, true},           // its folder again
        {"C:\\Old\\", "C:\\Old", 1, false},          // still there: nothing to tell
        {"C:\\Old\\", "C:\\Old\\Sub", 0, false},     // a folder inside it is another folder
        {"C:\\Old", "C:\\old", 1, true},             // stored without a backslash
        {"C:\\Old", "C:\\Olde", 0, false},
        {"C:\\\x83\x41\\", "C:\\\x83\x61", 0, false}, // ア and ャ: trail bytes are no letters
        {"C:\\\x83\x41\\", "C:\\\x83\x41", 1, true},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(std::string(step.previous) + " / " + step.picked);
        recorded_boxes.clear();
        snprintf(session.previous_version_dir, sizeof session.previous_version_dir, "%s", step.previous);
        dialog_answer = step.picked;
        EXPECT_EQ(choose_destination_folder(page), 1);
        EXPECT_EQ(std::string(session.destination_dir), std::string(step.picked) + "\\");
        EXPECT_EQ(session.over_previous_version, step.over);
        ASSERT_EQ(recorded_boxes.size(), step.told ? 1u : 0u);
        if (step.told) {
            EXPECT_EQ(recorded_boxes[0].text, catalogue(32015));
            EXPECT_EQ(recorded_boxes[0].caption, catalogue(16006));
            EXPECT_EQ(recorded_boxes[0].style, 48u);
        }
    }

    // Without a previous version found there is nothing to compare.
    session.previous_version_found = 0;
    session.over_previous_version = 0;
    recorded_boxes.clear();
    dialog_answer = "C:\\\x83\x41";
    EXPECT_EQ(choose_destination_folder(page), 1);
    EXPECT_EQ(session.over_previous_version, 0);
    EXPECT_TRUE(recorded_boxes.empty());
}

// Top-level windows in their order on screen, the front one first.
BOOL CALLBACK list_window(HWND window, LPARAM param)
{
    reinterpret_cast<std::vector<HWND> *>(param)->push_back(window);
    return TRUE;
}

bool in_front_of(HWND front, HWND behind)
{
    std::vector<HWND> order;
    EnumWindows(list_window, (LPARAM)&order);
    size_t a = order.size(), b = order.size();
    for (size_t i = 0; i < order.size(); i++) {
        if (order[i] == front)
            a = i;
        if (order[i] == behind)
            b = i;
    }
    return a < b && b < order.size();
}

struct BoxSearch {
    HWND except;
    HWND found;
};

BOOL CALLBACK find_other_dialog(HWND window, LPARAM param)
{
    BoxSearch *search = reinterpret_cast<BoxSearch *>(param);
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (window != search->except && strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

TEST_F(FolderChooser, ChooserIsInFrontAgainAfterItsMessage)
{
    // Real message boxes, owned by a backdrop over the screen; the page is
    // the backdrop's and hidden, as the setup page is while the chooser is open.
    seam_reset();
    HWND backdrop = CreateWindowExA(0, "STATIC", "backdrop", WS_POPUP | WS_VISIBLE, 0, 0,
                                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), NULL, NULL,
                                    NULL, NULL);
    ASSERT_NE(backdrop, nullptr);
    session.backdrop_window = backdrop;
    DestroyWindow(page);
    page = CreateWindowExA(0, "STATIC", "page", WS_POPUP, 0, 0, 200, 100, backdrop, NULL, NULL, NULL);
    make_folder("Apps");
    set_destination(base + "Apps\\Tool\\");
    DWORD main_thread = GetCurrentThreadId();

    const struct {
        const char *typed;
        int answer;
        UINT message;
    } cases[] = {{"*.*", IDOK, 1020}, {"Sub\\Dir", IDOK, 32023}, {"", IDNO, 48003}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.typed);
        std::string box_text;
        bool front = false;
        HWND active = NULL, chooser = NULL;
        int result = open_chooser([&](const Chooser &c) {
            chooser = c.dialog;
            c.type(k.typed);
            PostMessageA(c.dialog, WM_COMMAND, IDOK, 0);
            BoxSearch search = {c.dialog, NULL};
            for (int waited = 0; !search.found && waited < 10000; waited += 20) {
                Sleep(20);
                EnumThreadWindows(main_thread, find_other_dialog, (LPARAM)&search);
            }
            if (!search.found)
                return;
            char text[600] = "";
            GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
            box_text = text;
            PostMessageA(search.found, WM_COMMAND, k.answer, 0);
            for (int waited = 0; IsWindow(search.found) && waited < 10000; waited += 20)
                Sleep(20);
            // Handled once the dialog's thread takes messages again.
            DWORD_PTR ignored;
            SendMessageTimeoutA(c.dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
            front = in_front_of(c.dialog, backdrop);
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof gui;
            GetGUIThreadInfo(main_thread, &gui);
            active = gui.hwndActive;
            c.cancel();
        });
        ASSERT_TRUE(appeared);
        EXPECT_FALSE(left_open);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(box_text, k.message == 48003 ? catalogue_with(48003, lower(base + "Apps")) : catalogue(k.message));
        EXPECT_TRUE(front) << "the chooser is in front of the backdrop again";
        EXPECT_EQ(active, chooser) << "and is the active window";
    }
    session.backdrop_window = NULL;
    DestroyWindow(backdrop);
}

// The next dialog fails at once; the extended error code is injected after.
void fail_the_dialog_next()
{
    seam_reset();
    seam_hook<SEAM_MessageBoxA>(note_box, 1, 0);
    recorded_boxes.clear();
    seam_fail_at(SEAM_GetSaveFileNameA);
}

TEST_F(FolderChooser, DialogFailuresAreReportedByTheirCode)
{
    set_destination("C:\\Apps\\Tool\\");
    const struct {
        DWORD code;
        UINT message;
    } reported[] = {{1, 33025},      {2, 33020},      {3, 33023},      {4, 33019},  {5, 33026},
                    {6, 33018},      {7, 33024},      {8, 33022},      {9, 33028},  {10, 33030},
                    {11, 33021},     {0x3001, 33031}, {0x3002, 33029}, {0x3003, 33027}};
    for (const auto &r : reported) {
        SCOPED_TRACE(r.code);
        fail_the_dialog_next();
        seam_fail(SEAM_CommDlgExtendedError, r.code, 0);
        EXPECT_EQ(choose_destination_folder(page), 0);
        ASSERT_EQ(recorded_boxes.size(), 1u);
        EXPECT_FALSE(catalogue(r.message).empty());
        EXPECT_EQ(recorded_boxes[0].text, catalogue(r.message));
        EXPECT_EQ(recorded_boxes[0].caption, catalogue(16017));
        EXPECT_EQ(recorded_boxes[0].style, 48u);
        EXPECT_STREQ(session.destination_dir, "C:\\Apps\\Tool\\");
    }
    // Cancel (0) and codes without a message show nothing.
    for (DWORD code : {0ul, 12ul, 0x3004ul, 0xFFFFul}) {
        SCOPED_TRACE(code);
        fail_the_dialog_next();
        seam_fail(SEAM_CommDlgExtendedError, code, 0);
        EXPECT_EQ(choose_destination_folder(page), 0);
        EXPECT_TRUE(recorded_boxes.empty());
        EXPECT_STREQ(session.destination_dir, "C:\\Apps\\Tool\\");
    }
}

} // namespace
