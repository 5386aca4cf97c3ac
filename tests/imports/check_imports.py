#!/usr/bin/env python3
"""Check setup.exe's imports against the functions every supported Windows has.

    check_imports.py SETUP_EXE TABLE

A 32-bit setup.exe must ask for no later system than 4.0 in its header.
Every function that setup.exe imports at load time must be in TABLE
(windows95_imports.txt) as one that every supported version exports; a
delay-loaded function may also be one marked "stand-in" (the failure hook
answers it where it is missing), and its slot in the address table must lead
to its thunk. Prints each import that breaks the rule and
exits 1; exits 0 with a count when all are allowed.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_imports import memory_operands, read_imports  # noqa: E402


def read_table(path, wide):
    allowed = {}
    library = None
    for number, line in enumerate(open(path, encoding='utf-8'), 1):
        line = line.split('#', 1)[0].strip()
        if not line:
            continue
        if line.startswith('[') and line.endswith(']'):
            library = line[1:-1].upper()
            continue
        fields = line.split()
        if library is None or len(fields) > 2 or (len(fields) == 2 and fields[1] not in ('x86_64', 'stand-in')):
            sys.exit(f'{path}:{number}: not a table row: {line}')
        kind = fields[1] if len(fields) == 2 else 'always'
        if kind == 'x86_64':
            if not wide:
                continue
            kind = 'always'
        allowed[(library, fields[0])] = kind
    return allowed


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    exe, table = sys.argv[1:]
    data = open(exe, 'rb').read(4096)
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    wide = struct.unpack_from('<H', data, pe + 24)[0] == 0x20B
    allowed = read_table(table, wide)
    faults = []
    # The loaders of Windows 95 and NT 4.0 refuse a 32-bit program that asks
    # for a later version of the system or its subsystem.
    os_major, _, _, _, subsystem_major = struct.unpack_from('<5H', data, pe + 24 + 40)
    if not wide and (os_major > 4 or subsystem_major > 4):
        faults.append(f'the header asks for Windows {max(os_major, subsystem_major)} or later; '
                      'Windows 95 and NT 4.0 load only 4.0')
    static, delayed, unset = read_imports(exe)
    # An empty slot that no code reads belongs to a function the linker
    # dropped as unused; one that code calls through is a call of address 0.
    read = memory_operands(exe)
    for library, function, slot in unset:
        if slot in read:
            faults.append(f'{library} {function}: delay-loaded, but its address-table slot is empty '
                          '(no thunk): its first call jumps to address 0')
    count = 0
    for kind, imports in (('imported', static), ('delay-loaded', delayed)):
        for library, functions in sorted(imports.items()):
            for function in functions:
                count += 1
                rule = allowed.get((library, function))
                if rule is None:
                    faults.append(f'{library} {function}: {kind}, but not in the table of functions '
                                  'every supported Windows has; fetch it with GetProcAddress')
                elif rule == 'stand-in' and kind == 'imported':
                    faults.append(f'{library} {function}: imported at load time, but some supported '
                                  'Windows lacks it; delay-load it or fetch it with GetProcAddress')
    # A program with windows calls user32 in some form: finding none means
    # the reader missed the delay-load descriptors, not that all is well.
    if 'KERNEL32.DLL' not in static or not ('USER32.DLL' in static or 'USER32.DLL' in delayed):
        faults.append('kernel32 or user32 imports not found: not a setup.exe as built')
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f'{count} imports of {os.path.basename(exe)}, all allowed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
