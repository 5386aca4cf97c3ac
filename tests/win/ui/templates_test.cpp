// The dialog templates inside setup.exe, each created for real from the
// data-file module: every control the program (or, in the folder chooser,
// the platform's save-file dialog) addresses by number is there with the
// class and the style bits its use needs, every fixed text comes through in
// code page 932, and the template numbers, captions, font, sizes and
// pictures are the fixed ones. Where a control stands is the layout's own
// business, apart from the disk-space labels beside their figures. Then the
// pictures and the icon themselves.

#include "resource_test_support.h"
#include "win_test_support.h"

#include "resource_ids.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

const int NONE = -1; // control without a number (IDC_STATIC)

enum Kind { DEF_PUSH, PUSH, CHECK, ICON_PICTURE, BITMAP_PICTURE, ETCHED, TEXT, TEXT_NOPREFIX, LICENCE_EDIT,
            EDIT, OWNERDRAWN_LIST, LIST, OWNERDRAWN_COMBO, COMBO, PROGRESS };

// What a kind of control must be: its class, style & mask == value, all the
// bits of `all`, one of the bits of `any`, a border where the template asks
// for one.
struct KindRule {
    const char *name;
    const char *window_class;
    DWORD mask, value, all, any;
    bool border;
};
const KindRule rules[] = {
    {"default push button", "Button", BS_TYPEMASK, BS_DEFPUSHBUTTON, 0, 0, false},
    {"push button", "Button", BS_TYPEMASK, BS_PUSHBUTTON, 0, 0, false},
    // BS_CHECKBOX or BS_AUTOCHECKBOX: the save-file dialog reads it with IsDlgButtonChecked.
    {"check box", "Button", BS_TYPEMASK & ~1u, BS_CHECKBOX, 0, 0, false},
    {"icon", "Static", SS_TYPEMASK, SS_ICON, 0, 0, false},
    {"bitmap", "Static", SS_TYPEMASK, SS_BITMAP, 0, 0, false},
    {"etched line", "Static", SS_TYPEMASK, SS_ETCHEDHORZ, 0, 0, false},
    // Left-aligned and wrapping: the script's texts may run over several lines.
    {"text", "Static", SS_TYPEMASK, SS_LEFT, 0, 0, false},
    {"text without prefix", "Static", SS_TYPEMASK, SS_LEFT, SS_NOPREFIX, 0, false},
    {"read-only multi-line edit", "Edit", 0, 0, ES_MULTILINE | ES_READONLY | WS_VSCROLL, 0, true},
    {"single-line edit", "Edit", ES_MULTILINE, 0, 0, 0, false},
    // The save-file dialog draws its folder and drive lists and reads their strings back.
    {"owner-drawn list box", "ListBox", 0, 0, LBS_HASSTRINGS, LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE, false},
    {"list box", "ListBox", 0, 0, 0, 0, false},
    {"owner-drawn drop-down list", "ComboBox", 3, CBS_DROPDOWNLIST, CBS_HASSTRINGS,
     CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE, false},
    {"drop-down list", "ComboBox", 3, CBS_DROPDOWNLIST, 0, 0, false},
    {"progress bar", "msctls_progress32", 0, 0, 0, 0, true},
};

struct Control {
    int dialog;
    int id;
    Kind kind;
    const char *text = nullptr; // UTF-8; null when the template's text is not fixed
    int shows = 0;              // icon or bitmap number shown by the control
    int beside = 0;             // a label the code never addresses: the figure it stands left of
    bool hidden = false;
};
const bool HIDDEN = true;

// Every control of every template. Those with a number are the ones the code
// reads or sets (src/ui/info_pages.cpp, setup_page.cpp, status_area.cpp,
// run_pacing.cpp) or, in the folder chooser, the ones the save-file dialog
// expects (dlgs.h names); those without are found by kind, text and picture.
const Control controls[] = {
    {IDD_START, IDOK, DEF_PUSH, u8"OK"},
    {IDD_START, IDCANCEL, PUSH, u8"ｷｬﾝｾﾙ"},
    {IDD_START, IDC_MSG1, TEXT, u8"Message"}, // [start] msg
    {IDD_START, NONE, ICON_PICTURE, nullptr, IDI_SETUP},

    {IDD_WELCOME, IDC_SIDE_PICTURE, BITMAP_PICTURE, nullptr, IDB_SIDE}, // picture 115 on a removal
    {IDD_WELCOME, NONE, ETCHED},
    {IDD_WELCOME, IDOK, PUSH, u8"次へ(&N)"}, // relabelled on a removal
    {IDD_WELCOME, IDCANCEL, PUSH, u8"ｷｬﾝｾﾙ"},
    {IDD_WELCOME, IDC_MSG1, TEXT, u8"Msg1"},
    {IDD_WELCOME, IDC_MSG2, TEXT, u8"Msg2"},
    {IDD_WELCOME, IDC_MSG3, TEXT, u8"Msg3"},
    {IDD_WELCOME, IDC_MSG4, TEXT, u8"Msg4"},
    {IDD_WELCOME, IDC_MSG5, TEXT, u8"Msg5"},

    {IDD_COPYRIGHT, NONE, BITMAP_PICTURE, nullptr, IDB_SIDE},
    {IDD_COPYRIGHT, NONE, ETCHED},
    {IDD_COPYRIGHT, IDOK, PUSH, u8"はい(&Y)"},
    {IDD_COPYRIGHT, IDCANCEL, PUSH, u8"いいえ(&N)"},
    {IDD_COPYRIGHT, IDC_MSG1, TEXT, u8"Msg1"},
    {IDD_COPYRIGHT, IDC_MSG2, TEXT, u8"Msg2"},
    {IDD_COPYRIGHT, IDC_LICENCE_TEXT, LICENCE_EDIT}, // up to 32768 bytes of licence

    {IDD_SETUP, NONE, BITMAP_PICTURE, nullptr, IDB_SIDE},
    {IDD_SETUP, NONE, ETCHED},
    {IDD_SETUP, NONE, ETCHED},
    {IDD_SETUP, IDOK, PUSH, u8"完了(&C)"},
    {IDD_SETUP, IDCANCEL, PUSH, u8"ｷｬﾝｾﾙ"},
    {IDD_SETUP, IDC_BACK, PUSH, u8"戻る(&B)"},
    {IDD_SETUP, IDC_CHOOSE_FOLDER, PUSH, u8"ﾌｫﾙﾀﾞ(&F)..."},
    {IDD_SETUP, IDC_MSG1, TEXT, u8"Msg1"},
    {IDD_SETUP, IDC_MSG_SUB1, TEXT, u8"MsgSub1"},
    {IDD_SETUP, IDC_MSG2, TEXT, u8"Msg2"},
    {IDD_SETUP, IDC_MSG_SUB2, TEXT, u8"MsgSub2"},
    {IDD_SETUP, IDC_SYSTEM_HEADING, TEXT, u8"System"},
    {IDD_SETUP, IDC_SYSTEM_DIR, TEXT, u8"SystemDir"},
    {IDD_SETUP, IDC_SYSTEM_NEEDED, TEXT, u8"SystemDiskspace"},
    {IDD_SETUP, IDC_SYSTEM_FREE, TEXT, u8"SystemFreespace"},
    {IDD_SETUP, IDC_DEST_HEADING, TEXT, u8"Destination"},
    {IDD_SETUP, IDC_DEST_DIR, TEXT, u8"DestinatinDir"},
    {IDD_SETUP, IDC_DEST_NEEDED, TEXT, u8"DestinationDisksspace"},
    {IDD_SETUP, IDC_DEST_FREE, TEXT, u8"DestinationFreespace"},
    {IDD_SETUP, NONE, TEXT, u8"必要なﾃﾞｨｽｸ領域", 0, IDC_SYSTEM_NEEDED},
    {IDD_SETUP, NONE, TEXT, u8"空きﾃﾞｨｽｸ領域:", 0, IDC_SYSTEM_FREE},
    {IDD_SETUP, NONE, TEXT, u8"必要なﾃﾞｨｽｸ領域", 0, IDC_DEST_NEEDED},
    {IDD_SETUP, NONE, TEXT, u8"空きﾃﾞｨｽｸ領域:", 0, IDC_DEST_FREE},

    {IDD_PROGRESS, IDC_PROGRESS_ICON, ICON_PICTURE, nullptr, IDI_SETUP}, // drawn into at the start of a run
    {IDD_PROGRESS, IDC_SOURCE_LABEL, TEXT, u8"転送元ﾌｧｲﾙ:"},
    {IDD_PROGRESS, IDC_SOURCE_FILE, TEXT, u8"Static"},
    {IDD_PROGRESS, IDC_TARGET_LABEL, TEXT, u8"転送先ﾌｧｲﾙ:"},
    {IDD_PROGRESS, IDC_TARGET_FILE, TEXT, u8"Static"},
    {IDD_PROGRESS, IDC_PROGRESS_BAR, PROGRESS}, // PBM_SETPOS

    {IDD_FOLDER, NONE, TEXT, u8"現在のﾌｫﾙﾀﾞ(&F):"},
    {IDD_FOLDER, stc1, TEXT_NOPREFIX}, // the listed folder, read by the hook
    {IDD_FOLDER, lst2, OWNERDRAWN_LIST},
    {IDD_FOLDER, stc3, TEXT, u8"新規に作成するﾌｫﾙﾀﾞ(&N):"},
    {IDD_FOLDER, edt1, EDIT}, // the new folder's name, read and set by the hook
    {IDD_FOLDER, stc4, TEXT, u8"ﾄﾞﾗｲﾌﾞ(&D):"},
    {IDD_FOLDER, cmb2, OWNERDRAWN_COMBO},
    {IDD_FOLDER, IDOK, DEF_PUSH, u8"OK"}, // the hook checks the name on it
    {IDD_FOLDER, IDCANCEL, PUSH, u8"ｷｬﾝｾﾙ"},
    {IDD_FOLDER, lst1, LIST, nullptr, 0, 0, HIDDEN},
    {IDD_FOLDER, stc2, TEXT, u8"List files of &type:", 0, 0, HIDDEN},
    {IDD_FOLDER, cmb1, COMBO, nullptr, 0, 0, HIDDEN},
    {IDD_FOLDER, pshHelp, PUSH, u8"&Help", 0, 0, HIDDEN},
    {IDD_FOLDER, chx1, CHECK, u8"&Read only", 0, 0, HIDDEN},
    {IDD_FOLDER, psh14, PUSH, u8"Net&work...", 0, 0, HIDDEN},
};

struct Dialog {
    int number;
    const char *title;   // UTF-8
    short cx, cy;        // dialog units
    bool placed = false; // its own place on the screen, in dialog units
    short x = 0, y = 0;
};
const Dialog dialogs[] = {
    {IDD_START, u8"Start", 234, 75},
    {IDD_WELCOME, u8"Welcome", 269, 195},
    {IDD_COPYRIGHT, u8"Copyright", 271, 201},
    {IDD_SETUP, u8"Setup", 269, 199},
    {IDD_PROGRESS, u8"ﾌｧｲﾙのｺﾋﾟｰ", 239, 77},
    {IDD_FOLDER, u8"ﾌｫﾙﾀﾞの選択", 201, 167, true, 36, 24},
};

// Names a dialog in GoogleTest's messages instead of dumping its bytes.
void PrintTo(const Dialog &dialog, std::ostream *out)
{
    *out << "dialog " << dialog.number;
}

const wchar_t dialog_font[] = L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"; // ＭＳ Ｐゴシック

// ---------------------------------------------------------------------------
// Comparison, on the windows the dialog manager made of the template

// A control's number, class, style and text, for a failure message.
std::string describe(HWND child)
{
    char window_class[64] = "", line[160];
    GetClassNameA(child, window_class, sizeof window_class);
    snprintf(line, sizeof line, "id %d %s style %08lX ex %08lX \"", GetDlgCtrlID(child), window_class,
             (unsigned long)GetWindowLongA(child, GWL_STYLE), (unsigned long)GetWindowLongA(child, GWL_EXSTYLE));
    return line + cp932_to_utf8(text_of(child)) + "\"";
}

std::string name_of(const Control &control)
{
    std::string id = control.id == NONE ? "(none)" : std::to_string(control.id);
    std::string name = "dialog " + std::to_string(control.dialog) + " control " + id + " " + rules[control.kind].name;
    return control.text ? name + " \"" + control.text + "\"" : name;
}

// The bits of a bitmap as the display holds them, or of an icon's colours.
std::string bits_of(HANDLE image, bool icon)
{
    ICONINFO parts = {};
    if (icon && (!image || !GetIconInfo((HICON)image, &parts)))
        return std::string();
    HBITMAP bitmap = icon ? parts.hbmColor : (HBITMAP)image;
    BITMAP info;
    std::string bits;
    if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
        bits.resize((size_t)info.bmWidthBytes * (size_t)info.bmHeight);
        GetBitmapBits(bitmap, (LONG)bits.size(), &bits[0]);
    }
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    return bits;
}

// Whether the static shows picture `number` of setup.exe, bit for bit.
bool shows(HWND child, int number)
{
    bool icon = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    UINT type = icon ? IMAGE_ICON : IMAGE_BITMAP;
    HANDLE wanted = LoadImageA(setup_exe_module(), MAKEINTRESOURCEA(number), type, 0, 0, LR_DEFAULTSIZE);
    std::string shown = bits_of((HANDLE)SendMessageA(child, STM_GETIMAGE, type, 0), icon);
    bool same = !shown.empty() && shown == bits_of(wanted, icon);
    if (icon)
        DestroyIcon((HICON)wanted);
    else
        DeleteObject(wanted);
    return same;
}

// The words of a dialog template, up to `end`; null when there is none.
const WORD *template_words(int dialog, const WORD **end)
{
    HMODULE module = setup_exe_module();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(dialog), (LPCSTR)RT_DIALOG);
    const WORD *start = found ? (const WORD *)LockResource(LoadResource(module, found)) : NULL;
    *end = start ? start + SizeofResource(module, found) / 2 : NULL;
    return start;
}

// The style words the template gives a numbered control. Its window does not
// always show them: the progress bar takes its WS_BORDER off.
void template_styles(const Control &control, DWORD *style, DWORD *ex_style)
{
    const WORD *end, *start = template_words(control.dialog, &end);
    if (control.id == NONE || !start || end - start < 13 || start[0] != 1 || start[1] != 0xFFFF)
        return; // not a DLGTEMPLATEEX: HeaderMatches says so
    const WORD *p = start + 13;
    auto skip_names = [&](int count) { // each a string, or 0xFFFF and a number
        for (; count > 0 && p < end; count--)
            p += *p == 0xFFFF ? 2 : std::find(p, end, 0) - p + 1;
    };
    skip_names(3); // menu, class, title
    if (start[6] & DS_SETFONT) {
        p += 3; // point size, weight, italic and character set
        skip_names(1);
    }
    for (WORD i = 0; i < start[8]; i++) {
        p += (p - start) % 2; // an item starts on a DWORD
        if (end - p < 13)
            return;
        if ((int)(p[10] | (DWORD)p[11] << 16) == control.id) {
            *ex_style = p[2] | (DWORD)p[3] << 16;
            *style = p[4] | (DWORD)p[5] << 16;
            return;
        }
        p += 12;
        skip_names(2); // class, text
        p += p < end ? 1 + (*p + 1) / 2 : 0; // creation data
    }
}

// What keeps the control from being of its kind; empty if nothing.
std::string kind_problem(HWND child, const Control &control)
{
    const KindRule &rule = rules[control.kind];
    char window_class[64] = "";
    GetClassNameA(child, window_class, sizeof window_class);
    DWORD style = (DWORD)GetWindowLongA(child, GWL_STYLE);
    std::string problems;
    if (_stricmp(window_class, rule.window_class) != 0)
        problems += " class is not " + std::string(rule.window_class) + ";";
    if ((style & rule.mask) != rule.value || (style & rule.all) != rule.all || (rule.any && !(style & rule.any)))
        problems += " style is not that of its kind;";
    if (control.kind == TEXT && control.text && strchr(control.text, '&') && (style & SS_NOPREFIX))
        problems += " SS_NOPREFIX hides its mnemonic;";
    DWORD asked = 0, asked_ex = 0;
    template_styles(control, &asked, &asked_ex);
    if (rule.border && !(asked & WS_BORDER) && !(asked_ex & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)))
        problems += " has no border;";
    if (control.shows && !shows(child, control.shows))
        problems += " does not show picture " + std::to_string(control.shows) + ";";
    if (control.hidden == ((style & WS_VISIBLE) != 0))
        problems += control.hidden ? " is visible but should be hidden;" : " lacks WS_VISIBLE;";
    return problems;
}

// A control without a number of the row's kind, text and picture; a label
// also stands on its figure's row, left of it.
bool fits(HWND child, const Control &control)
{
    if ((GetDlgCtrlID(child) & 0xFFFF) != 0xFFFF || !kind_problem(child, control).empty())
        return false;
    if (control.text && text_of(child) != utf8_to_cp932(control.text, NULL))
        return false;
    HWND figure = control.beside ? GetDlgItem(GetParent(child), control.beside) : NULL;
    if (!figure)
        return !control.beside;
    RECT label, place;
    GetWindowRect(child, &label);
    GetWindowRect(figure, &place);
    return abs(label.top - place.top) < place.bottom - place.top && label.right <= place.left;
}

INT_PTR CALLBACK quiet_dialog_proc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE; // no focus set: a button keeps the default style its template gave it
}

class DialogTemplates : public ::testing::TestWithParam<Dialog> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "the tests must run with the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
        module = setup_exe_module();
        ASSERT_NE(module, (HMODULE)NULL) << "setup.exe not loadable from " << setup_exe_path();
        INITCOMMONCONTROLSEX common = {sizeof common, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&common);
        window = CreateDialogParamA(module, MAKEINTRESOURCEA(number), NULL, quiet_dialog_proc, 0);
        ASSERT_NE(window, (HWND)NULL) << "dialog " << number << ": error " << GetLastError();
    }
    void TearDown() override
    {
        if (window)
            DestroyWindow(window);
    }
    HMODULE module = NULL;
    HWND window = NULL;
    const int number = GetParam().number;
};

TEST_P(DialogTemplates, HeaderMatches)
{
    const Dialog &expected = GetParam();
    // The folder chooser's caption code reads its template as a DLGTEMPLATEEX.
    const WORD *end, *data = template_words(number, &end);
    ASSERT_TRUE(data && end - data >= 2) << "dialog " << number << ": no template";
    EXPECT_TRUE(data[0] == 1 && data[1] == 0xFFFF) << "dialog " << number << " is not a DLGTEMPLATEEX";

    DWORD style = (DWORD)GetWindowLongA(window, GWL_STYLE);
    DWORD needed = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
    EXPECT_EQ(style & needed, needed) << "dialog " << number << " style " << std::hex << style;
    EXPECT_EQ(style & WS_CHILD, 0u) << "dialog " << number << " is a child window";
    EXPECT_EQ(GetMenu(window), (HMENU)NULL) << "dialog " << number << " has a menu";
    char window_class[64] = "";
    GetClassNameA(window, window_class, sizeof window_class);
    EXPECT_STREQ(window_class, "#32770") << "dialog " << number << " has a class of its own";
    std::string title = text_of(window), expected_title = utf8_to_cp932(expected.title, NULL);
    if (title != expected_title)
        ADD_FAILURE() << "dialog " << number << " title differs\n" << describe_difference(expected_title, title);

    LOGFONTW font = {};
    GetObjectW((HFONT)SendMessageA(window, WM_GETFONT, 0, 0), sizeof font, &font);
    EXPECT_TRUE(wcscmp(font.lfFaceName, dialog_font) == 0)
        << "dialog " << number << " font \"" << utf16_to_utf8(font.lfFaceName) << "\"";
    HDC dc = GetDC(window);
    EXPECT_EQ(font.lfHeight, -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72)) << "dialog " << number << " points";
    ReleaseDC(window, dc);

    // Width and height in dialog units, and the folder chooser's own place.
    RECT size = {expected.x, expected.y, expected.cx, expected.cy}, client;
    MapDialogRect(window, &size);
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, size.right) << "dialog " << number << " width";
    EXPECT_EQ(client.bottom, size.bottom) << "dialog " << number << " height";
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    if (expected.placed) {
        EXPECT_EQ(origin.x, size.left) << "dialog " << number << " left";
        EXPECT_EQ(origin.y, size.top) << "dialog " << number << " top";
    }
}

TEST_P(DialogTemplates, ControlsMatch)
{
    std::vector<HWND> others; // the windows no row has taken
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        others.push_back(child);
    for (const Control &control : controls) {
        if (control.dialog != number)
            continue;
        HWND found = NULL;
        int matches = 0;
        for (HWND child : others) {
            bool match = control.id == NONE ? fits(child, control) : GetDlgCtrlID(child) == control.id;
            if (match && matches++ == 0)
                found = child;
        }
        if (!found) {
            ADD_FAILURE() << name_of(control) << " is missing";
            continue;
        }
        if (control.id != NONE && matches > 1)
            ADD_FAILURE() << name_of(control) << " is there " << matches << " times";
        others.erase(std::find(others.begin(), others.end(), found));
        std::string wrong = kind_problem(found, control);
        EXPECT_TRUE(wrong.empty()) << name_of(control) << ":" << wrong << "\n  actual: " << describe(found);
        // The text as the program's ANSI calls see it.
        std::string text = text_of(found), wanted = control.text ? utf8_to_cp932(control.text, NULL) : "";
        if (control.text && text != wanted)
            ADD_FAILURE() << name_of(control) << ": text differs\n" << describe_difference(wanted, text);
    }
    for (HWND child : others)
        ADD_FAILURE() << "dialog " << number << " has an unexpected control: " << describe(child);
}

std::string dialog_name(const ::testing::TestParamInfo<Dialog> &info)
{
    return "Dialog" + std::to_string(info.param.number);
}

INSTANTIATE_TEST_SUITE_P(SetupExe, DialogTemplates, ::testing::ValuesIn(dialogs), dialog_name);

// ---------------------------------------------------------------------------
// Pictures and icon named by the templates

// The header of a bitmap or icon image resource; all zero when there is none.
BITMAPINFOHEADER image_header(HMODULE module, LPCSTR type, int number)
{
    BITMAPINFOHEADER info = {};
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(number), type);
    const BYTE *data = found ? (const BYTE *)LockResource(LoadResource(module, found)) : NULL;
    if (data && SizeofResource(module, found) >= sizeof info)
        memcpy(&info, data, sizeof info);
    return info;
}

TEST(SetupPictures, SidePicturesAre256ColoursOf125By241)
{
    HMODULE module = setup_exe_module();
    ASSERT_NE(module, (HMODULE)NULL) << setup_exe_path();
    for (int number : {IDB_SIDE, IDB_SIDE_ALT}) {
        BITMAPINFOHEADER header = image_header(module, (LPCSTR)RT_BITMAP, number);
        ASSERT_GE(header.biSize, sizeof header) << "bitmap " << number;
        EXPECT_EQ(header.biWidth, 125) << "bitmap " << number;
        EXPECT_EQ(abs(header.biHeight), 241) << "bitmap " << number;
        EXPECT_EQ(header.biBitCount, 8) << "bitmap " << number;
    }
}

TEST(SetupPictures, ProgramIconHas16Colour32And16PixelImages)
{
    HMODULE module = setup_exe_module();
    ASSERT_NE(module, (HMODULE)NULL) << setup_exe_path();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDI_SETUP), (LPCSTR)RT_GROUP_ICON);
    ASSERT_NE(found, (HRSRC)NULL) << "no icon 111";
    // GRPICONDIR: three words, the third the count, then 7 words an image,
    // the image's number the last of them.
    const WORD *group = (const WORD *)LockResource(LoadResource(module, found));
    DWORD size = SizeofResource(module, found);
    ASSERT_TRUE(group && size >= 6 && size >= 6u + group[2] * 14u);
    bool large = false, small = false;
    for (WORD i = 0; i < group[2]; i++) {
        int id = group[3 + i * 7 + 6];
        BITMAPINFOHEADER image = image_header(module, (LPCSTR)RT_ICON, id);
        ASSERT_GE(image.biSize, sizeof image) << "icon image " << id;
        // Icon images hold the colour and the mask: twice the height.
        large = large || (image.biWidth == 32 && image.biHeight == 64 && image.biBitCount == 4);
        small = small || (image.biWidth == 16 && image.biHeight == 32 && image.biBitCount == 4);
    }
    EXPECT_TRUE(large) << "no 16-colour 32 x 32 image";
    EXPECT_TRUE(small) << "no 16-colour 16 x 16 image";
    HICON icon = (HICON)LoadImageA(module, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, (HICON)NULL);
    if (icon)
        DestroyIcon(icon);
}

} // namespace
