"""Reading the expected texts: the medium's setup.inf (code page 932) and the
message catalogue's expected data (UTF-8, tests/win/ui); and the
sample medium's texts, names and keys that every case expects."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def read_script(path):
    """{section: {key: value}} with lower-case names; the first key counts."""
    sections = {}
    current = None
    with open(path, "rb") as f:
        text = f.read().decode("cp932")
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and "]" in line:
            current = sections.setdefault(line[1:line.index("]")].lower(), {})
            continue
        if current is not None and "=" in line:
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), value.strip())
    return sections


def turned(value):
    """The script text lookup's escapes: \\t and \\n."""
    out = []
    i = 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value) and value[i + 1] in "tn":
            out.append("\t" if value[i + 1] == "t" else "\n")
            i += 2
            continue
        out.append(value[i])
        i += 1
    return "".join(out)


def catalogue():
    """{number: text} of the message catalogue, as expected."""
    entries = {}
    path = os.path.join(HERE, "..", "win", "ui", "catalogue.txt")
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            number, text = line.split("\t", 1)
            entries[int(number)] = text.replace("\\n", "\n").replace("\\\\", "\\")
    return entries


def set_value(path, section, key, value):
    """Writes key=value into the first [section] of a script (code page 932,
    CR LF), in place of the key's first line or as the section's first."""
    with open(path, "rb") as f:
        lines = f.read().decode("cp932").split("\r\n")
    current, header = None, None
    for i, line in enumerate(lines):
        stripped = line.strip()
        if stripped.startswith("["):
            current = stripped[1:stripped.index("]")].lower() if "]" in stripped else None
            if current == section and header is None:
                header = i
            continue
        if current == section and "=" in line and line.split("=", 1)[0].strip().lower() == key:
            lines[i] = f"{key}={value}"
            break
    else:
        if header is None:
            lines += [f"[{section}]", f"{key}={value}"]
        else:
            lines.insert(header + 1, f"{key}={value}")
    with open(path, "wb") as f:
        f.write("\r\n".join(lines).encode("cp932"))


# The sample medium, as the cases expect to see it on screen and on disk.
MESSAGES = catalogue()
SAMPLE = read_script(os.path.join(HERE, "..", "..", "media", "sample", "setup.inf"))
START = turned(SAMPLE["start"]["title"])
WELCOME = turned(SAMPLE["welcome"]["title"])
FAREWELL = turned(SAMPLE["goodby"]["title"])
COPYRIGHT = turned(SAMPLE["copyright"]["title"])
SETUP = turned(SAMPLE["setup"]["title"])
BREAK = turned(SAMPLE["break"]["title"])
APPLICATION = SAMPLE["general"]["application"]
DEFAULT_DIR = SAMPLE["general"]["default_dir"]
PROGRAM_FILES = "C:\\Program Files"
DEFAULT_DESTINATION = PROGRAM_FILES + "\\" + DEFAULT_DIR

CURRENT_VERSION = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion"
SHARED_DLLS = CURRENT_VERSION + "\\SharedDLLs"
UNINSTALL_KEY = CURRENT_VERSION + "\\Uninstall\\" + SAMPLE["registry"]["uninstall_key"]
APP_PATH_KEY = CURRENT_VERSION + "\\App Paths\\" + SAMPLE["registry"]["path_key"]
VERSION_KEY = "HKLM\\SOFTWARE\\" + SAMPLE["registry"]["version_key"]
USER_KEY = "HKCU\\Software\\" + SAMPLE["registry"]["user_key"]
