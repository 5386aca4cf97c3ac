// uidriver: starts a Windows program, records every top-level window that
// it and the processes it starts show, and answers those windows from a
// scenario.
//
//   uidriver.exe [--scenario FILE] [--log FILE] [--shots DIR] [--timeout SECONDS]
//                [--settle MS] -- PROGRAM [ARGS...]
//
// --scenario  steps to carry out (below); without one the driver only records.
// --log       transcript file (JSON lines, UTF-8); standard output by default.
// --shots     folder for `shot` pictures and failure.png; the current folder by default.
// --timeout   limit for the whole run (default 120 s); then the processes are ended.
// --settle    how long a window must have been shown before an expect takes
//             it, so that texts set during its initialisation are recorded
//             first (default 150 ms).
//
// Exit code: 0 when every step was carried out and every watched process
// ended; 1 when a step failed (not matched in time, unexpected window under
// `strict`, the program ended with steps left); 2 for a bad command line or
// scenario; 3 when the run's time limit passed; 4 when the program could
// not be started. A failure is also described on standard error.
//
// Scenario files: UTF-8, one step a line; blank lines and lines whose first
// non-blank character is '#' are ignored. Strings are in double quotes with
// the escapes \" \\ \n \t.
//
//   expect TERM...     wait for a shown top-level window of the watched
//                      processes, not taken by an earlier expect, for which
//                      every term holds; it becomes the current window.
//       caption="..."  caption is exactly ...      caption~"..."  contains ...
//       class="..."    class name is exactly ...   class~"..."    contains ...
//       text="..."     the message text or any control text is exactly ...
//       text~"..."     ... contains ...
//       kind=messagebox | dialog | window
//       icon=stop | question | exclamation | information | none
//                      (aliases hand, error, warning, asterisk, info)
//   click ID           click the current window's control ID (decimal or 0x..)
//   type ID "text"     set the text of control ID
//   key escape|enter   Escape (IDCANCEL) or Enter (default button)
//   close              WM_CLOSE to the current window
//   wait-match TERM... wait until the current window matches the terms (as
//                      for expect; e.g. a progress dialog's text~"done")
//   wait-gone          wait until the current window is hidden or destroyed
//   back               the window that was current before the last expect is
//                      current again, if it is still shown (a dialog that
//                      stays open under the message box it showed)
//   shot NAME          picture of the whole screen as SHOTS/NAME.png
//   sleep MS           wait MS milliseconds
//   wait-exit          wait until every watched process has ended
//   strict [on|off]    from here on, a dialog or message box (class #32770)
//                      that no expect takes is a failure
//   timeout SECONDS    wait at most SECONDS for each later expect, action
//                      and wait (default: until the run's time limit)
//   answer enter|off   from here on, every dialog or message box that no
//                      expect takes is answered with Enter once its default
//                      button is shown and enabled, after a picture
//                      (SHOTS/answer-NN.png); a window that the expect being
//                      waited for matches is left to it
//
// click, type, key, close, wait-match, wait-gone and back need an expect before them. An
// action waits until the window and the control are visible and enabled.
//
// Transcript lines (each one JSON object with "event" and "t", ms since
// start):
//   process  pid, parent, exe                    a watched process was found
//   exit     pid, code (null when unknown)       a watched process ended
//   show / change / hide   a window became visible / changed / was hidden
//            pid, hwnd, owner, class, caption, style, exstyle, maximized,
//            visible, enabled, kind, controls [{id, class, text, style,
//            visible, enabled, and pos, min, max for a progress bar}];
//            for a message box also text, buttons [{id, text}], icon and
//            default (button id); hide has destroyed=true when it is gone
//   action   line, op, and hwnd, id, text, name, file, how as they apply
//   end      ok, message
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "actions.h"
#include "json_text.h"
#include "procwatch.h"
#include "scenario.h"
#include "screen.h"
#include "transcript.h"
#include "winrec.h"

enum {
    POLL_MS = 50,
    ICON_WAIT_MS = 1000,
    EXIT_OK = 0,
    EXIT_STEP_FAILED = 1,
    EXIT_USAGE = 2,
    EXIT_TIMEOUT = 3,
    EXIT_NOT_STARTED = 4,
};

static Scenario scenario;

struct Run {
    const wchar_t *shots_dir;
    long long deadline;       // transcript time
    long long step_limit_ms;  // 0: none beyond the deadline
    int settle_ms;
    int strict;
    int step;                 // index of the next step
    long long step_started;   // when the current step began waiting
    long long sleep_until;
    HWND current;             // window of the last expect
    HWND previous;            // the current window before it, for back
    int answer;               // line of the `answer enter` in force, 0 when off
    int answers;              // how many were answered, for the pictures' names
    char failure[1024];
};

static Run run;

static void usage(void)
{
    fprintf(stderr,
            "usage: uidriver [--scenario FILE] [--log FILE] [--shots DIR] [--timeout SECONDS]\n"
            "                [--settle MS] [--tail TEXT] -- PROGRAM [ARGS...]\n");
}

// Appends one argument to a command line, quoted as the C run-time parses it.
static void append_argument(wchar_t *cmd, size_t size, const wchar_t *arg)
{
    size_t len = wcslen(cmd);
    // Room for the worst case: every character escaped, quotes, blank.
    if (len + wcslen(arg) * 2 + 4 >= size)
        return;
    if (len)
        cmd[len++] = L' ';
    if (arg[0] != 0 && wcspbrk(arg, L" \t\"") == NULL) {
        wcscpy(cmd + len, arg);
        return;
    }
    cmd[len++] = L'"';
    for (const wchar_t *p = arg;; p++) {
        size_t backslashes = 0;
        while (*p == L'\\') {
            backslashes++;
            p++;
        }
        // Backslashes are doubled before a quote and before the closing quote.
        size_t n = (*p == L'"' || *p == 0) ? backslashes * 2 : backslashes;
        for (size_t k = 0; k < n; k++)
            cmd[len++] = L'\\';
        if (*p == 0)
            break;
        if (*p == L'"')
            cmd[len++] = L'\\';
        cmd[len++] = *p;
    }
    cmd[len++] = L'"';
    cmd[len] = 0;
}

static void to_utf8(const wchar_t *w, char *out, size_t size)
{
    utf16_to_utf8((const uint16_t *)w, (size_t)-1, out, size);
}

static void log_action(const ScnStep *st, HWND hwnd, const char *how)
{
    JsonLine *j = transcript_begin("action");
    json_int(j, "line", st->line);
    json_str(j, "op", scenario_op_name(st->op));
    if (hwnd)
        json_uint(j, "hwnd", (unsigned long long)(ULONG_PTR)hwnd);
    switch (st->op) {
    case SCN_CLICK:
    case SCN_TYPE: {
        json_int(j, "id", st->number);
        Tracked *t = winrec_find(hwnd);
        if (t)
            for (int i = 0; i < t->info.ncontrols; i++)
                if (t->info.controls[i].id == st->number) {
                    json_str(j, "control_text", uid_control_text(&t->info, &t->info.controls[i]));
                    break;
                }
        if (st->op == SCN_TYPE)
            json_str(j, "text", st->text);
        break;
    }
    case SCN_KEY:
        json_str(j, "key", st->number == SCN_KEY_ESCAPE ? "escape" : "enter");
        break;
    case SCN_SLEEP:
        json_int(j, "ms", st->number);
        break;
    case SCN_SHOT:
        json_str(j, "name", st->text);
        break;
    case SCN_STRICT:
        json_bool(j, "on", (int)st->number);
        break;
    case SCN_TIMEOUT:
        json_int(j, "seconds", st->number);
        break;
    case SCN_ANSWER:
        json_str(j, "key", st->number ? "enter" : "off");
        break;
    }
    if (how && *how)
        json_str(j, "how", how);
    transcript_write(j);
}

static void set_failure(const char *fmt, const char *a, const char *b)
{
    snprintf(run.failure, sizeof run.failure, fmt, a, b);
}

static void describe_step(const ScnStep *st, char *out, size_t size)
{
    char d[600];
    scenario_describe(st, d, sizeof d);
    snprintf(out, size, "line %d (%s)", st->line, d);
}

// A shown window that no expect has taken and that a strict run must not
// see: a dialog or message box.
static Tracked *unexpected_window(void)
{
    long long now = transcript_now();
    for (int i = 0; i < winrec_count(); i++) {
        Tracked *t = winrec_at(i);
        if (t && t->shown && !t->claimed && now - t->shown_at >= run.settle_ms &&
            strcmp(t->info.cls, "#32770") == 0)
            return t;
    }
    return NULL;
}

static int take_shot(const ScnStep *st, const char *name, char *how, size_t how_size)
{
    wchar_t path[MAX_PATH * 2];
    wchar_t wname[80];
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wname, 80);
    CreateDirectoryW(run.shots_dir, NULL);
    _snwprintf(path, sizeof path / sizeof path[0], L"%ls\\%ls.png", run.shots_dir, wname);
    path[sizeof path / sizeof path[0] - 1] = 0;
    char err[256];
    if (!screen_save_png(path, err, sizeof err)) {
        snprintf(how, how_size, "%s", err);
        return 0;
    }
    to_utf8(path, how, how_size);
    (void)st;
    return 1;
}

enum { STEP_DONE = 1, STEP_WAITING, STEP_FAILED };

// Carries out the current step if it can. procs_running: whether any
// watched process still runs.
static int do_step(const ScnStep *st, int procs_running)
{
    char how[512] = "";
    long long now = transcript_now();
    switch (st->op) {
    case SCN_EXPECT: {
        Tracked *best = NULL;
        for (int i = 0; i < winrec_count(); i++) {
            Tracked *t = winrec_at(i);
            if (!t || !t->shown || t->claimed || now - t->shown_at < run.settle_ms)
                continue;
            if (scenario_match(st, &t->info) && (!best || t->shown_at < best->shown_at))
                best = t;
        }
        if (!best) {
            if (run.strict) {
                Tracked *u = unexpected_window();
                if (u) {
                    char d[700];
                    describe_step(st, d, sizeof d);
                    set_failure("unexpected window \"%s\" while waiting for %s", u->info.caption, d);
                    return STEP_FAILED;
                }
            }
            return STEP_WAITING;
        }
        best->claimed = 1;
        run.previous = run.current;
        run.current = best->hwnd;
        log_action(st, best->hwnd, NULL);
        return STEP_DONE;
    }
    case SCN_CLICK:
    case SCN_TYPE:
    case SCN_KEY:
    case SCN_CLOSE: {
        int r;
        if (st->op == SCN_CLICK)
            r = action_click(run.current, (int)st->number, how, sizeof how);
        else if (st->op == SCN_TYPE)
            r = action_type(run.current, (int)st->number, st->text, how, sizeof how);
        else if (st->op == SCN_KEY) {
            static UidWindow now_info;
            winrec_describe(run.current, &now_info);
            r = action_key(run.current, &now_info, (int)st->number, how, sizeof how);
        } else
            r = action_close(run.current, how, sizeof how);
        if (r == ACT_WAIT)
            return STEP_WAITING;
        if (r == ACT_FAIL) {
            char d[700];
            describe_step(st, d, sizeof d);
            set_failure("%s: %s", d, how);
            return STEP_FAILED;
        }
        log_action(st, run.current, how);
        // The program has just answered: record what the typing changed
        // before a later action (a click on OK) hides the window.
        if (st->op == SCN_TYPE)
            winrec_poll(ICON_WAIT_MS);
        return STEP_DONE;
    }
    case SCN_WAIT_MATCH: {
        Tracked *t = winrec_find(run.current);
        if (!t || !t->shown) {
            char d[700];
            describe_step(st, d, sizeof d);
            set_failure("%s: %s", d, "the window is gone");
            return STEP_FAILED;
        }
        if (!scenario_match(st, &t->info))
            return STEP_WAITING;
        log_action(st, run.current, NULL);
        return STEP_DONE;
    }
    case SCN_BACK: {
        Tracked *t = run.previous ? winrec_find(run.previous) : NULL;
        if (!t || !t->shown) {
            char d[700];
            describe_step(st, d, sizeof d);
            set_failure("%s: %s", d, run.previous ? "the window before the last expect is gone"
                                                   : "no window before the last expect");
            return STEP_FAILED;
        }
        HWND left = run.current;
        run.current = run.previous;
        run.previous = left;
        log_action(st, run.current, NULL);
        return STEP_DONE;
    }
    case SCN_WAIT_GONE:
        if (IsWindow(run.current) && IsWindowVisible(run.current))
            return STEP_WAITING;
        // Record the window's going now, before the steps after this one:
        // the transcript keeps the order in which things happened.
        winrec_poll(ICON_WAIT_MS);
        log_action(st, run.current, NULL);
        return STEP_DONE;
    case SCN_WAIT_EXIT:
        if (procs_running)
            return STEP_WAITING;
        log_action(st, NULL, NULL);
        return STEP_DONE;
    case SCN_SLEEP:
        if (run.sleep_until < 0) {
            run.sleep_until = now + st->number;
            log_action(st, NULL, NULL);
        }
        if (now < run.sleep_until)
            return STEP_WAITING;
        run.sleep_until = -1;
        return STEP_DONE;
    case SCN_SHOT:
        if (!take_shot(st, st->text, how, sizeof how)) {
            char d[700];
            describe_step(st, d, sizeof d);
            set_failure("%s: %s", d, how);
            return STEP_FAILED;
        }
        {
            JsonLine *j = transcript_begin("action");
            json_int(j, "line", st->line);
            json_str(j, "op", "shot");
            json_str(j, "name", st->text);
            json_str(j, "file", how);
            transcript_write(j);
        }
        return STEP_DONE;
    case SCN_STRICT:
        run.strict = (int)st->number;
        log_action(st, NULL, NULL);
        return STEP_DONE;
    case SCN_TIMEOUT:
        run.step_limit_ms = st->number * 1000LL;
        log_action(st, NULL, NULL);
        return STEP_DONE;
    case SCN_ANSWER:
        run.answer = st->number ? st->line : 0;
        log_action(st, NULL, NULL);
        return STEP_DONE;
    }
    return STEP_FAILED;
}

// Under `answer enter`: presses Enter in each shown dialog or message box
// that no expect has taken, once it waits for an answer (its default button
// shown and enabled), and takes a picture of it first. Each is answered
// once: a window still open afterwards (a page that refused the answer) is
// left for the time limit to report. Returns 0 when a picture failed.
static int answer_windows(void)
{
    const ScnStep *waiting = run.step < scenario.nsteps && scenario.steps[run.step].op == SCN_EXPECT
                                 ? &scenario.steps[run.step]
                                 : NULL;
    long long now = transcript_now();
    for (int i = 0; i < winrec_count(); i++) {
        Tracked *t = winrec_at(i);
        if (!t || !t->shown || t->claimed || now - t->shown_at < run.settle_ms ||
            strcmp(t->info.cls, "#32770") != 0 || (waiting && scenario_match(waiting, &t->info)))
            continue;
        static UidWindow info;
        winrec_describe(t->hwnd, &info);
        int id = action_enter_button(t->hwnd, &info);
        if (!id)
            continue;
        // What made the window ready for its answer (a text, an enabled
        // button) goes into the transcript before the answer does.
        HWND window = t->hwnd;
        winrec_poll(ICON_WAIT_MS);
        if (t->hwnd != window || !t->shown)
            continue;
        char name[32], file[512] = "", how[512] = "";
        snprintf(name, sizeof name, "answer-%02d", ++run.answers);
        if (!take_shot(NULL, name, file, sizeof file)) {
            snprintf(run.failure, sizeof run.failure, "answer: picture %s: %s", name, file);
            return 0;
        }
        if (action_click(t->hwnd, id, how, sizeof how) != ACT_DONE)
            continue;  // gone or disabled meanwhile: looked at again next time
        t->claimed = 1;
        JsonLine *j = transcript_begin("action");
        json_int(j, "line", run.answer);
        json_str(j, "op", "answer");
        json_str(j, "key", "enter");
        json_uint(j, "hwnd", (unsigned long long)(ULONG_PTR)t->hwnd);
        json_int(j, "id", id);
        for (int k = 0; k < info.ncontrols; k++)
            if (info.controls[k].id == id) {
                json_str(j, "control_text", uid_control_text(&info, &info.controls[k]));
                break;
            }
        json_str(j, "file", file);
        json_str(j, "how", how);
        transcript_write(j);
    }
    return 1;
}

// Carries out steps until one has to wait. Returns 0 on failure.
static int advance(int procs_running)
{
    while (run.step < scenario.nsteps) {
        const ScnStep *st = &scenario.steps[run.step];
        if (run.step_started < 0)
            run.step_started = transcript_now();
        int r = do_step(st, procs_running);
        if (r == STEP_FAILED)
            return 0;
        if (r == STEP_WAITING) {
            if (run.step_limit_ms > 0 && st->op != SCN_SLEEP &&
                transcript_now() - run.step_started > run.step_limit_ms) {
                char d[700];
                describe_step(st, d, sizeof d);
                snprintf(run.failure, sizeof run.failure, "%s not done within %lld s", d,
                         run.step_limit_ms / 1000);
                return 0;
            }
            return 1;
        }
        run.step++;
        run.step_started = -1;
    }
    if (run.strict) {
        Tracked *u = unexpected_window();
        if (u) {
            set_failure("unexpected window \"%s\" after the last step%s", u->info.caption, "");
            return 0;
        }
    }
    return 1;
}

static int finish(int code, const char *message)
{
    if (code != EXIT_OK) {
        fprintf(stderr, "uidriver: FAILED: %s\n", message);
        if (run.shots_dir) {
            char how[512];
            ScnStep none;
            memset(&none, 0, sizeof none);
            take_shot(&none, "failure", how, sizeof how);
        }
        procwatch_kill_all();
        winrec_poll(0);
    }
    winrec_hide_all();
    JsonLine *j = transcript_begin("end");
    json_bool(j, "ok", code == EXIT_OK);
    json_int(j, "code", code);
    json_str(j, "message", message);
    transcript_write(j);
    return code;
}

static int read_scenario(const wchar_t *path)
{
    static char text[1 << 20];
    FILE *f = _wfopen(path, L"rb");
    char path8[MAX_PATH * 3];
    to_utf8(path, path8, sizeof path8);
    if (!f) {
        fprintf(stderr, "uidriver: cannot open scenario %s\n", path8);
        return 0;
    }
    size_t n = fread(text, 1, sizeof text, f);
    int too_big = n == sizeof text;
    fclose(f);
    if (too_big) {
        fprintf(stderr, "uidriver: scenario %s is too large\n", path8);
        return 0;
    }
    if (!scenario_parse(text, n, &scenario)) {
        fprintf(stderr, "uidriver: scenario %s: %s\n", path8, scenario.error);
        return 0;
    }
    return 1;
}

int wmain(int argc, wchar_t **argv)
{
    const wchar_t *scenario_path = NULL, *log_path = NULL, *raw_tail = NULL;
    long timeout_s = 120;
    int settle_ms = 150;
    int i = 1;
    run.shots_dir = L".";
    for (; i < argc; i++) {
        const wchar_t *a = argv[i];
        if (wcscmp(a, L"--") == 0) {
            i++;
            break;
        }
        if (i + 1 >= argc) {
            usage();
            return EXIT_USAGE;
        }
        if (wcscmp(a, L"--scenario") == 0)
            scenario_path = argv[++i];
        else if (wcscmp(a, L"--log") == 0)
            log_path = argv[++i];
        else if (wcscmp(a, L"--shots") == 0)
            run.shots_dir = argv[++i];
        else if (wcscmp(a, L"--timeout") == 0)
            timeout_s = wcstol(argv[++i], NULL, 10);
        else if (wcscmp(a, L"--settle") == 0)
            settle_ms = (int)wcstol(argv[++i], NULL, 10);
        else if (wcscmp(a, L"--tail") == 0)
            raw_tail = argv[++i];
        else {
            usage();
            return EXIT_USAGE;
        }
    }
    if (i >= argc || timeout_s <= 0 || settle_ms < 0) {
        usage();
        return EXIT_USAGE;
    }
    if (scenario_path && !read_scenario(scenario_path))
        return EXIT_USAGE;

    FILE *log = stdout;
    if (log_path) {
        log = _wfopen(log_path, L"wb");
        if (!log) {
            char p8[MAX_PATH * 3];
            to_utf8(log_path, p8, sizeof p8);
            fprintf(stderr, "uidriver: cannot create %s\n", p8);
            return EXIT_USAGE;
        }
    } else {
        _setmode(_fileno(stdout), _O_BINARY);
    }
    transcript_open(log);

    static wchar_t cmd[32768];
    cmd[0] = 0;
    const wchar_t *program = argv[i];
    for (; i < argc; i++)
        append_argument(cmd, sizeof cmd / sizeof cmd[0], argv[i]);
    // A tail given as it stands (blanks, tabs, quotes) for testing how the
    // program splits its own command line.
    if (raw_tail && wcslen(cmd) + 1 + wcslen(raw_tail) < sizeof cmd / sizeof cmd[0]) {
        wcscat(cmd, L" ");
        wcscat(cmd, raw_tail);
    }

    // Bring up the desktop now, so that its process is not started by (and
    // counted as a child of) the program under test.
    GetDesktopWindow();

    run.settle_ms = settle_ms;
    run.deadline = transcript_now() + timeout_s * 1000LL;
    run.step_started = -1;
    run.sleep_until = -1;
    char err[1200];
    if (!procwatch_start(cmd, program, err, sizeof err))
        return finish(EXIT_NOT_STARTED, err);

    for (;;) {
        int running = procwatch_poll();
        winrec_poll(ICON_WAIT_MS);
        if (!advance(running) || (run.answer && !answer_windows()))
            return finish(EXIT_STEP_FAILED, run.failure);
        if (!running) {
            // Everything ended: the windows are gone too.
            winrec_poll(ICON_WAIT_MS);
            if (run.step < scenario.nsteps) {
                char d[700];
                describe_step(&scenario.steps[run.step], d, sizeof d);
                snprintf(err, sizeof err, "the program ended before %s was done", d);
                return finish(EXIT_STEP_FAILED, err);
            }
            return finish(EXIT_OK, "all steps done, all processes ended");
        }
        if (transcript_now() >= run.deadline) {
            if (run.step < scenario.nsteps) {
                char d[700];
                describe_step(&scenario.steps[run.step], d, sizeof d);
                snprintf(err, sizeof err, "time limit of %ld s passed while waiting at %s", timeout_s, d);
            } else {
                snprintf(err, sizeof err, "time limit of %ld s passed: the program is still running",
                         timeout_s);
            }
            return finish(EXIT_TIMEOUT, err);
        }
        Sleep(POLL_MS);
    }
}
