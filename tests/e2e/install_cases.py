"""The sample medium installed for real end to end: the wizard, the progress
dialog, files on disk byte for byte, registry entries, shared counts and the
program group; then removed again with the command of its Uninstall entry."""
import os
import re
import shutil

from harness import Failure, check, equal, main
from script_data import (read_script, set_value, MESSAGES, SAMPLE, START, WELCOME, FAREWELL, COPYRIGHT, SETUP, APPLICATION, DEFAULT_DIR, SHARED_DLLS, UNINSTALL_KEY, APP_PATH_KEY, VERSION_KEY, USER_KEY)



# The system folder as the program names it (on disk it may be SysWOW64).
SYSTEM = "C:\\windows\\system32\\"


def installed_folder(b):
    """The default destination as the program under test names it."""
    return "C:\\" + b.program_files + "\\" + DEFAULT_DIR + "\\"


def expect(caption, kind="dialog"):
    return f'expect kind={kind} caption="{caption}"\n'


def files_of(script):
    """(source, target, kind) of every file entry."""
    out = []
    for n in range(1, int(script["files"]["files"]) + 1):
        fields = [f for f in script["files"].get(f"file_{n}", "").split(",") if f]
        if len(fields) >= 5:
            out.append((fields[0], fields[1], int(fields[3])))
    return out


def reg_query(b, key, value=None):
    """The data of a value (None when missing), or whether the key exists.
    Read from an export, which is UTF-16: what reg prints goes through the
    console's code page, which need not hold the names."""
    out = os.path.join(b.work, "query.reg")
    if b.reg("export", key, b.z(out), "/y", check_status=False).returncode != 0:
        return None
    if value is None:
        return True
    with open(out, "rb") as f:
        text = f.read().decode("utf-16").replace("\\\r\n  ", "")
    # The key's own values follow its header, before its first subkey's.
    sections = text.split("\r\n[")
    wanted = "@" if value == "" else '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
    for line in sections[1].splitlines()[1:] if len(sections) > 1 else []:
        name, equals, data = line.partition("=")
        if equals and name.lower() == wanted.lower():
            return reg_data(data)
    return None


def reg_data(data):
    """A value's data as `reg query` prints it: a string as it is, a number
    as 0x..., the strings of a multi-string joined by \\0."""
    if data.startswith('"'):
        return re.sub(r"\\(.)", r"\1", data[1:-1])
    if data.startswith("dword:"):
        return hex(int(data[6:], 16))
    kind, _, octets = data.partition(":")
    text = bytes(int(x, 16) for x in octets.split(",") if x).decode("utf-16-le").rstrip("\0")
    return "\\0".join(text.split("\0")) if kind == "hex(7)" else text


def cleanup_installation(b):
    """Whatever an installation may have left, so later tests start clean."""
    maker = SAMPLE["registry"]["version_key"].split("\\")[0]
    for key in (UNINSTALL_KEY, APP_PATH_KEY, VERSION_KEY, USER_KEY, "HKLM\\SOFTWARE\\" + maker,
                "HKCU\\Software\\" + SAMPLE["registry"]["user_key"].split("\\")[0]):
        b.reg("delete", key, "/f", check_status=False)
    shutil.rmtree(b.c_path(b.program_files, DEFAULT_DIR), ignore_errors=True)
    shutil.rmtree(os.path.join(programs_folder(b), SAMPLE["startmenu"]["start_1"].split(",")[0]), ignore_errors=True)
    for _, target, kind in files_of(SAMPLE):
        if kind != 1:
            path = b.c_path("windows", b.system_dir, target)
            if os.path.exists(path):
                os.remove(path)
            b.reg("delete", SHARED_DLLS, "/v", SYSTEM + target, "/f", check_status=False)


def last_box(t):
    boxes = [w for w in t.dialogs() if w.get("kind") == "messagebox"]
    if not boxes:
        raise Failure("no message box")
    return boxes[-1]


def programs_folder(b):
    appdata = b.wine("wine", "cmd", "/c", "echo", "%APPDATA%").stdout.decode("cp932").strip()
    return os.path.join(b.unix_path(appdata), "Microsoft", "Windows", "Start Menu", "Programs")


# Keys that hold the shell's and Wine's own passing state (the shell's
# settings change when its group windows open), not the machine's.
WINE_KEYS = ("[hkey_current_user\\software\\wine", "[hkey_local_machine\\software\\wine",
             "[hkey_current_user\\software\\microsoft\\windows\\currentversion\\explorer")


def snapshot(b):
    """Files of drive C: (but the temporary folders) and the lines of the
    machine's and the user's software keys."""
    files = set()
    for top, dirs, names in os.walk(b.drive_c):
        rel = os.path.relpath(top, b.drive_c)
        if rel.lower().startswith(("windows" + os.sep + "temp", "users" + os.sep + "root" + os.sep + "temp")):
            continue
        dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(top, d))]
        for name in names + [d + os.sep for d in dirs]:
            files.add(os.path.join(rel, name))
    lines = set()
    for key in ("HKLM\\Software", "HKCU\\Software"):
        out = os.path.join(b.work, "export.reg")
        b.reg("export", key, b.z(out), "/y")
        with open(out, "rb") as f:
            data = f.read()
        text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("utf-8", "replace")
        section = key
        for line in text.splitlines():
            if line.startswith("["):
                section = line
            # Not the machine's state: the shell notes its folders when first
            # asked (the Start-menu removal asks for the programs folder).
            if section.endswith("Shell Folders]") or section.lower().startswith(WINE_KEYS):
                continue
            if line.strip():
                lines.add(section + " " + line)
    return files, lines


def difference(before, after):
    """What changed between two snapshots: files and folders added and lost,
    registry lines added and lost (each sorted)."""
    (files_before, registry_before), (files_after, registry_after) = before, after
    return (sorted(files_after - files_before), sorted(files_before - files_after),
            sorted(registry_after - registry_before), sorted(registry_before - registry_after))


def check_machine_as_before(b, before, left):
    """The machine as the snapshot `before` found it, but for the default
    destination folder holding the names in `left` (files, or folders with
    a trailing separator)."""
    files_added, files_lost, registry_added, registry_lost = difference(before, snapshot(b))
    folder = os.path.join(b.program_files, DEFAULT_DIR)
    meant = {folder + os.sep} | {os.path.join(folder, name) for name in left}
    equal([f for f in files_added if f not in meant], [], "files left behind")
    equal(files_lost, [], "files lost")
    equal(registry_added, [], "registry lines left behind")
    equal(registry_lost, [], "registry lines lost")


def install_scenario(b, during_run=""):
    """The wizard with every page's default answer, up to the closing box;
    during_run answers what comes up before it."""
    return f"timeout {b.scaled(60)}\n" + expect(START) + "shot 1-start\nclick 1\n" + expect(WELCOME) + "shot 2-welcome\nclick 1\n" + \
        expect(COPYRIGHT) + "shot 3-licence\nclick 1\n" + expect(SETUP) + "shot 4-setup\nclick 1\n" + during_run + \
        expect(MESSAGES[16010], "messagebox") + "shot 5-finished\nkey enter\nwait-exit\n"


def install(b, args=(), program=None, windows_path=None, name=None, during_run=""):
    return b.run(program or os.path.join(b.medium, "setup.exe"), list(args), install_scenario(b, during_run),
                 timeout=b.scaled(120), windows_path=windows_path, name=name)


def check_installation(b, t, medium_dir, with_group=True):
    """The closing message (none when t is None: a run without windows), the
    files, the registry entries, the shared counts and (unless with_group is
    false) the program group of a finished installation; returns the
    Uninstall entry's command."""
    if t is not None:
        closing = last_box(t)
        equal(closing.get("text"), MESSAGES[100].replace("%s", APPLICATION, 1), "closing message")
        # (The shell's group windows may cover the box, so that the driver
        # cannot read its icon from the screen.)
        check(closing.get("icon") in ("information", "unknown"), f"closing icon {closing.get('icon')}")

    # Files: application files in the destination, shared ones in the
    # system folder, byte for byte as on the medium.
    medium = read_script(os.path.join(medium_dir, "setup.inf"))
    destination = b.c_path(b.program_files, DEFAULT_DIR)
    for source, target, kind in files_of(medium):
        where = destination if kind == 1 else b.c_path("windows", b.system_dir)
        with open(os.path.join(medium_dir, source), "rb") as f:
            expected = f.read()
        path = os.path.join(where, target)
        check(os.path.exists(path), f"{target} installed in {where}")
        with open(path, "rb") as f:
            equal(f.read() == expected, True, f"{target} byte-identical to the medium")

    # Registry entries and the shared count.
    installed = installed_folder(b)
    equal(reg_query(b, VERSION_KEY, ""), SAMPLE["registry"]["version_value"], "version key")
    equal(reg_query(b, APP_PATH_KEY, "Path"), installed, "App Paths Path")
    equal(reg_query(b, APP_PATH_KEY, ""), installed + SAMPLE["registry"]["path_key"], "App Paths program")
    equal(reg_query(b, UNINSTALL_KEY, "DisplayName"), SAMPLE["registry"]["uninstall_dispname"], "DisplayName")
    command = reg_query(b, UNINSTALL_KEY, "UninstallString")
    equal(command, '"' + installed + "setup.exe" + '" /UNINSTALL', "UninstallString")
    for _, target, kind in files_of(medium):
        if kind != 1:
            equal(reg_query(b, SHARED_DLLS, SYSTEM + target), "0x1", f"count of {target}")

    if not with_group:
        return command
    # The program group the shell made through DDE.
    group = os.path.join(programs_folder(b), SAMPLE["startmenu"]["start_1"].split(",")[0])
    for n in (1, 2):
        title = SAMPLE["startmenu"][f"start_{n}"].split(",")[2]
        check(os.path.isfile(os.path.join(group, title + ".lnk")), f"shortcut {title}")
    return command


def uninstall_scenario(b):
    """The farewell page, Yes to the question about shared files, and the
    closing box."""
    return f"timeout {b.scaled(60)}\n" + expect(FAREWELL) + "shot 6-farewell\nclick 1\n" + \
        "expect kind=messagebox caption=\"" + MESSAGES[16013] + "\"\nshot 7-shared\nclick 6\n" + \
        expect(MESSAGES[16010], "messagebox") + "shot 8-removed\nkey enter\nwait-exit\n"


def uninstall(b, command, name=None):
    """Runs the Uninstall entry's command as written, answering as
    uninstall_scenario does."""
    program = command.split('"')[1]
    return b.run(b.unix_path(program), command.split('"', 2)[2].split(), uninstall_scenario(b),
                 timeout=b.scaled(120), windows_path=program, name=name)


def pending_deletions(b):
    """The paths that the next start of Windows is to delete, as stored."""
    value = reg_query(b, "HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
                      "PendingFileRenameOperations") or ""
    # reg prints a multi-string with \0 between its strings; a deletion is a
    # source followed by an empty target.
    # (reg leaves out the empty target at the very end.)
    parts = value.split("\\0")
    deletions = []
    for i in range(0, len(parts), 2):
        target = parts[i + 1] if i + 1 < len(parts) else ""
        if parts[i].startswith("\\??\\") and target == "":
            deletions.append(parts[i][4:])
    return deletions


def check_removal(b, t, medium_dir, left):
    """The removal message, files, counts, keys and group gone; `left` is
    what must stay in the destination folder."""
    closing = last_box(t)
    installed = installed_folder(b)
    expected = MESSAGES[105].replace("%s", APPLICATION, 1).replace("%s", installed, 1)
    equal(closing.get("text"), expected, "removal message")
    medium = read_script(os.path.join(medium_dir, "setup.inf"))
    for _, target, kind in files_of(medium):
        if kind != 1:
            check(not os.path.exists(b.c_path("windows", b.system_dir, target)), f"{target} removed")
            equal(reg_query(b, SHARED_DLLS, SYSTEM + target), None, f"count of {target} removed")
    for key in (VERSION_KEY, APP_PATH_KEY, UNINSTALL_KEY, USER_KEY):
        equal(reg_query(b, key), None, f"{key} removed")
    destination = b.c_path(b.program_files, DEFAULT_DIR)
    found = sorted(os.listdir(destination)) if os.path.isdir(destination) else []
    equal(found, sorted(left), "what is left in the destination")
    group = os.path.join(programs_folder(b), SAMPLE["startmenu"]["start_1"].split(",")[0])
    check(not os.path.exists(group), "the program group is gone")
    # The uninstaller and then its folder go at the next start of Windows.
    pending = [p.lower() for p in pending_deletions(b)]
    program = (installed + "setup.exe").lower()
    folder = installed.rstrip("\\").lower()
    check(program in pending and folder in pending, f"self-removal scheduled: {pending}")
    # In that order: the folder can only go once its program has gone.
    check(pending.index(program) < pending.index(folder), f"the folder is scheduled after its program: {pending}")


def install_and_uninstall(b):
    # Nothing of an earlier, interrupted run may count as "before".
    cleanup_installation(b)
    b.cleanups.append(lambda: cleanup_installation(b))
    # The machine-wide count key exists on Windows; a new prefix lacks it.
    b.reg("add", SHARED_DLLS, "/f")
    before = snapshot(b)

    t = install(b)
    command = check_installation(b, t, b.medium)

    t = uninstall(b, command)
    check_removal(b, t, b.medium, ["setup.exe"])

    # The machine as before, but for what is meant to differ: the
    # uninstaller and its folder, which go at the next start of Windows.
    check_machine_as_before(b, before, ["setup.exe"])

    # At the next start the uninstaller goes, and then its emptied folder.
    b.restart_windows()
    check(not os.path.exists(b.c_path(b.program_files, DEFAULT_DIR)), "the emptied folder is gone after the restart")


def uninstall_removes_the_chosen_folder(b):
    """Installed through the folder chooser into C:\\Other Place\\KApp, the
    application is removed from there by its Uninstall entry's command,
    while a file of the same name in Program Files\\default_dir, another
    installation's, stays."""
    from chooser_cases import CHOOSER, FOLDER_BUTTON, q
    cleanup_installation(b)
    b.cleanups.append(lambda: cleanup_installation(b))
    b.wine("wine", "reg", "add", SHARED_DLLS, "/f")
    other = b.c_path("Other Place")
    shutil.rmtree(other, ignore_errors=True)
    os.makedirs(other)
    b.cleanups.append(lambda: shutil.rmtree(other, ignore_errors=True))
    chosen = "C:\\Other Place\\KApp\\"
    scenario = ("timeout 60\n" + expect(START) + "click 1\n" + expect(WELCOME) + "click 1\n" + expect(COPYRIGHT) +
                "click 1\n" + expect(SETUP) + f"click {FOLDER_BUTTON}\nexpect kind=dialog caption={q(CHOOSER)}\n"
                'type 1152 ".."\nclick 1\nwait-match text="c:\\\\"\n'
                'type 1152 "Other Place"\nclick 1\nwait-match text="c:\\\\other place"\n'
                'type 1152 "KApp"\nclick 1\n'
                f"expect kind=dialog caption={q(SETUP)} text={q(chosen[:-1])}\nclick 1\n" +
                expect(MESSAGES[16010], "messagebox") + "key enter\nwait-exit\n")
    t = b.run(os.path.join(b.medium, "setup.exe"), [], scenario, timeout=120, name="install")
    equal(last_box(t).get("text"), MESSAGES[100].replace("%s", APPLICATION, 1), "closing message")
    command = reg_query(b, UNINSTALL_KEY, "UninstallString")
    equal(command, '"' + chosen + 'setup.exe" /UNINSTALL', "UninstallString")
    installed = os.path.join(other, "KApp")
    app_files = sorted(target for _, target, kind in files_of(SAMPLE) if kind == 1)
    equal(sorted(os.listdir(installed)), app_files, "files in the chosen folder")

    # Another installation's file, where the removal used to look.
    default = b.c_path("Program Files", DEFAULT_DIR)
    os.makedirs(default, exist_ok=True)
    decoy = os.path.join(default, "Sampler.exe")
    with open(decoy, "wb") as f:
        f.write(b"another installation")

    t = uninstall(b, command, name="uninstall")
    closing = last_box(t)
    expected = MESSAGES[105].replace("%s", APPLICATION, 1).replace("%s", chosen, 1)
    equal(closing.get("text"), expected, "the removal message names the chosen folder")
    equal(sorted(os.listdir(installed)), ["setup.exe"], "what is left in the chosen folder")
    with open(decoy, "rb") as f:
        equal(f.read(), b"another installation", "the other installation's file")
    for key in (VERSION_KEY, APP_PATH_KEY, UNINSTALL_KEY):
        equal(reg_query(b, key), None, f"{key} removed")
    pending = [p.lower() for p in pending_deletions(b)]
    check((chosen + "setup.exe").lower() in pending and chosen[:-1].lower() in pending,
          f"the uninstaller and the chosen folder go at the next start: {pending}")

    b.restart_windows()
    check(not os.path.exists(installed), "the chosen folder is gone after the restart")
    check(os.path.exists(decoy), "the other installation's file is still there")


def passive_install_into_given_folder(b):
    """/PASSIVE with /DIR: the backdrop and the progress dialog only, nothing
    to answer, the files in the folder given; the medium's process waits for
    its copy and ends with 0. The quiet removal takes it all away again."""
    cleanup_installation(b)
    b.cleanups.append(lambda: cleanup_installation(b))
    b.reg("add", SHARED_DLLS, "/f")
    given = b.c_path("Passive App")
    shutil.rmtree(given, ignore_errors=True)
    b.cleanups.append(lambda: shutil.rmtree(given, ignore_errors=True))
    t = b.run(os.path.join(b.medium, "setup.exe"), [], "wait-exit\n", timeout=120,
              tail='/PASSIVE "/DIR=C:\\Passive App"')
    # (The progress dialog is known by its bar: its caption follows the
    # steps. The driver may see the two windows in either order.)
    def kind(w):
        if w.get("class") == "Setup":
            return "backdrop"
        bar = any(c.get("class") == "msctls_progress32" for c in w.get("controls", []))
        return "progress dialog" if bar else w.get("caption")
    shown = [kind(w) for w in t.shown() if w.get("visible", True)]
    equal(sorted(shown), ["backdrop", "progress dialog"], "windows shown")
    equal([e["code"] for e in t.exits()], [0, 0], "exit codes of the copy and the medium's process")
    for name in ("Sampler.exe", "setup.exe", "setup.inf"):
        check(os.path.isfile(os.path.join(given, name)), f"{name} in the given folder")
    equal(reg_query(b, UNINSTALL_KEY, "InstallLocation"), "C:\\Passive App\\", "InstallLocation")
    quiet = reg_query(b, UNINSTALL_KEY, "QuietUninstallString")
    program = quiet.split('"')[1]
    t = b.run(b.unix_path(program), [], "wait-exit\n", timeout=120, windows_path=program,
              tail=quiet.split('"', 2)[2].strip(), name="removal")
    equal((t.shown(), [e["code"] for e in t.exits()]), ([], [0]), "the quiet removal: windows, exit code")
    equal(reg_query(b, UNINSTALL_KEY), None, "the Uninstall entry after the removal")
    equal(sorted(os.listdir(given)), ["setup.exe"], "left for the next start")


def failed_installation_is_taken_back(b):
    """A medium whose second disk never comes: the insert-disk prompt is
    cancelled after the program and the shared file were copied. The run
    takes back what it did: the folder it made goes, the shared file of
    another program keeps its count, and a user's file in a folder that
    stood before stays. Then the whole medium installs and removes, and the
    count is back where it started."""
    cleanup_installation(b)
    b.cleanups.append(lambda: cleanup_installation(b))
    b.reg("add", SHARED_DLLS, "/f")
    # Another program uses the shared file already.
    shared = [target for _, target, kind in files_of(SAMPLE) if kind != 1][0]
    shutil.copy(os.path.join(b.medium, shared), b.c_path("windows", b.system_dir, shared))
    b.reg("add", SHARED_DLLS, "/v", SYSTEM + shared, "/t", "REG_DWORD", "/d", "1", "/f")
    # The licence is on a second disk, which never comes.
    medium = b.copy_medium(name="medium-disk2")
    source, target, _ = files_of(SAMPLE)[2]
    set_value(os.path.join(medium, "setup.inf"), "files", "file_3", f"{source},{target},DISK2,1,0")
    os.remove(os.path.join(medium, source))
    prompt = expect(MESSAGES[16007], "messagebox") + "click 2\n"
    folder = b.c_path(b.program_files, DEFAULT_DIR)
    failed = MESSAGES[101].replace("%s", APPLICATION, 1)

    before = snapshot(b)
    log = b.c_path("windows", "temp", "undo.log")
    t = b.run(os.path.join(medium, "setup.exe"), [], install_scenario(b, prompt), timeout=b.scaled(120),
              tail="/LOG=C:\\windows\\temp\\undo.log", name="failed")
    equal(last_box(t).get("text"), failed, "closing message")
    check(1602 in [e["code"] for e in t.exits()], f"exit codes {t.exits()}")
    check(not os.path.exists(folder), "the folder the run made is gone")
    equal(reg_query(b, SHARED_DLLS, SYSTEM + shared), "0x1", "the other program's count")
    check(os.path.exists(b.c_path("windows", b.system_dir, shared)), "the shared file stays")
    check_machine_as_before(b, before, [])
    with open(log, "rb") as f:
        text = f.read().decode("utf-8-sig")
    for line in ("undo: " + installed_folder(b) + "Sampler.exe deleted", "undo: shared count " + SYSTEM + shared +
                 " back to 1", "undo: folder " + installed_folder(b) + " removed"):
        check(line in text, f"the log says {line!r}")

    # The folder stood before, with a user's file in it.
    os.makedirs(folder)
    with open(os.path.join(folder, "my notes.txt"), "wb") as f:
        f.write(b"the user's own")
    before = snapshot(b)
    t = b.run(os.path.join(medium, "setup.exe"), [], install_scenario(b, prompt), timeout=b.scaled(120),
              name="failed-again")
    equal(last_box(t).get("text"), failed, "closing message of the second try")
    equal(sorted(os.listdir(folder)), ["my notes.txt"], "the folder after the second try")
    check_machine_as_before(b, before, [])

    # The whole medium, installed and removed: the count back to 1.
    t = install(b, name="whole")
    equal(last_box(t).get("text"), MESSAGES[100].replace("%s", APPLICATION, 1), "closing message")
    equal(reg_query(b, SHARED_DLLS, SYSTEM + shared), "0x2", "the count with this installation")
    command = reg_query(b, UNINSTALL_KEY, "UninstallString")
    program = command.split('"')[1]
    farewell = f"timeout {b.scaled(60)}\n" + expect(FAREWELL) + "click 1\n" + \
        expect(MESSAGES[16010], "messagebox") + "key enter\nwait-exit\n"
    b.run(b.unix_path(program), command.split('"', 2)[2].split(), farewell, timeout=b.scaled(120),
          windows_path=program, name="removal")
    equal(reg_query(b, SHARED_DLLS, SYSTEM + shared), "0x1", "the count after the removal")
    check_machine_as_before(b, before, ["setup.exe"])


CASES = {f.__name__: f for f in (install_and_uninstall, uninstall_removes_the_chosen_folder,
                                 passive_install_into_given_folder, failed_installation_is_taken_back)}

if __name__ == "__main__":
    main(CASES)
