// What the page tests share: a folder of their own with the script and the
// medium's files, a stand-in backdrop window, message boxes recorded through
// the seam, and a way to run a page as the modal dialog the wizard opens.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "shell.h"
#include "ui.h"
#include "win_test_support.h"

namespace pages {

// " ﾊﾞｲﾄ" in code page 932.
static const char BYTES[] = " \xCA\xDE\xB2\xC4";

// The boxes shown, and the answer every recorded box gives.
inline std::vector<RecordedBox> &shown()
{
    return recorded_boxes;
}
inline int &box_answer()
{
    return box_default_answer;
}

inline std::string current_directory()
{
    char buf[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof buf, buf);
    return buf;
}

// The page that is up: a dialog of this thread owned by the backdrop.
struct PageSearch {
    HWND owner;
    HWND found;
};

inline BOOL CALLBACK match_page(HWND window, LPARAM lparam)
{
    PageSearch *search = (PageSearch *)lparam;
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

inline HWND find_page(HWND owner)
{
    PageSearch search = {owner, NULL};
    EnumThreadWindows(GetCurrentThreadId(), match_page, (LPARAM)&search);
    return search.found;
}

// What the timer does to the modal page once it is up.
enum PageAction { PressCommand, PressEscape };

struct ModalRun {
    PageAction action;
    UINT command;
    HWND page;        // the page as it was seen
    int ticks;
    std::string seen; // texts of the page before the action, by the test's choice
    int capture_id;
};

inline ModalRun &modal_run()
{
    static ModalRun run;
    return run;
}

inline VOID CALLBACK act_on_page(HWND, UINT, UINT_PTR timer, DWORD)
{
    ModalRun &run = modal_run();
    HWND page = find_page(session.backdrop_window);
    if (!page) {
        // Never up (or gone): give up after a few seconds rather than hang.
        if (++run.ticks > 300) {
            KillTimer(NULL, timer);
            if (IsWindow(session.backdrop_window))
                DestroyWindow(session.backdrop_window);
        }
        return;
    }
    KillTimer(NULL, timer);
    run.page = page;
    if (run.capture_id)
        run.seen = text_of(page, run.capture_id);
    if (run.action == PressEscape)
        PostMessageA(page, WM_KEYDOWN, VK_ESCAPE, 0);
    else
        SendMessageA(page, WM_COMMAND, run.command, 0);
}

// Opens the page as the wizard does (a modal dialog owned by the backdrop),
// acts on it once it is shown, and returns what DialogBoxParamA returned.
inline INT_PTR run_page(int template_id, DLGPROC procedure, PageAction action, UINT command = 0,
                        int capture_id = 0)
{
    ModalRun &run = modal_run();
    run = ModalRun();
    run.action = action;
    run.command = command;
    run.capture_id = capture_id;
    UINT_PTR timer = SetTimer(NULL, 0, 20, act_on_page);
    EXPECT_NE(timer, 0u);
    INT_PTR result = DialogBoxParamA(session.instance, MAKEINTRESOURCEA(template_id), session.backdrop_window,
                                     procedure, 0);
    KillTimer(NULL, timer);
    drain_messages();
    return result;
}

// Session, script, folder and backdrop of one test.
class PageTest : public WinTest {
protected:
    std::string folder;      // the test's own folder, no trailing backslash
    std::string script;      // its setup.inf
    std::vector<HWND> pages; // modeless pages opened by the test

    void SetUp() override
    {
        WinTest::SetUp();
        if (HasFatalFailure())
            return;

        make_scratch("pgt");
        if (HasFatalFailure())
            return;
        folder = scratch.substr(0, scratch.size() - 1);
        script = session.script_path;
        snprintf(session.source_dir, sizeof session.source_dir, "%s", scratch.c_str());
        GetWindowsDirectoryA(session.windows_dir, sizeof session.windows_dir);
        ASSERT_NE(make_backdrop(), nullptr);
    }

    void TearDown() override
    {
        for (HWND page : pages)
            if (IsWindow(page))
                DestroyWindow(page);
        WinTest::TearDown();
    }

    // The page lies in the middle of the 800 x 600 backdrop.
    static void expect_centred(HWND page)
    {
        RECT r;
        GetWindowRect(page, &r);
        EXPECT_NEAR((r.left + r.right) / 2, 400, 1);
        EXPECT_NEAR((r.top + r.bottom) / 2, 300, 1);
    }

    HWND open_page(int template_id, DLGPROC procedure)
    {
        HWND page = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(template_id), session.backdrop_window,
                                       procedure, 0);
        EXPECT_NE(page, nullptr) << "template " << template_id;
        pages.push_back(page);
        return page;
    }
};

} // namespace pages
