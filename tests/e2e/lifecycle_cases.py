"""The whole life of an installation of the sample medium, as a user meets
it (life_cycle.py plays it): setup.exe started from a CD-ROM drive without
arguments, the copy in the temporary folder running the wizard and the
installation, a restart of Windows that takes the temporary copy away; then
the Uninstall entry's command, the removal, and a restart that takes the
uninstaller away while the user's own files stay.

SampleStages answers the sample's windows and checks each stage; the same
stages serve as the demonstration (demo.sh, through tools/try-medium
--sample) and as a test.

With SETUP_E2E_SAME_AS naming the work folder of the same case run on the
Japanese system, this run is one on a system of another language: every
page, box and status text must be what that run showed."""
import glob
import os
import re
import time

from harness import Failure, Transcript, check, equal, main
from install_cases import (DEFAULT_DIR, SHARED_DLLS, SYSTEM, UNINSTALL_KEY, check_installation,
                           check_machine_as_before, check_removal, cleanup_installation, difference, expect, files_of,
                           install_scenario, installed_folder, pending_deletions, programs_folder, reg_query,
                           uninstall_scenario)
from life_cycle import USER_FILE, USER_TEXT, Stages, ending, play, report, say
from script_data import APPLICATION, MESSAGES, SAMPLE, read_script


JAPANESE_RUN = os.environ.get("SETUP_E2E_SAME_AS")

# The setup page's free space of each drive (IDC_SYSTEM_FREE, IDC_DEST_FREE),
# which changes between two runs.
FREE_SPACE = (1018, 1020)

# Wine's DDE server takes a Unicode command with a character above U+00FF
# for an ANSI one (dlls/user32/dde_server.c), so on a system whose code page
# is not 932 its shell refuses the group's Japanese names: the program says
# so and goes on. (The command itself is checked at the seam, the Unicode
# conversation with the real shell by shell_test.)
DDE_REFUSED = MESSAGES[32013].replace("%s", APPLICATION, 1)


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


class SampleStages(Stages):
    """The sample medium: each page's default button, Yes to the question
    about the shared library; every stage checked."""

    def install_scenario(self, b):
        if self.install_text is not None:
            return self.install_text
        return install_scenario(b, expect(MESSAGES[16003], "messagebox") + "shot 5-dde\nkey enter\n"
                                if JAPANESE_RUN else "")

    def removal_scenario(self, b):
        return uninstall_scenario(b) if self.removal_text is None else self.removal_text

    def before(self, b):
        # Nothing of an earlier, interrupted run may count as "before".
        cleanup_installation(b)
        b.cleanups.append(lambda: cleanup_installation(b))
        self.temp_before = temp_copies(b)

    def installed(self, b, life):
        t = life.transcript
        names = [os.path.basename(p["exe"].replace("\\", "/")).lower() for p in t.processes()]
        equal(len(names), 2, f"processes {names}")
        equal(names[0], "setup.exe", "the medium's program")
        check(names[1].startswith("~st") and names[1].endswith(".exe"), f"the copy is {names[1]}")
        equal({w["pid"] for w in t.shown()}, {t.processes()[1]["pid"]}, "only the copy shows windows")
        new = sorted(os.path.basename(p) for p in temp_copies(b) - self.temp_before)
        # The script copy went at the end of the run; the program copy cannot
        # delete itself while it runs and waits for the next start.
        equal([n.lower() for n in new], [names[1]], "temporary copies left by the installation")
        say(f"    the temporary copy {names[1]} ran the wizard from {windows_temp(b)}")
        copy_path = windows_temp(b) + new[0]
        check(copy_path.lower() in [p.lower() for p in pending_deletions(b)],
              f"the temporary copy is to go at the next start: {pending_deletions(b)}")
        self.command = check_installation(b, t, life.medium, with_group=not JAPANESE_RUN)
        say(f"    installed in {installed_folder(b)}; the Uninstall entry's command: {self.command}")
        if JAPANESE_RUN:
            same_texts_as_japanese(t, "install", leave_out=(DDE_REFUSED,))
            # Read as Unicode: the folder from the file system, the name from
            # a registry export.
            check(os.path.isdir(b.c_path(b.program_files, DEFAULT_DIR)), f"the folder {DEFAULT_DIR}")
            say(f"    the folder {DEFAULT_DIR}, the entry {reg_query(b, UNINSTALL_KEY, 'DisplayName')!r}")
            group = SAMPLE["startmenu"]["start_1"].split(",")[0]
            check(not os.path.exists(os.path.join(programs_folder(b), group)), f"no group {group} under Wine")
            equal([w.get("text") for w in t.shown() if w.get("kind") == "messagebox"][:1], [DDE_REFUSED],
                  "the box before the closing one")
            say(f"    the group {group}: refused by Wine's shell, which reads Unicode DDE commands only within U+00FF")

    def restarted(self, b, life):
        equal(sorted(os.path.basename(p) for p in temp_copies(b) - self.temp_before), [],
              "temporary copies after the restart")
        say("    the temporary copy is gone")

    def removed(self, b, life):
        equal([command for _, command in life.entries], [self.command], "the Uninstall entries added")
        check_removal(b, life.removals[0].transcript, life.medium, ["setup.exe", USER_FILE])
        if JAPANESE_RUN:
            same_texts_as_japanese(life.removals[0].transcript, "uninstall")
        say("    removed; the uninstaller and then its folder are to go at the next start")

    def finished(self, b, life):
        destination = b.c_path(b.program_files, DEFAULT_DIR)
        equal(sorted(os.listdir(destination)) if os.path.isdir(destination) else None, [USER_FILE],
              "the folder after the restart")
        with open(os.path.join(destination, USER_FILE), "rb") as f:
            equal(f.read(), USER_TEXT, "the user's file")
        lower = [p.lower() for p in pending_deletions(b)]
        check((installed_folder(b) + "setup.exe").lower() not in lower, f"nothing left to do at the next start: {lower}")
        say(f"    the uninstaller is gone; the folder stays with the user's {USER_FILE}")
        check_machine_as_before(b, life.before, [USER_FILE])
        say("    nothing else of the installation is left on the machine")


def whole_life_cycle(b):
    life = play(b, SampleStages())
    report(b, life, b.medium)
    if life.failures:
        raise Failure("; ".join(life.failures))


def every_default_answer(b):
    """The sample played as any medium is (tools/try-medium): every window
    answered with Enter, so the removal keeps the shared library (No is its
    question's default); the Uninstall entry is found by comparing the
    registry, and what stays is found by comparing the machine."""
    cleanup_installation(b)
    b.cleanups.append(lambda: cleanup_installation(b))
    life = play(b, Stages())
    report(b, life, b.medium)
    equal(life.failures, [], "failures")
    installed = installed_folder(b)
    equal(life.entries, [(UNINSTALL_KEY.replace("HKLM", "HKEY_LOCAL_MACHINE", 1), f'"{installed}setup.exe" /UNINSTALL')],
          "the Uninstall entries found")
    removal = MESSAGES[105].replace("%s", APPLICATION, 1).replace("%s", installed, 1).replace("\n", " ")
    equal(ending(life.removals[0]), f"ended with 「{MESSAGES[16010]}」 {removal} (exit code 0)", "the end of the removal")
    files_added, files_lost, registry_added, registry_lost = difference(life.before, life.after)
    folder = os.path.join(b.program_files, DEFAULT_DIR)
    equal(files_added, sorted([folder + os.sep, os.path.join(folder, USER_FILE),
                               os.path.join("windows", b.system_dir, "SMPCOMMN.DLL")]), "files left")
    shared = SHARED_DLLS.replace("HKLM", "HKEY_LOCAL_MACHINE", 1)
    equal(registry_added, [f'[{shared}] "{SYSTEM.replace(chr(92), chr(92) * 2)}SMPCOMMN.DLL"=dword:00000000'],
          "registry lines left")
    equal((files_lost, registry_lost), ([], []), "lost")


class QuietStages(SampleStages):
    """/QUIET and a log: no window at any time; the medium's process ends
    once the installation has, with its exit code; then the Uninstall
    entry's quiet command, whose unattended answer keeps the shared
    library."""
    removal_value = "QuietUninstallString"

    def __init__(self, b):
        super().__init__()
        self.log = os.path.join(b.work, "setup log.txt")
        self.switches = f'/QUIET "/LOG={b.z(self.log)}"'
        self.removal_switches = f'"/LOG={b.z(self.log)}"'

    def install_scenario(self, b):
        return "wait-exit\n"

    def removal_scenario(self, b):
        return "wait-exit\n"

    def log_text(self):
        with open(self.log, "rb") as f:
            data = f.read()
        check(data.startswith(b"\xef\xbb\xbf"), "the log begins with a byte-order mark")
        return data[3:].decode("utf-8")

    def installed(self, b, life):
        t = life.transcript
        equal(t.shown(), [], "windows shown by the installation")
        medium, copy = [p["pid"] for p in t.processes()]
        exits = {e["pid"]: e for e in t.exits()}
        equal((exits[medium]["code"], exits[copy]["code"]), (0, 0), "exit codes of the medium's process and its copy")
        check(exits[medium]["t"] >= exits[copy]["t"], "the medium's process ends after the installation")
        self.command = check_installation(b, None, life.medium)
        installed = installed_folder(b)
        registry = SAMPLE["registry"]
        details = {"QuietUninstallString": self.command + " /QUIET", "InstallLocation": installed,
                   "DisplayIcon": installed + registry["uninstall_icon"], "NoModify": "0x1", "NoRepair": "0x1",
                   "DisplayVersion": registry["uninstall_version"], "Publisher": registry["uninstall_publisher"]}
        for name, value in details.items():
            equal(reg_query(b, UNINSTALL_KEY, name), value, name)
        check(reg_query(b, UNINSTALL_KEY, "InstallDate") in
              {time.strftime("%Y%m%d", time.localtime(time.time() + d)) for d in (-86400, 0)}, "InstallDate")
        size = int(reg_query(b, UNINSTALL_KEY, "EstimatedSize"), 16)
        check(90 <= size <= 200, f"EstimatedSize {size} KiB")
        log = self.log_text()
        for _, target, _ in files_of(read_script(os.path.join(life.medium, "setup.inf"))):
            check(f"file {target}: copied" in log, f"the log names {target}")
        check(log.count("exit code 0: done") == 2, "the log has the end of both processes")
        say(f"    installed without a window; the log {self.log} tells each file")

    def removed(self, b, life):
        equal(life.removals[0].transcript.shown(), [], "windows shown by the removal")
        equal([e["code"] for e in life.removals[0].transcript.exits()], [0], "the removal's exit code")
        check("answered No" in self.log_text().split("started: /UNINSTALL")[-1], "the shared file's question logged")
        check(os.path.exists(b.c_path("windows", b.system_dir, "SMPCOMMN.DLL")), "the shared library stays")
        say("    removed without a window; the shared library stays, as the unattended answer says")

    def finished(self, b, life):
        destination = b.c_path(b.program_files, DEFAULT_DIR)
        equal(sorted(os.listdir(destination)), [USER_FILE], "the folder after the restart")
        files_added, _, registry_added, _ = difference(life.before, life.after)
        equal(sorted(f for f in files_added if not f.startswith(os.path.join(b.program_files, DEFAULT_DIR))),
              [os.path.join("windows", b.system_dir, "SMPCOMMN.DLL")], "files left outside the folder")
        equal(len(registry_added), 1, f"registry lines left (the shared count): {registry_added}")
        # The next test starts from a machine without the library.
        os.chmod(b.c_path("windows", b.system_dir, "SMPCOMMN.DLL"), 0o644)
        os.remove(b.c_path("windows", b.system_dir, "SMPCOMMN.DLL"))
        b.reg("delete", SHARED_DLLS, "/v", SYSTEM + "SMPCOMMN.DLL", "/f")


def quiet_life_cycle(b):
    stages = QuietStages(b)
    life = play(b, stages, switches=stages.switches)
    report(b, life, b.medium)
    if life.failures:
        raise Failure("; ".join(life.failures))
    equal(len(life.removals), 1, "removals run")


CASES = {f.__name__: f for f in (whole_life_cycle, every_default_answer, quiet_life_cycle)}

if __name__ == "__main__":
    main(CASES)
