"""The whole life of an installation from any medium, as a user meets it:
the medium in a CD-ROM drive, its setup.exe started from there and the
windows answered, a restart of Windows; then the Uninstall entry that the
installation added, its command run as the registry holds it, and a restart
again. Each stage prints a short account of itself; at the end, a report of
what the installation put on the machine and what its removal left.

play() runs the stages in the harness's prefix. What is answered and checked
at each stage comes from a Stages object: the plain one presses each
window's default button and judges nothing; lifecycle_cases.py has the
sample medium's, with that medium's checks.

    python3 life_cycle.py MEDIUM [options]    (what tools/try-medium runs)
"""
import argparse
import os
import shutil
import subprocess
import sys

from harness import Failure, Harness, Transcript, check
from install_cases import SHARED_DLLS, difference, reg_query, snapshot

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

# Text a user of the application saved in its folder, in Japanese.
USER_FILE = "メモ.txt"
USER_TEXT = "お買い物: 牛乳、ソフト表\r\n".encode("cp932")

# Every window answered with its default button, whatever the medium shows.
ANSWER_ALL = "answer enter\nwait-exit\n"

UNINSTALL_KEYS = "\\microsoft\\windows\\currentversion\\uninstall\\"


def say(text):
    print(text, flush=True)


class Stages:
    """What the stages answer and check. This one answers every window with
    its default button (or with the given scenarios) and checks nothing."""

    # The Uninstall entry's value whose command the removal runs, and what
    # is added to that command.
    removal_value = "UninstallString"
    removal_switches = ""

    def __init__(self, install_text=None, removal_text=None):
        self.install_text = install_text
        self.removal_text = removal_text

    def install_scenario(self, b):
        return ANSWER_ALL if self.install_text is None else self.install_text

    def removal_scenario(self, b):
        return ANSWER_ALL if self.removal_text is None else self.removal_text

    def before(self, b):
        """Before the snapshot of the machine."""

    def installed(self, b, life):
        """After the installation, before the restart."""

    def restarted(self, b, life):
        """After the first restart."""

    def removed(self, b, life):
        """After the removal, before the restart."""

    def finished(self, b, life):
        """After the last restart."""


class Run:
    """One run of the driver: its transcript and what went wrong, if anything."""

    def __init__(self, name, transcript, status, stderr):
        self.name = name
        self.transcript = transcript
        self.failure = None
        if status != 0:
            self.failure = f"the UI driver failed (exit {status}): {stderr.strip()}"
        for e in transcript.exits() if transcript else []:
            # A process ended by an exception (access violation and the like).
            if (e.get("code") or 0) >= 0xC0000000:
                self.failure = f"process {e['pid']} crashed (exit code 0x{e['code']:08X})"


class Life:
    """What one life of a medium found."""

    def __init__(self):
        self.medium = None
        self.root = None          # the CD-ROM drive, "D:\\"
        self.before = None        # snapshot before the installation
        self.installed = None     # ... after it and its restart
        self.after = None         # ... after the removal and its restart
        self.install = None       # Run
        self.removals = []        # Run per Uninstall entry
        self.entries = []         # (key, command) the installation added
        self.user_file = None     # Unix path of the user's own file
        self.failures = []

    @property
    def transcript(self):
        return self.install.transcript if self.install else None


def account(t):
    """One line per window that the run showed, in order, with the button
    that answered it."""
    answers = {e.get("hwnd"): e.get("control_text") for e in t.events
               if e.get("event") == "action" and e.get("control_text") and e.get("hwnd")}
    for w in t.shown():
        kind = w.get("kind") or w.get("class", "")
        if kind in ("dialog", "messagebox") or w.get("class") == "Setup":
            text = (w.get("text") or "").replace("\n", " ")
            answer = f" → {answers[w['hwnd']]}" if w["hwnd"] in answers else ""
            say(f"    {kind:10} 「{w.get('caption', '')}」 {text[:60]}{answer}")


def reg_string(data):
    """A REG_SZ value as `reg export` writes it ("..." with \\\\ and \\")."""
    if not (data.startswith('"') and data.endswith('"')):
        return None
    return data[1:-1].replace('\\"', '"').replace("\\\\", "\\")


def uninstall_entries(lines, value_name="UninstallString"):
    """(key, command) of each Uninstall entry among a snapshot's registry
    lines, in the order of the keys: the command of the named value."""
    found = []
    for line in lines:
        section, _, value = line.partition("] ")
        key = section[1:]
        if UNINSTALL_KEYS not in key.lower() or "\\" in key.lower().split(UNINSTALL_KEYS, 1)[1]:
            continue
        name, _, data = value.partition("=")
        if name.lower() == f'"{value_name.lower()}"' and reg_string(data) is not None:
            found.append((key, reg_string(data)))
    return sorted(found)


def split_command(command):
    """The program and the rest of a command line, as CreateProcess finds the
    program: a quoted first token, or everything up to the first blank."""
    command = command.strip()
    if command.startswith('"'):
        program, _, rest = command[1:].partition('"')
    else:
        program, _, rest = command.partition(" ")
    return program, rest.strip()


def drive(b, name, program, windows_path, scenario, tail=None):
    """One run of the driver that does not stop the life when it fails."""
    try:
        t = b.run(program, [], scenario, timeout=b.scaled(300), windows_path=windows_path, tail=tail or None,
                  name=name, expect_ok=False, shots=os.path.join("shots", name))
        run = Run(name, t, b.driver_status, b.driver_stderr)
    except (subprocess.TimeoutExpired, OSError, ValueError) as e:
        run = Run(name, None, -1, f"{e}")
    if run.transcript:
        account(run.transcript)
    if run.failure:
        say(f"    FAILED: {run.failure}")
    return run


def play(b, stages, switches="", life=None):
    """The whole life of b.medium; returns what it found (in `life` when
    given, so that what was found before a check failed is kept). Stops
    after a run that failed, with the failure in life.failures."""
    life = life or Life()
    stages.before(b)
    # The machine-wide count key exists on Windows; a new prefix lacks it.
    b.reg("add", SHARED_DLLS, "/f")
    life.before = snapshot(b)

    say("1. The medium goes into a CD-ROM drive")
    life.medium = medium = b.copy_medium()
    # As on a CD: every file read-only (the copies in the temporary folder
    # inherit the attribute).
    for top, _, names in os.walk(medium):
        for name in names:
            os.chmod(os.path.join(top, name), 0o444)
    life.root = root = b.mount_cdrom(medium)
    check(b.drive_type(root) == 5, f"drive {root} is not a CD-ROM drive")
    say(f"    drive {root} (a CD-ROM drive) holds {', '.join(sorted(os.listdir(medium)))}, all read-only")

    say(f"2. {root}setup.exe is started " + (f"with {switches}" if switches else "without arguments"))
    life.install = drive(b, "install", os.path.join(medium, "setup.exe"), root + "setup.exe",
                         stages.install_scenario(b), tail=switches)
    if life.install.failure:
        life.failures.append("installation: " + life.install.failure)
        life.installed = snapshot(b)
        return life
    stages.installed(b, life)

    say("3. Windows restarts")
    b.restart_windows()
    stages.restarted(b, life)
    life.installed = snapshot(b)
    value = stages.removal_value
    life.entries = [e for e in uninstall_entries(life.installed[1], value)
                    if e not in uninstall_entries(life.before[1], value)]
    if not life.entries:
        say("    the installation added no Uninstall entry: there is nothing to remove")
        return life

    for n, (key, command) in enumerate(life.entries):
        program, rest = split_command(command)
        folder = program.rsplit("\\", 1)[0] + "\\"
        if n == 0:
            say(f"4. The user keeps a file of their own in the program's folder ({folder})")
            unix_folder = b.unix_path(folder)
            if os.path.isdir(unix_folder):
                life.user_file = os.path.join(unix_folder, USER_FILE)
                with open(life.user_file, "wb") as f:
                    f.write(USER_TEXT)
            else:
                say(f"    the folder {folder} is not there")
        say(f"5. The Uninstall entry's command is run as written: {command}")
        say(f"    ({key})")
        name = "uninstall" if n == 0 else f"uninstall-{n + 1}"
        run = drive(b, name, b.unix_path(program), program, stages.removal_scenario(b),
                    tail=(rest + " " + stages.removal_switches).strip())
        life.removals.append(run)
        if run.failure:
            life.failures.append(f"removal ({key}): {run.failure}")
            life.after = snapshot(b)
            return life
    stages.removed(b, life)

    say("6. Windows restarts")
    b.restart_windows()
    life.after = snapshot(b)
    stages.finished(b, life)
    return life


# ------------------------------------------------------------------ report

def windows_name(rel):
    return "C:\\" + rel.replace(os.sep, "\\")


def is_shortcut(rel):
    return rel.lower().endswith(".lnk") and "start menu" in rel.lower()


def registry_lines(lines):
    """Lines of a snapshot grouped by key: the key, then its values."""
    out = []
    by_key = {}
    for line in lines:
        section, _, value = line.partition("] ")
        by_key.setdefault(section[1:], []).append(value)
    for key in sorted(by_key):
        out.append(f"    {key}")
        out += [f"        {v}" for v in sorted(by_key[key]) if not v.startswith("[")]
    return out


def changes(before, after, user_file=None, drive_c=None):
    """Report lines of what differs between two snapshots."""
    files_added, files_lost, registry_added, registry_lost = difference(before, after)
    # (The user's file was named through the prefix's drive link.)
    mine = os.path.relpath(os.path.realpath(user_file), os.path.realpath(drive_c)) if user_file else None
    files = [windows_name(f) + ("   (the user's own file, saved before the removal)" if f == mine else "")
             for f in files_added if not is_shortcut(f)]
    shortcuts = [windows_name(f) for f in files_added if is_shortcut(f)]
    keys = {line.partition("] ")[0] for line in registry_added}
    out = [f"  files and folders ({len(files)}):" if files else "  files and folders: none"]
    out += ["    " + f for f in files]
    out.append(f"  registry ({len(keys)} key{'s' if len(keys) > 1 else ''}):" if keys else "  registry: nothing")
    out += registry_lines(registry_added)
    out.append(f"  shortcuts ({len(shortcuts)}):" if shortcuts else "  shortcuts: none")
    out += ["    " + s for s in shortcuts]
    if files_lost:
        out.append(f"  files and folders there before and gone now ({len(files_lost)}):")
        out += ["    " + windows_name(f) for f in files_lost]
    if registry_lost:
        out.append(f"  registry lines there before and gone or changed now ({len(registry_lost)}):")
        out += registry_lines(registry_lost)
    return out


def ending(run):
    """How a run ended: its failure, or its last message box, and the exit
    code of the process started."""
    if run.failure:
        return f"FAILED: {run.failure}"
    started = run.transcript.processes()[:1]
    codes = [e["code"] for e in run.transcript.exits() if started and e["pid"] == started[0]["pid"]]
    code = f" (exit code {codes[0]})" if codes else ""
    boxes = [w for w in run.transcript.dialogs() if w.get("kind") == "messagebox"]
    if not boxes:
        return "ended without a message" + code
    last = boxes[-1]
    return f"ended with 「{last.get('caption', '')}」 " + (last.get("text") or "").replace("\n", " ") + code


def locale(b):
    env = subprocess.run([b.winerun, "--print-env"], capture_output=True, text=True).stdout
    lang = next((line.split("=", 1)[1] for line in env.splitlines() if line.startswith("export LC_ALL=")), "?")
    acp = reg_query(b, "HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP")
    return f"{lang.strip(chr(39))} (ANSI code page {acp})"


def report(b, life, source):
    """The account of what the medium did, printed and kept in
    WORK/report.txt."""
    lines = [f"medium: {source}", f"locale: {locale(b)}"]
    if life.install:
        lines.append(f"installation: {ending(life.install)}")
    if life.installed:
        lines.append("installed (after the restart):" if life.install and not life.install.failure
                     else "installed before the failure:")
        lines += changes(life.before, life.installed)
    for (key, command), run in zip(life.entries, life.removals + [None] * len(life.entries)):
        lines.append(f"Uninstall entry: {key}")
        lines.append(f"    {command}")
        if run:
            lines.append(f"removal: {ending(run)}")
    if life.after:
        lines.append("left after the removal and the restart:")
        lines += changes(life.before, life.after, life.user_file, b.drive_c)
    transcripts = sorted(f for f in os.listdir(b.work) if f.startswith("transcript"))
    lines.append(f"transcripts: {b.work}: {' '.join(transcripts)}")
    for run in [life.install] + life.removals:
        shots = os.path.join(b.work, "shots", run.name) if run else None
        if shots and os.path.isdir(shots):
            lines.append(f"screenshots: {shots}: {' '.join(sorted(os.listdir(shots)))}")
    for failure in life.failures:
        lines.append(f"FAILED: {failure}")
    text = "\n".join(lines) + "\n"
    with open(os.path.join(b.work, "report.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    say("== what the medium did (" + os.path.join(b.work, "report.txt") + ")")
    say(text.rstrip("\n"))


# --------------------------------------------------------------- the command

def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(argv):
    parser = argparse.ArgumentParser(
        prog="try-medium",
        description="Plays a setup medium's whole life under Wine, in a prefix of its own: the medium in a "
                    "CD-ROM drive, setup.exe started from it, every window answered, a restart, the Uninstall "
                    "entry's command, a restart; then reports what was installed and what is left.")
    parser.add_argument("medium", help="folder with setup.exe, setup.inf and the application's files")
    parser.add_argument("--scenario", metavar="FILE",
                        help="UI driver scenario for the installation (default: Enter on every window)")
    parser.add_argument("--removal-scenario", metavar="FILE",
                        help="UI driver scenario for the removal (default: Enter on every window)")
    parser.add_argument("--switches", default="", metavar="ARGS",
                        help="appended to setup.exe's command line as given")
    parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                        help="environment of the Wine runs, e.g. LANG=C.UTF-8 (an English system)")
    parser.add_argument("--out", metavar="DIR", help="output folder (default build/try-medium/<medium's name>)")
    parser.add_argument("--keep", action="store_true", help="leave Wine running afterwards")
    parser.add_argument("--sample", action="store_true",
                        help="the sample medium: answer and check it as the test e2e_whole_life_cycle does")
    args = parser.parse_args(argv)

    medium = os.path.abspath(args.medium)
    for name in ("setup.exe", "setup.inf"):
        if not os.path.isfile(os.path.join(medium, name)):
            parser.error(f"{medium} holds no {name}")
    for pair in args.env:
        if "=" not in pair or not pair.split("=", 1)[0]:
            parser.error(f"--env {pair}: expected NAME=VALUE")
    build = os.environ.get("SETUP_BUILD_DIR") or os.path.join(ROOT, "build", "x86_64")
    driver = os.path.join(build, "tools", "uidriver", "uidriver.exe")
    if not os.path.isfile(driver):
        parser.error(f"no UI driver {driver}: cmake --build --preset x86_64 --target uidriver")
    out = os.path.abspath(args.out or os.path.join(ROOT, "build", "try-medium", os.path.basename(medium)))

    # A Wine environment of the medium's own, begun anew each time. Its
    # runner stays in the output folder for commands by hand (--keep).
    os.makedirs(out, exist_ok=True)
    winerun = os.path.join(out, "winerun")
    keeper = os.path.join(build, "tools", "wine", "desktop_keeper.exe")
    with open(winerun, "w") as f:
        f.write(f"#!/bin/sh\nWINERUN_STATE_DIR='{out}'" + (f" WINERUN_KEEPER='{keeper}'" if os.path.isfile(keeper) else "")
                + f" exec '{os.path.join(ROOT, 'tools', 'wine', 'winerun.sh')}' \"$@\"\n")
    os.chmod(winerun, 0o755)
    subprocess.run([winerun, "--reset"], stdout=subprocess.DEVNULL, check=True)
    environment = os.path.join(out, "environment")
    if args.env:
        with open(environment, "w") as f:
            f.write("".join(pair + "\n" for pair in args.env))
    elif os.path.exists(environment):
        os.remove(environment)
    say(f"== preparing a Wine prefix ({os.path.join(out, 'wineprefix')})")
    status = 1
    try:
        subprocess.run([winerun, "--start"], check=True)
        os.environ.update(SETUP_BUILD_DIR=build, SETUP_WINERUN=winerun, SETUP_E2E_MEDIUM=medium,
                          SETUP_E2E_WORK=os.path.join(out, "run"))
        b = Harness("try-medium")
        install_text = read_text(args.scenario) if args.scenario else None
        removal_text = read_text(args.removal_scenario) if args.removal_scenario else None
        if args.sample:
            from lifecycle_cases import SampleStages
            stages = SampleStages(install_text, removal_text)
        else:
            stages = Stages(install_text, removal_text)
        # An unattended installation is removed as deployment tools remove
        # it: with the Uninstall entry's quiet command.
        if {t.upper() for t in args.switches.split()} & {"/QUIET", "/S", "/PASSIVE"}:
            stages.removal_value = "QuietUninstallString"
        say("== the life of the medium")
        life = Life()
        try:
            play(b, stages, args.switches, life)
        except Failure as e:
            life.failures.append(str(e))
        report(b, life, medium)
        status = 1 if life.failures else 0
    finally:
        if args.keep:
            say(f"Wine is still running: {winerun} --env wine ...; {winerun} --stop ends it")
        else:
            subprocess.run([winerun, "--stop"], stdout=subprocess.DEVNULL)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
