"""The whole life of an installation of the sample medium, as a user meets
it (life_cycle.py plays it): setup.exe started from a CD-ROM drive without
arguments, the copy in the temporary folder running the wizard and the
installation, a restart of Windows that takes the temporary copy away; then
the Uninstall entry's command, the removal, and a restart that takes the
uninstaller away while the user's own files stay.

SampleStages answers the sample's windows and checks each stage; the same
stages serve as the demonstration (demo.sh, through tools/try-medium
--sample) and as a test."""
import glob
import os

from harness import Failure, check, equal, main
from install_cases import (DEFAULT_DIR, SHARED_DLLS, SYSTEM, UNINSTALL_KEY, check_installation,
                           check_machine_as_before, check_removal, cleanup_installation, difference,
                           install_scenario, installed_folder, pending_deletions, uninstall_scenario)
from life_cycle import USER_FILE, USER_TEXT, Stages, ending, play, report, say
from script_data import APPLICATION, MESSAGES


def temp_copies(b):
    return set(glob.glob(os.path.join(b.temp_dir(), "~st*")))


def windows_temp(b):
    return b.wine("wine", "cmd", "/c", "echo", "%TEMP%").stdout.decode("cp932").strip().rstrip("\\") + "\\"


class SampleStages(Stages):
    """The sample medium: each page's default button, Yes to the question
    about the shared library; every stage checked."""

    def install_scenario(self, b):
        return install_scenario(b) if self.install_text is None else self.install_text

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
        self.command = check_installation(b, t, life.medium)
        say(f"    installed in {installed_folder(b)}; the Uninstall entry's command: {self.command}")

    def restarted(self, b, life):
        equal(sorted(os.path.basename(p) for p in temp_copies(b) - self.temp_before), [],
              "temporary copies after the restart")
        say("    the temporary copy is gone")

    def removed(self, b, life):
        equal([command for _, command in life.entries], [self.command], "the Uninstall entries added")
        check_removal(b, life.removals[0].transcript, life.medium, ["setup.exe", USER_FILE])
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
    equal(ending(life.removals[0]), f"ended with 「{MESSAGES[16010]}」 {removal}", "the end of the removal")
    files_added, files_lost, registry_added, registry_lost = difference(life.before, life.after)
    folder = os.path.join(b.program_files, DEFAULT_DIR)
    equal(files_added, sorted([folder + os.sep, os.path.join(folder, USER_FILE),
                               os.path.join("windows", b.system_dir, "SMPCOMMN.DLL")]), "files left")
    shared = SHARED_DLLS.replace("HKLM", "HKEY_LOCAL_MACHINE", 1)
    equal(registry_added, [f'[{shared}] "{SYSTEM.replace(chr(92), chr(92) * 2)}SMPCOMMN.DLL"=dword:00000000'],
          "registry lines left")
    equal((files_lost, registry_lost), ([], []), "lost")


CASES = {f.__name__: f for f in (whole_life_cycle, every_default_answer)}

if __name__ == "__main__":
    main(CASES)
