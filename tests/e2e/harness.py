"""End-to-end test harness: runs setup.exe under Wine with the UI driver and gives
the tests its transcript, the prefix's files and its registry.

Each case gets a scratch folder of its own under the build tree; the Wine
prefix is the test run's shared one (tools/wine), so a case removes what it
put there.
"""
import json
import os
import shutil
import subprocess
import sys


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def equal(actual, expected, what):
    if actual != expected:
        raise Failure(f"{what}: expected {expected!r}, got {actual!r}")


class Transcript:
    """The driver's JSON lines."""

    def __init__(self, path):
        self.events = []
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = line.strip()
                if line:
                    self.events.append(json.loads(line))

    def shown(self):
        """Every window at the moment it was first shown, in order."""
        seen = set()
        out = []
        for e in self.events:
            if e.get("event") == "show" and e["hwnd"] not in seen:
                seen.add(e["hwnd"])
                out.append(e)
        return out

    def last_state(self, hwnd):
        state = None
        for e in self.events:
            if e.get("event") in ("show", "change") and e.get("hwnd") == hwnd:
                state = e
        return state

    def dialogs(self):
        return [w for w in self.shown() if w.get("class") == "#32770"]

    def captions(self):
        return [w.get("caption", "") for w in self.dialogs()]

    def processes(self):
        return [e for e in self.events if e.get("event") == "process"]

    def exits(self):
        return [e for e in self.events if e.get("event") == "exit"]

    def end(self):
        ends = [e for e in self.events if e.get("event") == "end"]
        return ends[-1] if ends else None


def control(window, ident):
    for c in window.get("controls", []):
        if c.get("id") == ident:
            return c
    raise Failure(f"window {window.get('caption')!r} has no control {ident}")


class Harness:
    def __init__(self, case):
        self.case = case
        self.build = os.environ["SETUP_BUILD_DIR"]
        # The demonstration runs the same cases in a prefix and a folder of
        # its own.
        self.winerun = os.environ.get("SETUP_WINERUN") or os.path.join(self.build, "winerun")
        self.driver = os.path.join(self.build, "tools", "uidriver", "uidriver.exe")
        self.medium = os.environ.get("SETUP_E2E_MEDIUM") or os.path.join(self.build, "media", "sample")
        # Where the program under test puts things. A 32-bit setup.exe on
        # 64-bit Windows (SETUP_E2E_WOW64=1) sees "Program Files (x86)", its
        # system folder is SysWOW64 on disk, and its HKLM\Software is the
        # registry's 32-bit view.
        self.wow64 = os.environ.get("SETUP_E2E_WOW64") == "1"
        self.program_files = "Program Files (x86)" if self.wow64 else "Program Files"
        self.system_dir = "syswow64" if self.wow64 else "system32"
        self.reg_view = ["/reg:32"] if self.wow64 else []
        # Every wait stretched, for a program that runs under emulation.
        self.slow = float(os.environ.get("SETUP_E2E_SLOW") or 1)
        self.work = os.environ.get("SETUP_E2E_WORK") or os.path.join(self.build, "tests", "e2e", "work", case)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        env = subprocess.run([self.winerun, "--print-env"], check=True, capture_output=True,
                             text=True).stdout
        self.prefix = None
        for line in env.splitlines():
            line = line.replace("export ", "")
            if line.startswith("WINEPREFIX="):
                self.prefix = line.split("=", 1)[1].strip("'\"")
        check(self.prefix and os.path.isdir(self.prefix), f"no Wine prefix: {env}")
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.cleanups = []

    # Paths: the host's files are on drive Z: for the programs under Wine.
    @staticmethod
    def z(path):
        return "Z:" + path.replace("/", "\\")

    def c_path(self, *parts):
        """Unix path of C:\\<parts> in the prefix."""
        return os.path.join(self.drive_c, *parts)

    def copy_medium(self, name="medium", exe_name="setup.exe"):
        """A private copy of the sample medium; the program may be renamed
        (its script is renamed with it)."""
        dest = os.path.join(self.work, name)
        shutil.copytree(self.medium, dest)
        if exe_name != "setup.exe":
            stem = exe_name.rsplit(".", 1)[0]
            os.rename(os.path.join(dest, "setup.exe"), os.path.join(dest, exe_name))
            os.rename(os.path.join(dest, "setup.inf"), os.path.join(dest, stem + ".inf"))
        return dest

    def scaled(self, seconds):
        return int(seconds * self.slow)

    def wine(self, *args, check_status=True):
        out_path = os.path.join(self.work, "wine.out")
        with open(out_path, "wb") as out:
            result = subprocess.run([self.winerun, "--env", *args], stdout=out, stderr=subprocess.DEVNULL,
                                    stdin=subprocess.DEVNULL, timeout=self.scaled(120))
        with open(out_path, "rb") as out:
            result.stdout = out.read()
        if check_status and result.returncode != 0:
            raise Failure(f"{' '.join(args)}: exit {result.returncode}")
        return result

    def reg(self, *args, check_status=True):
        """reg.exe on the registry as the program under test sees it."""
        return self.wine("wine", "reg", *args, *self.reg_view, check_status=check_status)

    def unix_path(self, windows_path):
        out = self.wine("wine", "winepath", "-u", windows_path).stdout
        return out.decode("utf-8").strip()

    def temp_dir(self):
        """The Unix path of the prefix user's temporary folder."""
        if not getattr(self, "_temp", None):
            out = self.wine("wine", "cmd", "/c", "echo", "%TEMP%").stdout.decode("utf-8").strip()
            self._temp = self.unix_path(out)
            check(os.path.isdir(self._temp), f"no temporary folder {out} ({self._temp})")
        return self._temp

    def run(self, program, args=(), scenario="wait-exit\n", timeout=60, expect_ok=True, windows_path=None,
            tail=None, name=None, shots="shots"):
        """Runs program (a Unix path; started by windows_path when given, for
        a program inside the prefix) under the driver; returns the
        transcript. tail is appended to the command line as it stands; name,
        when given, keeps this run's scenario and transcript apart; shots is
        the folder of its pictures, under the case's folder."""
        suffix = "-" + name if name else ""
        scn = os.path.join(self.work, f"scenario{suffix}.scn")
        with open(scn, "w", encoding="utf-8") as f:
            f.write(scenario)
        log = os.path.join(self.work, f"transcript{suffix}.jsonl")
        shots = os.path.join(self.work, shots)
        os.makedirs(shots, exist_ok=True)
        cmd = [self.winerun, self.driver, "--scenario", self.z(scn), "--log", self.z(log),
               "--shots", self.z(shots), "--timeout", str(timeout)]
        if tail is not None:
            cmd += ["--tail", tail]
        cmd += ["--", windows_path or self.z(program), *args]
        # Output goes to a file, not a pipe: processes that the run leaves
        # behind (the shell's folder windows) may hold a pipe open for good.
        err_path = os.path.join(self.work, "driver.err")
        with open(err_path, "wb") as err:
            proc = subprocess.run(cmd, cwd=os.path.dirname(program), stdout=err, stderr=err,
                                  stdin=subprocess.DEVNULL, timeout=timeout + self.scaled(60))
        self.driver_status = proc.returncode
        with open(err_path, "rb") as err:
            self.driver_stderr = err.read().decode("utf-8", "replace")
        transcript = Transcript(log)
        if expect_ok and proc.returncode != 0:
            raise Failure(f"driver exit {proc.returncode}: {self.driver_stderr.strip()}\n"
                          f"(transcript {log}, pictures {shots})")
        return transcript

    def free_drive_letter(self):
        dosdevices = os.path.join(self.prefix, "dosdevices")
        for letter in "defghijklmnopqrstuvwxy":
            if not os.path.lexists(os.path.join(dosdevices, letter + ":")):
                return letter
        raise Failure("no free drive letter in the prefix")

    def mount_cdrom(self, folder):
        """Maps folder as a CD-ROM drive of the prefix; returns its root
        ("D:\\"). The drive's type is read when the Wine session starts,
        so the session is started anew; the mapping goes at clean-up."""
        letter = self.free_drive_letter()
        link = os.path.join(self.prefix, "dosdevices", letter + ":")
        os.symlink(folder, link)
        self.wine("wine", "reg", "add", "HKLM\\Software\\Wine\\Drives", "/v", letter + ":", "/d", "cdrom", "/f")

        def unmount():
            os.remove(link)
            self.wine("wine", "reg", "delete", "HKLM\\Software\\Wine\\Drives", "/v", letter + ":", "/f",
                      check_status=False)
        self.cleanups.append(unmount)
        self.restart_session()
        return letter.upper() + ":\\"

    def drive_type(self, root):
        """The platform's type of a drive (5: CD-ROM), as WMI reports it."""
        out = self.wine("wine", "wmic", "logicaldisk", "get", "name,drivetype").stdout
        text = out.decode("utf-16") if out[:2] == b"\xff\xfe" else out.decode("utf-8", "replace")
        for line in text.splitlines():
            fields = line.split()
            if len(fields) == 2 and fields[1].upper() == root[:2].upper() and fields[0].isdigit():
                return int(fields[0])
        return None

    def restart_session(self):
        """Ends the Wine session and starts a new one (registry saved,
        devices read anew)."""
        self.wine("wineserver", "-k", check_status=False)
        self.wine("wineserver", "-w", check_status=False)
        subprocess.run([self.winerun, "--start"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, timeout=180, check=True)

    def restart_windows(self):
        """What a restart of Windows does to files: the renames and deletions
        scheduled for the next start are carried out."""
        self.wine("wine", "wineboot", "-r")

    def finish(self):
        for fn in reversed(self.cleanups):
            try:
                fn()
            except Exception as e:  # clean-up must not hide the result
                print(f"clean-up: {e}", file=sys.stderr)


def main(cases):
    """python3 case_file.py NAME: runs one case (a function) of the file."""
    if len(sys.argv) != 2 or sys.argv[1] not in cases:
        print("cases: " + " ".join(sorted(cases)), file=sys.stderr)
        sys.exit(2)
    name = sys.argv[1]
    harness = Harness(name)
    try:
        cases[name](harness)
    except Failure as e:
        print(f"FAILED {name}: {e}", file=sys.stderr)
        sys.exit(1)
    finally:
        harness.finish()
    print(f"passed {name}")
