"""The folder chooser end to end: the sample medium's program, renamed so
that it runs in place, is led to the setup page; its Folder button opens the
chooser, which the driver answers; the setup page then shows the chosen
destination. Every case cancels the setup at the end (nothing is installed)."""
import os
import shutil

from harness import Failure, check, control, equal, main
from script_data import (MESSAGES, START, WELCOME, COPYRIGHT, SETUP, BREAK, DEFAULT_DIR, PROGRAM_FILES, DEFAULT_DESTINATION)


CHOOSER = "ﾌｫﾙﾀﾞの選択"
NAME_FIELD = 1152
LISTED_FOLDER = 1088
FOLDER_BUTTON = 1011
DESTINATION = 1004
IDYES = 6


def q(text):
    """A scenario string."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def to_setup_page():
    return ("timeout 30\nstrict\n"
            f"expect kind=dialog caption={q(START)}\nclick 1\n"
            f"expect kind=dialog caption={q(WELCOME)}\nclick 1\n"
            f"expect kind=dialog caption={q(COPYRIGHT)}\nclick 1\n"
            f"expect kind=dialog caption={q(SETUP)}\n"
            f"click {FOLDER_BUTTON}\n"
            f"expect kind=dialog caption={q(CHOOSER)}\n")


def page_again(destination):
    """The setup page shown again with the destination in its field."""
    return f"expect kind=dialog caption={q(SETUP)} text={q(destination)}\n"


def cancel_out():
    return (f"key escape\nexpect kind=messagebox caption={q(BREAK)}\nkey enter\nwait-exit\n")


def run(b, scenario, shots):
    """Runs the renamed program with /DEBUG (nothing would be installed
    even by Finish) and returns the transcript."""
    medium = b.copy_medium(exe_name="install.exe")
    check(not os.path.exists(b.c_path("Program Files", DEFAULT_DIR)),
          f"{DEFAULT_DESTINATION} exists before the test: the chooser would go into it")
    t = b.run(os.path.join(medium, "install.exe"), ["/DEBUG"], scenario)
    for name in shots:
        check(os.path.exists(os.path.join(b.work, "shots", name + ".png")), f"no picture {name}")
    return t


def windows(t, caption):
    return [w for w in t.dialogs() if w.get("caption") == caption]


def boxes(t):
    return [w for w in t.dialogs() if w.get("kind") == "messagebox"]


def destination_shown(t):
    """Control 1004 of the setup page as last recorded."""
    pages = windows(t, SETUP)
    check(pages, "no setup page")
    return control(t.last_state(pages[-1]["hwnd"]), DESTINATION)["text"]


def hides(t, hwnd):
    return [e for e in t.events if e.get("event") == "hide" and e.get("hwnd") == hwnd]


def check_chooser(chooser, field, listed):
    """The chooser as first shown: template 1536's caption and controls."""
    equal(chooser.get("caption"), CHOOSER, "chooser caption")
    equal(control(chooser, NAME_FIELD)["text"], field, "new-folder field")
    equal(control(chooser, LISTED_FOLDER)["text"].lower(), listed.lower(), "listed folder")
    for hidden in (1120, 1089, 1136, 1038, 1040, 1037):
        try:
            c = control(chooser, hidden)
        except Failure:
            continue
        check(not c.get("visible"), f"control {hidden} is hidden")
    for shown in (1121, 1137, 1, 2):
        check(control(chooser, shown).get("visible"), f"control {shown} is shown")


def check_box(box, text, caption, icon):
    equal(box.get("text"), text, "message text")
    equal(box.get("caption"), MESSAGES[caption], "message caption")
    equal(box.get("icon"), icon, "message icon")


def chooser_prefill_ok(b):
    """Opens in Program Files with the default folder's name; OK gives the
    same destination back. The name (サンプルソフト) holds ソ, whose trail
    byte is the backslash code."""
    scenario = to_setup_page() + (
        "shot chooser\n"
        "click 1\n" + page_again(DEFAULT_DESTINATION) + "shot page\n" + cancel_out())
    t = run(b, scenario, ["chooser", "page"])
    [chooser] = windows(t, CHOOSER)
    check_chooser(chooser, DEFAULT_DIR, PROGRAM_FILES)
    equal(destination_shown(t), DEFAULT_DESTINATION, "destination on the page")
    equal([w.get("caption") for w in boxes(t)], [BREAK], "message boxes")


def chooser_typed_name(b):
    """Browses to C:\\Data by typing folder names, then names a new folder."""
    data = b.c_path("Data")
    if not os.path.isdir(data):
        os.makedirs(data)
        b.cleanups.append(lambda: shutil.rmtree(data))
    check(not os.path.exists(os.path.join(data, "NewTool")), "C:\\Data\\NewTool exists before the test")
    scenario = to_setup_page() + (
        'type 1152 ".."\nclick 1\nwait-match text="c:\\\\"\n'
        'type 1152 "Data"\nclick 1\nwait-match text="c:\\\\data"\n'
        "shot listed\n"
        'type 1152 "NewTool"\nclick 1\n' + page_again("C:\\Data\\NewTool") + "shot page\n" + cancel_out())
    t = run(b, scenario, ["listed", "page"])
    [chooser] = windows(t, CHOOSER)
    check_chooser(chooser, DEFAULT_DIR, PROGRAM_FILES)
    equal(destination_shown(t), "C:\\Data\\NewTool", "destination on the page")
    equal([w.get("caption") for w in boxes(t)], [BREAK], "message boxes")


def chooser_listed_folder(b):
    """An empty field asks whether to take the listed folder; Yes does. The
    next opening offers no name."""
    scenario = to_setup_page() + (
        'type 1152 ""\nclick 1\n'
        f"expect kind=messagebox caption={q(MESSAGES[16018])} icon=question\n"
        "shot question\n"
        f"click {IDYES}\n" + page_again(PROGRAM_FILES) +
        f"click {FOLDER_BUTTON}\nexpect kind=dialog caption={q(CHOOSER)}\nshot second\n"
        "key escape\n" + page_again(PROGRAM_FILES) + cancel_out())
    t = run(b, scenario, ["question", "second"])
    first, second = windows(t, CHOOSER)
    check_chooser(first, DEFAULT_DIR, PROGRAM_FILES)
    listed = control(first, LISTED_FOLDER)["text"]
    question = boxes(t)[0]
    check_box(question, MESSAGES[48003].replace("%s", listed), 16018, "question")
    equal([b_["id"] for b_ in question.get("buttons", [])], [6, 7], "buttons Yes and No")
    # Not pre-filled: the field holds what the dialog itself puts there.
    check(control(second, NAME_FIELD)["text"] != "Program Files", "the second opening is not pre-filled")
    equal(control(second, NAME_FIELD)["text"], "*.*", "the dialog's own filling")
    equal(destination_shown(t), PROGRAM_FILES, "destination on the page")
    equal([w.get("caption") for w in boxes(t)], [MESSAGES[16018], BREAK], "message boxes")


def chooser_wildcard(b):
    """"*.*" is explained by message 1020 and the chooser stays open."""
    scenario = to_setup_page() + (
        'type 1152 "*.*"\nclick 1\n'
        f"expect kind=messagebox caption={q(MESSAGES[16017])} icon=exclamation\n"
        "shot wildcard\nkey enter\nwait-gone\n"
        "back\nwait-match text=\"*.*\"\nshot still-open\n"
        'type 1152 "NewTool"\nclick 1\n' + page_again(PROGRAM_FILES + "\\NewTool") + cancel_out())
    t = run(b, scenario, ["wildcard", "still-open"])
    [chooser] = windows(t, CHOOSER)
    box = boxes(t)[0]
    check_box(box, MESSAGES[1020], 16017, "exclamation")
    check_still_open_after(t, chooser, box)
    equal(destination_shown(t), PROGRAM_FILES + "\\NewTool", "destination on the page")


def chooser_backslash(b):
    """A name with a backslash is refused with 32023 and the chooser stays
    open; its Cancel then leaves the destination as it was."""
    scenario = to_setup_page() + (
        'type 1152 "Sub\\\\Dir"\nclick 1\n'
        f"expect kind=messagebox caption={q(MESSAGES[16017])} icon=exclamation\n"
        "shot backslash\nkey enter\nwait-gone\n"
        "back\nwait-match text=\"Sub\\\\Dir\"\n"
        "key escape\n" + page_again(DEFAULT_DESTINATION) + cancel_out())
    t = run(b, scenario, ["backslash"])
    [chooser] = windows(t, CHOOSER)
    box = boxes(t)[0]
    check_box(box, MESSAGES[32023], 16017, "exclamation")
    check_still_open_after(t, chooser, box)
    equal(destination_shown(t), DEFAULT_DESTINATION, "destination on the page")
    equal([w.get("caption") for w in boxes(t)], [MESSAGES[16017], BREAK], "message boxes")


def check_still_open_after(t, chooser, box):
    """The chooser was not hidden while its box was up, nor when it was
    answered: it went only with the later OK or Cancel."""
    box_gone = [e["t"] for e in hides(t, box["hwnd"])]
    check(box_gone, "the message box went away")
    chooser_gone = [e["t"] for e in hides(t, chooser["hwnd"])]
    check(chooser_gone, "the chooser closed in the end")
    back = [e for e in t.events if e.get("event") == "action" and e.get("op") == "back"]
    check(back and back[0].get("hwnd") == chooser["hwnd"], "back returned to the chooser")
    check(box_gone[0] <= back[0]["t"] < chooser_gone[0], "the chooser stayed open after the message")


CASES = {f.__name__: f for f in (chooser_prefill_ok, chooser_typed_name, chooser_listed_folder, chooser_wildcard,
                                 chooser_backslash)}

if __name__ == "__main__":
    main(CASES)
