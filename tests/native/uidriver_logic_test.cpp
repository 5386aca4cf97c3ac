// The UI driver's platform-free parts: JSON text and UTF conversions, the
// scenario parser and window matching, message-box classification, and the
// PNG writer (checked by decoding what it writes).
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "json_text.h"
#include "png_write.h"
#include "scenario.h"
#include "window_model.h"

// ---------------------------------------------------------------- JSON text

static std::string escaped(const char *s, size_t n)
{
    char buf[256];
    size_t r = json_escape_append(buf, sizeof buf, 0, s, n);
    EXPECT_NE(r, (size_t)-1);
    return r == (size_t)-1 ? std::string() : std::string(buf, r);
}

TEST(UidriverJson, EscapesQuotesBackslashesAndControlCharacters)
{
    EXPECT_EQ(escaped("a\"b\\c", 5), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(escaped("l1\nl2\r\t", 7), "\"l1\\nl2\\r\\t\"");
    EXPECT_EQ(escaped("\x01\x1f\b\f", 4), "\"\\u0001\\u001f\\b\\f\"");
    // A zero byte inside a counted text is escaped, not an end.
    EXPECT_EQ(escaped("a\0b", 3), "\"a\\u0000b\"");
    // DEL and '/' need no escape.
    EXPECT_EQ(escaped("/\x7f", 2), "\"/\x7f\"");
}

TEST(UidriverJson, KeepsValidUtf8AndReplacesInvalidBytes)
{
    const char *jp = "\xe3\x81\xaf\xe3\x81\x84";  // はい
    EXPECT_EQ(escaped(jp, strlen(jp)), std::string("\"") + jp + "\"");
    const char *emoji = "\xf0\x9f\x98\x80";
    EXPECT_EQ(escaped(emoji, 4), std::string("\"") + emoji + "\"");
    // A CP932 byte pair is not UTF-8: each byte becomes U+FFFD.
    EXPECT_EQ(escaped("\x82\xcd", 2), "\"\\ufffd\\ufffd\"");
    // Truncated sequence, overlong form, encoded surrogate.
    EXPECT_EQ(escaped("\xe3\x81", 2), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(escaped("\xc0\xaf", 2), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(escaped("\xed\xa0\x80", 3), "\"\\ufffd\\ufffd\\ufffd\"");
}

TEST(UidriverJson, EscapeReportsShortBufferAndLeavesPrefix)
{
    char buf[8];
    memcpy(buf, "ab", 3);
    EXPECT_EQ(json_escape_append(buf, sizeof buf, 2, "abcdefgh", 8), (size_t)-1);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(json_escape_append(buf, sizeof buf, 2, "abc", 3), 7u);
    EXPECT_STREQ(buf, "ab\"abc\"");
}

TEST(UidriverJson, Utf16ToUtf8HandlesPairsLoneSurrogatesAndCuts)
{
    char out[32];
    const uint16_t hai[] = {0x306F, 0x3044, 0};
    EXPECT_EQ(utf16_to_utf8(hai, (size_t)-1, out, sizeof out), 6u);
    EXPECT_STREQ(out, "\xe3\x81\xaf\xe3\x81\x84");
    const uint16_t pair[] = {0xD83D, 0xDE00};
    EXPECT_EQ(utf16_to_utf8(pair, 2, out, sizeof out), 4u);
    EXPECT_STREQ(out, "\xf0\x9f\x98\x80");
    const uint16_t lone[] = {0xDC00, 'a', 0xD800};
    utf16_to_utf8(lone, 3, out, sizeof out);
    EXPECT_STREQ(out, "\xef\xbf\xbd" "a" "\xef\xbf\xbd");
    // Room for one three-byte character and the terminator, not two.
    EXPECT_EQ(utf16_to_utf8(hai, 2, out, 6), 3u);
    EXPECT_STREQ(out, "\xe3\x81\xaf");
    // Counted input may contain a zero unit.
    const uint16_t z[] = {'a', 0, 'b'};
    EXPECT_EQ(utf16_to_utf8(z, 3, out, sizeof out), 3u);
}

TEST(UidriverJson, Utf8ToUtf16RoundTrips)
{
    uint16_t w[16];
    char back[64];
    const char *s = "x\xe7\xa2\xba\xe8\xaa\x8d\xf0\x9f\x98\x80";  // x確認😀
    size_t n = utf8_to_utf16(s, w, 16);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(w[1], 0x78BA);
    EXPECT_EQ(w[3], 0xD83D);
    utf16_to_utf8(w, n, back, sizeof back);
    EXPECT_STREQ(back, s);
    // A pair that does not fit is left out whole.
    EXPECT_EQ(utf8_to_utf16(s, w, 4), 3u);
    EXPECT_EQ(w[3], 0);
}

TEST(UidriverJson, BuildsNestedObjectsAndDetectsOverflow)
{
    char buf[256];
    JsonLine j;
    json_begin(&j, buf, sizeof buf);
    json_str(&j, "event", "show");
    json_int(&j, "n", -3);
    json_hex(&j, "style", 0x94C800C4u);
    json_array_begin(&j, "buttons");
    json_object_begin(&j, NULL);
    json_int(&j, "id", 6);
    json_bool(&j, "def", 0);
    json_object_end(&j);
    json_object_begin(&j, NULL);
    json_null(&j, "x");
    json_object_end(&j);
    json_array_end(&j);
    json_array_begin(&j, "empty");
    json_array_end(&j);
    ASSERT_TRUE(json_end(&j));
    EXPECT_STREQ(buf, "{\"event\":\"show\",\"n\":-3,\"style\":\"0x94C800C4\","
                      "\"buttons\":[{\"id\":6,\"def\":false},{\"x\":null}],\"empty\":[]}\n");

    char small[16];
    json_begin(&j, small, sizeof small);
    json_str(&j, "caption", "a long caption that cannot fit");
    EXPECT_FALSE(json_end(&j));

    json_begin(&j, buf, sizeof buf);
    json_array_begin(&j, "open");
    EXPECT_FALSE(json_end(&j));  // unbalanced
}

// ------------------------------------------------------------ window model

static UidWindow *new_window()
{
    UidWindow *w = (UidWindow *)malloc(sizeof(UidWindow));
    uid_window_clear(w);
    return w;
}

// A message box as Wine's user32 builds it: icon static 1088, buttons, text
// static 0xFFFF.
static UidWindow *wine_message_box(int def_id)
{
    UidWindow *w = new_window();
    strcpy(w->cls, "#32770");
    strcpy(w->caption, "\xe7\xa2\xba\xe8\xaa\x8d");
    uid_add_control(w, 1088, "Static", 0x50000003, 1, 1, "");
    uid_add_control(w, 6, "Button", def_id == 6 ? 0x50010001 : 0x50030000, 1, 1, "\xe3\x81\xaf\xe3\x81\x84");
    uid_add_control(w, 7, "Button", def_id == 7 ? 0x50010001 : 0x50010000, 1, 1,
                    "\xe3\x81\x84\xe3\x81\x84\xe3\x81\x88");
    uid_add_control(w, 0xFFFF, "Static", 0x50020080, 1, 1, "line1\nline2");
    return w;
}

TEST(UidriverModel, RecognisesMessageBoxesAndTheirDefaultButton)
{
    UidWindow *w = wine_message_box(7);
    uid_classify(w);
    EXPECT_EQ(w->kind, UID_KIND_MESSAGEBOX);
    EXPECT_EQ(w->mb_text_index, 3);
    EXPECT_EQ(w->mb_icon_index, 0);
    EXPECT_EQ(w->default_button, 7);

    // No button carries BS_DEFPUSHBUTTON: DM_GETDEFID decides, but only
    // when it names a button that is there (Wine answers IDOK for a Yes/No box).
    w->controls[2].style = 0x50010000;
    w->dm_defid = 1;
    uid_classify(w);
    EXPECT_EQ(w->default_button, 0);
    w->dm_defid = 6;
    uid_classify(w);
    EXPECT_EQ(w->default_button, 6);
    free(w);
}

TEST(UidriverModel, EnterPressesOnlyAButtonThatIsShownAndEnabled)
{
    // A message box: its default button.
    UidWindow *w = wine_message_box(7);
    uid_classify(w);
    EXPECT_EQ(uid_enter_button(w), 7);
    w->controls[2].enabled = 0;
    EXPECT_EQ(uid_enter_button(w), 0);

    // A dialog: the button DM_GETDEFID names, once it can be pressed.
    uid_window_clear(w);
    strcpy(w->cls, "#32770");
    uid_add_control(w, 0xFFFF, "Static", 0x50020000, 1, 1, "label");
    uid_add_control(w, 1, "Button", 0x50010001, 1, 0, "OK");
    uid_add_control(w, 2, "Button", 0x50010000, 1, 1, "Cancel");
    uid_add_control(w, 1004, "Edit", 0x50810080, 1, 1, "C:\\App");
    uid_classify(w);
    ASSERT_EQ(w->kind, UID_KIND_DIALOG);
    struct {
        int defid, ok_visible, ok_enabled, expected;
    } rows[] = {
        {1, 1, 0, 0},     // OK still disabled: nothing waits for Enter yet
        {1, 1, 1, 1},
        {1, 0, 1, 0},     // hidden
        {2, 1, 0, 2},     // the default moved to Cancel
        {1004, 1, 1, 0},  // not a button
        {0, 1, 1, 0},     // no default at all
    };
    for (const auto &r : rows) {
        w->dm_defid = r.defid;
        w->controls[1].visible = r.ok_visible;
        w->controls[1].enabled = r.ok_enabled;
        EXPECT_EQ(uid_enter_button(w), r.expected) << r.defid << r.ok_visible << r.ok_enabled;
    }

    // A progress dialog without buttons: Wine still answers IDOK.
    uid_window_clear(w);
    strcpy(w->cls, "#32770");
    uid_add_control(w, 1001, "Static", 0x50020000, 1, 1, "copying");
    uid_add_control(w, 1002, "msctls_progress32", 0x50800000, 1, 1, "");
    uid_classify(w);
    w->dm_defid = 1;
    EXPECT_EQ(uid_enter_button(w), 0);

    // Not a dialog: never.
    uid_window_clear(w);
    strcpy(w->cls, "SetupBackdrop");
    uid_add_control(w, 1, "Button", 0x50010001, 1, 1, "OK");
    uid_classify(w);
    w->dm_defid = 1;
    EXPECT_EQ(uid_enter_button(w), 0);
    free(w);
}

TEST(UidriverModel, DialogsWithStaticLabelsAreNotMessageBoxes)
{
    // A page with an IDC_STATIC label, an edit field and OK.
    UidWindow *w = new_window();
    strcpy(w->cls, "#32770");
    uid_add_control(w, 0xFFFF, "Static", 0x50020000, 1, 1, "Folder:");
    uid_add_control(w, 1000, "Edit", 0x50810080, 1, 1, "C:\\App");
    uid_add_control(w, 1, "Button", 0x50010001, 1, 1, "OK");
    uid_classify(w);
    EXPECT_EQ(w->kind, UID_KIND_DIALOG);

    // Two 0xFFFF statics: a dialog.
    uid_window_clear(w);
    strcpy(w->cls, "#32770");
    uid_add_control(w, 0xFFFF, "Static", 0x50020000, 1, 1, "a");
    uid_add_control(w, 0xFFFF, "Static", 0x50020000, 1, 1, "b");
    uid_add_control(w, 1, "Button", 0x50010001, 1, 1, "OK");
    uid_classify(w);
    EXPECT_EQ(w->kind, UID_KIND_DIALOG);

    // Not a dialog class at all.
    uid_window_clear(w);
    strcpy(w->cls, "SetupBackdrop");
    uid_classify(w);
    EXPECT_EQ(w->kind, UID_KIND_WINDOW);

    // The Windows layout (icon id 20, no icon static at all when no icon).
    uid_window_clear(w);
    strcpy(w->cls, "#32770");
    uid_add_control(w, 2, "Button", 0x50010001, 1, 1, "OK");
    uid_add_control(w, 0xFFFF, "Static", 0x50020080, 1, 1, "text");
    uid_classify(w);
    EXPECT_EQ(w->kind, UID_KIND_MESSAGEBOX);
    EXPECT_EQ(w->mb_icon_index, -1);
    free(w);
}

TEST(UidriverModel, ChangesAreDetectedInTextsProgressAndState)
{
    UidWindow *a = wine_message_box(7), *b = wine_message_box(7);
    EXPECT_FALSE(uid_window_differs(a, b));
    // Same length, other text.
    uid_window_clear(b);
    strcpy(b->cls, "#32770");
    strcpy(b->caption, a->caption);
    uid_add_control(b, 1088, "Static", 0x50000003, 1, 1, "");
    uid_add_control(b, 6, "Button", 0x50030000, 1, 1, "\xe3\x81\xaf\xe3\x81\x84");
    uid_add_control(b, 7, "Button", 0x50010001, 1, 1, "\xe3\x81\x84\xe3\x81\x84\xe3\x81\x88");
    uid_add_control(b, 0xFFFF, "Static", 0x50020080, 1, 1, "line1\nline3");
    EXPECT_TRUE(uid_window_differs(a, b));

    UidWindow *c = wine_message_box(7);
    c->controls[1].enabled = 0;
    EXPECT_TRUE(uid_window_differs(a, c));
    c->controls[1].enabled = 1;
    c->visible = 1;
    EXPECT_TRUE(uid_window_differs(a, c));
    c->visible = a->visible;
    c->controls[0].is_progress = a->controls[0].is_progress = 1;
    c->controls[0].hi = a->controls[0].hi = 100;
    c->controls[0].pos = 40;
    EXPECT_TRUE(uid_window_differs(a, c));
    c->controls[0].pos = a->controls[0].pos;
    EXPECT_FALSE(uid_window_differs(a, c));
    free(a);
    free(b);
    free(c);
}

TEST(UidriverModel, ControlTextsAreCutAtCharacterBoundariesWhenThePoolIsFull)
{
    UidWindow *w = new_window();
    std::string big(UID_POOL_SIZE - 3, 'x');
    ASSERT_NE(uid_add_control(w, 1, "Edit", 0, 1, 1, big.c_str()), nullptr);
    // Two bytes of room: a three-byte character does not fit and is left out.
    UidControl *c = uid_add_control(w, 2, "Static", 0, 1, 1, "\xe3\x81\xaf");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->text_len, 0u);
    EXPECT_STREQ(uid_control_text(w, c), "");
    UidControl *d = uid_add_control(w, 3, "Static", 0, 1, 1, "more");
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(uid_control_text(w, d), "");
    for (int i = 3; i < UID_MAX_CONTROLS; i++)
        uid_add_control(w, i, "Static", 0, 1, 1, "");
    EXPECT_EQ(uid_add_control(w, 999, "Static", 0, 1, 1, ""), nullptr);
    EXPECT_TRUE(w->controls_truncated);
    free(w);
}

TEST(UidriverModel, JsonRecordOfAMessageBox)
{
    UidWindow *w = wine_message_box(7);
    w->pid = 32;
    w->hwnd = 0x10048;
    w->visible = w->enabled = 1;
    uid_classify(w);
    w->icon = UID_ICON_QUESTION;
    static char buf[8192];
    JsonLine j;
    json_begin(&j, buf, sizeof buf);
    json_str(&j, "event", "show");
    uid_window_json(&j, w);
    ASSERT_TRUE(json_end(&j));
    std::string s(buf);
    EXPECT_NE(s.find("\"hwnd\":65608"), std::string::npos);
    EXPECT_NE(s.find("\"kind\":\"messagebox\""), std::string::npos);
    EXPECT_NE(s.find("\"text\":\"line1\\nline2\",\"buttons\":[{\"id\":6,\"text\":\"\xe3\x81\xaf\xe3\x81\x84\"},"
                     "{\"id\":7,"),
              std::string::npos);
    EXPECT_NE(s.find("\"icon\":\"question\",\"default\":7}\n"), std::string::npos);
    EXPECT_EQ(s.find('\n'), s.size() - 1);
    free(w);
}

// ------------------------------------------------------------------ scenario

static Scenario *parse(const char *text, bool expect_ok = true)
{
    static Scenario s;
    int ok = scenario_parse(text, strlen(text), &s);
    EXPECT_EQ(ok, expect_ok ? 1 : 0) << s.error;
    return &s;
}

TEST(UidriverScenario, ParsesEveryStep)
{
    Scenario *s = parse("\xEF\xBB\xBF# a comment\r\n"
                        "expect caption=\"\xe7\xa2\xba\xe8\xaa\x8d\" kind=messagebox icon=question\r\n"
                        "  shot first-box\n"
                        "click 6\n"
                        "\n"
                        "expect caption~\"Setup\" text~\"a \\\"b\\\" \\\\ c\\n\" class=\"#32770\"\n"
                        "type 0x3E8 \"C:\\\\Program Files\\\\App\"\n"
                        "key escape\n"
                        "key enter\n"
                        "close\n"
                        "wait-gone\n"
                        "wait-match text~\"done\" kind=dialog\n"
                        "sleep 250\n"
                        "strict\n"
                        "strict off\n"
                        "timeout 30\n"
                        "answer enter\n"
                        "answer off\n"
                        "wait-exit");
    ASSERT_EQ(s->nsteps, 17);
    const ScnStep *e = &s->steps[0];
    EXPECT_EQ(e->op, SCN_EXPECT);
    EXPECT_EQ(e->line, 2);
    ASSERT_EQ(e->nterms, 3);
    EXPECT_EQ(e->terms[0].field, SCN_F_CAPTION);
    EXPECT_EQ(e->terms[0].compare, SCN_EQUAL);
    EXPECT_STREQ(e->terms[0].value, "\xe7\xa2\xba\xe8\xaa\x8d");
    EXPECT_EQ(e->terms[1].number, UID_KIND_MESSAGEBOX);
    EXPECT_EQ(e->terms[2].number, UID_ICON_QUESTION);
    EXPECT_EQ(s->steps[1].op, SCN_SHOT);
    EXPECT_STREQ(s->steps[1].text, "first-box");
    EXPECT_EQ(s->steps[2].number, 6);
    EXPECT_EQ(s->steps[3].terms[0].compare, SCN_CONTAINS);
    EXPECT_STREQ(s->steps[3].terms[1].value, "a \"b\" \\ c\n");
    EXPECT_EQ(s->steps[4].op, SCN_TYPE);
    EXPECT_EQ(s->steps[4].number, 1000);
    EXPECT_STREQ(s->steps[4].text, "C:\\Program Files\\App");
    EXPECT_EQ(s->steps[5].number, SCN_KEY_ESCAPE);
    EXPECT_EQ(s->steps[6].number, SCN_KEY_ENTER);
    EXPECT_EQ(s->steps[7].op, SCN_CLOSE);
    EXPECT_EQ(s->steps[8].op, SCN_WAIT_GONE);
    EXPECT_EQ(s->steps[9].op, SCN_WAIT_MATCH);
    ASSERT_EQ(s->steps[9].nterms, 2);
    EXPECT_EQ(s->steps[9].terms[1].number, UID_KIND_DIALOG);
    EXPECT_EQ(s->steps[10].number, 250);
    EXPECT_EQ(s->steps[11].number, 1);
    EXPECT_EQ(s->steps[12].number, 0);
    EXPECT_EQ(s->steps[13].number, 30);
    EXPECT_EQ(s->steps[14].op, SCN_ANSWER);
    EXPECT_EQ(s->steps[14].number, SCN_KEY_ENTER);
    EXPECT_EQ(s->steps[15].number, 0);
    EXPECT_EQ(s->steps[16].op, SCN_WAIT_EXIT);
    EXPECT_EQ(s->steps[16].line, 19);
}

TEST(UidriverScenario, BackReturnsToAnEarlierWindow)
{
    Scenario *s = parse("expect kind=dialog\nexpect kind=messagebox\nkey enter\nback\n");
    ASSERT_EQ(s->nsteps, 4);
    EXPECT_EQ(s->steps[3].op, SCN_BACK);
    EXPECT_STREQ(scenario_op_name(SCN_BACK), "back");
    static Scenario bad;
    const char *alone = "back";
    EXPECT_EQ(scenario_parse(alone, strlen(alone), &bad), 0);
    EXPECT_STREQ(bad.error, "line 1: back needs an expect before it");
    const char *with_number = "expect kind=dialog\nback 2";
    EXPECT_EQ(scenario_parse(with_number, strlen(with_number), &bad), 0);
    EXPECT_STREQ(bad.error, "line 2: unexpected text after back");
}

TEST(UidriverScenario, ReportsErrorsWithTheirLine)
{
    struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"click 1", "line 1: click needs an expect before it"},
        {"expect caption=\"x\"\nclick", "line 2: click: expected a number"},
        {"expect caption=\"x\"\nclick -1", "line 2: click: \"-1\" is not a number"},
        {"expect caption=\"x\"\nclick 70000", "line 2: click: 70000 is out of range 0..65535"},
        {"expect caption=\"x\"\nclick 6 7", "line 2: unexpected text after click"},
        {"expect", "line 1: expect needs at least one match term"},
        {"wait-match kind=dialog", "line 1: wait-match needs an expect before it"},
        {"expect kind=dialog\nwait-match", "line 2: wait-match needs at least one match term"},
        {"expect caption=\"open", "line 1: unterminated string in caption"},
        {"expect caption=bare", "line 1: caption: expected a quoted string"},
        {"expect title=\"x\"", "line 1: unknown match term \"title\""},
        {"expect caption:\"x\"", "line 1: expected = or ~ after \"caption\""},
        {"expect kind=popup", "line 1: unknown kind \"popup\" (messagebox, dialog, window)"},
        {"expect icon~stop", "line 1: icon takes =, not ~"},
        {"expect icon=unknown", "line 1: unknown icon \"unknown\" (stop, question, exclamation, information, none)"},
        {"expect text~\"a\\qb\"", "line 1: unknown escape \\q in text"},
        {"\n\nfrobnicate", "line 3: unknown step \"frobnicate\""},
        {"expect kind=dialog\nkey tab", "line 2: key: unknown key \"tab\" (escape, enter)"},
        {"expect kind=dialog\ntype 5 bare", "line 2: type: expected a quoted string"},
        {"shot ../x", "line 1: shot: the name must not start with '.'"},
        {"shot /etc", "line 1: shot: expected a name of letters, digits, '-', '_' or '.'"},
        {"strict maybe", "line 1: strict: expected on or off"},
        {"answer", "line 1: answer: expected enter or off"},
        {"answer escape", "line 1: answer: expected enter or off"},
        {"timeout 0", "line 1: timeout: 0 is out of range 1..86400"},
        {"sleep 5\0x", "line 1: zero byte in the line"},
    };
    for (const auto &c : cases) {
        size_t n = strlen(c.text);
        if (strcmp(c.text, "sleep 5") == 0)
            n = 9;  // includes the zero byte and "x"
        static Scenario s;
        EXPECT_EQ(scenario_parse(c.text, n, &s), 0) << c.text;
        EXPECT_STREQ(s.error, c.message) << c.text;
    }
}

TEST(UidriverScenario, TooManyStepsOrTermsAreRejected)
{
    std::string many;
    for (int i = 0; i <= SCN_MAX_STEPS; i++)
        many += "sleep 1\n";
    static Scenario s;
    EXPECT_EQ(scenario_parse(many.data(), many.size(), &s), 0);
    EXPECT_NE(strstr(s.error, "more than"), nullptr);
    std::string terms = "expect";
    for (int i = 0; i <= SCN_MAX_TERMS; i++)
        terms += " kind=dialog";
    EXPECT_EQ(scenario_parse(terms.data(), terms.size(), &s), 0);
    EXPECT_NE(strstr(s.error, "match terms"), nullptr);
}

TEST(UidriverScenario, MatchesCaptionClassTextKindAndIcon)
{
    UidWindow *w = wine_message_box(7);
    uid_classify(w);
    w->icon = UID_ICON_QUESTION;
    struct {
        const char *expect;
        bool match;
    } cases[] = {
        {"expect caption=\"\xe7\xa2\xba\xe8\xaa\x8d\"", true},
        {"expect caption=\"\xe7\xa2\xba\"", false},          // exact means whole
        {"expect caption~\"\xe7\xa2\xba\"", true},
        {"expect class=\"#32770\" kind=messagebox", true},
        {"expect kind=dialog", false},
        {"expect icon=question", true},
        {"expect icon=information", false},
        {"expect icon=question text~\"line2\"", true},
        {"expect text~\"\xe3\x81\x84\xe3\x81\x84\xe3\x81\x88\"", true},  // a button's text
        {"expect text=\"line1\"", false},
        {"expect text~\"line1\" caption~\"nope\"", false},  // every term must hold
    };
    for (const auto &c : cases) {
        Scenario *s = parse(c.expect);
        ASSERT_EQ(s->nsteps, 1);
        EXPECT_EQ(scenario_match(&s->steps[0], w) != 0, c.match) << c.expect;
    }
    // wait-match uses the same terms.
    Scenario *wm = parse("expect kind=messagebox\nwait-match text~\"line2\" icon=question");
    EXPECT_TRUE(scenario_match(&wm->steps[1], w));
    // Other steps never match.
    Scenario *other = parse("sleep 1");
    EXPECT_FALSE(scenario_match(&other->steps[0], w));
    // icon= never matches a window that is not a message box.
    strcpy(w->cls, "Other");
    uid_classify(w);
    Scenario *s = parse("expect icon=question");
    EXPECT_FALSE(scenario_match(&s->steps[0], w));
    free(w);
}

TEST(UidriverScenario, DescribesSteps)
{
    Scenario *s = parse("expect caption~\"Setup\" kind=messagebox\ntype 12 \"x\"\nkey enter");
    char out[128];
    scenario_describe(&s->steps[0], out, sizeof out);
    EXPECT_STREQ(out, "expect caption~\"Setup\" kind=\"messagebox\"");
    scenario_describe(&s->steps[1], out, sizeof out);
    EXPECT_STREQ(out, "type 12 \"x\"");
    scenario_describe(&s->steps[2], out, sizeof out);
    EXPECT_STREQ(out, "key enter");
}

// ----------------------------------------------------------------------- PNG

static int collect(void *ctx, const unsigned char *data, size_t len)
{
    std::vector<unsigned char> *v = (std::vector<unsigned char> *)ctx;
    v->insert(v->end(), data, data + len);
    return 1;
}

static uint32_t get32(const unsigned char *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Checks the chunk structure and CRCs, inflates the stored blocks and
// removes the filter bytes. Returns the pixels, empty on any fault.
static std::vector<unsigned char> decode(const std::vector<unsigned char> &png, int *w, int *h)
{
    std::vector<unsigned char> none;
    static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || memcmp(png.data(), sig, 8) != 0)
        return none;
    size_t p = 8;
    std::vector<unsigned char> z;
    bool end = false;
    while (p + 12 <= png.size() && !end) {
        uint32_t len = get32(&png[p]);
        if (p + 12 + len > png.size())
            return none;
        const unsigned char *type = &png[p + 4];
        if (png_crc32(0, type, 4 + len) != get32(&png[p + 8 + len]))
            return none;
        if (memcmp(type, "IHDR", 4) == 0) {
            *w = (int)get32(type + 4);
            *h = (int)get32(type + 8);
            if (len != 13 || type[12] != 8 || type[13] != 2 || type[16] != 0)
                return none;
        } else if (memcmp(type, "IDAT", 4) == 0) {
            z.insert(z.end(), type + 4, type + 4 + len);
        } else if (memcmp(type, "IEND", 4) == 0) {
            end = true;
        }
        p += 12 + len;
    }
    if (!end || p != png.size() || z.size() < 6 || z[0] != 0x78 || (z[0] * 256 + z[1]) % 31 != 0)
        return none;
    std::vector<unsigned char> raw;
    size_t q = 2;
    for (;;) {
        if (q + 5 > z.size() || (z[q] & 6) != 0)
            return none;
        bool final = z[q] & 1;
        unsigned n = z[q + 1] | z[q + 2] << 8, nn = z[q + 3] | z[q + 4] << 8;
        if ((n ^ 0xFFFF) != nn || q + 5 + n > z.size())
            return none;
        raw.insert(raw.end(), &z[q + 5], &z[q + 5] + n);
        q += 5 + n;
        if (final)
            break;
    }
    if (q + 4 != z.size() || png_adler32(1, raw.data(), raw.size()) != get32(&z[q]))
        return none;
    size_t row = 1 + (size_t)*w * 3;
    if (raw.size() != row * (size_t)*h)
        return none;
    std::vector<unsigned char> pixels;
    for (int y = 0; y < *h; y++) {
        if (raw[y * row] != 0)
            return none;
        pixels.insert(pixels.end(), &raw[y * row + 1], &raw[y * row + row]);
    }
    return pixels;
}

TEST(UidriverPng, ChecksumsMatchKnownValues)
{
    const unsigned char *s = (const unsigned char *)"123456789";
    EXPECT_EQ(png_crc32(0, s, 9), 0xCBF43926u);
    EXPECT_EQ(png_adler32(1, (const unsigned char *)"Wikipedia", 9), 0x11E60398u);
    // Running in pieces gives the same result as at once.
    EXPECT_EQ(png_crc32(png_crc32(0, s, 4), s + 4, 5), 0xCBF43926u);
    std::vector<unsigned char> big(100000, 0xFF);
    uint32_t whole = png_adler32(1, big.data(), big.size());
    EXPECT_EQ(png_adler32(png_adler32(1, big.data(), 7000), big.data() + 7000, 93000), whole);
}

TEST(UidriverPng, WritesDecodableImagesOfManySizes)
{
    // 1x1; a row that straddles stored blocks; several blocks; a stride
    // wider than the row.
    const int sizes[][2] = {{1, 1}, {3, 2}, {16000, 2}, {200, 150}, {1024, 64}};
    for (const auto &sz : sizes) {
        int width = sz[0], height = sz[1];
        size_t stride = (size_t)width * 3 + 5;
        std::vector<unsigned char> rgb(stride * height);
        for (size_t i = 0; i < rgb.size(); i++)
            rgb[i] = (unsigned char)(i * 131 + i / 7);
        std::vector<unsigned char> png;
        ASSERT_TRUE(png_write_rgb(rgb.data(), width, height, stride, collect, &png));
        int w = 0, h = 0;
        std::vector<unsigned char> pixels = decode(png, &w, &h);
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);
        ASSERT_EQ(pixels.size(), (size_t)width * 3 * height);
        for (int y = 0; y < height; y++)
            ASSERT_EQ(memcmp(&pixels[(size_t)y * width * 3], &rgb[y * stride], (size_t)width * 3), 0)
                << width << "x" << height << " row " << y;
    }
}

static int refuse_after(void *ctx, const unsigned char *, size_t)
{
    int *left = (int *)ctx;
    return (*left)-- > 0;
}

TEST(UidriverPng, RejectsBadSizesAndStopsWhenTheSinkFails)
{
    unsigned char px[3] = {1, 2, 3};
    std::vector<unsigned char> png;
    EXPECT_FALSE(png_write_rgb(px, 0, 1, 3, collect, &png));
    EXPECT_FALSE(png_write_rgb(px, 1, 20000, 3, collect, &png));
    EXPECT_FALSE(png_write_rgb(px, 2, 1, 3, collect, &png));  // stride shorter than a row
    EXPECT_TRUE(png.empty());
    for (int n = 0; n < 12; n++) {
        int left = n;
        EXPECT_FALSE(png_write_rgb(px, 1, 1, 3, refuse_after, &left)) << n;
    }
}
