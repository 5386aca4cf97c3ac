// Message boxes by catalogue number, centring, the progress dialog's status
// area and the backdrop window, under Wine with setup.exe's own resources.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "resource_test_support.h"
#include "seam.h"
#include "setup.h"
#include "ui.h"
#include "win_test_support.h"

namespace {

std::vector<RecordedBox> &shown = recorded_boxes;
int &answer = box_default_answer;

class Ui : public WinTest {};

TEST_F(Ui, MessageBoxesComeFromTheCatalogueAndBelongToTheBackdrop)
{
    session.backdrop_window = GetDesktopWindow();
    answer = IDNO;
    EXPECT_EQ(show_message(MSG_SAME_FOLDER, CAP_START_ERROR, MB_OK | MB_ICONSTOP), IDNO);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, session.backdrop_window);
    EXPECT_EQ(shown[0].text, catalogue(MSG_SAME_FOLDER));
    EXPECT_EQ(shown[0].caption, catalogue(CAP_START_ERROR));
    EXPECT_EQ(shown[0].style, (UINT)(MB_OK | MB_ICONSTOP));

    // One insertion; the disk label is CP932 with a 0x5C trail byte.
    show_message(MSG_INSERT_DISK, CAP_DISK_PREPARE, 49, "\x83\x5c\x83\x74\x83\x67 DISK1");
    std::string format = catalogue(MSG_INSERT_DISK);
    size_t at = format.find("%s");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(shown[1].text, format.substr(0, at) + "\x83\x5c\x83\x74\x83\x67 DISK1" + format.substr(at + 2));
    EXPECT_EQ(shown[1].style, 49u);

    // A text without placeholder is shown unchanged.
    show_message(MSG_SAME_FOLDER, CAP_START_ERROR, 16, "ignored");
    EXPECT_EQ(shown[2].text, catalogue(MSG_SAME_FOLDER));

    // Two insertions, in order.
    show_message(MSG_REMOVAL_FAILED, CAP_END, 48, "App", "C:\\Tools\\");
    format = catalogue(MSG_REMOVAL_FAILED);
    size_t first = format.find("%s"), second = format.find("%s", first + 2);
    EXPECT_EQ(shown[3].text, format.substr(0, first) + "App" + format.substr(first + 2, second - first - 2) +
                                 "C:\\Tools\\" + format.substr(second + 2));

    // A number without entry gives an empty text and caption.
    show_message(3, 99, 64);
    EXPECT_EQ(shown[4].text, "");
    EXPECT_EQ(shown[4].caption, "");
}

TEST_F(Ui, LongInsertionIsCutToTheBox)
{
    session.backdrop_window = GetDesktopWindow();
    std::string label;
    for (int i = 0; i < 300; i++)
        label += "\x83\x5c"; // 600 bytes of ソ
    show_message(MSG_INSERT_DISK, CAP_DISK_PREPARE, 49, label.c_str());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.size(), 511u - (511u - catalogue(MSG_INSERT_DISK).find("%s")) % 2u)
        << "cut to 511 bytes, on a character boundary";
    EXPECT_LE(shown[0].text.size(), 511u);
}

INT_PTR CALLBACK quiet_proc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A plain window standing in for the backdrop, of a chosen size.
HWND stand_in_backdrop(int left, int top, int width, int height)
{
    HWND w = CreateWindowExA(0, "STATIC", "backdrop", WS_POPUP | WS_VISIBLE, left, top, width, height, NULL, NULL,
                             NULL, NULL);
    return w;
}

TEST_F(Ui, PagesAreCentredOnTheBackdrop)
{
    session.backdrop_window = stand_in_backdrop(0, 0, 800, 600);
    HWND page = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_WELCOME), session.backdrop_window,
                                   quiet_proc, 0);
    ASSERT_NE(page, nullptr);
    RECT b, w;
    GetWindowRect(session.backdrop_window, &b);
    GetWindowRect(page, &w);
    int width = w.right - w.left, height = w.bottom - w.top;
    center_on_backdrop(page);
    RECT after;
    GetWindowRect(page, &after);
    EXPECT_EQ(after.left, (b.right - w.right) / 2);
    EXPECT_EQ(after.top, (b.bottom - w.bottom) / 2);
    EXPECT_EQ(after.right - after.left, width);
    EXPECT_EQ(after.bottom - after.top, height);
    DestroyWindow(page);
    DestroyWindow(session.backdrop_window);

    // A backdrop narrower than the page puts it at a negative left edge.
    session.backdrop_window = stand_in_backdrop(0, 0, 100, 600);
    page = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_WELCOME), session.backdrop_window, quiet_proc,
                              0);
    GetWindowRect(session.backdrop_window, &b);
    GetWindowRect(page, &w);
    center_on_backdrop(page);
    GetWindowRect(page, &after);
    EXPECT_LT(after.left, 0);
    EXPECT_EQ(after.left, (b.right - w.right) / 2);
    DestroyWindow(page);
    DestroyWindow(session.backdrop_window);
    drain_messages();
}

class StatusArea : public Ui {
protected:
    HWND dialog = NULL;
    void open(unsigned mode)
    {
        session.run_mode = mode;
        dialog = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, quiet_proc, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(IsWindowVisible(dialog));
        prepare_status_area(dialog);
    }
    void TearDown() override
    {
        if (dialog)
            DestroyWindow(dialog);
        drain_messages();
        Ui::TearDown();
    }
    int position() { return (int)SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0); }
};

TEST_F(StatusArea, SetupLabelsIconAndBar)
{
    open(RunModeTempCopy);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_LABEL), catalogue(LBL_SOURCE_FILE));
    EXPECT_EQ(text_of(dialog, IDC_TARGET_LABEL), catalogue(LBL_TARGET_FILE));
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0), 100)
        << "the bar keeps the platform's range of 0 to 100";
}

TEST_F(StatusArea, UninstallLabelsAreWorkingAndABlank)
{
    open(RunModeUninstall);
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_LABEL), catalogue(CAP_WORKING));
    EXPECT_EQ(text_of(dialog, IDC_TARGET_LABEL), " ");
}

TEST_F(StatusArea, StatusLinesBlankTheLabelsForGood)
{
    open(RunModeSetup);
    SetDlgItemTextA(dialog, IDC_TARGET_FILE, "C:\\Tools\\a.exe");
    show_status_message(dialog, MSG_STATUS_REGISTRY);
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), catalogue(MSG_STATUS_REGISTRY));
    EXPECT_EQ(text_of(dialog, IDC_TARGET_FILE), "");
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_LABEL), "");
    EXPECT_EQ(text_of(dialog, IDC_TARGET_LABEL), "");

    // The next file shown fills both lines; the labels stay blank.
    SetDlgItemTextA(dialog, IDC_SOURCE_FILE, "D:\\a.exe");
    SetDlgItemTextA(dialog, IDC_TARGET_FILE, "C:\\Tools\\a.exe");
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_LABEL), "");

    show_status_message(dialog, MSG_STATUS_DELETING, "SOFTWARE\\\x83\x5c\x83\x74\x83\x67\\Tools");
    std::string format = catalogue(MSG_STATUS_DELETING);
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE),
              format.substr(0, format.find("%s")) + "SOFTWARE\\\x83\x5c\x83\x74\x83\x67\\Tools" +
                  format.substr(format.find("%s") + 2));

    show_status_message(dialog, MSG_STATUS_DELETING, "Run");
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), format.substr(0, format.find("%s")) + "Run" +
                                                      format.substr(format.find("%s") + 2));

    show_status_step(dialog, MSG_STATUS_STARTMENU);
    EXPECT_EQ(text_of(dialog), catalogue(CAP_INITIALISATION));
    EXPECT_EQ(text_of(dialog, IDC_SOURCE_FILE), catalogue(MSG_STATUS_STARTMENU));
}

// The backdrop reads its texts and font from a script file.
class Backdrop : public Ui {
protected:
    char path[MAX_PATH];
    static int registered;

    void SetUp() override
    {
        Ui::SetUp();
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        GetTempFileNameA(dir, "bdr", 0, path);
        snprintf(session.script_path, sizeof session.script_path, "%s", path);
        if (!registered) {
            ASSERT_TRUE(register_backdrop_class());
            registered = 1;
        }
    }
    void TearDown() override
    {
        if (session.backdrop_window)
            DestroyWindow(session.backdrop_window);
        drain_messages();
        DeleteFileA(path);
        Ui::TearDown();
    }
    void write(const char *bytes) { write_file(path, bytes); }
};
int Backdrop::registered;

TEST_F(Backdrop, SetupModeWindowTextAndFont)
{
    write("[general]\r\ntitle=\x83\x5c\x83\x74\x83\x67 Setup\r\nmsg=Line\\none\r\n"
          "[font]\r\nHeight=-20\r\nItalic=0\r\nWeight=400\r\nCharSet=128\r\nFaceName=IPAGothic\r\n"
          "PitchAndFamily=306\r\n");
    ASSERT_TRUE(create_backdrop_window());
    HWND w = session.backdrop_window;
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    EXPECT_STREQ(cls, "Setup");
    EXPECT_TRUE(IsZoomed(w)) << "maximised whatever the show command";
    EXPECT_TRUE(IsWindowVisible(w));
    LONG style = GetWindowLongA(w, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetWindowLongA(w, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_EQ(text_of(w), "\x83\x5c\x83\x74\x83\x67 Setup");
    EXPECT_STREQ(session.backdrop_text, "Line\none");

    const LOGFONTA &f = session.backdrop_font;
    EXPECT_EQ(f.lfHeight, -20);
    EXPECT_EQ(f.lfWidth, 0);
    EXPECT_EQ(f.lfWeight, 400);
    EXPECT_EQ(f.lfItalic, 0);
    EXPECT_EQ(f.lfCharSet, 128);
    EXPECT_EQ(f.lfPitchAndFamily, 306 & 0xFF) << "the low byte of the integer";
    EXPECT_EQ(f.lfOutPrecision, 5);
    EXPECT_EQ(f.lfQuality, 2);
    EXPECT_STREQ(f.lfFaceName, "IPAGothic");
}

TEST_F(Backdrop, DefaultsAndPlaceholders)
{
    write("[general]\r\napplication=App\r\n");
    session.run_mode = RunModeUninstall;
    ASSERT_TRUE(create_backdrop_window());
    EXPECT_EQ(text_of(session.backdrop_window), "[uninstall]title_uninstall");
    EXPECT_STREQ(session.backdrop_text, "[uninstall]msg_uninstall");
    const LOGFONTA &f = session.backdrop_font;
    EXPECT_EQ(f.lfHeight, -50);
    EXPECT_EQ(f.lfWeight, 800);
    EXPECT_EQ(f.lfItalic, 1);
    EXPECT_EQ(f.lfOutPrecision, 5);
    EXPECT_EQ(f.lfQuality, 2);
    EXPECT_EQ(f.lfPitchAndFamily, 18);
    EXPECT_STREQ(f.lfFaceName, "Times New Roman");
    EXPECT_EQ(f.lfCharSet, SHIFTJIS_CHARSET) << "the Japanese texts are drawn as Japanese";

    // A character set the script gives stays as given, the ANSI one too.
    DestroyWindow(session.backdrop_window);
    write("[general]\r\napplication=App\r\n[font]\r\nCharSet=0\r\n");
    ASSERT_TRUE(create_backdrop_window());
    EXPECT_EQ(session.backdrop_font.lfCharSet, ANSI_CHARSET);
}

TEST_F(Backdrop, UninstallTextsComeFromGeneralAndAnEmptyMessageDrawsNothing)
{
    write("[general]\r\ntitle=Setup title\r\ntitle_uninstall=Removal\r\nmsg=Setup text\r\nmsg_uninstall=\r\n");
    session.run_mode = RunModeUninstall;
    ASSERT_TRUE(create_backdrop_window());
    EXPECT_EQ(text_of(session.backdrop_window), "Removal");
    EXPECT_STREQ(session.backdrop_text, "");
}

TEST_F(Backdrop, PaintsBlueAfterOneFullRepaint)
{
    write("[general]\r\nmsg=Text\r\n");
    ASSERT_TRUE(create_backdrop_window());
    HWND w = session.backdrop_window;
    drain_messages();
    EXPECT_EQ(session.backdrop_repainted, 1);
    HBRUSH brush = (HBRUSH)GetClassLongPtrA(w, GCLP_HBRBACKGROUND);
    EXPECT_NE(brush, (HBRUSH)GetStockObject(WHITE_BRUSH)) << "the class brush is replaced";
    LOGBRUSH lb;
    ASSERT_EQ(GetObjectA(brush, sizeof lb, &lb), (int)sizeof lb);
    EXPECT_EQ(lb.lbColor, RGB(0, 0, 255));

    RECT client;
    GetClientRect(w, &client);
    HDC dc = GetDC(w);
    EXPECT_EQ(GetPixel(dc, client.right - 5, client.bottom - 5), RGB(0, 0, 255));
    ReleaseDC(w, dc);
}

TEST_F(Backdrop, ClosingPostsTheQuitMessage)
{
    write("");
    ASSERT_TRUE(create_backdrop_window());
    SendMessageA(session.backdrop_window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(session.backdrop_window));
    session.backdrop_window = NULL;
    MSG msg;
    int quit = 0;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = 1;
            EXPECT_EQ(msg.wParam, 0u);
        }
    }
    EXPECT_EQ(quit, 1);
}

} // namespace
