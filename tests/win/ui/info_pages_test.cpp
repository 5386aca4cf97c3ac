// The start prompt, the welcome (farewell) page and the Copyright page under
// Wine: texts from a real script, the licence file from a real folder, the
// pictures and templates of setup.exe, and the buttons through real dialogs.
#include "page_fixture.h"

#include <stdint.h>

using namespace pages;

namespace {

// The pixels of a bitmap as 32-bit values, top row first.
std::vector<uint32_t> pixels_of(HBITMAP bitmap, int *width = nullptr, int *height = nullptr)
{
    BITMAP info;
    if (!bitmap || GetObjectA(bitmap, sizeof info, &info) != (int)sizeof info)
        return {};
    if (width)
        *width = info.bmWidth;
    if (height)
        *height = info.bmHeight;
    BITMAPINFO format;
    memset(&format, 0, sizeof format);
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = info.bmWidth;
    format.bmiHeader.biHeight = -info.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> result((size_t)info.bmWidth * (size_t)info.bmHeight);
    HDC dc = GetDC(NULL);
    int rows = GetDIBits(dc, bitmap, 0, (UINT)info.bmHeight, result.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(NULL, dc);
    if (rows != info.bmHeight)
        return {};
    return result;
}

std::vector<uint32_t> resource_pixels(int id)
{
    HBITMAP bitmap = LoadBitmapA(session.instance, MAKEINTRESOURCEA(id));
    std::vector<uint32_t> result = pixels_of(bitmap);
    DeleteObject(bitmap);
    return result;
}

class InfoPages : public PageTest {
protected:
    HWND open_info(int which)
    {
        session.info_page = which;
        static const int templates[] = {IDD_START, IDD_WELCOME, IDD_COPYRIGHT};
        return open_page(templates[which], info_page_proc);
    }
};

TEST_F(InfoPages, StartPageTextsComeFromTheScript)
{
    // ソ and 表 end in 0x5C; "\n" after them still breaks the line.
    write_script("[start]\r\ntitle=\x83\x5c\x83\x74\x83\x67 \x83\x5A\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76\r\n"
                 "msg=\x83\x5c\\n\x95\x5c\\tEnd\r\n");
    HWND page = open_info(0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(text_of(page), "\x83\x5c\x83\x74\x83\x67 \x83\x5A\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76");
    EXPECT_EQ(text_of(page, IDC_MSG1), "\x83\x5c\n\x95\x5c\tEnd");
    EXPECT_TRUE(shown().empty());
    expect_centred(page);

    // Missing title: its placeholder; an empty message empties the control.
    write_script("[start]\r\nmsg=\r\n");
    page = open_info(0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(text_of(page), "[start]title");
    EXPECT_EQ(text_of(page, IDC_MSG1), "");

    // No section at all.
    write_script("[other]\r\nmsg=x\r\n");
    page = open_info(0);
    EXPECT_EQ(text_of(page, IDC_MSG1), "[start]msg");
}

TEST_F(InfoPages, InitialisationLeavesTheFocusToThePage)
{
    write_script("[start]\r\nmsg=Direct\r\n");
    HWND page = open_page(IDD_START, nullptr);
    ASSERT_NE(page, nullptr);
    session.info_page = 0;
    EXPECT_EQ(info_page_proc(page, WM_INITDIALOG, 0, 0), 0) << "no default focus asked for";
    EXPECT_EQ(text_of(page, IDC_MSG1), "Direct");
    EXPECT_TRUE(shown().empty());
}

TEST_F(InfoPages, WelcomePageTextsPlaceholdersAndPicture)
{
    write_script("[welcome]\r\ntitle=\x82\xe6\x82\xa4\x82\xb1\x82\xbb\r\nmsg1=First\\nline\r\nmsg2=\r\n"
                 "msg4=\x83\x5c\x83\x74\x83\x67\r\n"
                 "[goodby]\r\ntitle=Farewell\r\nmsg1=Bye\r\nmsg3=Gone\r\n");
    HWND page = open_info(1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(text_of(page), "\x82\xe6\x82\xa4\x82\xb1\x82\xbb");
    EXPECT_EQ(text_of(page, IDC_MSG1), "First\nline");
    EXPECT_EQ(text_of(page, IDC_MSG2), "") << "an empty value, not the template's text";
    EXPECT_EQ(text_of(page, IDC_MSG3), "[...]msg3") << "[goodby] is not read outside Uninstall mode";
    EXPECT_EQ(text_of(page, IDC_MSG4), "\x83\x5c\x83\x74\x83\x67");
    EXPECT_EQ(text_of(page, IDC_MSG5), "[...]msg5");
    EXPECT_EQ(text_of(page, IDOK), "\x8E\x9F\x82\xD6(&N)") << "the template's Next label stays";

    HBITMAP picture = (HBITMAP)SendDlgItemMessageA(page, IDC_SIDE_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0);
    std::vector<uint32_t> side = resource_pixels(IDB_SIDE);
    ASSERT_FALSE(side.empty());
    EXPECT_EQ(pixels_of(picture), side) << "the template's picture";

    // Without the section, every text is its placeholder.
    write_script("[start]\r\ntitle=x\r\n");
    page = open_info(1);
    EXPECT_EQ(text_of(page), "[...]title");
    for (int id = IDC_MSG1; id <= IDC_MSG5; id++)
        EXPECT_EQ(text_of(page, id), "[...]msg" + std::to_string(id - IDC_MSG1 + 1));
}

TEST_F(InfoPages, UninstallFarewellReadsGoodbyAndShowsItsOwnPictureAndFinishLabel)
{
    write_script("[welcome]\r\ntitle=Welcome\r\nmsg1=Hello\r\nmsg3=Welcome 3\r\n"
                 "[goodby]\r\ntitle=\x82\xb3\x82\xe6\x82\xa4\x82\xc8\x82\xe7\r\nmsg1=Bye\\nnow\r\nmsg2=\r\n"
                 "msg4=Four\r\nmsg5=Five\r\n");
    session.run_mode = RunModeUninstall;
    HWND page = open_info(1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(text_of(page), "\x82\xb3\x82\xe6\x82\xa4\x82\xc8\x82\xe7");
    EXPECT_EQ(text_of(page, IDC_MSG1), "Bye\nnow");
    EXPECT_EQ(text_of(page, IDC_MSG2), "");
    EXPECT_EQ(text_of(page, IDC_MSG3), "[...]msg3") << "same placeholder in [goodby], [welcome] not read";
    EXPECT_EQ(text_of(page, IDC_MSG4), "Four");
    EXPECT_EQ(text_of(page, IDC_MSG5), "Five");
    ASSERT_FALSE(catalogue(CAP_COMPLETED).empty());
    EXPECT_EQ(text_of(page, IDOK), catalogue(CAP_COMPLETED));

    HBITMAP picture = (HBITMAP)SendDlgItemMessageA(page, IDC_SIDE_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0);
    ASSERT_NE(picture, nullptr);
    int width = 0, height = 0;
    std::vector<uint32_t> shown_pixels = pixels_of(picture, &width, &height);
    EXPECT_EQ(width, 125);
    EXPECT_EQ(height, 241);
    std::vector<uint32_t> alt = resource_pixels(IDB_SIDE_ALT), side = resource_pixels(IDB_SIDE);
    ASSERT_FALSE(alt.empty());
    EXPECT_NE(alt, side) << "the two pictures must differ for this test to mean anything";
    EXPECT_EQ(shown_pixels, alt) << "bitmap 115 in place of the template's 102";
}

class Copyright : public InfoPages {
protected:
    // Opens the Copyright page with `file` naming `name` (no key when null).
    HWND open_with(const char *name)
    {
        std::string text = "[copyright]\r\ntitle=\x8E\x67\x97\x70\x8B\x96\x91\xF8\r\nmsg1=Read\\nthis\r\n"
                           "msg2=\r\n";
        if (name)
            text += std::string("file=") + name + "\r\n";
        write_script(text);
        return open_info(2);
    }
    std::string licence(HWND page) { return text_of(page, IDC_LICENCE_TEXT); }
};

TEST_F(Copyright, TextsAndALicenceTakenAsItIs)
{
    // 表 (0x95 0x5C) in the file name; CP932 text with CR LF and a bare LF.
    const std::string body = "\x91\xe6\x31\x8f\xf0\r\n\x83\x5c\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41\r\n"
                             "line\nnext\ttab\r\n";
    write_file(folder + "\\\x95\x5c.txt", body);
    HWND page = open_with("\x95\x5c.txt");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(text_of(page), "\x8E\x67\x97\x70\x8B\x96\x91\xF8");
    EXPECT_EQ(text_of(page, IDC_MSG1), "Read\nthis");
    EXPECT_EQ(text_of(page, IDC_MSG2), "");
    std::string got = licence(page);
    EXPECT_EQ(got, body) << describe_difference(body, got);
    EXPECT_TRUE(shown().empty());

    // Placeholders of the page.
    write_script("[copyright]\r\n");
    page = open_info(2);
    EXPECT_EQ(text_of(page), "[copyright]title");
    EXPECT_EQ(text_of(page, IDC_MSG1), "[copyright]msg1");
    EXPECT_EQ(text_of(page, IDC_MSG2), "[copyright]msg2");
    EXPECT_EQ(licence(page), "");
}

TEST_F(Copyright, FileValueIsReadWithoutEscapes)
{
    // "a\nb.txt" names a file in the folder "a" (backslash kept), not a line break.
    CreateDirectoryA((folder + "\\a").c_str(), NULL);
    write_file(folder + "\\a\\nb.txt", "in a folder");
    HWND page = open_with("a\\nb.txt");
    EXPECT_EQ(licence(page), "in a folder");
}

TEST_F(Copyright, NoFileKeyLeavesTheBoxEmpty)
{
    HWND page = open_with(nullptr);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(licence(page), "");
    EXPECT_TRUE(shown().empty()) << "no message";
}

TEST_F(Copyright, MissingAndUnreadableFilesShowTheirMessageInTheBox)
{
    ASSERT_FALSE(catalogue(MSG_FILE_NOT_FOUND).empty());
    HWND page = open_with("missing.txt");
    EXPECT_EQ(licence(page), catalogue(MSG_FILE_NOT_FOUND));

    // A folder where the file should be.
    ASSERT_TRUE(CreateDirectoryA((folder + "\\licence.txt").c_str(), NULL));
    page = open_with("licence.txt");
    EXPECT_EQ(licence(page), catalogue(MSG_FILE_NO_ACCESS));
    EXPECT_TRUE(shown().empty()) << "shown in the box, not in a message box";
}

TEST_F(Copyright, DeviceNamesAreFilesThatCannotBeOpened)
{
    // Read as a file, CON or a serial port would wait for input for ever.
    for (const char *name : {"NUL", "con", "COM1", "nul.txt"}) {
        SCOPED_TRACE(name);
        HWND page = open_with(name);
        std::string text = licence(page);
        EXPECT_TRUE(text == catalogue(MSG_FILE_CANNOT_OPEN) || text == catalogue(MSG_FILE_NOT_FOUND) ||
                    text == catalogue(MSG_FILE_NO_ACCESS))
            << text;
    }
    // A device that opens as NUL does: its type, not its name, refuses it.
    unsigned calls = seam_count(SEAM_GetFileType);
    HWND page = open_with("NUL");
    EXPECT_EQ(licence(page), catalogue(MSG_FILE_CANNOT_OPEN));
    EXPECT_EQ(seam_count(SEAM_GetFileType), calls + 1);
    EXPECT_TRUE(shown().empty());
}

TEST_F(Copyright, FileHeldWithoutSharingCannotBeAccessed)
{
    std::string path = folder + "\\licence.txt";
    write_file(path, "terms");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HWND page = open_with("licence.txt");
    EXPECT_EQ(licence(page), catalogue(MSG_FILE_NO_ACCESS));
    CloseHandle(held);
}

TEST_F(Copyright, FileBeingWrittenElsewhereIsStillShown)
{
    // Another program writes the file but shares it for reading and writing:
    // the file can be read, so its text is shown.
    std::string path = folder + "\\licence.txt";
    write_file(path, "terms being edited");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HWND page = open_with("licence.txt");
    EXPECT_EQ(licence(page), "terms being edited");
    CloseHandle(held);
}

TEST_F(Copyright, FailedOpenAfterTheAccessTestShowsCannotOpen)
{
    write_file(folder + "\\licence.txt", "terms");
    // The first CreateFileA is the access test; the second, the open, fails.
    seam_fail_at(SEAM_CreateFileA, seam_count(SEAM_CreateFileA) + 2);
    HWND page = open_with("licence.txt");
    EXPECT_EQ(seam_count(SEAM_CreateFileA), 2u);
    ASSERT_FALSE(catalogue(MSG_FILE_CANNOT_OPEN).empty());
    EXPECT_EQ(licence(page), catalogue(MSG_FILE_CANNOT_OPEN));
    EXPECT_TRUE(shown().empty());
}

TEST_F(Copyright, LongFileShowsItsFirst32768Bytes)
{
    std::string body;
    for (int line = 0; body.size() < 40000; line++)
        body += "Article " + std::to_string(line) + ": \x8B\x4B\x96\xF1\r\n";
    write_file(folder + "\\long.txt", body);
    HWND page = open_with("long.txt");
    std::string got = licence(page);
    EXPECT_EQ(got.size(), 32768u);
    EXPECT_EQ(got, body.substr(0, got.size())) << describe_difference(body.substr(0, got.size()), got);

    // The page opened again (after Back) with a shorter file shows only that
    // file: nothing of the earlier text is left behind it.
    write_file(folder + "\\long.txt", "Short terms");
    page = open_with("long.txt");
    EXPECT_EQ(licence(page), "Short terms");
}

TEST_F(Copyright, ZeroByteEndsTheTextAndAnEmptyFileShowsNothing)
{
    write_file(folder + "\\zero.txt", std::string("before\r\n\0after", 14));
    HWND page = open_with("zero.txt");
    EXPECT_EQ(licence(page), "before\r\n");

    write_file(folder + "\\empty.txt", "");
    page = open_with("empty.txt");
    EXPECT_EQ(licence(page), "");
    EXPECT_TRUE(shown().empty());

    // A read that fails shows nothing either.
    write_file(folder + "\\unread.txt", "never shown");
    seam_fail_at(SEAM_ReadFile, SEAM_NEXT);
    page = open_with("unread.txt");
    EXPECT_EQ(licence(page), "");
}

// The buttons, with the pages opened modally as the wizard opens them.
class InfoButtons : public InfoPages {
protected:
    void SetUp() override
    {
        InfoPages::SetUp();
        write_script("[break]\r\ntitle=\x92\x86\x8E\x7E\r\nmsg=Stopped\\nhere\r\n"
                     "title_uninstall=Removal stopped\r\nmsg_uninstall=Nothing removed\r\n"
                     "[copyright]\r\nfile=missing.txt\r\n");
    }
    void expect_cancel_notice(const char *caption, const char *text)
    {
        ASSERT_EQ(shown().size(), 1u);
        EXPECT_EQ(shown()[0].caption, caption);
        EXPECT_EQ(shown()[0].text, text);
        EXPECT_EQ(shown()[0].style, (UINT)(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_EQ(shown()[0].owner, session.backdrop_window);
        EXPECT_FALSE(IsWindow(session.backdrop_window)) << "the run ends: the backdrop is closed";
    }
};

TEST_F(InfoButtons, CommandOneEndsEachPageWithZero)
{
    static const int templates[] = {IDD_START, IDD_WELCOME, IDD_COPYRIGHT};
    for (int which = 0; which < 3; which++) {
        SCOPED_TRACE(which);
        session.info_page = which;
        // The Copyright page names a missing file: Yes still leads on.
        EXPECT_EQ(run_page(templates[which], info_page_proc, PressCommand, IDOK), 0);
        EXPECT_NE(modal_run().page, nullptr);
        EXPECT_FALSE(IsWindow(modal_run().page));
        EXPECT_TRUE(IsWindow(session.backdrop_window));
    }
    EXPECT_TRUE(shown().empty());
}

TEST_F(InfoButtons, CancelOnTheStartPageShowsTheBreakNoticeAndEndsTheRun)
{
    session.info_page = 0;
    run_page(IDD_START, info_page_proc, PressCommand, IDCANCEL);
    expect_cancel_notice("\x92\x86\x8E\x7E", "Stopped\nhere");
    EXPECT_FALSE(IsWindow(modal_run().page));
}

TEST_F(InfoButtons, NoOnTheCopyrightPageCancelsTheRun)
{
    session.info_page = 2;
    run_page(IDD_COPYRIGHT, info_page_proc, PressCommand, IDCANCEL, IDC_LICENCE_TEXT);
    EXPECT_EQ(modal_run().seen, catalogue(MSG_FILE_NOT_FOUND)) << "the page was up with its message";
    expect_cancel_notice("\x92\x86\x8E\x7E", "Stopped\nhere");
}

TEST_F(InfoButtons, EscapeOnTheWelcomePageCancelsTheRun)
{
    session.info_page = 1;
    run_page(IDD_WELCOME, info_page_proc, PressEscape);
    expect_cancel_notice("\x92\x86\x8E\x7E", "Stopped\nhere");
}

TEST_F(InfoButtons, CancelOfTheFarewellPageShowsTheUninstallNotice)
{
    session.run_mode = RunModeUninstall;
    session.info_page = 1;
    run_page(IDD_WELCOME, info_page_proc, PressCommand, IDCANCEL);
    expect_cancel_notice("Removal stopped", "Nothing removed");
}

TEST_F(InfoButtons, OtherCommandsAreLeftAlone)
{
    session.info_page = 0;
    HWND page = open_info(0);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOWNA);
    EXPECT_EQ(info_page_proc(page, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0), 0)
        << "only a whole parameter of 1 ends the page";
    EXPECT_EQ(info_page_proc(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0), 0);
    EXPECT_EQ(info_page_proc(page, WM_COMMAND, IDC_MSG1, 0), 0);
    EXPECT_EQ(info_page_proc(page, WM_TIMER, IDOK, 0), 0);
    EXPECT_TRUE(IsWindowVisible(page)) << "not ended";
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(IsWindow(session.backdrop_window));
}

TEST_F(InfoButtons, UnknownPageEndsTheRunAtOnce)
{
    session.info_page = 3;
    HWND page = CreateDialogParamA(session.instance, MAKEINTRESOURCEA(IDD_WELCOME), session.backdrop_window,
                                   info_page_proc, 0);
    pages.push_back(page);
    expect_cancel_notice("\x92\x86\x8E\x7E", "Stopped\nhere");
    EXPECT_FALSE(page && IsWindow(page)) << "the page goes with the backdrop";
}

} // namespace
