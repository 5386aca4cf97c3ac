// Scenario actions of the UI driver.
#include "actions.h"

#include <stdio.h>
#include <string.h>

#include "json_text.h"
#include "scenario.h"

// The control with this id anywhere below the window (controls of a
// dialog are its children; a group may nest them one level deeper).
struct FindId {
    int id;
    HWND found;
};

static BOOL CALLBACK find_id(HWND child, LPARAM lp)
{
    FindId *f = (FindId *)lp;
    if ((GetDlgCtrlID(child) & 0xFFFF) == f->id) {
        f->found = child;
        return FALSE;
    }
    return TRUE;
}

static HWND find_control(HWND window, int id)
{
    HWND direct = GetDlgItem(window, id);
    if (direct)
        return direct;
    FindId f = {id, NULL};
    EnumChildWindows(window, find_id, (LPARAM)&f);
    return f.found;
}

static int window_ready(HWND window, char *detail, size_t size)
{
    if (!IsWindow(window)) {
        snprintf(detail, size, "the window is gone");
        return ACT_FAIL;
    }
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) {
        snprintf(detail, size, "the window is hidden or disabled");
        return ACT_WAIT;
    }
    return ACT_DONE;
}

static int control_ready(HWND window, int id, HWND *control, char *detail, size_t size)
{
    int r = window_ready(window, detail, size);
    if (r != ACT_DONE)
        return r;
    *control = find_control(window, id);
    if (!*control) {
        snprintf(detail, size, "no control with id %d", id);
        return ACT_WAIT;
    }
    LONG style = GetWindowLongW(*control, GWL_STYLE);
    if (!(style & WS_VISIBLE) || (style & WS_DISABLED)) {
        snprintf(detail, size, "control %d is hidden or disabled", id);
        return ACT_WAIT;
    }
    return ACT_DONE;
}

int action_click(HWND window, int id, char *detail, size_t size)
{
    HWND control;
    int r = control_ready(window, id, &control, detail, size);
    if (r != ACT_DONE)
        return r;
    wchar_t cls[64];
    GetClassNameW(control, cls, 64);
    LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    int toggles = lstrcmpiW(cls, L"Button") == 0 &&
                  (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON);
    BOOL ok;
    if (toggles)
        ok = PostMessageW(control, BM_CLICK, 0, 0);
    else
        ok = PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control);
    if (!ok) {
        snprintf(detail, size, "posting the click failed (error %lu)", (unsigned long)GetLastError());
        return ACT_FAIL;
    }
    snprintf(detail, size, "%s", toggles ? "BM_CLICK" : "WM_COMMAND");
    return ACT_DONE;
}

int action_type(HWND window, int id, const char *text, char *detail, size_t size)
{
    static uint16_t wide[SCN_TEXT_MAX + 1];
    HWND control;
    int r = control_ready(window, id, &control, detail, size);
    if (r != ACT_DONE)
        return r;
    utf8_to_utf16(text, wide, sizeof wide / sizeof wide[0]);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, (LPARAM)wide, SMTO_ABORTIFHUNG, 5000, &result)) {
        snprintf(detail, size, "WM_SETTEXT was not answered");
        return ACT_FAIL;
    }
    snprintf(detail, size, "WM_SETTEXT");
    return ACT_DONE;
}

static int post_command(HWND window, int id, char *detail, size_t size)
{
    if (!PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(window, id))) {
        snprintf(detail, size, "posting the command failed (error %lu)", (unsigned long)GetLastError());
        return ACT_FAIL;
    }
    snprintf(detail, size, "WM_COMMAND %d", id);
    return ACT_DONE;
}

int action_key(HWND window, const UidWindow *info, int key, char *detail, size_t size)
{
    int r = window_ready(window, detail, size);
    if (r != ACT_DONE)
        return r;
    if (info->kind == UID_KIND_WINDOW) {
        WPARAM vk = key == SCN_KEY_ESCAPE ? VK_ESCAPE : VK_RETURN;
        PostMessageW(window, WM_KEYDOWN, vk, 1);
        PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
        snprintf(detail, size, "WM_KEYDOWN");
        return ACT_DONE;
    }
    if (key == SCN_KEY_ESCAPE) {
        if (info->kind == UID_KIND_MESSAGEBOX && !GetDlgItem(window, IDCANCEL)) {
            int only_ok = 1;
            for (int i = 0; i < info->ncontrols; i++)
                if (strcmp(info->controls[i].cls, "Button") == 0 && info->controls[i].id != IDOK)
                    only_ok = 0;
            if (!only_ok) {
                snprintf(detail, size, "ignored: no Cancel button");
                return ACT_DONE;
            }
            return post_command(window, IDOK, detail, size);
        }
        return post_command(window, IDCANCEL, detail, size);
    }
    int id = info->kind == UID_KIND_MESSAGEBOX ? info->default_button : 0;
    if (!id) {
        DWORD_PTR defid = 0;
        if (SendMessageTimeoutW(window, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &defid) &&
            HIWORD(defid) == DC_HASDEFID)
            id = LOWORD(defid);
        else
            id = IDOK;
    }
    return post_command(window, id, detail, size);
}

int action_enter_button(HWND window, UidWindow *info)
{
    if (!IsWindow(window) || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return 0;
    if (info->kind == UID_KIND_DIALOG) {
        DWORD_PTR defid = 0;
        info->dm_defid = SendMessageTimeoutW(window, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 1000, &defid) &&
                                 HIWORD(defid) == DC_HASDEFID
                             ? LOWORD(defid)
                             : 0;
    }
    return uid_enter_button(info);
}

int action_close(HWND window, char *detail, size_t size)
{
    int r = window_ready(window, detail, size);
    if (r != ACT_DONE)
        return r;
    if (!PostMessageW(window, WM_CLOSE, 0, 0)) {
        snprintf(detail, size, "posting WM_CLOSE failed (error %lu)", (unsigned long)GetLastError());
        return ACT_FAIL;
    }
    snprintf(detail, size, "WM_CLOSE");
    return ACT_DONE;
}
