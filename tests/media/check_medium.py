#!/usr/bin/env python3
"""Checks a laid-out installation medium (setup.exe, setup.inf and the files it lists).

    check_medium.py MEDIUM_DIR [--template TEMPLATE_INF]
        [--expect-version FILE=A.B.C.D ...]

- setup.inf is CP932 with CR LF line ends and holds every section and key
  that setup.exe reads, with values that fit their buffers;
- every file_N entry names a file of the medium with the size it states, and
  dsttotal and systotal are the sums of the sizes of kind 1 and of the other
  kinds;
- the entries agree with each other (the uninstaller and its script are
  installed, the Start-menu items and the uninstall command name installed
  files, the older-version probe looks where the registry entries are
  written);
- the licence file is CP932 text that fits the licence page;
- the program and the shared library carry version resources (parsed from the
  PE resource directory), the program imports the library, and all PE files
  are built for one machine;
- with --template, setup.inf equals the template byte for byte apart from the
  sizes and totals that setupcheck --fix wrote into it.
Exit status 0 when everything holds, 1 otherwise; each problem is printed.
"""

import argparse
import os
import re
import struct
import sys

# Keys that setup.exe reads, by section. Kinds: 'text' (escapes \t and \n
# turned, 520-byte buffer), 'string' (plain read, 260 bytes), 'int',
# 'face' (32 bytes), 'menu' (1040 bytes), 'data' (263 bytes).
# Numbered keys are given by their stem with '_N'.
SCRIPT_KEYS = {
    'general': [('default_dir', 'string'), ('application', 'string'), ('title', 'text'),
                ('title_uninstall', 'text'), ('msg', 'text'), ('msg_uninstall', 'text')],
    'font': [('Height', 'int'), ('Width', 'int'), ('Escapement', 'int'), ('Orientation', 'int'),
             ('Weight', 'int'), ('Italic', 'int'), ('Underline', 'int'), ('StrikeOut', 'int'),
             ('CharSet', 'int'), ('OutPrecision', 'int'), ('ClipPrecision', 'int'),
             ('Quality', 'int'), ('PitchAndFamily', 'int'), ('FaceName', 'face')],
    'start': [('title', 'text'), ('msg', 'text')],
    'welcome': [('title', 'text')] + [('msg%d' % i, 'text') for i in range(1, 6)],
    'goodby': [('title', 'text')] + [('msg%d' % i, 'text') for i in range(1, 6)],
    'copyright': [('title', 'text'), ('msg1', 'text'), ('msg2', 'text'), ('file', 'string')],
    'setup': [('title', 'text'), ('msg1', 'text'), ('msg2', 'text'), ('msg_sub1', 'text'),
              ('msg_sub2', 'text'), ('system', 'text'), ('destination', 'text')],
    'oldver': [('check', 'int'), ('key', 'path'), ('value', 'path'), ('data', 'data'),
               ('title', 'text'), ('msg', 'text'), ('path', 'path'), ('dir', 'path')],
    'files': [('dsttotal', 'int'), ('systotal', 'int'), ('files', 'int'), ('file_N', 'text'),
              ('uninst', 'int'), ('uninst_N', 'text')],
    'registry': [('version', 'int'), ('path', 'int'), ('uninstall', 'int'),
                 ('version_key', 'string'), ('version_value', 'string'), ('path_key', 'string'),
                 ('uninstall_key', 'string'), ('uninstall_command', 'string'),
                 ('uninstall_dispname', 'string'), ('uninstall_icon', 'string'),
                 ('uninstall_version', 'string'), ('uninstall_publisher', 'string'), ('classes', 'int'), ('clsid_N', 'text'),
                 ('user_key', 'string')],
    'startmenu': [('menus', 'int'), ('start_N', 'menu')],
    'break': [('title', 'text'), ('msg', 'text'), ('title_uninstall', 'text'),
              ('msg_uninstall', 'text')],
}
# Count key of each numbered stem.
COUNT_KEYS = {('files', 'file'): 'files', ('files', 'uninst'): 'uninst',
              ('registry', 'clsid'): 'classes', ('startmenu', 'start'): 'menus'}
# Longest value (bytes) that each kind of buffer holds.
BUFFER_LIMITS = {'text': 519, 'string': 259, 'path': 259, 'data': 262, 'face': 31,
                 'menu': 1039, 'int': 259}
# Keys that only the program writes, into the temporary copy of the script.
WRITTEN_KEYS = {('general', 'srcdir'), ('general', 'tmpexe'), ('general', 'tmpinf')}

UNINSTALL_ROOT = 'software\\microsoft\\windows\\currentversion\\uninstall\\'
APP_PATHS_ROOT = 'software\\microsoft\\windows\\currentversion\\app paths\\'
LICENCE_LIMIT = 32768

problems = []


def problem(text):
    problems.append(text)
    print('FAIL: ' + text)


def is_lead_byte(byte):
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


def parse_int(value):
    """A leading decimal number (blanks, an optional sign, digits); None without digits."""
    match = re.match(r'\s*([+-]?\d+)', value)
    return int(match.group(1)) if match else None


def split_fields(value):
    """Comma fields as setup.exe cuts them: a run of commas is one separator."""
    return [field for field in value.split(',') if field != '']


def read_script(path):
    """Sections of a CP932 script as {section: [(key, raw bytes value, line)]}."""
    data = open(path, 'rb').read()
    if b'\0' in data:
        problem('%s holds a zero byte' % path)
    if re.search(rb'(?<!\r)\n|\r(?!\n)', data):
        problem('%s has a line end other than CR LF' % path)
    try:
        data.decode('cp932', errors='strict')
    except UnicodeDecodeError as error:
        problem('%s does not decode as CP932: %s' % (path, error))
    sections = {}
    order = []
    current = None
    for number, line in enumerate(data.split(b'\r\n'), 1):
        stripped = line.strip(b' \t')
        if stripped == b'' or stripped.startswith(b';'):
            continue
        if stripped.startswith(b'['):
            if not stripped.endswith(b']'):
                problem('line %d: broken section header' % number)
                continue
            current = stripped[1:-1].decode('ascii', 'replace').lower()
            if current in sections:
                problem('section [%s] appears twice (line %d)' % (current, number))
            sections.setdefault(current, [])
            order.append(current)
            continue
        if current is None:
            problem('line %d: key outside any section' % number)
            continue
        if b'=' not in stripped:
            problem('line %d in [%s]: no "="' % (number, current))
            continue
        key, value = stripped.split(b'=', 1)
        sections[current].append((key.strip(b' \t').decode('ascii', 'replace'),
                                  value.strip(b' \t'), number))
    return sections, order, data


class Script:
    def __init__(self, sections):
        self.sections = sections

    def get(self, section, key):
        """The first value of key in section (case-insensitive), bytes, or None."""
        for name, value, _ in self.sections.get(section.lower(), []):
            if name.lower() == key.lower():
                return value
        return None

    def text(self, section, key):
        value = self.get(section, key)
        return None if value is None else value.decode('cp932', 'replace')

    def int(self, section, key):
        value = self.text(section, key)
        return None if value is None else parse_int(value)


def check_keys(script):
    for section, keys in SCRIPT_KEYS.items():
        if section not in script.sections:
            problem('section [%s] is missing' % section)
            continue
        seen = {}
        for name, _, line in script.sections[section]:
            if name.lower() in seen:
                problem('[%s] %s given twice (lines %d and %d)'
                        % (section, name, seen[name.lower()], line))
            seen[name.lower()] = line
            if (section, name.lower()) in WRITTEN_KEYS:
                problem('[%s] %s belongs only in the temporary copy of the script'
                        % (section, name))
        known = set()
        for key, kind in keys:
            if key.endswith('_N'):
                stem = key[:-2]
                count_key = COUNT_KEYS[(section, stem)]
                count = script.int(section, count_key) or 0
                if count <= 0:
                    problem('[%s] %s is %d: no %s_N entry is used' % (section, count_key, count, stem))
                for n in range(1, count + 1):
                    entry = '%s_%d' % (stem, n)
                    known.add(entry.lower())
                    value = script.get(section, entry)
                    if not value:
                        problem('[%s] %s is missing or empty' % (section, entry))
                    else:
                        check_value(section, entry, kind, value)
                for name, _, _ in script.sections[section]:
                    match = re.fullmatch(re.escape(stem) + r'_(\d+)', name, re.IGNORECASE)
                    if match and not 1 <= int(match.group(1)) <= count:
                        problem('[%s] %s lies beyond %s=%d and is never read'
                                % (section, name, count_key, count))
                continue
            known.add(key.lower())
            value = script.get(section, key)
            if value is None:
                problem('[%s] %s is missing' % (section, key))
                continue
            check_value(section, key, kind, value)
        for name, _, line in script.sections[section]:
            if name.lower() not in known and (section, name.lower()) not in WRITTEN_KEYS:
                problem('line %d: [%s] %s is not a key of the script' % (line, section, name))
    for section in script.sections:
        if section not in SCRIPT_KEYS:
            problem('section [%s] is not read by setup.exe' % section)


def check_value(section, key, kind, value):
    limit = BUFFER_LIMITS[kind]
    if len(value) > limit:
        problem('[%s] %s is %d bytes, more than the %d its buffer holds'
                % (section, key, len(value), limit))
    if kind == 'int':
        if parse_int(value.decode('ascii', 'replace')) is None:
            problem('[%s] %s=%r is not a number' % (section, key, value))
        return
    if value.decode('cp932', 'replace').strip() == '':
        problem('[%s] %s is empty' % (section, key))
    # A double-byte character whose second byte is a backslash, followed by
    # t or n, reads as an escape to a scan that does not step over
    # double-byte characters: keep the sample free of that ambiguity.
    i = 0
    while i < len(value):
        if is_lead_byte(value[i]) and i + 1 < len(value):
            if value[i + 1] == 0x5C and i + 2 < len(value) and value[i + 2] in b'tn':
                problem('[%s] %s: double-byte character ending in a backslash before "%c"'
                        % (section, key, value[i + 2]))
            i += 2
            continue
        if kind == 'path' and value[i] == 0x5C and i + 1 < len(value) and value[i + 1] in b'tn':
            problem('[%s] %s: the registry path holds "\\%c", which is read as an escape'
                    % (section, key, value[i + 1]))
        i += 1


def check_files(script, medium):
    """The [files] list against the medium; returns {target name lower: kind}."""
    targets = {}
    count = script.int('files', 'files') or 0
    dst_total = sys_total = 0
    entries = []
    for n in range(1, count + 1):
        value = script.text('files', 'file_%d' % n)
        if not value:
            continue
        fields = split_fields(value)
        if len(fields) < 5:
            problem('file_%d has %d fields, not five: %s' % (n, len(fields), value))
            continue
        source, target, label, kind_text, size_text = fields[:5]
        kind = parse_int(kind_text) or 0
        size = parse_int(size_text)
        if size is None or size < 0:
            problem('file_%d: size %r is not a number' % (n, size_text))
            continue
        entries.append((n, source, target, kind, size))
        targets[target.lower()] = kind
        if kind == 1:
            dst_total += size
        else:
            sys_total += size
        path = os.path.join(medium, source)
        if not os.path.isfile(path):
            problem('file_%d: %s is not in the medium' % (n, source))
        elif os.path.getsize(path) != size:
            problem('file_%d: %s has %d bytes, the entry says %d'
                    % (n, source, os.path.getsize(path), size))
        else:
            print('ok: file_%d %s -> %s (kind %d, %d bytes, disk "%s")'
                  % (n, source, target, kind, size, label))
        if '@' in value:
            problem('file_%d still holds a token: %s' % (n, value))
    for key, total in (('dsttotal', dst_total), ('systotal', sys_total)):
        stated = script.int('files', key)
        if stated != total:
            problem('%s is %s, the entries add up to %d' % (key, stated, total))
        else:
            print('ok: %s=%d' % (key, total))
    # The installed setup.exe is the uninstaller and reads the installed
    # setup.inf beside it.
    for name in ('setup.exe', 'setup.inf'):
        if targets.get(name) != 1:
            problem('%s is not installed into the destination folder (kind 1)' % name)
    # The uninstaller works through the list entry by entry from the installed
    # script, so the script must be the last entry it deletes.
    if entries and entries[-1][2].lower() != 'setup.inf':
        problem('setup.inf is not the last file entry: removing it earlier hides the entries after it')
    shared = [e for e in entries if e[3] != 1]
    if not shared:
        problem('no shared file (kind other than 1) in the list')
    return targets


def check_consistency(script, targets, medium):
    # Uninstall command: the installed uninstaller with /UNINSTALL.
    command = script.text('registry', 'uninstall_command') or ''
    words = command.split()
    if not words or words[0].lower() not in targets or targets[words[0].lower()] != 1:
        problem('uninstall_command "%s" does not start with an installed program' % command)
    if '/uninstall' not in [w.lower() for w in words[1:]]:
        problem('uninstall_command "%s" lacks /UNINSTALL' % command)
    path_key = script.text('registry', 'path_key') or ''
    if targets.get(path_key.lower()) != 1:
        problem('path_key %s is not an installed program' % path_key)
    for switch in ('version', 'path', 'uninstall'):
        if not script.int('registry', switch):
            problem('[registry] %s is 0: its step never runs' % switch)
    for n in range(1, (script.int('registry', 'classes') or 0) + 1):
        clsid = script.text('registry', 'clsid_%d' % n) or ''
        if not re.fullmatch(r'\{[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}\}', clsid):
            problem('clsid_%d %r is not a class identifier' % (n, clsid))
    # Start-menu items name installed files.
    for n in range(1, (script.int('startmenu', 'menus') or 0) + 1):
        fields = split_fields(script.text('startmenu', 'start_%d' % n) or '')
        if len(fields) < 3:
            problem('start_%d has fewer than three fields' % n)
        elif targets.get(fields[1].lower()) != 1:
            problem('start_%d names %s, which is not installed into the destination folder'
                    % (n, fields[1]))
    # The older-version probe looks where an installation writes.
    if not script.int('oldver', 'check'):
        problem('[oldver] check is 0: the probe never runs')
    key = (script.text('oldver', 'key') or '').lower()
    uninstall_key = (script.text('registry', 'uninstall_key') or '').lower()
    if key == UNINSTALL_ROOT + uninstall_key:
        if (script.text('oldver', 'value') or '').lower() != 'displayname':
            problem('[oldver] value is not DisplayName, which the uninstall entry holds')
        if script.get('oldver', 'data') != script.get('registry', 'uninstall_dispname'):
            problem('[oldver] data differs from uninstall_dispname: a second run finds nothing')
    elif key == 'software\\' + (script.text('registry', 'version_key') or '').lower():
        problem('[oldver] points at the version key, whose only value is unnamed')
    else:
        problem('[oldver] key %s is not a key that the installation writes' % key)
    path = (script.text('oldver', 'path') or '').lower()
    if path != APP_PATHS_ROOT + path_key.lower() or \
            (script.text('oldver', 'dir') or '').lower() != 'path':
        problem('[oldver] path/dir do not name the App Paths value "Path" of %s' % path_key)
    # The licence page.
    licence = script.text('copyright', 'file') or ''
    licence_path = os.path.join(medium, licence)
    if not os.path.isfile(licence_path):
        problem('licence file %s is not in the medium' % licence)
    else:
        data = open(licence_path, 'rb').read()
        if len(data) > LICENCE_LIMIT:
            problem('licence file has %d bytes; the page shows %d' % (len(data), LICENCE_LIMIT))
        if b'\0' in data:
            problem('licence file holds a zero byte')
        if re.search(rb'(?<!\r)\n|\r(?!\n)', data):
            problem('licence file has a line end other than CR LF')
        try:
            data.decode('cp932', errors='strict')
            print('ok: licence %s, %d bytes of CP932 text' % (licence, len(data)))
        except UnicodeDecodeError as error:
            problem('licence file does not decode as CP932: %s' % error)


# --- PE files -------------------------------------------------------------

class PeFile:
    def __init__(self, path):
        self.data = open(path, 'rb').read()
        data = self.data
        if data[:2] != b'MZ':
            raise ValueError('no MZ header')
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('no PE header')
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from('<HHIIIHH', data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from('<H', data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from('<II', data, directories + 8 * i)
                            for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            (virtual_size, virtual_address, raw_size,
             raw_pointer) = struct.unpack_from('<IIII', data, table + 40 * i + 8)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for address, size, pointer in self.sections:
            if address <= rva < address + size:
                return rva - address + pointer
        raise ValueError('address %#x lies in no section' % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode('ascii', 'replace')

    def imports(self):
        rva, size = self.directories[1]
        names = []
        if not rva:
            return names
        at = self.offset(rva)
        while True:
            descriptor = struct.unpack_from('<IIIII', self.data, at)
            if not any(descriptor):
                break
            names.append(self.cstring(descriptor[3]))
            at += 20
        return names

    def exports(self):
        rva, size = self.directories[0]
        if not rva:
            return []
        at = self.offset(rva)
        count, names_rva = struct.unpack_from('<I', self.data, at + 24)[0], \
            struct.unpack_from('<I', self.data, at + 32)[0]
        names_at = self.offset(names_rva)
        return [self.cstring(struct.unpack_from('<I', self.data, names_at + 4 * i)[0])
                for i in range(count)]

    def version_resource(self):
        """Bytes of the first RT_VERSION resource, or None."""
        rva, size = self.directories[2]
        if not rva:
            return None
        base = self.offset(rva)

        def entries(directory):
            named, numbered = struct.unpack_from('<HH', self.data, directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from('<II', self.data, directory + 16 + 8 * i)
                yield name, target

        for type_id, type_target in entries(base):
            if type_id != 16 or not type_target & 0x80000000:
                continue
            names = base + (type_target & 0x7FFFFFFF)
            for _, name_target in entries(names):
                languages = base + (name_target & 0x7FFFFFFF)
                for _, leaf in entries(languages):
                    data_rva, data_size = struct.unpack_from('<II', self.data, base + leaf)
                    start = self.offset(data_rva)
                    return self.data[start:start + data_size]
        return None


def parse_version_block(data, at=0):
    """One VS_VERSIONINFO-style block: (key, value bytes, value type, children)."""
    length, value_length, value_type = struct.unpack_from('<HHH', data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b'\0\0':
        key_end += 2
    key = data[at + 6:key_end].decode('utf-16-le')
    position = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if value_type == 1 else value_length
    value = data[position:position + value_bytes]
    position = (position + value_bytes + 3) & ~3
    children = []
    while position < end:
        child = parse_version_block(data, position)
        children.append(child)
        position = (position + struct.unpack_from('<H', data, position)[0] + 3) & ~3
    return key, value, value_type, children


def check_version(path, expected):
    name = os.path.basename(path)
    try:
        pe = PeFile(path)
        resource = pe.version_resource()
    except (ValueError, struct.error) as error:
        problem('%s: %s' % (name, error))
        return None
    if resource is None:
        problem('%s has no version resource' % name)
        return pe
    key, fixed, _, children = parse_version_block(resource)
    if key != 'VS_VERSION_INFO' or len(fixed) < 52 or \
            struct.unpack_from('<I', fixed, 0)[0] != 0xFEEF04BD:
        problem('%s: the version resource has no fixed file information' % name)
        return pe
    ms, ls = struct.unpack_from('<II', fixed, 8)
    version = '%d.%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    if expected and version != expected:
        problem('%s: file version %s, expected %s' % (name, version, expected))
    strings = {}
    translations = []
    for child_key, _, _, grandchildren in children:
        if child_key == 'StringFileInfo':
            for table_key, _, _, values in grandchildren:
                strings[table_key.upper()] = {
                    k: v.decode('utf-16-le').rstrip('\0') for k, v, _, _ in values}
        elif child_key == 'VarFileInfo':
            for var_key, value, _, _ in grandchildren:
                if var_key == 'Translation':
                    translations += [struct.unpack_from('<HH', value, i)
                                     for i in range(0, len(value) - 3, 4)]
    if '041104B0' not in strings:
        problem('%s: no Japanese Unicode string table (041104B0): %s' % (name, sorted(strings)))
    if (0x0411, 1200) not in translations:
        problem('%s: Translation does not name 0x0411, 1200' % name)
    table = strings.get('041104B0', {})
    for field in ('CompanyName', 'FileDescription', 'FileVersion', 'ProductName',
                  'ProductVersion', 'OriginalFilename', 'LegalCopyright'):
        if not table.get(field):
            problem('%s: version string %s is missing' % (name, field))
    if table.get('OriginalFilename', '').lower() != name.lower():
        problem('%s: OriginalFilename is %s' % (name, table.get('OriginalFilename')))
    print('ok: %s version %s, "%s" by "%s"' % (name, version, table.get('FileDescription'),
                                             table.get('CompanyName')))
    return pe


def check_programs(script, medium, expectations):
    """Version resources, machine, and the program's use of the shared library."""
    count = script.int('files', 'files') or 0
    pes = {}
    for n in range(1, count + 1):
        fields = split_fields(script.text('files', 'file_%d' % n) or '')
        if len(fields) < 5:
            continue
        source, kind = fields[0], parse_int(fields[3]) or 0
        path = os.path.join(medium, source)
        if not os.path.isfile(path) or open(path, 'rb').read(2) != b'MZ':
            continue
        if source.lower() == 'setup.exe':
            try:
                pes[source] = (PeFile(path), kind)
            except (ValueError, struct.error) as error:
                problem('%s: %s' % (source, error))
            continue
        pe = check_version(path, expectations.get(source.lower()))
        if pe:
            pes[source] = (pe, kind)
    machines = {pe.machine for pe, _ in pes.values()}
    if len(machines) > 1:
        problem('PE files for different machines: %s'
                % ', '.join('%s %#x' % (n, p.machine) for n, (p, _) in pes.items()))
    shared = {n: p for n, (p, kind) in pes.items() if kind != 1}
    programs = {n: p for n, (p, kind) in pes.items()
                if kind == 1 and not p.characteristics & 0x2000 and n.lower() != 'setup.exe'}
    for name, pe in shared.items():
        if not pe.characteristics & 0x2000:
            problem('%s is a shared file but not a DLL' % name)
    for name, pe in programs.items():
        imported = {i.lower() for i in pe.imports()}
        for library, library_pe in shared.items():
            if library.lower() not in imported:
                problem('%s does not import %s' % (name, library))
            else:
                print('ok: %s imports %s (exports %s)'
                      % (name, library, ', '.join(library_pe.exports())))
    if not programs:
        problem('no application program in the file list')
    if not shared:
        problem('no shared library in the file list')


def check_template(template_path, output):
    """output must be the template apart from the sizes and totals that setupcheck --fix wrote."""
    numbers = re.compile(rb'^((?:dsttotal|systotal)=|file_\d+=[^\r\n]*,)\d+(\r?)$', re.MULTILINE)
    template = open(template_path, 'rb').read()
    if numbers.sub(rb'\1#\2', template) != numbers.sub(rb'\1#\2', output):
        problem('setup.inf differs from its template in more than the sizes and totals')
        return
    print('ok: setup.inf equals %s byte for byte apart from %d numbers'
          % (template_path, len(numbers.findall(template))))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('medium')
    parser.add_argument('--template', help='the setup.inf template the medium was made from')
    parser.add_argument('--expect-version', action='append', default=[],
                        metavar='FILE=A.B.C.D', help='file version a program must carry')
    args = parser.parse_args()
    expectations = {}
    for item in args.expect_version:
        name, _, version = item.partition('=')
        expectations[name.lower()] = version

    script_path = os.path.join(args.medium, 'setup.inf')
    if not os.path.isfile(os.path.join(args.medium, 'setup.exe')):
        problem('setup.exe is not in the medium')
    if not os.path.isfile(script_path):
        problem('setup.inf is not in the medium')
        return 1
    sections, order, data = read_script(script_path)
    script = Script(sections)
    check_keys(script)
    targets = check_files(script, args.medium)
    check_consistency(script, targets, args.medium)
    check_programs(script, args.medium, expectations)
    if args.template:
        check_template(args.template, data)
    if problems:
        print('%d problem(s) in %s' % (len(problems), args.medium))
        return 1
    print('medium %s: all checks passed' % args.medium)
    return 0


if __name__ == '__main__':
    sys.exit(main())
