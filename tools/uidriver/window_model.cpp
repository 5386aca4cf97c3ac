// Window descriptions of the UI driver: classification, comparison, JSON.
#include "window_model.h"

#include <string.h>

// Button and static styles, as in the Windows headers.
enum {
    BUTTON_TYPE_MASK = 0x0F,
    BUTTON_DEFPUSH = 0x01,
    STATIC_TYPE_MASK = 0x1F,
    STATIC_ICON = 0x03,
};

void uid_window_clear(UidWindow *w)
{
    w->pid = 0;
    w->hwnd = 0;
    w->owner = 0;
    w->cls[0] = 0;
    w->caption[0] = 0;
    w->style = w->exstyle = 0;
    w->maximized = w->visible = w->enabled = 0;
    w->ncontrols = 0;
    w->controls_truncated = 0;
    w->kind = UID_KIND_WINDOW;
    w->mb_text_index = w->mb_icon_index = -1;
    w->has_icon_image = 0;
    w->icon = UID_ICON_NONE;
    w->dm_defid = 0;
    w->default_button = 0;
    w->pool_used = 0;
    w->pool[0] = 0;
}

// Length of the longest prefix of s (at most max bytes) that ends on a
// UTF-8 character boundary.
static size_t utf8_fit(const char *s, size_t len, size_t max)
{
    if (len <= max)
        return len;
    size_t n = max;
    while (n > 0 && ((unsigned char)s[n] & 0xC0) == 0x80)
        n--;
    return n;
}

UidControl *uid_add_control(UidWindow *w, int id, const char *cls, uint32_t style, int visible,
                            int enabled, const char *text_utf8)
{
    if (w->ncontrols >= UID_MAX_CONTROLS) {
        w->controls_truncated = 1;
        return NULL;
    }
    UidControl *c = &w->controls[w->ncontrols++];
    memset(c, 0, sizeof *c);
    c->id = id;
    size_t cl = strlen(cls);
    if (cl >= sizeof c->cls)
        cl = sizeof c->cls - 1;
    memcpy(c->cls, cls, cl);
    c->cls[cl] = 0;
    c->style = style;
    c->visible = visible;
    c->enabled = enabled;
    size_t room = UID_POOL_SIZE - w->pool_used;  // includes the terminator
    size_t len = strlen(text_utf8 ? text_utf8 : "");
    if (room == 0) {
        c->text_off = UID_POOL_SIZE - 1;  // the pool's last byte is always 0
        c->text_len = 0;
        return c;
    }
    len = utf8_fit(text_utf8 ? text_utf8 : "", len, room - 1);
    c->text_off = w->pool_used;
    c->text_len = (uint32_t)len;
    if (len)
        memcpy(w->pool + w->pool_used, text_utf8, len);
    w->pool[w->pool_used + len] = 0;
    w->pool_used += (uint32_t)len + 1;
    if (w->pool_used >= UID_POOL_SIZE) {
        w->pool_used = UID_POOL_SIZE;
        w->pool[UID_POOL_SIZE - 1] = 0;
    }
    return c;
}

const char *uid_control_text(const UidWindow *w, const UidControl *c)
{
    return w->pool + c->text_off;
}

static int class_is(const char *cls, const char *name)
{
    // Window class names compare without regard to ASCII case.
    for (; *cls && *name; cls++, name++) {
        char a = *cls, b = *name;
        if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
        if (a != b)
            return 0;
    }
    return *cls == 0 && *name == 0;
}

static int is_mb_button(const UidControl *c)
{
    return class_is(c->cls, "Button") && c->id >= UID_MB_FIRST_BUTTON && c->id <= UID_MB_LAST_BUTTON;
}

void uid_classify(UidWindow *w)
{
    w->kind = UID_KIND_WINDOW;
    w->mb_text_index = w->mb_icon_index = -1;
    w->default_button = 0;
    if (strcmp(w->cls, "#32770") != 0)
        return;
    w->kind = UID_KIND_DIALOG;

    // A message box has exactly: one static with id 0xFFFF, at most one
    // icon static (id 20 or 1088, SS_ICON), one or more buttons with ids
    // 1..11, and nothing else. Ordinary dialogs also use 0xFFFF for their
    // labels, so anything beyond that makes it a dialog.
    int text_index = -1, icon_index = -1, buttons = 0;
    for (int i = 0; i < w->ncontrols; i++) {
        const UidControl *c = &w->controls[i];
        if (class_is(c->cls, "Static") && (c->style & STATIC_TYPE_MASK) == STATIC_ICON &&
            (c->id == UID_MB_ICON_ID_WINDOWS || c->id == UID_MB_ICON_ID_WINE) && icon_index < 0) {
            icon_index = i;
        } else if (class_is(c->cls, "Static") && c->id == UID_MB_TEXT_ID && text_index < 0) {
            text_index = i;
        } else if (is_mb_button(c)) {
            buttons++;
        } else {
            return;
        }
    }
    if (text_index < 0 || buttons == 0 || w->controls_truncated)
        return;
    w->kind = UID_KIND_MESSAGEBOX;
    w->mb_text_index = text_index;
    w->mb_icon_index = icon_index;
    for (int i = 0; i < w->ncontrols; i++) {
        const UidControl *c = &w->controls[i];
        if (is_mb_button(c) && (c->style & BUTTON_TYPE_MASK) == BUTTON_DEFPUSH) {
            w->default_button = c->id;
            return;
        }
    }
    for (int i = 0; i < w->ncontrols; i++) {
        const UidControl *c = &w->controls[i];
        if (is_mb_button(c) && c->id == w->dm_defid) {
            w->default_button = c->id;
            return;
        }
    }
}

int uid_enter_button(const UidWindow *w)
{
    int id = w->kind == UID_KIND_MESSAGEBOX ? w->default_button : w->kind == UID_KIND_DIALOG ? w->dm_defid : 0;
    if (id == 0)
        return 0;
    for (int i = 0; i < w->ncontrols; i++) {
        const UidControl *c = &w->controls[i];
        if (c->id == id && class_is(c->cls, "Button"))
            return c->visible && c->enabled ? id : 0;
    }
    return 0;
}

int uid_window_differs(const UidWindow *a, const UidWindow *b)
{
    if (strcmp(a->caption, b->caption) != 0 || a->visible != b->visible || a->enabled != b->enabled ||
        a->maximized != b->maximized || a->ncontrols != b->ncontrols || a->icon != b->icon)
        return 1;
    for (int i = 0; i < a->ncontrols; i++) {
        const UidControl *x = &a->controls[i], *y = &b->controls[i];
        if (x->id != y->id || x->visible != y->visible || x->enabled != y->enabled ||
            strcmp(x->cls, y->cls) != 0 || x->text_len != y->text_len ||
            memcmp(uid_control_text(a, x), uid_control_text(b, y), x->text_len) != 0)
            return 1;
        if (x->is_progress != y->is_progress ||
            (x->is_progress && (x->pos != y->pos || x->lo != y->lo || x->hi != y->hi)))
            return 1;
    }
    return 0;
}

const char *uid_icon_name(int icon)
{
    switch (icon) {
    case UID_ICON_NONE: return "none";
    case UID_ICON_STOP: return "stop";
    case UID_ICON_QUESTION: return "question";
    case UID_ICON_EXCLAMATION: return "exclamation";
    case UID_ICON_INFORMATION: return "information";
    default: return "unknown";
    }
}

int uid_icon_from_name(const char *name)
{
    static const struct {
        const char *name;
        int icon;
    } names[] = {
        {"none", UID_ICON_NONE},       {"stop", UID_ICON_STOP},
        {"hand", UID_ICON_STOP},       {"error", UID_ICON_STOP},
        {"question", UID_ICON_QUESTION}, {"exclamation", UID_ICON_EXCLAMATION},
        {"warning", UID_ICON_EXCLAMATION}, {"information", UID_ICON_INFORMATION},
        {"info", UID_ICON_INFORMATION}, {"asterisk", UID_ICON_INFORMATION},
        {"unknown", UID_ICON_UNKNOWN},
    };
    for (size_t i = 0; i < sizeof names / sizeof names[0]; i++)
        if (strcmp(name, names[i].name) == 0)
            return names[i].icon;
    return -1;
}

const char *uid_kind_name(int kind)
{
    switch (kind) {
    case UID_KIND_DIALOG: return "dialog";
    case UID_KIND_MESSAGEBOX: return "messagebox";
    default: return "window";
    }
}

void uid_window_json(JsonLine *j, const UidWindow *w)
{
    json_uint(j, "pid", w->pid);
    json_uint(j, "hwnd", w->hwnd);
    json_uint(j, "owner", w->owner);
    json_str(j, "class", w->cls);
    json_str(j, "caption", w->caption);
    json_hex(j, "style", w->style);
    json_hex(j, "exstyle", w->exstyle);
    json_bool(j, "maximized", w->maximized);
    json_bool(j, "visible", w->visible);
    json_bool(j, "enabled", w->enabled);
    json_str(j, "kind", uid_kind_name(w->kind));
    json_array_begin(j, "controls");
    for (int i = 0; i < w->ncontrols; i++) {
        const UidControl *c = &w->controls[i];
        json_object_begin(j, NULL);
        json_int(j, "id", c->id);
        json_str(j, "class", c->cls);
        json_str_n(j, "text", uid_control_text(w, c), c->text_len);
        json_hex(j, "style", c->style);
        json_bool(j, "visible", c->visible);
        json_bool(j, "enabled", c->enabled);
        if (c->is_progress) {
            json_int(j, "pos", c->pos);
            json_int(j, "min", c->lo);
            json_int(j, "max", c->hi);
        }
        json_object_end(j);
    }
    json_array_end(j);
    if (w->controls_truncated)
        json_bool(j, "controls_truncated", 1);
    if (w->kind == UID_KIND_MESSAGEBOX) {
        const UidControl *t = &w->controls[w->mb_text_index];
        json_str_n(j, "text", uid_control_text(w, t), t->text_len);
        json_array_begin(j, "buttons");
        for (int i = 0; i < w->ncontrols; i++) {
            const UidControl *c = &w->controls[i];
            if (!is_mb_button(c))
                continue;
            json_object_begin(j, NULL);
            json_int(j, "id", c->id);
            json_str_n(j, "text", uid_control_text(w, c), c->text_len);
            json_object_end(j);
        }
        json_array_end(j);
        json_str(j, "icon", uid_icon_name(w->icon));
        json_int(j, "default", w->default_button);
    }
}
