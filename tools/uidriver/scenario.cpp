// Scenario parsing and window matching for the UI driver.
#include "scenario.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct Cursor {
    const char *p;
    const char *end;
    int line;
    Scenario *s;
};

static int fail(Cursor *c, const char *fmt, ...)
{
    char *err = c->s->error;
    int n = snprintf(err, SCN_ERROR_MAX, "line %d: ", c->line);
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(err + n, SCN_ERROR_MAX - (size_t)n, fmt, ap);
    va_end(ap);
    return 0;
}

static void skip_blanks(Cursor *c)
{
    while (c->p < c->end && (*c->p == ' ' || *c->p == '\t'))
        c->p++;
}

static int at_end(Cursor *c)
{
    skip_blanks(c);
    return c->p >= c->end;
}

// A word: letters, digits, '-', '_', '.'.
static int is_word_char(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           ch == '-' || ch == '_' || ch == '.';
}

static int read_word(Cursor *c, char *out, size_t size)
{
    skip_blanks(c);
    size_t n = 0;
    while (c->p < c->end && is_word_char(*c->p)) {
        if (n + 1 >= size)
            return fail(c, "word too long");
        out[n++] = *c->p++;
    }
    out[n] = 0;
    return n > 0;
}

// A quoted string with the escapes \" \\ \n \t, or (when bare_ok) a word.
static int read_value(Cursor *c, char *out, size_t size, int bare_ok, const char *what)
{
    skip_blanks(c);
    if (c->p < c->end && *c->p == '"') {
        c->p++;
        size_t n = 0;
        for (;;) {
            if (c->p >= c->end)
                return fail(c, "unterminated string in %s", what);
            char ch = *c->p++;
            if (ch == '"')
                break;
            if (ch == '\\') {
                if (c->p >= c->end)
                    return fail(c, "unterminated string in %s", what);
                char e = *c->p++;
                switch (e) {
                case '"': ch = '"'; break;
                case '\\': ch = '\\'; break;
                case 'n': ch = '\n'; break;
                case 't': ch = '\t'; break;
                default: return fail(c, "unknown escape \\%c in %s", e, what);
                }
            }
            if (n + 1 >= size)
                return fail(c, "string too long in %s", what);
            out[n++] = ch;
        }
        out[n] = 0;
        return 1;
    }
    if (bare_ok && read_word(c, out, size))
        return 1;
    return fail(c, "%s: expected a quoted string", what);
}

static int read_number(Cursor *c, long min, long max, long *out, const char *what)
{
    char word[32];
    skip_blanks(c);
    const char *start = c->p;
    if (!read_word(c, word, sizeof word)) {
        c->p = start;
        return fail(c, "%s: expected a number", what);
    }
    char *end;
    long v = strtol(word, &end, 0);
    if (*end != 0 || word[0] == '-' || word[0] == '+')
        return fail(c, "%s: \"%s\" is not a number", what, word);
    if (v < min || v > max)
        return fail(c, "%s: %ld is out of range %ld..%ld", what, v, min, max);
    *out = v;
    return 1;
}

static int parse_term(Cursor *c, ScnStep *st)
{
    char name[32];
    if (!read_word(c, name, sizeof name))
        return fail(c, "expected a match term such as caption=\"...\"");
    if (st->nterms >= SCN_MAX_TERMS)
        return fail(c, "more than %d match terms", SCN_MAX_TERMS);
    ScnTerm *t = &st->terms[st->nterms];
    memset(t, 0, sizeof *t);
    if (strcmp(name, "caption") == 0) t->field = SCN_F_CAPTION;
    else if (strcmp(name, "class") == 0) t->field = SCN_F_CLASS;
    else if (strcmp(name, "text") == 0) t->field = SCN_F_TEXT;
    else if (strcmp(name, "kind") == 0) t->field = SCN_F_KIND;
    else if (strcmp(name, "icon") == 0) t->field = SCN_F_ICON;
    else return fail(c, "unknown match term \"%s\"", name);

    if (c->p < c->end && *c->p == '=') t->compare = SCN_EQUAL;
    else if (c->p < c->end && *c->p == '~') t->compare = SCN_CONTAINS;
    else return fail(c, "expected = or ~ after \"%s\"", name);
    c->p++;
    if ((t->field == SCN_F_KIND || t->field == SCN_F_ICON) && t->compare != SCN_EQUAL)
        return fail(c, "%s takes =, not ~", name);

    int bare = t->field == SCN_F_KIND || t->field == SCN_F_ICON;
    if (!read_value(c, t->value, sizeof t->value, bare, name))
        return 0;
    if (t->field == SCN_F_KIND) {
        if (strcmp(t->value, "messagebox") == 0) t->number = UID_KIND_MESSAGEBOX;
        else if (strcmp(t->value, "dialog") == 0) t->number = UID_KIND_DIALOG;
        else if (strcmp(t->value, "window") == 0) t->number = UID_KIND_WINDOW;
        else return fail(c, "unknown kind \"%s\" (messagebox, dialog, window)", t->value);
    } else if (t->field == SCN_F_ICON) {
        t->number = uid_icon_from_name(t->value);
        if (t->number < 0 || t->number == UID_ICON_UNKNOWN)
            return fail(c, "unknown icon \"%s\" (stop, question, exclamation, information, none)",
                        t->value);
    }
    st->nterms++;
    return 1;
}

// Parses one non-empty, non-comment line into st. have_window tells whether
// an expect came before (actions on a window need one).
static int parse_line(Cursor *c, ScnStep *st, int have_window)
{
    char op[32];
    memset(st, 0, sizeof *st);
    st->line = c->line;
    if (!read_word(c, op, sizeof op))
        return fail(c, "expected a step name");

    int needs_window = 0;
    if (strcmp(op, "expect") == 0) {
        st->op = SCN_EXPECT;
        while (!at_end(c))
            if (!parse_term(c, st))
                return 0;
        if (st->nterms == 0)
            return fail(c, "expect needs at least one match term");
    } else if (strcmp(op, "wait-match") == 0) {
        st->op = SCN_WAIT_MATCH;
        needs_window = 1;
        while (!at_end(c))
            if (!parse_term(c, st))
                return 0;
        if (st->nterms == 0)
            return fail(c, "wait-match needs at least one match term");
    } else if (strcmp(op, "click") == 0) {
        st->op = SCN_CLICK;
        needs_window = 1;
        if (!read_number(c, 0, 0xFFFF, &st->number, "click"))
            return 0;
    } else if (strcmp(op, "type") == 0) {
        st->op = SCN_TYPE;
        needs_window = 1;
        if (!read_number(c, 0, 0xFFFF, &st->number, "type"))
            return 0;
        if (!read_value(c, st->text, sizeof st->text, 0, "type"))
            return 0;
    } else if (strcmp(op, "key") == 0) {
        char key[32];
        st->op = SCN_KEY;
        needs_window = 1;
        if (!read_word(c, key, sizeof key))
            return fail(c, "key: expected escape or enter");
        if (strcmp(key, "escape") == 0) st->number = SCN_KEY_ESCAPE;
        else if (strcmp(key, "enter") == 0) st->number = SCN_KEY_ENTER;
        else return fail(c, "key: unknown key \"%s\" (escape, enter)", key);
    } else if (strcmp(op, "close") == 0) {
        st->op = SCN_CLOSE;
        needs_window = 1;
    } else if (strcmp(op, "shot") == 0) {
        st->op = SCN_SHOT;
        if (!read_word(c, st->text, 64))
            return fail(c, "shot: expected a name of letters, digits, '-', '_' or '.'");
        if (st->text[0] == '.')
            return fail(c, "shot: the name must not start with '.'");
    } else if (strcmp(op, "sleep") == 0) {
        st->op = SCN_SLEEP;
        if (!read_number(c, 0, 600000, &st->number, "sleep"))
            return 0;
    } else if (strcmp(op, "wait-exit") == 0) {
        st->op = SCN_WAIT_EXIT;
    } else if (strcmp(op, "back") == 0) {
        st->op = SCN_BACK;
        needs_window = 1;
    } else if (strcmp(op, "wait-gone") == 0) {
        st->op = SCN_WAIT_GONE;
        needs_window = 1;
    } else if (strcmp(op, "strict") == 0) {
        char onoff[8];
        st->op = SCN_STRICT;
        st->number = 1;
        if (!at_end(c)) {
            if (!read_word(c, onoff, sizeof onoff))
                return fail(c, "strict: expected on or off");
            if (strcmp(onoff, "on") == 0) st->number = 1;
            else if (strcmp(onoff, "off") == 0) st->number = 0;
            else return fail(c, "strict: expected on or off");
        }
    } else if (strcmp(op, "answer") == 0) {
        char how[8];
        st->op = SCN_ANSWER;
        if (!read_word(c, how, sizeof how))
            return fail(c, "answer: expected enter or off");
        if (strcmp(how, "enter") == 0) st->number = SCN_KEY_ENTER;
        else if (strcmp(how, "off") == 0) st->number = 0;
        else return fail(c, "answer: expected enter or off");
    } else if (strcmp(op, "timeout") == 0) {
        st->op = SCN_TIMEOUT;
        if (!read_number(c, 1, 86400, &st->number, "timeout"))
            return 0;
    } else {
        return fail(c, "unknown step \"%s\"", op);
    }
    if (!at_end(c))
        return fail(c, "unexpected text after %s", op);
    if (needs_window && !have_window)
        return fail(c, "%s needs an expect before it", op);
    return 1;
}

int scenario_parse(const char *text, size_t n, Scenario *s)
{
    s->nsteps = 0;
    s->error[0] = 0;
    Cursor c;
    c.p = text;
    c.end = text + n;
    c.line = 0;
    c.s = s;
    if (n >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
        c.p += 3;
    int have_window = 0;
    while (c.p < c.end) {
        const char *eol = (const char *)memchr(c.p, '\n', (size_t)(c.end - c.p));
        const char *next = eol ? eol + 1 : c.end;
        const char *line_end = eol ? eol : c.end;
        if (line_end > c.p && line_end[-1] == '\r')
            line_end--;
        c.line++;
        if (memchr(c.p, 0, (size_t)(line_end - c.p)))
            return fail(&c, "zero byte in the line");
        Cursor lc = c;
        lc.end = line_end;
        skip_blanks(&lc);
        if (lc.p < lc.end && *lc.p != '#') {
            if (s->nsteps >= SCN_MAX_STEPS)
                return fail(&c, "more than %d steps", SCN_MAX_STEPS);
            ScnStep *st = &s->steps[s->nsteps];
            if (!parse_line(&lc, st, have_window))
                return 0;
            if (st->op == SCN_EXPECT)
                have_window = 1;
            s->nsteps++;
        }
        c.p = next;
    }
    return 1;
}

static int text_holds(const char *have, const ScnTerm *t)
{
    return t->compare == SCN_EQUAL ? strcmp(have, t->value) == 0 : strstr(have, t->value) != NULL;
}

static int term_holds(const ScnTerm *t, const UidWindow *w)
{
    switch (t->field) {
    case SCN_F_CAPTION:
        return text_holds(w->caption, t);
    case SCN_F_CLASS:
        return text_holds(w->cls, t);
    case SCN_F_KIND:
        return w->kind == t->number;
    case SCN_F_ICON:
        return w->kind == UID_KIND_MESSAGEBOX && w->icon == t->number;
    case SCN_F_TEXT:
        // The message text of a message box, or the text of any control.
        for (int i = 0; i < w->ncontrols; i++)
            if (text_holds(uid_control_text(w, &w->controls[i]), t))
                return 1;
        return 0;
    }
    return 0;
}

int scenario_match(const ScnStep *step, const UidWindow *w)
{
    if (step->op != SCN_EXPECT && step->op != SCN_WAIT_MATCH)
        return 0;
    for (int i = 0; i < step->nterms; i++)
        if (!term_holds(&step->terms[i], w))
            return 0;
    return 1;
}

const char *scenario_op_name(int op)
{
    switch (op) {
    case SCN_EXPECT: return "expect";
    case SCN_CLICK: return "click";
    case SCN_TYPE: return "type";
    case SCN_KEY: return "key";
    case SCN_CLOSE: return "close";
    case SCN_SHOT: return "shot";
    case SCN_SLEEP: return "sleep";
    case SCN_WAIT_EXIT: return "wait-exit";
    case SCN_WAIT_GONE: return "wait-gone";
    case SCN_STRICT: return "strict";
    case SCN_TIMEOUT: return "timeout";
    case SCN_WAIT_MATCH: return "wait-match";
    case SCN_BACK: return "back";
    case SCN_ANSWER: return "answer";
    }
    return "?";
}

void scenario_describe(const ScnStep *step, char *out, size_t size)
{
    static const char *const fields[] = {"", "caption", "class", "text", "kind", "icon"};
    size_t len;
    if (size == 0)
        return;
    snprintf(out, size, "%s", scenario_op_name(step->op));
    len = strlen(out);
    switch (step->op) {
    case SCN_EXPECT:
    case SCN_WAIT_MATCH:
        for (int i = 0; i < step->nterms && len < size; i++) {
            const ScnTerm *t = &step->terms[i];
            snprintf(out + len, size - len, " %s%c\"%s\"", fields[t->field],
                     t->compare == SCN_EQUAL ? '=' : '~', t->value);
            len = strlen(out);
        }
        break;
    case SCN_CLICK:
    case SCN_SLEEP:
    case SCN_TIMEOUT:
        snprintf(out + len, size - len, " %ld", step->number);
        break;
    case SCN_TYPE:
        snprintf(out + len, size - len, " %ld \"%s\"", step->number, step->text);
        break;
    case SCN_KEY:
        snprintf(out + len, size - len, " %s", step->number == SCN_KEY_ESCAPE ? "escape" : "enter");
        break;
    case SCN_SHOT:
        snprintf(out + len, size - len, " %s", step->text);
        break;
    case SCN_STRICT:
        snprintf(out + len, size - len, " %s", step->number ? "on" : "off");
        break;
    case SCN_ANSWER:
        snprintf(out + len, size - len, " %s", step->number ? "enter" : "off");
        break;
    }
}
