#!/usr/bin/env python3
"""Checks a transcript that uidriver wrote while driving the fixture program.

  check_transcript.py --answer yes|no --exit-code N [--spawned] [--shot PNG] [--answered] LOG
  check_transcript.py --icons LOG
  check_transcript.py --busy LOG

Every line must be one JSON object. For --answer: the 確認 message box is
recorded with its Japanese text, icon, buttons はい/いいえ (6, 7) and default
button 7; the driver answered it as the scenario says; the 結果 box tells the
answer given; the 進行状況 dialog was recorded with the text its
initialisation set and with every step of its progress; the process that
showed the windows ended with the given exit code. --spawned: the windows
came from a child of the started program, not from the program itself.
--shot: a PNG picture the driver took, decoded and checked.
--answered: every window was answered by `answer enter`: each box and
the dialog once, with a picture taken before, and the dialog only after
its OK was enabled.
For --icons: the five boxes of `fixture.exe /icons` with their icons.
For --busy: every text of the dialog of `fixture.exe /busy`, which does not
answer messages while it counts, and its final progress position.
Exit code 0 when all holds, 1 with the failed checks on standard error.
"""
import argparse
import json
import re
import struct
import sys
import zlib

CONFIRM_CAPTION = "確認"
CONFIRM_TEXT = "ファイルをコピーしますか？"
RESULT_CAPTION = "結果"
BACKDROP_CAPTION = "背景"
RESULT_TEXT = {"yes": "はいが選ばれました。", "no": "いいえが選ばれました。"}
PROGRESS_CAPTION = "進行状況"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def button_label(text):
    """A button's text without its keyboard accelerator: はい(&Y) -> はい."""
    return re.sub(r"\(&.\)$", "", text).replace("&", "")


def read_transcript(path):
    records = []
    with open(path, "rb") as f:
        for number, raw in enumerate(f, 1):
            try:
                line = raw.decode("utf-8")
                record = json.loads(line)
            except (UnicodeDecodeError, ValueError) as e:
                check(False, f"line {number} is not one JSON object in UTF-8: {e}")
                continue
            if check(isinstance(record, dict) and "event" in record and "t" in record,
                     f"line {number} lacks event or t"):
                records.append(record)
    times = [r["t"] for r in records]
    check(times == sorted(times), "times go backwards")
    check(records and records[-1]["event"] == "end", "the transcript does not end with an end record")
    if records and records[-1]["event"] == "end":
        check(records[-1].get("ok") is True, f"the driver reported failure: {records[-1].get('message')}")
    return records


def windows(records, caption, event="show"):
    return [r for r in records if r["event"] == event and r.get("caption") == caption]


def first_index(records, predicate):
    for i, r in enumerate(records):
        if predicate(r):
            return i
    return -1


def check_png(path):
    try:
        data = open(path, "rb").read()
    except OSError as e:
        check(False, f"picture {path}: {e}")
        return
    if not check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: no PNG signature"):
        return
    pos, idat, width, height = 8, b"", 0, 0
    while pos + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        check(zlib.crc32(kind + body) == crc, f"{path}: bad CRC in {kind!r}")
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            check((depth, colour) == (8, 2), f"{path}: not 8-bit RGB")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
        if kind == b"IEND":
            break
    check(pos == len(data), f"{path}: data after IEND or a cut chunk")
    try:
        raw = zlib.decompress(idat)
    except zlib.error as e:
        check(False, f"{path}: image data does not inflate: {e}")
        return
    row = 1 + width * 3
    if not check(width > 0 and len(raw) == row * height, f"{path}: {len(raw)} bytes for {width}x{height}"):
        return
    pixels = set()
    for y in range(0, height, 8):
        line = raw[y * row + 1:(y + 1) * row]
        pixels.update(line[x:x + 3] for x in range(0, len(line), 3 * 16))
    check(len(pixels) > 2, f"{path}: the picture is (nearly) one colour")


def check_answer(records, answer, exit_code, spawned, shot):
    process = [r for r in records if r["event"] == "process"]
    root = process[0]["pid"] if process else None

    boxes = windows(records, CONFIRM_CAPTION)
    if not check(len(boxes) == 1, f"{CONFIRM_CAPTION} shown {len(boxes)} times, not once"):
        return
    box = boxes[0]
    check(box.get("kind") == "messagebox", "確認 is not recorded as a message box")
    check(box.get("text") == CONFIRM_TEXT, f"確認 text is {box.get('text')!r}")
    check(box.get("icon") == "question", f"確認 icon is {box.get('icon')!r}")
    buttons = [(b["id"], button_label(b["text"])) for b in box.get("buttons", [])]
    check(buttons == [(6, "はい"), (7, "いいえ")], f"確認 buttons are {buttons}")
    check(box.get("default") == 7, f"確認 default button is {box.get('default')}")
    check(box.get("visible") is True and box.get("enabled") is True, "確認 not visible and enabled")
    pid = box["pid"]
    backdrops = windows(records, BACKDROP_CAPTION)
    if check(len(backdrops) == 1, f"{BACKDROP_CAPTION} shown {len(backdrops)} times, not once"):
        backdrop = backdrops[0]
        check(backdrop.get("class") == "FixtureBackdrop" and backdrop.get("kind") == "window",
              f"backdrop recorded as {backdrop.get('class')}/{backdrop.get('kind')}")
        check(backdrop.get("maximized") is True, "the backdrop is not recorded as maximised")
        check(box.get("owner") == backdrop["hwnd"], "確認 is not recorded as owned by the backdrop")
        gone = [r for r in records if r["event"] == "hide" and r.get("hwnd") == backdrop["hwnd"]]
        check(len(gone) == 1 and gone[0].get("destroyed") is True, "the backdrop's end was not recorded")
    if spawned:
        check(pid != root, "the windows came from the started program, not from its child")
        child = [r for r in process if r["pid"] == pid]
        check(child and child[0]["parent"] == root, "the child process was not recorded with its parent")
    else:
        check(pid == root, "the windows did not come from the started program")

    i_action = first_index(records, lambda r: r["event"] == "action" and r.get("hwnd") == box["hwnd"]
                           and r.get("op") in ("click", "key", "answer"))
    if check(i_action >= 0, "no answer to 確認 recorded"):
        action = records[i_action]
        if answer == "yes":
            check(action.get("op") == "click" and action.get("id") == 6
                  and button_label(action.get("control_text", "")) == "はい",
                  f"確認 was not answered with a click on はい: {action}")
        else:
            check(action.get("op") in ("key", "answer") and action.get("key") == "enter",
                  f"確認 was not answered with Enter: {action}")

    results = windows(records, RESULT_CAPTION)
    if check(len(results) == 1, f"{RESULT_CAPTION} shown {len(results)} times, not once"):
        result = results[0]
        check(result.get("text") == RESULT_TEXT[answer],
              f"結果 says {result.get('text')!r}, expected {RESULT_TEXT[answer]!r}")
        check(result.get("icon") == "information", f"結果 icon is {result.get('icon')!r}")
        check([b["id"] for b in result.get("buttons", [])] == [1], "結果 buttons are not just OK")
        check(records.index(result) > i_action, "結果 was recorded before the answer")

    dialogs = windows(records, PROGRESS_CAPTION)
    if check(len(dialogs) == 1, f"{PROGRESS_CAPTION} shown {len(dialogs)} times, not once"):
        dialog = dialogs[0]
        check(dialog.get("kind") == "dialog", "進行状況 is not recorded as a dialog")

        status, bar = dialog_status, dialog_bar
        check(status(dialog) == "準備中です", f"進行状況 first shown with {status(dialog)!r}")
        states = [r for r in records if r.get("hwnd") == dialog["hwnd"] and r["event"] in ("show", "change")]
        def distinct(values):
            return [v for i, v in enumerate(values) if i == 0 or values[i - 1] != v]

        seen = distinct([status(r) for r in states])
        if answer == "yes":
            expected = ["準備中です", "コピー中 1/3", "コピー中 2/3", "コピー中 3/3", "完了しました"]
            check(seen == expected, f"進行状況 texts were {seen}")
            bars = distinct([bar(r) for r in states])
            check(bars == [(0, 0, 3), (1, 0, 3), (2, 0, 3), (3, 0, 3)], f"progress was {bars}")
            ok = [c for c in states[-1].get("controls", []) if c["id"] == 1]
            check(ok and ok[0]["enabled"], "OK was not enabled at the end")
            typed = [r for r in records if r["event"] == "action" and r.get("op") == "type"]
            check(len(typed) == 1 and typed[0].get("id") == 1003 and typed[0].get("text") == "メモ",
                  f"the note was not typed: {typed}")
            notes = [c["text"] for r in records if r.get("hwnd") == dialog["hwnd"]
                     for c in r.get("controls", []) if c["id"] == 1003]
            check(notes and notes[-1] == "メモ", f"the note field was recorded as {notes[-1:]}")
        hides = [r for r in records if r.get("hwnd") == dialog["hwnd"] and r["event"] == "hide"]
        check(len(hides) == 1, "進行状況 was not recorded as hidden once")

    exits = [r for r in records if r["event"] == "exit" and r["pid"] == pid]
    if check(len(exits) == 1, "the exit of the process with the windows was not recorded"):
        check(exits[0].get("code") == exit_code, f"exit code {exits[0].get('code')}, expected {exit_code}")
    if shot:
        shots = [r for r in records if r["event"] == "action" and r.get("op") == "shot"]
        check(len(shots) == 1, "the picture was not recorded as an action")
        check_png(shot)


def check_answered(records):
    answers = [r for r in records if r["event"] == "action" and r.get("op") == "answer" and "hwnd" in r]
    shown = [r for r in records if r["event"] == "show" and r.get("class") == "#32770"]
    check(sorted(a.get("hwnd") for a in answers) == sorted(w["hwnd"] for w in shown),
          f"answered {[a.get('hwnd') for a in answers]}, shown {[w['hwnd'] for w in shown]}")
    for a in answers:
        check_png(a.get("file", "").replace("\\", "/").replace("Z:", "", 1))
    dialogs = windows(records, PROGRESS_CAPTION)
    answer = [i for i, r in enumerate(records) if r in answers and dialogs and r["hwnd"] == dialogs[0]["hwnd"]]
    done = first_index(records, lambda r: dialogs and r.get("hwnd") == dialogs[0]["hwnd"]
                       and dialog_status(r) == "完了しました")
    check(answer and done >= 0 and answer[0] > done, "進行状況 was answered before its OK was enabled")


def dialog_status(record):
    texts = [c["text"] for c in record.get("controls", []) if c["id"] == 1001]
    return texts[0] if texts else None


def dialog_bar(record):
    bars = [c for c in record.get("controls", []) if c["class"] == "msctls_progress32"]
    return (bars[0].get("pos"), bars[0].get("min"), bars[0].get("max")) if bars else None


def check_busy(records):
    dialogs = windows(records, PROGRESS_CAPTION)
    if not check(len(dialogs) == 1, f"{PROGRESS_CAPTION} shown {len(dialogs)} times, not once"):
        return
    hwnd = dialogs[0]["hwnd"]
    states = [r for r in records if r.get("hwnd") == hwnd and r["event"] in ("show", "change")]
    seen = []
    for r in states:
        if not seen or seen[-1] != dialog_status(r):
            seen.append(dialog_status(r))
    wanted = ["コピー中 1/3", "コピー中 2/3", "コピー中 3/3", "完了しました"]
    check(seen[-4:] == wanted, f"texts recorded while busy: {seen}")
    check(dialog_bar(states[-1]) == (3, 0, 3), f"final progress {dialog_bar(states[-1])}")
    # A program that answers no message costs one short wait now and then,
    # not one per look: the records of the count come at its own pace.
    times = [r["t"] for r in states if dialog_status(r) in wanted]
    check(len(times) >= 4 and max(b - a for a, b in zip(times, times[1:])) < 1500,
          f"the count was recorded late: {times}")
    exits = [r for r in records if r["event"] == "exit"]
    check([r.get("code") for r in exits] == [0], f"exit codes {[r.get('code') for r in exits]}")


def check_icons(records):
    expected = {"icon-stop": "stop", "icon-question": "question", "icon-exclamation": "exclamation",
                "icon-information": "information", "icon-none": "none"}
    shown = [r for r in records if r["event"] == "show"]
    check([r.get("caption") for r in shown] == list(expected), f"boxes shown: {[r.get('caption') for r in shown]}")
    for r in shown:
        want = expected.get(r.get("caption"))
        check(r.get("kind") == "messagebox", f"{r.get('caption')} is not a message box")
        check(r.get("icon") == want, f"{r.get('caption')}: icon {r.get('icon')!r}, expected {want!r}")
        check(r.get("default") == 1, f"{r.get('caption')}: default button {r.get('default')}")
    # A message box shows nothing that changes: a change record would mean
    # a box was first recorded before its icon was known.
    changes = [r.get("caption") for r in records if r["event"] == "change"]
    check(not changes, f"changes recorded for {changes}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--answer", choices=["yes", "no"])
    parser.add_argument("--exit-code", type=int)
    parser.add_argument("--spawned", action="store_true")
    parser.add_argument("--shot")
    parser.add_argument("--answered", action="store_true")
    parser.add_argument("--icons", action="store_true")
    parser.add_argument("--busy", action="store_true")
    parser.add_argument("log")
    args = parser.parse_args()
    records = read_transcript(args.log)
    if args.icons:
        check_icons(records)
    elif args.busy:
        check_busy(records)
    elif args.answer and args.exit_code is not None:
        check_answer(records, args.answer, args.exit_code, args.spawned, args.shot)
        if args.answered:
            check_answered(records)
    else:
        parser.error("give --icons, --busy, or --answer and --exit-code")
    for f in failures:
        print("check_transcript: " + f, file=sys.stderr)
    if not failures:
        print(f"check_transcript: {args.log}: all checks hold")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
