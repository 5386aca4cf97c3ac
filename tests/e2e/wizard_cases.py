"""The wizard end to end: the texts of the information pages and the setup
page from the sample script, placeholders, the farewell page, every way of
cancelling, the disk-space refusals and the older-version probe."""
import os
import shutil

from harness import Failure, check, control, equal, main
from script_data import (read_script, turned, MESSAGES, SAMPLE, START, WELCOME, FAREWELL, COPYRIGHT, SETUP, UNINSTALL_KEY, APP_PATH_KEY)

BYTES = " ﾊﾞｲﾄ"


def expect(caption, kind="dialog"):
    return f'expect kind={kind} caption="{caption}"\n'


def to_setup_page(start=START, welcome=WELCOME, copyright=COPYRIGHT):
    return "timeout 30\n" + expect(start) + "click 1\n" + expect(welcome) + "click 1\n" + expect(copyright) + \
        "click 1\n"


def dialog(t, caption, nth=0):
    """The nth showing of the dialog with this caption, as last recorded
    while it was up."""
    shown = [w for w in t.dialogs() if w.get("caption") == caption]
    if len(shown) <= nth:
        raise Failure(f"no dialog {caption!r} (#{nth}) among {t.captions()}")
    return t.last_state(shown[nth]["hwnd"])


def boxes(t):
    return [w for w in t.dialogs() if w.get("kind") == "messagebox"]


def set_key(path, section, key, value):
    """Sets (or with None removes) a key of a CP932 script, keeping the rest."""
    with open(path, "rb") as f:
        lines = f.read().decode("cp932").split("\r\n")
    out, current, done = [], None, False
    for line in lines:
        stripped = line.strip()
        if stripped.startswith("["):
            if current == section.lower() and not done and value is not None:
                out.append(f"{key}={value}")
                done = True
            current = stripped[1:stripped.index("]")].lower()
        elif current == section.lower() and "=" in line and line.split("=", 1)[0].strip().lower() == key.lower():
            if value is not None and not done:
                out.append(f"{key}={value}")
                done = True
            continue
        out.append(line)
    if value is not None and not done:
        if current != section.lower():
            out.append(f"[{section}]")
        out.append(f"{key}={value}")
    with open(path, "wb") as f:
        f.write("\r\n".join(out).encode("cp932"))


def in_place(b, name="install"):
    """A medium whose program is not named setup.exe: it runs the wizard
    where it stands, and its script can be edited freely."""
    medium = b.copy_medium(exe_name=name + ".exe")
    return os.path.join(medium, name + ".exe"), os.path.join(medium, name + ".inf")


def pages_show_the_script(b):
    program, _ = in_place(b)
    t = b.run(program, ["/DEBUG"], to_setup_page() + expect(SETUP) + "shot setup\nclick 1\nexpect kind=messagebox\n"
              "key enter\nwait-exit\n")
    start = dialog(t, START)
    equal(control(start, 1026)["text"], turned(SAMPLE["start"]["msg"]), "start text")
    welcome = dialog(t, WELCOME)
    for i, ident in enumerate(range(1026, 1031), 1):
        equal(control(welcome, ident)["text"], turned(SAMPLE["welcome"][f"msg{i}"]), f"welcome msg{i}")
    equal(control(welcome, 1)["text"], "次へ(&N)", "next button")
    licence_page = dialog(t, COPYRIGHT)
    equal(control(licence_page, 1026)["text"], turned(SAMPLE["copyright"]["msg1"]), "copyright msg1")
    equal(control(licence_page, 1027)["text"], turned(SAMPLE["copyright"]["msg2"]), "copyright msg2")
    with open(os.path.join(b.medium, SAMPLE["copyright"]["file"]), "rb") as f:
        licence = f.read().decode("cp932")
    equal(control(licence_page, 1009)["text"], licence, "licence text, as the file holds it")

    setup = dialog(t, SETUP)
    for ident, key in ((1026, "msg1"), (1027, "msg2"), (1031, "msg_sub1"), (1032, "msg_sub2"), (1033, "system"),
                       (1025, "destination")):
        equal(control(setup, ident)["text"], turned(SAMPLE["setup"][key]), f"setup {key}")
    equal(control(setup, 1034)["text"], "C:\\windows\\system32", "system folder without its backslash")
    equal(control(setup, 1004)["text"], "C:\\Program Files\\" + SAMPLE["general"]["default_dir"],
          "destination without its backslash")
    medium_script = read_script(os.path.join(b.medium, "setup.inf"))
    equal(control(setup, 1017)["text"], medium_script["files"]["systotal"] + BYTES, "bytes needed, system")
    equal(control(setup, 1019)["text"], medium_script["files"]["dsttotal"] + BYTES, "bytes needed, destination")
    for ident in (1018, 1020):
        text = control(setup, ident)["text"]
        check(text.endswith(BYTES) and text[:-len(BYTES)].isdigit() and int(text[:-len(BYTES)]) > 0,
              f"free bytes in {ident}: {text!r}")
    equal(boxes(t)[-1].get("text"), MESSAGES[107], "/DEBUG on Finish ends with 107")


def placeholders_and_empty_values(b):
    program, script = in_place(b)
    set_key(script, "start", "title", None)
    set_key(script, "welcome", "msg3", None)
    set_key(script, "welcome", "msg4", "")
    set_key(script, "goodby", "msg3", None)
    set_key(script, "copyright", "file", None)
    t = b.run(program, [], "timeout 30\n" + expect("[start]title") + "click 1\n" + expect(WELCOME) +
              "click 1\n" + expect(COPYRIGHT) + "key escape\nexpect kind=messagebox\nkey enter\nwait-exit\n")
    welcome = dialog(t, WELCOME)
    equal(control(welcome, 1028)["text"], "[...]msg3", "missing key")
    equal(control(welcome, 1029)["text"], "", "empty value")
    equal(control(dialog(t, COPYRIGHT), 1009)["text"], "", "no licence file named")

    t = b.run(program, ["/UNINSTALL"], "timeout 30\n" + expect(FAREWELL) + "shot farewell\nkey escape\n"
              "expect kind=messagebox\nkey enter\nwait-exit\n")
    farewell = dialog(t, FAREWELL)
    equal(control(farewell, 1028)["text"], "[...]msg3", "missing key in [goodby]")
    equal(control(farewell, 1026)["text"], turned(SAMPLE["goodby"]["msg1"]), "farewell text")
    equal(control(farewell, 1)["text"], MESSAGES[16016], "first button in an uninstallation")
    equal(boxes(t)[-1].get("caption"), turned(SAMPLE["break"]["title_uninstall"]), "uninstall cancel notice")


def every_way_of_cancelling(b):
    program, _ = in_place(b)
    notice = turned(SAMPLE["break"]["title"])
    ways = [
        ("Escape on the welcome page", "timeout 30\n" + expect(START) + "click 1\n" + expect(WELCOME) +
         "key escape\n"),
        ("Cancel on the welcome page", "timeout 30\n" + expect(START) + "click 1\n" + expect(WELCOME) +
         "click 2\n"),
        ("No on the Copyright page", "timeout 30\n" + expect(START) + "click 1\n" + expect(WELCOME) + "click 1\n" +
         expect(COPYRIGHT) + "click 2\n"),
        ("Cancel on the setup page", to_setup_page() + expect(SETUP) + "click 2\n"),
    ]
    for what, scenario in ways:
        t = b.run(program, [], scenario + "expect kind=messagebox\nkey enter\nwait-exit\n")
        last = boxes(t)[-1]
        equal(last.get("caption"), notice, what)
        equal(last.get("text"), turned(SAMPLE["break"]["msg"]), what)
        equal(last.get("icon"), "exclamation", what)
        equal(t.captions()[-1], notice, f"{what}: nothing after the notice")


def licence_file_problems(b):
    program, script = in_place(b)
    medium = os.path.dirname(program)
    scenario = "timeout 30\n" + expect(START) + "click 1\n" + expect(WELCOME) + "click 1\n" + expect(COPYRIGHT) + \
        "click 1\n" + expect(SETUP) + "click 2\nexpect kind=messagebox\nkey enter\nwait-exit\n"

    set_key(script, "copyright", "file", "NOSUCH.TXT")
    t = b.run(program, [], scenario)
    equal(control(dialog(t, COPYRIGHT), 1009)["text"], MESSAGES[1000], "missing file")

    # Longer than the box's 32,768 bytes, with CP932 text on both sides of
    # the cut: the beginning is shown.
    big = ("ソフトウェア使用許諾\r\n" * 4000).encode("cp932")
    with open(os.path.join(medium, "BIG.TXT"), "wb") as f:
        f.write(big)
    set_key(script, "copyright", "file", "BIG.TXT")
    t = b.run(program, [], scenario)
    shown = control(dialog(t, COPYRIGHT), 1009)["text"]
    expected = big[:32768].decode("cp932", "ignore")
    check(shown == expected or shown == big[:32767].decode("cp932", "ignore"),
          f"the beginning of a long file: {len(shown)} characters shown")

    with open(os.path.join(medium, "ZERO.TXT"), "wb") as f:
        f.write("前半\r\n".encode("cp932") + b"\0" + "後半".encode("cp932"))
    set_key(script, "copyright", "file", "ZERO.TXT")
    t = b.run(program, [], scenario)
    equal(control(dialog(t, COPYRIGHT), 1009)["text"], "前半\r\n", "a zero byte ends the text")


def refused_for_missing_parent(b):
    program, script = in_place(b)
    tail = "click 1\n"
    # (Too little free space cannot be arranged for real on this disk: the
    # space checks are tested with injected figures under tests/win/ui.)
    # A destination whose parent folder is missing cannot be created.
    set_key(script, "general", "default_dir", "NoSuchParent\\Tool")
    t = b.run(program, [], to_setup_page() + expect(SETUP) + tail +
              "expect kind=messagebox\nkey enter\nexpect kind=messagebox\nkey enter\nwait-exit\n")
    texts = [w.get("text") for w in boxes(t)]
    equal(texts, [MESSAGES[32005].replace("%s", "C:\\Program Files\\NoSuchParent\\Tool\\"), MESSAGES[111]],
          "missing parent")
    check(not os.path.exists(b.c_path("Program Files", "NoSuchParent")), "nothing created")


def older_version_probe(b):
    old = b.c_path("OldPlace")
    os.makedirs(old, exist_ok=True)
    b.cleanups.append(lambda: shutil.rmtree(old, ignore_errors=True))
    b.cleanups.append(lambda: b.wine("wine", "reg", "delete", UNINSTALL_KEY, "/f", check_status=False))
    b.cleanups.append(lambda: b.wine("wine", "reg", "delete", APP_PATH_KEY, "/f", check_status=False))
    b.wine("wine", "reg", "add", UNINSTALL_KEY, "/v", "DisplayName", "/d", SAMPLE["oldver"]["data"], "/f")
    b.wine("wine", "reg", "add", APP_PATH_KEY, "/v", "Path", "/d", "C:\\OldPlace\\", "/f")
    program, script = in_place(b)
    question_title = turned(SAMPLE["oldver"]["title"])

    # Yes adopts the folder as stored; after Back the question comes again,
    # and No keeps the destination the page already had.
    t = b.run(program, ["/DEBUG"], to_setup_page() + expect(question_title, "messagebox") + "shot question\n"
              "click 6\n" + expect(SETUP) + "click 1010\n" + expect(COPYRIGHT) + "click 1\n" +
              expect(question_title, "messagebox") + "click 7\n" + expect(SETUP) + "click 1\n"
              "expect kind=messagebox\nkey enter\nwait-exit\n")
    question = boxes(t)[0]
    equal(question.get("text"), turned(SAMPLE["oldver"]["msg"]), "question text")
    equal(question.get("icon"), "information", "question icon")
    equal([x["id"] for x in question.get("buttons", [])], [6, 7], "question buttons")
    equal(question.get("default"), 6, "question default")
    equal(control(dialog(t, SETUP, 0), 1004)["text"], "C:\\OldPlace", "adopted folder, cut at its last backslash")
    equal(control(dialog(t, SETUP, 1), 1004)["text"], "C:\\OldPlace", "after No the destination is kept")

    # The comparison is case-sensitive.
    b.wine("wine", "reg", "add", UNINSTALL_KEY, "/v", "DisplayName", "/d", SAMPLE["oldver"]["data"].lower(), "/f")
    t = b.run(program, ["/DEBUG"], to_setup_page() + expect(SETUP) + "click 1\nexpect kind=messagebox\n"
              "key enter\nwait-exit\n")
    equal([w.get("caption") for w in boxes(t)], [MESSAGES[16010]], "no question for other letter case")

    # A stored folder that no longer exists: 32024, and setup goes on.
    b.wine("wine", "reg", "add", UNINSTALL_KEY, "/v", "DisplayName", "/d", SAMPLE["oldver"]["data"], "/f")
    shutil.rmtree(old)
    t = b.run(program, ["/DEBUG"], to_setup_page() + expect(question_title, "messagebox") + "click 6\n"
              "expect kind=messagebox\nkey enter\n" + expect(SETUP) + "click 1\nexpect kind=messagebox\n"
              "key enter\nwait-exit\n")
    equal(boxes(t)[1].get("text"), MESSAGES[32024], "folder gone")
    equal(boxes(t)[1].get("caption"), MESSAGES[16001], "folder gone caption")
    equal(control(dialog(t, SETUP), 1004)["text"], "C:\\Program Files\\" + SAMPLE["general"]["default_dir"],
          "the default destination stays")


CASES = {f.__name__: f for f in (pages_show_the_script, placeholders_and_empty_values, every_way_of_cancelling,
                                 licence_file_problems, refused_for_missing_parent, older_version_probe)}

if __name__ == "__main__":
    main(CASES)
