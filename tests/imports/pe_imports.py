#!/usr/bin/env python3
"""List what a PE file imports: the load-time imports and the delay-loaded ones."""
import struct
import sys


def headers(path):
    """The file's bytes, whether it is PE32+, its image base, the offset of
    its data directories, and its sections as (address, size, file offset,
    size in the file, characteristics)."""
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError(f'{path}: not a PE file')
    _, sections, _, _, _, opt_size, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
    opt = pe + 24
    wide = struct.unpack_from('<H', data, opt)[0] == 0x20B  # PE32+
    base = struct.unpack_from('<Q', data, opt + 24)[0] if wide else struct.unpack_from('<I', data, opt + 28)[0]
    spans = []
    for i in range(sections):
        _, vsize, va, rsize, raw, _, _, _, _, flags = struct.unpack_from('<8sIIIIIIHHI', data, opt + opt_size + 40 * i)
        spans.append((va, max(vsize, rsize), raw, rsize, flags))
    return data, wide, base, opt + (112 if wide else 96), spans


def read_imports(path):
    data, wide, _, dirs, sections = headers(path)
    spans = [span[:4] for span in sections]
    image_end = max(va + size for va, size, _, _ in spans)

    def offset(rva):
        for va, size, raw, rsize in spans:
            if va <= rva < va + size and rva - va < rsize:
                return raw + rva - va
        return None

    def text(rva):
        at = offset(rva)
        if at is None:
            return None
        end = data.find(b'\0', at)
        return data[at:end].decode('latin-1') if end >= 0 else None

    def names(thunks_rva):
        found = []
        step, fmt, by_ordinal = (8, '<Q', 1 << 63) if wide else (4, '<I', 1 << 31)
        at = offset(thunks_rva)
        while at is not None:
            entry = struct.unpack_from(fmt, data, at)[0]
            if entry == 0:
                break
            found.append(f'#{entry & 0xFFFF}' if entry & by_ordinal else text((entry & 0x7FFFFFFF) + 2))
            at += step
        return found

    static = {}
    import_rva = struct.unpack_from('<I', data, dirs + 8)[0]
    at = offset(import_rva) if import_rva else None
    while at is not None:
        lookup, _, _, name, first = struct.unpack_from('<IIIII', data, at)
        if name == 0:
            break
        static.setdefault(text(name).upper(), []).extend(names(lookup or first))
        at += 20

    # The linker leaves the delay-load directory empty, so the descriptors are
    # found by their shape: attributes 1 (addresses are relative), the name of a
    # library, and its module handle, address table and name table inside the
    # image.
    # Before its first call, a delay-loaded function's slot in the address
    # table holds the address of its thunk, which calls the helper; a slot
    # of 0 is a call to address 0.
    delayed = {}
    unset = []
    step, fmt = (8, '<Q') if wide else (4, '<I')
    for va, size, raw, rsize in spans:
        for at in range(raw, raw + rsize - 31, 4):
            attrs, name, hmod, iat, nt, _, _, stamp = struct.unpack_from('<8I', data, at)
            if attrs != 1 or stamp != 0 or not all(0 < r < image_end for r in (name, hmod, iat, nt)):
                continue
            dll = text(name)
            if dll and dll.lower().endswith('.dll') and dll.isprintable():
                functions = names(nt)
                delayed.setdefault(dll.upper(), []).extend(functions)
                for i, function in enumerate(functions):
                    slot = offset(iat + i * step)
                    if slot is None or struct.unpack_from(fmt, data, slot)[0] == 0:
                        unset.append((dll.upper(), function, iat + i * step))
    return static, delayed, unset


def memory_operands(path):
    """The addresses (relative to the image) that the code reads through an
    indirect call, an indirect jump or a load of a register: FF 15 / FF 25,
    and 8B with a memory operand (x86_64: with or without REX, relative to
    the instruction; i686: absolute). A byte scan, not a disassembly: it may
    find a few addresses too many, never one too few."""
    data, wide, base, _, sections = headers(path)
    found = set()
    for va, _, raw, rsize, flags in sections:
        if not flags & 0x20000000:  # IMAGE_SCN_MEM_EXECUTE
            continue
        for at in range(raw, raw + rsize - 6):
            op, modrm = data[at], data[at + 1]
            if not ((op == 0xFF and modrm in (0x15, 0x25)) or (op == 0x8B and modrm & 0xC7 == 0x05)):
                continue
            value = struct.unpack_from('<i' if wide else '<I', data, at + 2)[0]
            found.add(va + (at - raw) + 6 + value if wide else value - base)
    return found


if __name__ == '__main__':
    static, delayed, _ = read_imports(sys.argv[1])
    for kind, imports in (('import', static), ('delay', delayed)):
        for dll in sorted(imports):
            for function in imports[dll]:
                print(kind, dll, function)
