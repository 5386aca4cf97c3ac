"""Broken setup scripts end to end: each file of hostile/ (and the three large
ones made here) beside setup.exe, run in Setup mode from a medium and in
Uninstall mode from where it lies. Each run either goes as the description
says or is refused with a message of the catalogue; none crashes, hangs or
leaves anything behind.

    python3 hostile_cases.py --write DIR    writes the generated scripts
"""
import os
import shutil
import sys
import time

from harness import Failure, check, equal, main
from install_cases import programs_folder, pending_deletions, snapshot
from script_data import MESSAGES

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "hostile")
BYTES = " ﾊﾞｲﾄ"
CAP_END = 16010
PROGRESS = ("ﾌｧｲﾙのｺﾋﾟｰ", MESSAGES[16004])
# Each run must end well within this (a start under Wine takes 1 to 2 s).
RUN_SECONDS = 30


def long_line():
    """A value of 100,000 characters: 'A', then "表n" over and over. The
    second byte of 表 is 0x5C, which a byte scan would take for a backslash
    and turn "表n" into a line feed."""
    value = "A" + "表n" * 33333
    return ("[start]\r\ntitle=" + value + "\r\n[goodby]\r\ntitle=after the long line\r\n"
            "[break]\r\ntitle=long break\r\ntitle_uninstall=long break uninstall\r\n").encode("cp932")


def many_sections():
    """10,000 sections before the ones a run reads."""
    parts = [f"[s{n}]\r\nk=v{n}\r\n" for n in range(1, 10001)]
    parts.append("[start]\r\ntitle=after 10000 sections\r\n[goodby]\r\ntitle=goodby after 10000 sections\r\n"
                 "[break]\r\ntitle=sections break\r\ntitle_uninstall=sections break uninstall\r\n")
    return "".join(parts).encode("cp932")


def many_entries():
    """Two lists of 10,000 entries in one section of some 700 KB. The
    start-up check reads them in both processes before the first window:
    only read with the section at once do they take no time to speak of."""
    parts = ["[start]\r\ntitle=entries start\r\n[goodby]\r\ntitle=entries goodby\r\n"
             "[break]\r\ntitle=entries break\r\ntitle_uninstall=entries break uninstall\r\n"
             "[files]\r\nfiles=4294967295\r\nuninst=4294967295\r\n"]
    parts += [f"file_{n}=file{n}.txt,file{n}.txt,Disk,1,1\r\n" for n in range(1, 10001)]
    parts += [f"uninst_{n}=gone{n}.txt\r\n" for n in range(1, 10001)]
    return "".join(parts).encode("cp932")


GENERATED = {"long_line.inf": long_line, "many_sections.inf": many_sections, "many_entries.inf": many_entries}


def script_bytes(name):
    if name in GENERATED:
        return GENERATED[name]()
    with open(os.path.join(CORPUS, name), "rb") as f:
        return f.read()


# What a run is to show. Setup mode: "cancel" (Escape on the first page, the
# script's cancel notice) or "debug" (/DEBUG, every page's default button,
# closing message 107). Uninstall mode: "cancel" (Escape on the farewell
# page) or "remove" (the removal runs; closing message 105).
def cancel(first, notice, text=None):
    return {"flow": "cancel", "first": first, "notice": notice, "text": text}


def debug(captions, needed=None):
    return {"flow": "debug", "captions": captions, "needed": needed}


def remove(first, application, default_dir, gone):
    return {"flow": "remove", "first": first, "application": application, "default_dir": default_dir, "gone": gone}


PLACEHOLDER_SETUP = cancel("[start]title", "[break]title", "[break]msg")
PLACEHOLDER_UNINSTALL = cancel("[...]title", "[break]title_uninstall", "[break]msg_uninstall")
COUNT_PAGES = ["counts start", "counts welcome", "counts copyright", "counts setup"]
# What the counts rows plant in their destination, Start menu and registry,
# for a count to remove or keep.
KEPT_FILES = ["kept_1.txt", "kept_2.txt", "kept_3.txt", "kept_4.txt"]
KEPT_CLSID = "HKLM\\SOFTWARE\\Classes\\CLSID\\{7C1A6E52-0B3D-4F19-9A55-3E2D1C0B9F01}"


def counts_removal(gone):
    return remove("counts goodby", "Hostile counts", "HostileCounts", gone)


ROWS = [
    # name, script, Setup mode, Uninstall mode
    ("empty", "empty.inf", PLACEHOLDER_SETUP, PLACEHOLDER_UNINSTALL),
    ("utf8_bom", "utf8_bom.inf", cancel("開始 Unicode", "中止 Unicode", "中止しました"),
     cancel("削除 Unicode", "削除中止 Unicode", "削除を中止しました")),
    ("utf16", "utf16.inf", cancel("開始 Unicode", "中止 Unicode", "中止しました"),
     cancel("削除 Unicode", "削除中止 Unicode", "削除を中止しました")),
    ("garbage", "garbage.inf", PLACEHOLDER_SETUP, PLACEHOLDER_UNINSTALL),
    # Cut to 519 bytes on a character's boundary, 表 whole, no line feed.
    ("long_line", "long_line.inf", cancel("A" + "表n" * 172 + "表", "long break", "[break]msg"),
     cancel("after the long line", "long break uninstall", "[break]msg_uninstall")),
    ("many_sections", "many_sections.inf", cancel("after 10000 sections", "sections break", "[break]msg"),
     cancel("goodby after 10000 sections", "sections break uninstall", "[break]msg_uninstall")),
    ("many_entries", "many_entries.inf", cancel("entries start", "entries break", "[break]msg"),
     cancel("entries goodby", "entries break uninstall", "[break]msg_uninstall")),
    ("lead_byte_end", "lead_byte_end.inf", cancel("開始", "中止", None), cancel("削除", "削除中止", None)),
    ("no_equals", "no_equals.inf", PLACEHOLDER_SETUP, PLACEHOLDER_UNINSTALL),
    # The counts reach the planted things only when they are above 0.
    ("counts_negative", "counts_negative.inf", debug(COUNT_PAGES), counts_removal([])),
    ("counts_zero", "counts_zero.inf", debug(COUNT_PAGES), counts_removal([])),
    ("counts_max", "counts_max.inf", debug(COUNT_PAGES), counts_removal(KEPT_FILES + ["clsid", "group"])),
    ("sizes_non_numeric", "sizes_non_numeric.inf",
     debug(["sizes start", "sizes welcome", "sizes copyright", "sizes setup"], needed="0" + BYTES),
     remove("sizes goodby", "Hostile sizes", "HostileSizes", [])),
]


def scenario(expectation):
    lines = ["timeout %d" % RUN_SECONDS, "strict on"]
    flow = expectation["flow"]
    if flow == "cancel":
        lines += ["expect kind=dialog", "key escape", "expect kind=messagebox", "key enter"]
    elif flow == "debug":
        lines += ["expect kind=dialog", "click 1"] * 4 + ["expect kind=messagebox", "key enter"]
    else:
        # The progress dialog and the closing message come up together, in
        # either order for the driver: what showed is checked afterwards.
        lines += ["expect kind=dialog", "click 1", "strict off", "expect kind=messagebox", "key enter"]
    return "\n".join(lines + ["wait-exit", ""])


def boxes(t):
    return [w for w in t.dialogs() if w.get("kind") == "messagebox"]


def pages(t):
    return [w for w in t.dialogs() if w.get("kind") != "messagebox"]


def control_text(window, ident):
    for c in window.get("controls", []):
        if c.get("id") == ident:
            return c.get("text")
    return None


def starts_with_whole_text(caption, prefix, what):
    """A value that ends in half a character: the platform's reader takes
    that byte and the one after it (even a line feed, which then joins the
    next line to the value) as one character of its own; what comes before
    it stays."""
    check(caption.startswith(prefix), f"{what}: {caption!r} begins with {prefix!r}")


def check_flow(t, expectation, mode, what):
    shown_pages = pages(t)
    shown_boxes = boxes(t)
    flow = expectation["flow"]
    if flow == "cancel":
        equal(len(shown_pages), 1, f"{what}: pages shown {[p.get('caption') for p in shown_pages]}")
        equal(len(shown_boxes), 1, f"{what}: boxes shown {[b.get('caption') for b in shown_boxes]}")
        page, box = shown_pages[0], shown_boxes[0]
        if expectation["text"] is None:
            starts_with_whole_text(page.get("caption", ""), expectation["first"], f"{what}: first page")
            starts_with_whole_text(box.get("caption", ""), expectation["notice"], f"{what}: cancel notice")
        else:
            equal(page.get("caption"), expectation["first"], f"{what}: first page")
            equal(box.get("caption"), expectation["notice"], f"{what}: cancel notice")
            equal(box.get("text"), expectation["text"], f"{what}: cancel notice's text")
        equal(box.get("icon"), "exclamation", f"{what}: cancel notice's icon")
    elif flow == "debug":
        equal([p.get("caption") for p in shown_pages], expectation["captions"], f"{what}: pages")
        equal([b.get("caption") for b in shown_boxes], [MESSAGES[CAP_END]], f"{what}: boxes")
        equal(shown_boxes[0].get("text"), MESSAGES[107], f"{what}: closing message")
        if expectation["needed"] is not None:
            setup_page = t.last_state(shown_pages[-1]["hwnd"])
            equal(control_text(setup_page, 1017), expectation["needed"], f"{what}: bytes needed, system")
            equal(control_text(setup_page, 1019), expectation["needed"], f"{what}: bytes needed, destination")
    else:
        # The progress dialog's caption turns to the step's as it runs.
        captions = [p.get("caption") for p in shown_pages]
        check(len(captions) == 2 and captions[0] == expectation["first"] and captions[1] in PROGRESS,
              f"{what}: farewell page and progress dialog: {captions}")
        equal([b.get("caption") for b in shown_boxes], [MESSAGES[CAP_END]], f"{what}: boxes")
        destination = "C:\\Program Files\\" + expectation["default_dir"] + "\\"
        equal(shown_boxes[0].get("text"),
              MESSAGES[105].replace("%s", expectation["application"], 1).replace("%s", destination, 1),
              f"{what}: closing message")


def check_ended(b, t, what):
    """The program and every process it started ended by themselves, each
    with one of the program's exit codes (a crash ends with the exception's
    code)."""
    codes = [e.get("code") for e in t.exits()]
    check(codes and all(c in (0, 3010, 1602, 1603, 112) for c in codes), f"{what}: exit codes {codes}")
    end = t.end()
    check(end is not None, f"{what}: the transcript has no end")
    for word in ("nhandled", "page fault", "wine: ", "err:"):
        check(word not in b.driver_stderr, f"{what}: {word!r} in the output: {b.driver_stderr.strip()[:400]}")


def windows_temp_listing(b):
    return set(os.listdir(b.temp_dir()))


def program_files(b):
    return set(os.listdir(b.c_path("Program Files")))


def programs(b):
    """The Start menu's programs folder, asked once."""
    if not getattr(b, "programs", None):
        b.programs = programs_folder(b)
    return b.programs


def start_menu(b):
    folder = programs(b)
    out = set()
    for top, dirs, names in os.walk(folder):
        for name in names + [d + "/" for d in dirs]:
            out.add(os.path.relpath(os.path.join(top, name), folder))
    return out


def reg_exists(b, key):
    return b.wine("wine", "reg", "query", key, check_status=False).returncode == 0


class Planted:
    """The things the counts rows plant: files in the destination, a
    shortcut of the program group, a class key. A count that reaches them
    removes them; the rest stay until the clean-up."""

    def __init__(self, b, default_dir):
        self.b = b
        self.folder = b.c_path("Program Files", default_dir)
        self.group = os.path.join(programs(b), "Hostile counts")

    def plant(self):
        os.makedirs(self.folder, exist_ok=True)
        for name in KEPT_FILES:
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(b"planted")
        os.makedirs(self.group, exist_ok=True)
        with open(os.path.join(self.group, "Kept.lnk"), "wb") as f:
            f.write(b"planted")
        self.b.wine("wine", "reg", "add", KEPT_CLSID, "/f")

    def present(self):
        out = [n for n in KEPT_FILES if os.path.exists(os.path.join(self.folder, n))]
        if reg_exists(self.b, KEPT_CLSID):
            out.append("clsid")
        if os.path.exists(os.path.join(self.group, "Kept.lnk")):
            out.append("group")
        return out

    def clear(self):
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.group, ignore_errors=True)
        self.b.wine("wine", "reg", "delete", KEPT_CLSID, "/f", check_status=False)


SESSION_MANAGER = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"


def keep_pending_operations(b):
    """The next start's file operations as they are now, put back at the end:
    the removals that the runs schedule concern the case's own copies."""
    out = os.path.join(b.work, "session-manager.reg")
    b.wine("wine", "reg", "export", SESSION_MANAGER, b.z(out), "/y")
    with open(out, "rb") as f:
        data = f.read()
    text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8", "replace")
    kept, inside, key_seen = [], False, False
    for line in text.splitlines():
        if line.startswith("["):
            key_seen = line.lower() == "[" + SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE").lower() + "]"
            inside = False
            continue
        if key_seen and line.startswith('"PendingFileRenameOperations"='):
            inside = True
        if inside:
            kept.append(line)
            if not line.endswith("\\"):
                inside = False

    def restore():
        b.wine("wine", "reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f",
               check_status=False)
        if kept:
            path = os.path.join(b.work, "pending.reg")
            with open(path, "w", encoding="utf-16") as f:
                f.write("Windows Registry Editor Version 5.00\r\n\r\n[" +
                        SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE") + "]\r\n" + "\r\n".join(kept) + "\r\n")
            b.wine("wine", "reg", "import", b.z(path))
    return restore


def run_row(b, name, script, expectation, mode, timings):
    what = f"{name} ({mode})"
    folder = os.path.join(b.work, f"{name}-{mode}")
    os.makedirs(folder)
    shutil.copy(os.path.join(b.medium, "setup.exe"), folder)
    with open(os.path.join(folder, "setup.inf"), "wb") as f:
        f.write(script_bytes(script))
    temp_before = windows_temp_listing(b)
    files_before, menu_before = program_files(b), start_menu(b)
    planted = None
    if expectation["flow"] == "remove" and name.startswith("counts"):
        planted = Planted(b, "HostileCounts")
        planted.plant()
        b.cleanups.append(planted.clear)
    pending_before = [p.lower() for p in pending_deletions(b)]
    args = []
    if mode == "uninstall":
        args = ["/UNINSTALL"]
    elif expectation["flow"] == "debug":
        args = ["/DEBUG"]
    started = time.monotonic()
    t = b.run(os.path.join(folder, "setup.exe"), args, scenario(expectation), timeout=RUN_SECONDS,
              name=f"{name}-{mode}", expect_ok=False)
    timings.append((what, time.monotonic() - started))
    check(b.driver_status == 0, f"{what}: driver exit {b.driver_status} (3: the time limit passed): "
          f"{b.driver_stderr.strip()[:600]} (transcript in {b.work})")
    check_ended(b, t, what)
    check_flow(t, expectation, mode, what)

    # Nothing left: the temporary folder holds only the program's own copy
    # (Setup mode), which the next start of Windows removes; no folder in
    # Program Files, no program group; the removal deletes what its counts
    # reach of the planted things and schedules only its own program and
    # folder for the next start.
    new_temp = sorted(windows_temp_listing(b) - temp_before)
    pending = [p for p in (q.lower() for q in pending_deletions(b)) if p not in pending_before]
    if mode == "setup":
        equal(len(new_temp), 1, f"{what}: new in the temporary folder {new_temp}")
        copy = new_temp[0]
        check(copy.lower().startswith("~st") and copy.lower().endswith(".exe"), f"{what}: the copy is {copy}")
        check(len(pending) == 1 and pending[0].endswith("\\" + copy.lower()),
              f"{what}: only the copy goes at the next start: {pending}")
        os.remove(os.path.join(b.temp_dir(), copy))
    else:
        equal(new_temp, [], f"{what}: new in the temporary folder")
        windows_folder = b.z(folder).lower()
        if expectation["flow"] == "remove":
            equal(pending, [windows_folder + "\\setup.exe", windows_folder],
                  f"{what}: the uninstaller and its folder go at the next start")
        else:
            equal(pending, [], f"{what}: nothing goes at the next start")
    if planted:
        gone = expectation["gone"]
        equal(planted.present(), [x for x in KEPT_FILES + ["clsid", "group"] if x not in gone],
              f"{what}: what the counts kept of the planted things")
        planted.clear()
    equal(sorted(program_files(b) ^ files_before), [], f"{what}: Program Files")
    equal(sorted(start_menu(b) ^ menu_before), [], f"{what}: Start menu")


def hostile_scripts(b):
    b.cleanups.append(keep_pending_operations(b))
    files_before, registry_before = snapshot(b)
    timings = []
    for name, script, setup, uninstall in ROWS:
        run_row(b, name, script, setup, "setup", timings)
        run_row(b, name, script, uninstall, "uninstall", timings)
    files_after, registry_after = snapshot(b)
    equal(sorted(files_after ^ files_before), [], "files of drive C: changed by the runs")
    equal(sorted(registry_after ^ registry_before), [], "registry lines changed by the runs")
    for what, seconds in timings:
        print(f"  {what:32} {seconds:5.1f} s")


CASES = {f.__name__: f for f in (hostile_scripts,)}

if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--write":
        for file_name in GENERATED:
            with open(os.path.join(sys.argv[2], file_name), "wb") as out:
                out.write(script_bytes(file_name))
        sys.exit(0)
    main(CASES)
