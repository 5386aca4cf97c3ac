// The dialog templates inside setup.exe: every template is parsed from the
// RT_DIALOG resource (header, font, and each control's number, class, style,
// text and place) and compared with the layouts below; then each dialog is
// created for real from the data-file module and its windows are checked.
// Also the pictures and the icon that the templates name.

#include "resource_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

const int NONE = -1; // control without a number (IDC_STATIC)

enum Kind {
    DEF_PUSH,        // default push button
    PUSH,            // push button
    CHECK,           // check box
    ICON,            // static showing an icon resource
    BITMAP,          // static showing a bitmap resource
    ETCHED,          // etched horizontal line
    TEXT,            // static text
    TEXT_NOPREFIX,   // static text without mnemonic prefix
    EDIT_MULTI,      // multi-line edit, border, vertical scroll bar
    EDIT,            // single-line edit
    LIST_OWNERDRAW,  // owner-drawn list box
    LIST,            // list box
    COMBO_OWNERDRAW, // owner-drawn drop-down list
    COMBO,           // drop-down list
    PROGRESS,        // progress bar with border
};

const char *const kind_names[] = {"default push button", "push button", "check box", "icon", "bitmap",
                                  "etched line", "text", "text without prefix", "multi-line edit",
                                  "single-line edit", "owner-drawn list box", "list box",
                                  "owner-drawn drop-down list", "drop-down list", "progress bar"};

struct ExpectedControl {
    int id;
    Kind kind;
    const char *text; // UTF-8; null when the template's text is not fixed
    int resource;     // icon or bitmap number shown by the control
    short x, y, cx, cy;
    bool hidden;
    int beside; // label without fixed place: the figure control it stands left of
};

// template 112: "Start" 234 x 75
const ExpectedControl controls_112[] = {
    {1, DEF_PUSH, u8"OK", 0, 54, 54, 50, 14, false, 0},
    {2, PUSH, u8"ｷｬﾝｾﾙ", 0, 132, 54, 50, 14, false, 0},
    {NONE, ICON, nullptr, 111, 7, 7, 20, 20, false, 0},
    {1026, TEXT, u8"Message", 0, 28, 7, 199, 43, false, 0},
};
// template 102: "Welcome" 269 x 195
const ExpectedControl controls_102[] = {
    {1035, BITMAP, nullptr, 102, 4, 3, 71, 161, false, 0},
    {NONE, ETCHED, nullptr, 0, 4, 168, 260, 1, false, 0},
    {1, PUSH, u8"次へ(&N)", 0, 159, 173, 43, 17, false, 0},
    {2, PUSH, u8"ｷｬﾝｾﾙ", 0, 203, 173, 43, 17, false, 0},
    {1026, TEXT, u8"Msg1", 0, 80, 3, 184, 10, false, 0},
    {1027, TEXT, u8"Msg2", 0, 80, 19, 184, 10, false, 0},
    {1028, TEXT, u8"Msg3", 0, 80, 35, 184, 18, false, 0},
    {1029, TEXT, u8"Msg4", 0, 80, 59, 184, 75, false, 0},
    {1030, TEXT, u8"Msg5", 0, 80, 137, 184, 25, false, 0},
};
// template 103: "Copyright" 271 x 201
const ExpectedControl controls_103[] = {
    {NONE, BITMAP, nullptr, 102, 4, 3, 71, 161, false, 0},
    {NONE, ETCHED, nullptr, 0, 4, 173, 262, 1, false, 0},
    {1, PUSH, u8"はい(&Y)", 0, 159, 179, 43, 17, false, 0},
    {2, PUSH, u8"いいえ(&N)", 0, 203, 179, 43, 17, false, 0},
    {1026, TEXT, u8"Msg1", 0, 82, 3, 184, 19, false, 0},
    {1027, TEXT, u8"Msg2", 0, 82, 144, 184, 27, false, 0},
    {1009, EDIT_MULTI, nullptr, 0, 82, 21, 184, 117, false, 0},
};
// template 104: "Setup" 269 x 199
const ExpectedControl controls_104[] = {
    {NONE, BITMAP, nullptr, 102, 4, 3, 71, 161, false, 0},
    {NONE, ETCHED, nullptr, 0, 4, 169, 260, 1, false, 0},
    {NONE, ETCHED, nullptr, 0, 76, 69, 188, 1, false, 0},
    {1, PUSH, u8"完了(&C)", 0, 159, 177, 43, 17, false, 0},
    {2, PUSH, u8"ｷｬﾝｾﾙ", 0, 203, 177, 43, 17, false, 0},
    {1010, PUSH, u8"戻る(&B)", 0, 115, 177, 42, 17, false, 0},
    {1011, PUSH, u8"ﾌｫﾙﾀﾞ(&F)...", 0, 70, 177, 43, 17, false, 0},
    {1026, TEXT, u8"Msg1", 0, 80, 3, 184, 10, false, 0},
    {1031, TEXT, u8"MsgSub1", 0, 95, 15, 169, 19, false, 0},
    {1027, TEXT, u8"Msg2", 0, 80, 41, 184, 8, false, 0},
    {1032, TEXT, u8"MsgSub2", 0, 95, 58, 169, 11, false, 0},
    {1033, TEXT, u8"System", 0, 82, 74, 182, 9, false, 0},
    {1034, TEXT, u8"SystemDir", 0, 93, 82, 171, 17, false, 0},
    {1017, TEXT, u8"SystemDiskspace", 0, 152, 100, 112, 9, false, 0},
    {1018, TEXT, u8"SystemFreespace", 0, 152, 111, 112, 10, false, 0},
    {1025, TEXT, u8"Destination", 0, 82, 120, 182, 8, false, 0},
    {1004, TEXT, u8"DestinatinDir", 0, 93, 127, 171, 18, false, 0},
    {1019, TEXT, u8"DestinationDisksspace", 0, 152, 145, 112, 9, false, 0},
    {1020, TEXT, u8"DestinationFreespace", 0, 152, 157, 112, 10, false, 0},
    // Labels beside the figures: no fixed position, matched by text and place.
    {NONE, TEXT, u8"必要なﾃﾞｨｽｸ領域", 0, 0, 0, 0, 0, false, 1017},
    {NONE, TEXT, u8"空きﾃﾞｨｽｸ領域:", 0, 0, 0, 0, 0, false, 1018},
    {NONE, TEXT, u8"必要なﾃﾞｨｽｸ領域", 0, 0, 0, 0, 0, false, 1019},
    {NONE, TEXT, u8"空きﾃﾞｨｽｸ領域:", 0, 0, 0, 0, 0, false, 1020},
};
// template 107: "ﾌｧｲﾙのｺﾋﾟｰ" 239 x 77
const ExpectedControl controls_107[] = {
    {1024, ICON, nullptr, 111, 7, 7, 20, 20, false, 0},
    {1022, TEXT, u8"転送元ﾌｧｲﾙ:", 0, 28, 7, 204, 8, false, 0},
    {1020, TEXT, u8"Static", 0, 36, 17, 196, 13, false, 0},
    {1023, TEXT, u8"転送先ﾌｧｲﾙ:", 0, 28, 31, 204, 8, false, 0},
    {1019, TEXT, u8"Static", 0, 36, 41, 196, 11, false, 0},
    {1021, PROGRESS, nullptr, 0, 7, 59, 225, 11, false, 0},
};
// template 1536: "ﾌｫﾙﾀﾞの選択" 201 x 167 at 36, 24
const ExpectedControl controls_1536[] = {
    {NONE, TEXT, u8"現在のﾌｫﾙﾀﾞ(&F):", 0, 8, 4, 131, 9, false, 0},
    {1088, TEXT_NOPREFIX, nullptr, 0, 8, 16, 131, 9, false, 0},
    {1121, LIST_OWNERDRAW, nullptr, 0, 8, 28, 131, 76, false, 0},
    {1090, TEXT, u8"新規に作成するﾌｫﾙﾀﾞ(&N):", 0, 8, 107, 131, 10, false, 0},
    {1152, EDIT, nullptr, 0, 8, 120, 131, 12, false, 0},
    {1091, TEXT, u8"ﾄﾞﾗｲﾌﾞ(&D):", 0, 8, 135, 131, 9, false, 0},
    {1137, COMBO_OWNERDRAW, nullptr, 0, 8, 147, 131, 68, false, 0},
    {1, DEF_PUSH, u8"OK", 0, 146, 7, 50, 14, false, 0},
    {2, PUSH, u8"ｷｬﾝｾﾙ", 0, 146, 27, 50, 14, false, 0},
    {1120, LIST, nullptr, 0, 146, 61, 50, 60, true, 0},
    {1089, TEXT, u8"List files of &type:", 0, 149, 135, 47, 9, true, 0},
    {1136, COMBO, nullptr, 0, 149, 144, 47, 36, true, 0},
    {1038, PUSH, u8"&Help", 0, 146, 46, 50, 14, true, 0},
    {1040, CHECK, u8"&Read only", 0, 146, 68, 50, 12, true, 0},
    {1037, PUSH, u8"Net&work...", 0, 146, 114, 50, 14, true, 0},
};

struct ExpectedDialog {
    int number;
    const char *title;
    short cx, cy;
    bool has_position;
    short x, y;
    const ExpectedControl *controls;
    size_t count;
};

#define CONTROLS(a) a, sizeof(a) / sizeof(a[0])
const ExpectedDialog expected_dialogs[] = {
    {112, u8"Start", 234, 75, false, 0, 0, CONTROLS(controls_112)},
    {102, u8"Welcome", 269, 195, false, 0, 0, CONTROLS(controls_102)},
    {103, u8"Copyright", 271, 201, false, 0, 0, CONTROLS(controls_103)},
    {104, u8"Setup", 269, 199, false, 0, 0, CONTROLS(controls_104)},
    {107, u8"ﾌｧｲﾙのｺﾋﾟｰ", 239, 77, false, 0, 0, CONTROLS(controls_107)},
    {1536, u8"ﾌｫﾙﾀﾞの選択", 201, 167, true, 36, 24, CONTROLS(controls_1536)},
};
#undef CONTROLS

// Names a dialog in GoogleTest's messages instead of dumping its bytes.
void PrintTo(const ExpectedDialog &dialog, std::ostream *out)
{
    *out << "dialog " << dialog.number;
}

const wchar_t dialog_font[] = L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"; // ＭＳ Ｐゴシック

// ---------------------------------------------------------------------------
// Template parsing (DLGTEMPLATEEX, and the older DLGTEMPLATE as well)

struct NameOrNumber {
    bool is_number = false;
    WORD number = 0;
    std::wstring name;
};

struct TemplateItem {
    DWORD style = 0, ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0; // NONE for 0xFFFF / 0xFFFFFFFF
    NameOrNumber window_class, text;
};

struct TemplateHeader {
    bool extended = false;
    DWORD style = 0, ex_style = 0;
    WORD item_count = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    NameOrNumber menu, window_class;
    std::wstring title;
    WORD point_size = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};

struct Reader {
    const BYTE *data;
    size_t size;
    size_t at;
    bool ok;

    WORD word()
    {
        if (at + 2 > size) {
            ok = false;
            return 0;
        }
        WORD value;
        memcpy(&value, data + at, 2);
        at += 2;
        return value;
    }
    DWORD dword()
    {
        DWORD low = word();
        DWORD high = word();
        return low | (high << 16);
    }
    BYTE byte()
    {
        if (at + 1 > size) {
            ok = false;
            return 0;
        }
        return data[at++];
    }
    void align4() { at = (at + 3) & ~(size_t)3; }
    std::wstring string_rest(WORD first)
    {
        std::wstring result;
        for (WORD c = first; ok && c != 0; c = word())
            result += (wchar_t)c;
        return result;
    }
    std::wstring string() { return string_rest(word()); }
    NameOrNumber name_or_number()
    {
        NameOrNumber result;
        WORD first = word();
        if (first == 0xFFFF) {
            result.is_number = true;
            result.number = word();
        } else if (first != 0) {
            result.name = string_rest(first);
        }
        return result;
    }
};

bool parse_template(const BYTE *data, size_t size, TemplateHeader *header, std::string *problem)
{
    Reader in = {data, size, 0, true};
    WORD version = in.word();
    WORD signature = in.word();
    header->extended = version == 1 && signature == 0xFFFF;
    if (header->extended) {
        in.dword(); // help id
        header->ex_style = in.dword();
        header->style = in.dword();
    } else {
        in.at = 0;
        header->style = in.dword();
        header->ex_style = in.dword();
    }
    header->item_count = in.word();
    header->x = (short)in.word();
    header->y = (short)in.word();
    header->cx = (short)in.word();
    header->cy = (short)in.word();
    header->menu = in.name_or_number();
    header->window_class = in.name_or_number();
    header->title = in.string();
    if (header->style & (DS_SETFONT | DS_SHELLFONT)) {
        header->point_size = in.word();
        if (header->extended) {
            in.word(); // weight
            in.byte(); // italic
            in.byte(); // character set
        }
        header->face = in.string();
    }
    for (WORD i = 0; i < header->item_count && in.ok; i++) {
        TemplateItem item;
        in.align4();
        if (header->extended) {
            in.dword(); // help id
            item.ex_style = in.dword();
            item.style = in.dword();
        } else {
            item.style = in.dword();
            item.ex_style = in.dword();
        }
        item.x = (short)in.word();
        item.y = (short)in.word();
        item.cx = (short)in.word();
        item.cy = (short)in.word();
        DWORD id = header->extended ? in.dword() : in.word();
        item.id = (id == 0xFFFF || id == 0xFFFFFFFF) ? NONE : (int)id;
        item.window_class = in.name_or_number();
        item.text = in.name_or_number();
        WORD extra = in.word();
        in.at += extra;
        if (in.at > size)
            in.ok = false;
        if (in.ok)
            header->items.push_back(item);
    }
    if (!in.ok)
        *problem = "template runs past its " + std::to_string(size) + " bytes";
    return in.ok;
}

bool load_template(HMODULE module, int number, TemplateHeader *header, std::string *problem)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(number), (LPCSTR)RT_DIALOG);
    if (!found) {
        *problem = "no dialog template " + std::to_string(number);
        return false;
    }
    HGLOBAL loaded = LoadResource(module, found);
    const BYTE *data = loaded ? (const BYTE *)LockResource(loaded) : NULL;
    if (!data) {
        *problem = "dialog template " + std::to_string(number) + " does not load";
        return false;
    }
    return parse_template(data, SizeofResource(module, found), header, problem);
}

// ---------------------------------------------------------------------------
// Comparison

std::string utf8_of(const NameOrNumber &value)
{
    if (value.is_number)
        return "#" + std::to_string(value.number);
    return utf16_to_utf8(value.name);
}

// Class as an atom; names of the predefined classes count as their atoms.
WORD class_atom(const NameOrNumber &window_class)
{
    if (window_class.is_number)
        return window_class.number;
    static const struct {
        const wchar_t *name;
        WORD atom;
    } names[] = {{L"button", 0x80}, {L"edit", 0x81},      {L"static", 0x82},
                 {L"listbox", 0x83}, {L"scrollbar", 0x84}, {L"combobox", 0x85}};
    for (const auto &known : names)
        if (_wcsicmp(window_class.name.c_str(), known.name) == 0)
            return known.atom;
    return 0;
}

WORD expected_atom(Kind kind)
{
    switch (kind) {
    case DEF_PUSH:
    case PUSH:
    case CHECK:
        return 0x80;
    case EDIT_MULTI:
    case EDIT:
        return 0x81;
    case ICON:
    case BITMAP:
    case ETCHED:
    case TEXT:
    case TEXT_NOPREFIX:
        return 0x82;
    case LIST_OWNERDRAW:
    case LIST:
        return 0x83;
    case COMBO_OWNERDRAW:
    case COMBO:
        return 0x85;
    case PROGRESS:
        return 0;
    }
    return 0;
}

bool has_class_of(const TemplateItem &item, Kind kind)
{
    if (kind == PROGRESS)
        return !item.window_class.is_number && _wcsicmp(item.window_class.name.c_str(), L"msctls_progress32") == 0;
    return class_atom(item.window_class) == expected_atom(kind);
}

// The resource a picture control shows: a number, or a name "#n".
int shown_resource(const TemplateItem &item)
{
    if (item.text.is_number)
        return item.text.number;
    if (item.text.name.size() > 1 && item.text.name[0] == L'#')
        return _wtoi(item.text.name.c_str() + 1);
    return -1;
}

// What is wrong with the control's class and style for its kind; empty if nothing.
std::string kind_problem(const TemplateItem &item, const ExpectedControl &expected)
{
    std::string problems;
    if (!has_class_of(item, expected.kind))
        problems += " class is " + utf8_of(item.window_class) + ";";
    DWORD style = item.style;
    DWORD button = style & BS_TYPEMASK;
    DWORD static_type = style & SS_TYPEMASK;
    bool bordered = (style & WS_BORDER) || (item.ex_style & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    switch (expected.kind) {
    case DEF_PUSH:
        if (button != BS_DEFPUSHBUTTON)
            problems += " not BS_DEFPUSHBUTTON;";
        break;
    case PUSH:
        if (button != BS_PUSHBUTTON)
            problems += " not BS_PUSHBUTTON;";
        break;
    case CHECK:
        if (button != BS_CHECKBOX && button != BS_AUTOCHECKBOX)
            problems += " not a check box;";
        break;
    case ICON:
        if (static_type != SS_ICON)
            problems += " not SS_ICON;";
        if (shown_resource(item) != expected.resource)
            problems += " shows " + utf8_of(item.text) + ";";
        break;
    case BITMAP:
        if (static_type != SS_BITMAP)
            problems += " not SS_BITMAP;";
        if (shown_resource(item) != expected.resource)
            problems += " shows " + utf8_of(item.text) + ";";
        break;
    case ETCHED:
        if (static_type != SS_ETCHEDHORZ)
            problems += " not SS_ETCHEDHORZ;";
        break;
    case TEXT:
    case TEXT_NOPREFIX:
        if (static_type != SS_LEFT && static_type != SS_CENTER && static_type != SS_RIGHT &&
            static_type != SS_SIMPLE && static_type != SS_LEFTNOWORDWRAP)
            problems += " not a text static;";
        if (expected.kind == TEXT_NOPREFIX && !(style & SS_NOPREFIX))
            problems += " lacks SS_NOPREFIX;";
        if (expected.kind == TEXT && expected.text && strchr(expected.text, '&') && (style & SS_NOPREFIX))
            problems += " SS_NOPREFIX hides its mnemonic;";
        break;
    case EDIT_MULTI:
        if (!(style & ES_MULTILINE))
            problems += " lacks ES_MULTILINE;";
        if (!(style & WS_VSCROLL))
            problems += " lacks WS_VSCROLL;";
        if (!bordered)
            problems += " has no border;";
        break;
    case EDIT:
        if (style & ES_MULTILINE)
            problems += " is multi-line;";
        break;
    case LIST_OWNERDRAW:
        if (!(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)))
            problems += " not owner-drawn;";
        break;
    case LIST:
        break;
    case COMBO_OWNERDRAW:
    case COMBO:
        if ((style & 3) != CBS_DROPDOWNLIST)
            problems += " not CBS_DROPDOWNLIST;";
        if (expected.kind == COMBO_OWNERDRAW && !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)))
            problems += " not owner-drawn;";
        break;
    case PROGRESS:
        if (!bordered)
            problems += " has no border;";
        break;
    }
    if (!(style & WS_CHILD))
        problems += " lacks WS_CHILD;";
    if (expected.hidden && (style & WS_VISIBLE))
        problems += " is visible but should be hidden;";
    if (!expected.hidden && !(style & WS_VISIBLE))
        problems += " lacks WS_VISIBLE;";
    return problems;
}

std::string place_of(const TemplateItem &item)
{
    return std::to_string(item.x) + ", " + std::to_string(item.y) + ", " + std::to_string(item.cx) + " x " +
           std::to_string(item.cy);
}

std::string place_of(const ExpectedControl &control)
{
    return std::to_string(control.x) + ", " + std::to_string(control.y) + ", " + std::to_string(control.cx) +
           " x " + std::to_string(control.cy);
}

bool same_place(const TemplateItem &item, const ExpectedControl &control)
{
    return item.x == control.x && item.y == control.y && item.cx == control.cx && item.cy == control.cy;
}

std::string describe(const TemplateItem &item)
{
    char style[40];
    snprintf(style, sizeof style, " style %08lX ex %08lX", (unsigned long)item.style, (unsigned long)item.ex_style);
    return "id " + std::to_string(item.id) + " class " + utf8_of(item.window_class) + " text \"" +
           utf8_of(item.text) + "\" at " + place_of(item) + style;
}

std::string name_of(const ExpectedControl &control)
{
    std::string name = control.id == NONE ? std::string("(none)") : std::to_string(control.id);
    name += std::string(" ") + kind_names[control.kind];
    if (control.text)
        name += std::string(" \"") + control.text + "\"";
    return name;
}

// Text check in the code page the program works in, then exactly in UTF-16.
void check_text(int dialog, const ExpectedControl &control, const TemplateItem &item)
{
    if (!control.text)
        return;
    std::wstring expected_wide = utf8_to_utf16(control.text);
    if (item.text.is_number) {
        ADD_FAILURE() << "dialog " << dialog << " control " << name_of(control) << ": text is a number "
                      << item.text.number;
        return;
    }
    bool lossy = false;
    std::string actual = utf16_to_cp932(item.text.name, &lossy);
    std::string expected = utf8_to_cp932(control.text, NULL);
    EXPECT_FALSE(lossy) << "dialog " << dialog << " control " << name_of(control)
                        << ": text has characters outside code page 932";
    if (actual != expected)
        ADD_FAILURE() << "dialog " << dialog << " control " << name_of(control) << ": text differs\n"
                      << describe_difference(expected, actual);
    else
        EXPECT_TRUE(item.text.name == expected_wide)
            << "dialog " << dialog << " control " << name_of(control)
            << ": same in code page 932 but other Unicode characters";
}

class DialogTemplates : public ::testing::TestWithParam<ExpectedDialog> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetACP(), 932u) << "the tests must run with the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
        module = setup_exe_module();
        ASSERT_NE(module, (HMODULE)NULL) << "setup.exe not loadable from " << setup_exe_path();
    }
    HMODULE module = NULL;
};

TEST_P(DialogTemplates, HeaderMatches)
{
    const ExpectedDialog &expected = GetParam();
    TemplateHeader header;
    std::string problem;
    ASSERT_TRUE(load_template(module, expected.number, &header, &problem)) << problem;

    EXPECT_TRUE(header.extended) << "dialog " << expected.number << " is not a DLGTEMPLATEEX";
    DWORD needed = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
    EXPECT_EQ(header.style & needed, needed) << "dialog " << expected.number << " style " << std::hex << header.style;
    EXPECT_EQ(header.style & WS_CHILD, 0u) << "dialog " << expected.number << " is a child window";
    EXPECT_TRUE(!header.menu.is_number && header.menu.name.empty()) << "dialog " << expected.number << " has a menu";
    EXPECT_TRUE(!header.window_class.is_number && header.window_class.name.empty())
        << "dialog " << expected.number << " has its own class " << utf8_of(header.window_class);

    std::string title = utf16_to_cp932(header.title, NULL);
    std::string expected_title = utf8_to_cp932(expected.title, NULL);
    if (title != expected_title)
        ADD_FAILURE() << "dialog " << expected.number << " title differs\n"
                      << describe_difference(expected_title, title);

    EXPECT_EQ(header.point_size, 9) << "dialog " << expected.number;
    EXPECT_TRUE(header.face == dialog_font)
        << "dialog " << expected.number << " font \"" << utf16_to_utf8(header.face) << "\"";

    EXPECT_EQ(header.cx, expected.cx) << "dialog " << expected.number << " width";
    EXPECT_EQ(header.cy, expected.cy) << "dialog " << expected.number << " height";
    if (expected.has_position) {
        EXPECT_EQ(header.x, expected.x) << "dialog " << expected.number << " left";
        EXPECT_EQ(header.y, expected.y) << "dialog " << expected.number << " top";
    }
}

TEST_P(DialogTemplates, ControlsMatch)
{
    const ExpectedDialog &expected = GetParam();
    const int dialog = expected.number;
    TemplateHeader header;
    std::string problem;
    ASSERT_TRUE(load_template(module, dialog, &header, &problem)) << problem;

    EXPECT_EQ(header.items.size(), expected.count) << "dialog " << dialog << " control count";
    std::vector<bool> used(header.items.size(), false);

    // Numbered controls by number, then controls without a number by kind and
    // place, then the labels that only have a neighbour.
    for (int pass = 0; pass < 3; pass++) {
        for (size_t e = 0; e < expected.count; e++) {
            const ExpectedControl &control = expected.controls[e];
            bool numbered = control.id != NONE;
            bool labelled = control.beside != 0;
            if ((pass == 0) != numbered || (pass == 2) != labelled)
                continue;
            const ExpectedControl *figure = NULL;
            for (size_t f = 0; labelled && f < expected.count; f++)
                if (expected.controls[f].id == control.beside)
                    figure = &expected.controls[f];
            int found = -1;
            int matches = 0;
            for (size_t a = 0; a < header.items.size(); a++) {
                const TemplateItem &item = header.items[a];
                if (used[a] || item.id != control.id)
                    continue;
                if (pass == 1 && !(same_place(item, control) && has_class_of(item, control.kind)))
                    continue;
                if (pass == 2 && !(has_class_of(item, control.kind) && !item.text.is_number &&
                                   utf16_to_utf8(item.text.name) == control.text))
                    continue;
                matches++;
                // Of two labels with the same text, take the one on the figure's row.
                bool on_row = figure && item.y >= figure->y - 3 && item.y <= figure->y + 3;
                if (found < 0 || (pass == 2 && on_row))
                    found = (int)a;
            }
            if (found < 0) {
                ADD_FAILURE() << "dialog " << dialog << " lacks control " << name_of(control)
                              << (labelled ? std::string() : " at " + place_of(control));
                continue;
            }
            if (numbered && matches > 1)
                ADD_FAILURE() << "dialog " << dialog << " has control " << control.id << " " << matches << " times";
            used[(size_t)found] = true;
            const TemplateItem &item = header.items[(size_t)found];

            std::string wrong = kind_problem(item, control);
            EXPECT_TRUE(wrong.empty()) << "dialog " << dialog << " control " << name_of(control) << ":" << wrong
                                       << "\n  actual: " << describe(item);
            check_text(dialog, control, item);
            if (!labelled) {
                EXPECT_TRUE(same_place(item, control)) << "dialog " << dialog << " control " << name_of(control)
                                                       << " at " << place_of(item) << ", expected "
                                                       << place_of(control);
                continue;
            }
            // A label stands on its figure's row, left of it, right of the picture.
            ASSERT_NE(figure, (const ExpectedControl *)NULL);
            EXPECT_TRUE(item.y >= figure->y - 3 && item.y <= figure->y + 3 && item.x >= 76 &&
                        item.x + item.cx <= figure->x)
                << "dialog " << dialog << " label " << name_of(control) << " at " << place_of(item)
                << " is not beside control " << figure->id << " at " << place_of(*figure);
        }
    }
    for (size_t a = 0; a < header.items.size(); a++)
        if (!used[a])
            ADD_FAILURE() << "dialog " << dialog << " has an unexpected control: " << describe(header.items[a]);
}

// ---------------------------------------------------------------------------
// The same templates as real windows

INT_PTR CALLBACK quiet_dialog_proc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::string window_text(HWND window)
{
    char buffer[512];
    int length = GetWindowTextA(window, buffer, sizeof buffer);
    return std::string(buffer, (size_t)(length > 0 ? length : 0));
}

TEST_P(DialogTemplates, CreatesItsWindows)
{
    const ExpectedDialog &expected = GetParam();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    HWND window = CreateDialogParamA(module, MAKEINTRESOURCEA(expected.number), NULL, quiet_dialog_proc, 0);
    ASSERT_NE(window, (HWND)NULL) << "dialog " << expected.number << ": error " << GetLastError();

    std::string expected_title = utf8_to_cp932(expected.title, NULL);
    std::string title = window_text(window);
    if (title != expected_title)
        ADD_FAILURE() << "dialog " << expected.number << " window title differs\n"
                      << describe_difference(expected_title, title);

    size_t children = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children++;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        char class_name[64] = "";
        GetClassNameA(child, class_name, sizeof class_name);
        if (_stricmp(class_name, "Static") != 0)
            continue;
        // Every picture the template names must have been found in setup.exe.
        if ((style & SS_TYPEMASK) == SS_BITMAP) {
            EXPECT_NE(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0), 0)
                << "dialog " << expected.number << ": bitmap control without a picture";
        }
        if ((style & SS_TYPEMASK) == SS_ICON) {
            EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0)
                << "dialog " << expected.number << ": icon control without an icon";
        }
    }
    EXPECT_EQ(children, expected.count) << "dialog " << expected.number << " child windows";

    for (size_t e = 0; e < expected.count; e++) {
        const ExpectedControl &control = expected.controls[e];
        if (control.id == NONE)
            continue;
        HWND child = GetDlgItem(window, control.id);
        EXPECT_NE(child, (HWND)NULL) << "dialog " << expected.number << " control " << control.id;
        if (!child)
            continue;
        bool visible = (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) != 0;
        EXPECT_EQ(visible, !control.hidden) << "dialog " << expected.number << " control " << control.id;
        if (control.text && control.kind != EDIT && control.kind != EDIT_MULTI) {
            std::string text = window_text(child);
            std::string wanted = utf8_to_cp932(control.text, NULL);
            if (text != wanted)
                ADD_FAILURE() << "dialog " << expected.number << " control " << control.id << " text differs\n"
                              << describe_difference(wanted, text);
        }
    }
    DestroyWindow(window);
}

std::string dialog_name(const ::testing::TestParamInfo<ExpectedDialog> &info)
{
    return "Dialog" + std::to_string(info.param.number);
}

INSTANTIATE_TEST_SUITE_P(SetupExe, DialogTemplates, ::testing::ValuesIn(expected_dialogs), dialog_name);

// ---------------------------------------------------------------------------
// Pictures and icon named by the templates

struct BitmapHeader {
    bool found = false;
    LONG width = 0, height = 0;
    WORD bits = 0;
};

BitmapHeader bitmap_header(HMODULE module, LPCSTR type, int number)
{
    BitmapHeader result;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(number), type);
    if (!found || SizeofResource(module, found) < sizeof(BITMAPINFOHEADER))
        return result;
    const BYTE *data = (const BYTE *)LockResource(LoadResource(module, found));
    if (!data)
        return result;
    BITMAPINFOHEADER info;
    memcpy(&info, data, sizeof info);
    result.found = info.biSize >= sizeof info;
    result.width = info.biWidth;
    result.height = info.biHeight;
    result.bits = info.biBitCount;
    return result;
}

TEST(SetupPictures, SidePicturesAre256ColoursOf125By241)
{
    HMODULE module = setup_exe_module();
    ASSERT_NE(module, (HMODULE)NULL) << setup_exe_path();
    for (int number : {102, 115}) {
        BitmapHeader header = bitmap_header(module, (LPCSTR)RT_BITMAP, number);
        ASSERT_TRUE(header.found) << "bitmap " << number;
        EXPECT_EQ(header.width, 125) << "bitmap " << number;
        EXPECT_EQ(header.height < 0 ? -header.height : header.height, 241) << "bitmap " << number;
        EXPECT_EQ(header.bits, 8) << "bitmap " << number;
    }
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(SetupPictures, ProgramIconHas16Colour32And16PixelImages)
{
    HMODULE module = setup_exe_module();
    ASSERT_NE(module, (HMODULE)NULL) << setup_exe_path();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(111), (LPCSTR)RT_GROUP_ICON);
    ASSERT_NE(found, (HRSRC)NULL) << "no icon 111";
    DWORD size = SizeofResource(module, found);
    const BYTE *data = (const BYTE *)LockResource(LoadResource(module, found));
    ASSERT_TRUE(data && size >= 6);
    WORD count;
    memcpy(&count, data + 4, 2);
    ASSERT_GE(size, 6 + count * sizeof(IconGroupEntry));
    bool large = false, small = false;
    for (WORD i = 0; i < count; i++) {
        IconGroupEntry entry;
        memcpy(&entry, data + 6 + i * sizeof entry, sizeof entry);
        BitmapHeader image = bitmap_header(module, (LPCSTR)RT_ICON, entry.id);
        ASSERT_TRUE(image.found) << "icon image " << entry.id;
        // Icon images hold the colour and the mask: twice the height.
        if (image.width == 32 && image.height == 64 && image.bits == 4)
            large = true;
        if (image.width == 16 && image.height == 32 && image.bits == 4)
            small = true;
    }
    EXPECT_TRUE(large) << "no 16-colour 32 x 32 image";
    EXPECT_TRUE(small) << "no 16-colour 16 x 16 image";
    HICON icon = (HICON)LoadImageA(module, MAKEINTRESOURCEA(111), IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, (HICON)NULL);
    if (icon)
        DestroyIcon(icon);
}

} // namespace
