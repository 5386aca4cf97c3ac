"""The whole life of an installation, as a user meets it: the sample medium
in a CD-ROM drive, setup.exe started from it without arguments, the copy in
the temporary folder running the wizard and the installation, a restart of
Windows that takes the temporary copy away; then the Uninstall entry's
command, the removal, and a restart that takes the uninstaller away while
the user's own files stay.

Each stage prints a short account of itself, so that the same case serves as
the demonstration (demo.sh) and as a test.

With SETUP_E2E_SAME_AS naming the work folder of the same case run on the
Japanese system, this run is one on a system of another language: every
page, box and status text must be what that run showed."""
import glob
import os
import re
import sys

from harness import Transcript, check, equal, main
from install_cases import (DEFAULT_DIR, SHARED_DLLS, check_installation, check_machine_as_before, check_removal,
                           cleanup_installation, expect, install, installed_folder, pending_deletions,
                           programs_folder, reg_query, snapshot, uninstall)
from script_data import APPLICATION, MESSAGES, SAMPLE, UNINSTALL_KEY

JAPANESE_RUN = os.environ.get("SETUP_E2E_SAME_AS")

# Text a user of the application saved in its folder, in Japanese.
USER_FILE = "メモ.txt"
USER_TEXT = "お買い物: 牛乳、ソフト表\r\n".encode("cp932")


def say(text):
    print(text, flush=True)


def account(t):
    """One line per window that the run showed, in order."""
    for w in t.shown():
        kind = w.get("kind") or w.get("class", "")
        if kind in ("dialog", "messagebox") or w.get("class") == "Setup":
            text = (w.get("text") or "").replace("\n", " ")
            say(f"    {kind:10} 「{w.get('caption', '')}」 {text[:60]}")


# The setup page's free space of each drive (IDC_SYSTEM_FREE, IDC_DEST_FREE),
# which changes between two runs.
FREE_SPACE = (1018, 1020)


def texts(t, leave_out=()):
    """What the user read in a run: each window's last state (caption, text,
    its controls' texts), but the buttons of message boxes, which the system
    labels in its own language, the figures of free space and the windows in
    leave_out."""
    def text_of(c):
        text = c.get("text") or ""
        return re.sub(r"[0-9]", "#", text) if c.get("id") in FREE_SPACE and text.endswith("ﾊﾞｲﾄ") else text

    out = []
    for w in t.shown():
        if w.get("text") in leave_out:
            continue
        last = t.last_state(w["hwnd"]) or w
        controls = tuple(text_of(c) for c in last.get("controls", [])
                         if not (w.get("kind") == "messagebox" and c.get("class") == "Button"))
        out.append((w.get("kind") or "", last.get("caption") or "", last.get("text") or "", controls))
    # In the order of their names: windows that come up together are
    # recorded in either order.
    return sorted(out)


def same_texts_as_japanese(t, name, leave_out=()):
    japanese = Transcript(os.path.join(JAPANESE_RUN, f"transcript-{name}.jsonl"))
    equal(texts(t, leave_out), texts(japanese), f"the {name} run's texts against the Japanese system's")
    say(f"    every page, box and status text as on the Japanese system ({len(texts(japanese))} windows)")


def temp_copies(b):
    return set(glob.glob(os.path.join(b.temp_dir(), "~st*")))


def windows_temp(b):
    return b.wine("wine", "cmd", "/c", "echo", "%TEMP%").stdout.decode("cp932").strip().rstrip("\\") + "\\"


def whole_life_cycle(b):
    cleanup_installation(b)
    b.cleanups.append(lambda: cleanup_installation(b))
    b.reg("add", SHARED_DLLS, "/f")
    machine = snapshot(b)

    say("1. The sample medium goes into a CD-ROM drive")
    medium = b.copy_medium()
    # As on a CD: every file read-only (the copies in the temporary folder
    # inherit the attribute).
    for name in os.listdir(medium):
        os.chmod(os.path.join(medium, name), 0o444)
    root = b.mount_cdrom(medium)
    equal(b.drive_type(root), 5, f"type of drive {root} (DRIVE_CDROM)")
    say(f"    drive {root} (a CD-ROM drive) holds {', '.join(sorted(os.listdir(medium)))}, all read-only")

    say(f"2. {root}setup.exe is started without arguments")
    before = temp_copies(b)
    # Wine's DDE server takes a Unicode command with a character above U+00FF
    # for an ANSI one (dlls/user32/dde_server.c), so on a system whose code
    # page is not 932 its shell refuses the group's Japanese names: the
    # program says so and goes on. (The command itself is checked at the
    # seam, the Unicode conversation with the real shell by shell_test.)
    dde_refused = MESSAGES[32013].replace("%s", APPLICATION, 1)
    during_run = expect(MESSAGES[16003], "messagebox") + "shot 5-dde\nkey enter\n" if JAPANESE_RUN else ""
    t = install(b, program=os.path.join(medium, "setup.exe"), windows_path=root + "setup.exe", name="install",
                during_run=during_run)
    account(t)
    names = [os.path.basename(p["exe"].replace("\\", "/")).lower() for p in t.processes()]
    equal(len(names), 2, f"processes {names}")
    equal(names[0], "setup.exe", "the medium's program")
    check(names[1].startswith("~st") and names[1].endswith(".exe"), f"the copy is {names[1]}")
    equal({w["pid"] for w in t.shown()}, {t.processes()[1]["pid"]}, "only the copy shows windows")
    new = sorted(os.path.basename(p) for p in temp_copies(b) - before)
    # The script copy went at the end of the run; the program copy cannot
    # delete itself while it runs and waits for the next start.
    equal([n.lower() for n in new], [names[1]], "temporary copies left by the installation")
    say(f"    the temporary copy {names[1]} ran the wizard from {windows_temp(b)}")
    copy_path = windows_temp(b) + new[0]
    check(copy_path.lower() in [p.lower() for p in pending_deletions(b)],
          f"the temporary copy is to go at the next start: {pending_deletions(b)}")

    command = check_installation(b, t, medium, with_group=not JAPANESE_RUN)
    say(f"    installed in {installed_folder(b)}; the Uninstall entry's command: {command}")
    if JAPANESE_RUN:
        same_texts_as_japanese(t, "install", leave_out=(dde_refused,))
        # Read as Unicode: the folder from the file system, the name from a
        # registry export.
        check(os.path.isdir(b.c_path(b.program_files, DEFAULT_DIR)), f"the folder {DEFAULT_DIR}")
        say(f"    the folder {DEFAULT_DIR}, the entry {reg_query(b, UNINSTALL_KEY, 'DisplayName')!r}")
        group = SAMPLE["startmenu"]["start_1"].split(",")[0]
        check(not os.path.exists(os.path.join(programs_folder(b), group)), f"no group {group} under Wine")
        equal([w.get("text") for w in t.shown() if w.get("kind") == "messagebox"][:1], [dde_refused],
              "the box before the closing one")
        say(f"    the group {group}: refused by Wine's shell, which reads Unicode DDE commands only within U+00FF")

    say("3. Windows restarts")
    b.restart_windows()
    equal(sorted(os.path.basename(p) for p in temp_copies(b) - before), [], "temporary copies after the restart")
    say("    the temporary copy is gone")

    say("4. The user keeps a file of their own in the program's folder")
    destination = b.c_path(b.program_files, DEFAULT_DIR)
    with open(os.path.join(destination, USER_FILE), "wb") as f:
        f.write(USER_TEXT)

    say("5. The Uninstall entry's command is run as written")
    t = uninstall(b, command, name="uninstall")
    account(t)
    check_removal(b, t, medium, ["setup.exe", USER_FILE])
    if JAPANESE_RUN:
        same_texts_as_japanese(t, "uninstall")
    say("    removed; the uninstaller and then its folder are to go at the next start")

    say("6. Windows restarts")
    b.restart_windows()
    equal(sorted(os.listdir(destination)) if os.path.isdir(destination) else None, [USER_FILE],
          "the folder after the restart")
    with open(os.path.join(destination, USER_FILE), "rb") as f:
        equal(f.read(), USER_TEXT, "the user's file")
    lower = [p.lower() for p in pending_deletions(b)]
    check((installed_folder(b) + "setup.exe").lower() not in lower, f"nothing left to do at the next start: {lower}")
    say(f"    the uninstaller is gone; the folder stays with the user's {USER_FILE}")

    check_machine_as_before(b, machine, [USER_FILE])
    say("    nothing else of the installation is left on the machine")
    shots = os.path.join(b.work, "shots")
    say(f"screenshots: {shots}: {' '.join(sorted(os.listdir(shots)))}")


CASES = {f.__name__: f for f in (whole_life_cycle,)}

if __name__ == "__main__":
    main(CASES)
