"""Start-up end to end: command line, refusals, bootstrap into the temporary
copy, backdrop and the order of the wizard's pages."""
import glob
import os
import shutil

from harness import Failure, check, equal, main
from script_data import (read_script, set_value, turned, MESSAGES, START, WELCOME, FAREWELL, COPYRIGHT, SETUP)

CAP_END = 16010
MSG_DEBUG_RUN = 107


PROGRESS = "ﾌｧｲﾙのｺﾋﾟｰ"


def pages(t):
    """Captions of the dialogs in the order the program shows them. Pages are
    modal one after another, so their order in the transcript is theirs; the
    closing box comes up while the progress dialog is still being shown, so
    the transcript may hold the two either way round."""
    captions = t.captions()
    if PROGRESS in captions and captions[-1] == PROGRESS:
        captions = captions[:-2] + [PROGRESS, captions[-2]]
    return captions


def last_box(t):
    boxes = [w for w in t.dialogs() if w.get("kind") == "messagebox"]
    if not boxes:
        raise Failure("no message box shown")
    return boxes[-1]


def temp_copies(b):
    return sorted(glob.glob(os.path.join(b.temp_dir(), "~st*")))


def remove_new_temp_copies(b, before):
    def clean():
        for path in temp_copies(b):
            if path not in before:
                os.remove(path)
    return clean


def unknown_token(b):
    medium = b.copy_medium()
    before = temp_copies(b)
    t = b.run(os.path.join(medium, "setup.exe"), ["/SETUP", "/BOGUS"])
    equal(t.shown(), [], "windows shown")
    equal([e["code"] for e in t.exits()], [1639], "exit codes")
    equal(temp_copies(b), before, "temporary copies")


def started_from_its_destination(b):
    script = read_script(os.path.join(b.medium, "setup.inf"))
    installed = b.c_path("Program Files", script["general"]["default_dir"])
    check(not os.path.exists(installed), f"{installed} exists before the test")
    os.makedirs(installed)
    b.cleanups.append(lambda: shutil.rmtree(installed))
    for name in ("setup.exe", "setup.inf"):
        shutil.copy(os.path.join(b.medium, name), installed)
    before = temp_copies(b)
    program = os.path.join(installed, "setup.exe")
    # Started as C:\Program Files\..., the way the installed copy is found.
    windows_program = "C:\\Program Files\\" + script["general"]["default_dir"] + "\\setup.exe"

    # As setup: refused with 32022 before anything else.
    t = b.run(program, [], "timeout 30\nexpect kind=messagebox\nshot refused\nkey enter\nwait-exit\n",
              windows_path=windows_program)
    shown = t.shown()
    equal(len(shown), 1, "windows shown")
    box = shown[0]
    equal(box.get("kind"), "messagebox", "kind")
    equal(box.get("text"), MESSAGES[32022], "text")
    equal(box.get("caption"), MESSAGES[16015], "caption")
    equal(box.get("icon"), "stop", "icon")
    equal([x["id"] for x in box.get("buttons", [])], [1], "buttons")
    equal([e["code"] for e in t.exits()], [1603], "exit codes")
    equal(temp_copies(b), before, "temporary copies")

    # As uninstaller from the same folder it goes on: backdrop, farewell
    # page, progress dialog (a rehearsal here, so nothing is removed).
    t = b.run(program, ["/UNINSTALL", "/DEBUG"],
              "timeout 30\nexpect class=\"Setup\"\nexpect kind=dialog caption=\"" + FAREWELL + "\"\nclick 1\n"
              "expect kind=messagebox\nkey enter\nwait-exit\n", windows_path=windows_program)
    backdrop = [w for w in t.shown() if w.get("class") == "Setup"]
    equal(len(backdrop), 1, "backdrop windows")
    equal(backdrop[0].get("caption"), turned(script["general"]["title_uninstall"]), "backdrop title")
    equal(pages(t), [FAREWELL, PROGRESS, MESSAGES[CAP_END]], "dialogs")
    equal(last_box(t).get("text"), MESSAGES[MSG_DEBUG_RUN], "closing text")
    check(os.path.exists(program), "the uninstaller's rehearsal removed nothing")


def wizard_through_temporary_copy(b):
    script = read_script(os.path.join(b.medium, "setup.inf"))
    medium = b.copy_medium()
    before = temp_copies(b)
    b.cleanups.append(remove_new_temp_copies(b, before))
    scenario = "timeout 30\nexpect class=\"Setup\"\nexpect kind=dialog caption=\"" + START + "\"\nshot start\nclick 1\n" \
               "expect kind=dialog caption=\"" + WELCOME + "\"\nclick 1\n"
    for _ in range(2):
        scenario += "expect kind=dialog caption=\"" + COPYRIGHT + "\"\nclick 1\n" \
                    "expect kind=dialog caption=\"" + SETUP + "\"\nclick 1010\n"
    scenario += "expect kind=dialog caption=\"" + COPYRIGHT + "\"\nclick 1\nexpect kind=dialog caption=\"" + SETUP + "\"\n" \
                "click 1\nexpect kind=messagebox\nshot closing\nkey enter\nwait-exit\n"
    t = b.run(os.path.join(medium, "setup.exe"), ["/DEBUG"], scenario)

    # The medium's program starts its copy in the temporary folder and ends;
    # the copy runs the wizard.
    names = [os.path.basename(p["exe"].replace("\\", "/")).lower() for p in t.processes()]
    equal(len(names), 2, f"processes {names}")
    equal(names[0], "setup.exe", "first process")
    check(names[1].startswith("~st") and names[1].endswith(".exe"), f"the copy is {names[1]}")
    window_pids = {w["pid"] for w in t.shown()}
    equal(window_pids, {t.processes()[1]["pid"]}, "only the copy shows windows")

    backdrops = [w for w in t.shown() if w.get("class") == "Setup"]
    equal(len(backdrops), 1, "backdrop windows")
    backdrop = backdrops[0]
    equal(backdrop.get("caption"), turned(script["general"]["title"]), "backdrop title")
    check(backdrop.get("maximized"), "backdrop is maximised")
    equal(pages(t), [START, WELCOME] + [COPYRIGHT, SETUP] * 3 + [MESSAGES[CAP_END]],
          "pages in order")
    closing = last_box(t)
    equal(closing.get("text"), MESSAGES[MSG_DEBUG_RUN], "closing text")
    equal(closing.get("icon"), "information", "closing icon")

    # The copy's script was removed at the end; the copy itself is left for
    # the self-removal step.
    new = [os.path.basename(p) for p in temp_copies(b) if p not in before]
    check(not any(n.endswith(".inf") for n in new), f"script copy left: {new}")
    check(not any(n.endswith(".tmp") for n in new), f"placeholder left: {new}")


def cancel_on_start_page(b):
    script = read_script(os.path.join(b.medium, "setup.inf"))
    medium = b.copy_medium()
    before = temp_copies(b)
    b.cleanups.append(remove_new_temp_copies(b, before))
    t = b.run(os.path.join(medium, "setup.exe"), [],
              "timeout 30\nexpect kind=dialog caption=\"" + START + "\"\nkey escape\n"
              "expect kind=messagebox\nshot cancelled\nkey enter\nwait-exit\n")
    equal(t.captions(), [START, turned(script["break"]["title"])], "dialogs")
    notice = last_box(t)
    equal(notice.get("text"), turned(script["break"]["msg"]), "cancel notice")
    check("\n" in notice.get("text"), "the notice keeps its line breaks")
    equal(notice.get("icon"), "exclamation", "cancel icon")
    new = [os.path.basename(p) for p in temp_copies(b) if p not in before]
    check(not any(n.endswith(".inf") for n in new), f"script copy left: {new}")


def other_program_name_runs_in_place(b):
    medium = b.copy_medium(exe_name="install.exe")
    before = temp_copies(b)
    t = b.run(os.path.join(medium, "install.exe"), ["/debug"],
              "timeout 30\nexpect kind=dialog caption=\"" + START + "\"\nclick 1\n"
              "expect kind=dialog caption=\"" + WELCOME + "\"\nclick 1\nexpect kind=dialog caption=\"" + COPYRIGHT + "\"\n"
              "click 1\nexpect kind=dialog caption=\"" + SETUP + "\"\nclick 1\nexpect kind=messagebox\nkey enter\n"
              "wait-exit\n")
    equal(len(t.processes()), 1, "no temporary copy is started")
    equal(temp_copies(b), before, "temporary copies")
    equal(last_box(t).get("text"), MESSAGES[MSG_DEBUG_RUN], "closing text")


def command_lines(b):
    """How the command line selects the run mode, seen from the pages shown.
    The program is not named setup.exe, so it runs where it stands."""
    script = read_script(os.path.join(b.medium, "setup.inf"))
    medium = b.copy_medium(exe_name="install.exe")
    program = os.path.join(medium, "install.exe")
    cancel = "timeout 30\nexpect kind=dialog\nkey escape\nexpect kind=messagebox\nkey enter\nwait-exit\n"
    setup_notice = turned(script["break"]["title"])
    uninstall_notice = turned(script["break"]["title_uninstall"])
    for tail, first_page, notice in (("", START, setup_notice),
                                     (" \t  \t ", START, setup_notice),
                                     ("/uNiNsTaLl", FAREWELL, uninstall_notice),
                                     ("/SETUP /UNINSTALL", FAREWELL, uninstall_notice),
                                     ("/UNINSTALL\t/setup", START, setup_notice)):
        t = b.run(program, tail=tail, scenario=cancel)
        equal(t.captions(), [first_page, notice], f"dialogs for {tail!r}")
        equal([e["code"] for e in t.exits()], [1602], f"exit code for {tail!r}")

    # /DEBUG before or after the mode: the rehearsal ends with message 107.
    rehearsal = "timeout 30\nexpect kind=dialog caption=\"" + FAREWELL + "\"\nclick 1\nexpect kind=messagebox\nkey enter\n" \
                "wait-exit\n"
    for tail in ("/DEBUG\t/UNINSTALL", "/UNINSTALL /debug"):
        t = b.run(program, tail=tail, scenario=rehearsal)
        equal(pages(t), [FAREWELL, PROGRESS, MESSAGES[CAP_END]], f"dialogs for {tail!r}")
        equal(last_box(t).get("text"), MESSAGES[MSG_DEBUG_RUN], f"closing text for {tail!r}")

    # Refused command lines, and a temporary-copy run whose script does not
    # say where the medium is: no window at all, exit code 1639 (the command
    # line refused) or 1603 (the run could not start).
    for tail, code in (("/SETUP /X", 1639), ("/setupx", 1639), ("/TEMP /DEBUG", 1603), ("/DEBUG /TEMP", 1603)):
        t = b.run(program, tail=tail)
        equal(t.shown(), [], f"windows for {tail!r}")
        equal([e["code"] for e in t.exits()], [code], f"exit code for {tail!r}")

    # With the medium's folder in the script, /DEBUG /TEMP is a temporary-copy
    # rehearsal, which removes its script copy at the end.
    inf = os.path.join(medium, "install.inf")
    with open(inf, "rb") as f:
        content = f.read()
    # The key must be in the first [general] section to be found.
    content = content.replace(b"[general]\r\n", b"[general]\r\nsrcdir=" + b.z(medium + "/").encode("cp932") + b"\r\n", 1)
    with open(inf, "wb") as f:
        f.write(content)
    scenario = "timeout 30\nexpect kind=dialog caption=\"" + START + "\"\nclick 1\nexpect kind=dialog caption=\"" + WELCOME + "\"\n" \
               "click 1\nexpect kind=dialog caption=\"" + COPYRIGHT + "\"\nclick 1\nexpect kind=dialog caption=\"" + SETUP + "\"\n" \
               "click 1\nexpect kind=messagebox\nkey enter\nwait-exit\n"
    t = b.run(program, tail="/DEBUG /TEMP", scenario=scenario)
    equal(last_box(t).get("text"), MESSAGES[MSG_DEBUG_RUN], "closing text of the rehearsal")
    check(not os.path.exists(inf), "the temporary-copy run removes its script")


def temporary_folder_with_blanks(b):
    """A temporary folder whose name has a blank (and Japanese in it): the
    copy is still the program that starts, and it runs the wizard."""
    environment = "HKCU\\Environment"
    saved = {}
    for name in ("TEMP", "TMP"):
        out = b.wine("wine", "reg", "query", environment, "/v", name, check_status=False).stdout.decode("cp932")
        for line in out.splitlines():
            parts = line.split()
            if len(parts) >= 3 and parts[0] == name:
                saved[name] = line.split("REG_SZ", 1)[1].strip()
    check("TEMP" in saved, "the prefix has a TEMP setting")
    folder = os.path.join(b.temp_dir(), "一時 フォルダ")
    os.makedirs(folder, exist_ok=True)
    windows_folder = saved["TEMP"].rstrip("\\") + "\\一時 フォルダ"

    def restore():
        for name, value in saved.items():
            b.wine("wine", "reg", "add", environment, "/v", name, "/d", value, "/f")
        shutil.rmtree(folder, ignore_errors=True)
    b.cleanups.append(restore)
    for name in ("TEMP", "TMP"):
        b.wine("wine", "reg", "add", environment, "/v", name, "/d", windows_folder, "/f")
    # A program of the folder's first word must not be what starts.
    decoy = os.path.join(b.temp_dir(), "一時.exe")
    shutil.copy(os.path.join(b.medium, "setup.exe"), decoy)
    b.cleanups.append(lambda: os.remove(decoy))

    medium = b.copy_medium()
    t = b.run(os.path.join(medium, "setup.exe"), [],
              "timeout 30\nexpect kind=dialog caption=\"" + START + "\"\nkey escape\n"
              "expect kind=messagebox\nkey enter\nwait-exit\n")
    names = [os.path.basename(p["exe"].replace("\\", "/")).lower() for p in t.processes()]
    equal(len(names), 2, f"processes {names}")
    check(names[1].startswith("~st") and names[1].endswith(".exe"), f"the copy is {names[1]}")
    left = sorted(os.listdir(folder))
    equal([n.lower() for n in left], [names[1]], "what the copy leaves in the temporary folder")
    equal(t.captions()[0], START, "the copy's first page")


def unsafe_scripts_are_refused(b):
    """A name that would leave its folder, or a registry name that would name
    a whole root, refuses the script at once, in every mode: one message
    naming the section and key, no temporary copy, nothing else."""
    rows = [
        ("general", "default_dir", "..\\..\\Windows\\System32", []),
        ("files", "uninst_1", "..\\..\\Windows\\win.ini", ["/UNINSTALL"]),
        ("files", "file_2", "SMPCOMMN.DLL,..\\SMPCOMMN.DLL,Disk,2,1", ["/DEBUG"]),
        ("registry", "user_key", "\\", ["/UNINSTALL"]),
        ("startmenu", "start_1", "C:\\Group,Sampler.exe,Sampler", []),
    ]
    for section, key, value, args in rows:
        medium = b.copy_medium(name=f"medium-{section}-{key}")
        set_value(os.path.join(medium, "setup.inf"), section, key, value)
        before = temp_copies(b)
        t = b.run(os.path.join(medium, "setup.exe"), args,
                  "timeout 30\nexpect kind=messagebox\nkey enter\nwait-exit\n", name=f"{section}-{key}")
        shown = t.shown()
        equal(len(shown), 1, f"windows shown for {key}={value}")
        box = shown[0]
        equal(box.get("text"), MESSAGES[32026].replace("%s", section, 1).replace("%s", key, 1), f"text for {key}")
        equal(box.get("caption"), MESSAGES[16015], "caption")
        equal(box.get("icon"), "stop", "icon")
        equal(len(t.processes()), 1, "no temporary copy is started")
        equal(temp_copies(b), before, "temporary copies")
        equal([e["code"] for e in t.exits()], [1620], "exit codes")


def missing_script_is_refused(b):
    """Without its script the program would install or remove nothing and
    still report success: a medium or an uninstaller without setup.inf is
    refused with one message naming it, exit code 1620, and nothing changes.
    A /DEBUG walk through the pages still runs (on placeholders)."""
    script = read_script(os.path.join(b.medium, "setup.inf"))
    folder = script["general"]["default_dir"]
    installed = b.c_path(b.program_files, folder)
    check(not os.path.exists(installed), f"{installed} exists before the test")
    os.makedirs(installed)
    b.cleanups.append(lambda: shutil.rmtree(installed))
    for name in ("setup.exe", "Sampler.exe"):
        shutil.copy(os.path.join(b.medium, name), installed)
    medium = b.copy_medium()
    os.remove(os.path.join(medium, "setup.inf"))
    uninstaller = f"C:\\{b.program_files}\\{folder}\\setup.exe"
    refused = "timeout 30\nexpect kind=messagebox\nshot no-script\nkey enter\nwait-exit\n"
    rows = [
        ("uninstaller", os.path.join(installed, "setup.exe"), uninstaller, ["/UNINSTALL"], refused, 1620),
        ("medium", os.path.join(medium, "setup.exe"), None, [], refused, 1620),
        ("medium-debug", os.path.join(medium, "setup.exe"), None, ["/DEBUG"], refused, 1620),
        ("rehearsal", os.path.join(installed, "setup.exe"), uninstaller, ["/UNINSTALL", "/DEBUG"],
         "timeout 30\nexpect class=\"Setup\"\nexpect kind=dialog\nclick 1\nexpect kind=messagebox\nkey enter\n"
         "wait-exit\n", 0),
    ]
    for name, program, windows_path, args, scenario, code in rows:
        before = temp_copies(b)
        t = b.run(program, args, scenario, windows_path=windows_path, name=name)
        equal([e["code"] for e in t.exits()], [code], f"{name}: exit codes")
        equal(len(t.processes()), 1, f"{name}: no temporary copy is started")
        equal(temp_copies(b), before, f"{name}: temporary copies")
        equal(sorted(os.listdir(installed)), ["Sampler.exe", "setup.exe"], f"{name}: the installed folder")
        if code == 0:
            continue
        shown = t.shown()
        equal(len(shown), 1, f"{name}: windows shown")
        exe = t.processes()[0]["exe"]
        equal(shown[0].get("text"), MESSAGES[32027].replace("%s", exe[:-3] + "inf"), f"{name}: text")
        equal(shown[0].get("caption"), MESSAGES[16015], f"{name}: caption")
        equal(shown[0].get("icon"), "stop", f"{name}: icon")


CASES = {f.__name__: f for f in (unknown_token, unsafe_scripts_are_refused, missing_script_is_refused,
                                 started_from_its_destination, wizard_through_temporary_copy,
                                 cancel_on_start_page, other_program_name_runs_in_place, command_lines,
                                 temporary_folder_with_blanks)}

if __name__ == "__main__":
    main(CASES)
