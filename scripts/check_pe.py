#!/usr/bin/env python3
"""Checks a Windows executable without running it:

    check_pe.py FILE --machine i386|amd64 [--gui] [--version A.B.C.D] [--stripped] [--dpi-aware]

It must be a PE image for that machine (PE32 for i386, PE32+ for amd64),
of the GUI subsystem with --gui, and import only DLLs that every Windows
system has: none of the MinGW runtime (libstdc++, libgcc, libwinpthread),
which the program links statically. With --version it must carry a version
resource of that version (fixed part and FileVersion/ProductVersion texts)
with every text Explorer shows; with --stripped it must hold no debug
section and no symbols; with --dpi-aware its manifest must declare
per-monitor DPI awareness (dpiAwareness PerMonitorV2 first, then
PerMonitor, and dpiAware true/pm for systems that know only that). Prints what it found; exit 0 when all holds,
1 otherwise.
"""
import argparse
import struct
import sys
from xml.etree import ElementTree

MACHINES = {"i386": (0x014C, 0x10B), "amd64": (0x8664, 0x20B)}
SUBSYSTEM_GUI = 2
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "gdiplus.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "winmm.dll", "wininet.dll", "msvcrt.dll", "ws2_32.dll",
    "shlwapi.dll", "crypt32.dll", "version.dll", "ntdll.dll", "rpcrt4.dll", "urlmon.dll", "secur32.dll",
}


def read_c_string(data, offset):
    end = data.index(b"\0", offset)
    return data[offset:end].decode("ascii", "replace")


VERSION_TEXTS = ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "OriginalFilename",
                 "ProductName", "ProductVersion")
RT_VERSION = 16
RT_MANIFEST = 24


def sections_of(data, pe):
    """(name, va, size, raw offset) of every section; long names ("/123")
    resolved through the COFF string table when the image still has one."""
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    symbols_at, symbols_count = struct.unpack_from("<II", data, pe + 12)
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    strings_at = symbols_at + 18 * symbols_count if symbols_at else 0
    sections = []
    for i in range(sections_count):
        s = pe + 24 + opt_size + 40 * i
        name = data[s:s + 8].rstrip(b"\0").decode("ascii", "replace")
        if name.startswith("/") and name[1:].isdigit() and strings_at:
            name = read_c_string(data, strings_at + int(name[1:]))
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((name, va, max(vsize, rawsize), rawptr))
    return sections


def rva_reader(sections):
    def to_offset(rva):
        for _, va, size, raw in sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(f"RVA {rva:#x} is in no section")
    return to_offset


def data_directory(data, pe, magic, index):
    dirs = pe + 24 + (96 if magic == 0x10B else 112)
    return struct.unpack_from("<II", data, dirs + 8 * index)


def resource_bytes(data, pe, magic, to_offset, kind):
    """The bytes of the first resource of the type, or None."""
    rsrc_rva, _ = data_directory(data, pe, magic, 2)
    if rsrc_rva == 0:
        return None
    base = to_offset(rsrc_rva)

    def entries(table):  # (id or None for named, offset, is a directory)
        named, ids = struct.unpack_from("<HH", data, table + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, table + 16 + 8 * i)
            yield (None if name & 0x80000000 else name), base + (target & 0x7FFFFFFF), bool(target & 0x80000000)

    node = next((off for ident, off, is_dir in entries(base) if ident == kind and is_dir), None)
    if node is None:
        return None
    for _ in range(2):  # name level, then language level: take the first
        first = next(entries(node), None)
        if first is None:
            return None
        node = first[1]
        if not first[2]:
            break
    blob_rva, blob_size = struct.unpack_from("<II", data, node)
    return data[to_offset(blob_rva):to_offset(blob_rva) + blob_size]


def dpi_awareness(data, pe, magic, to_offset):
    """(dpiAwareness values, dpiAware text) of the manifest, or None when
    the image has no manifest."""
    manifest = resource_bytes(data, pe, magic, to_offset, RT_MANIFEST)
    if manifest is None:
        return None
    root = ElementTree.fromstring(manifest)
    found = {}
    for element in root.iter():
        name = element.tag.rsplit("}", 1)[-1]
        if name in ("dpiAwareness", "dpiAware"):
            found[name] = (element.text or "").strip()
    awareness = [v.strip() for v in found.get("dpiAwareness", "").split(",") if v.strip()]
    return awareness, found.get("dpiAware")


def version_resource(data, pe, magic, to_offset):
    """The first RT_VERSION resource as (fixed (file, product) versions,
    {text name: value}), or None when the image has none."""
    blob = resource_bytes(data, pe, magic, to_offset, RT_VERSION)
    if blob is None:
        return None

    def block(at):  # (end, key, value bytes, value type, children start)
        length, value_length, value_type = struct.unpack_from("<HHH", blob, at)
        key_end = at + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if value_type == 1 else value_length
        return at + length, key, blob[value_at:value_at + value_size], value_type, (value_at + value_size + 3) & ~3

    end, key, fixed, _, child = block(0)
    if key != "VS_VERSION_INFO" or len(fixed) < 52 or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        return None
    fms, fls, pms, pls = struct.unpack_from("<IIII", fixed, 8)

    def dotted(ms, ls):
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    texts = {}
    while child < end:
        child_end, key, _, _, table = block(child)
        if key == "StringFileInfo":
            while table < child_end:
                table_end, _, _, _, item = block(table)
                while item < table_end:
                    item_end, name, value, _, _ = block(item)
                    texts[name] = value.decode("utf-16-le").rstrip("\0")
                    item = (item_end + 3) & ~3
                table = (table_end + 3) & ~3
        child = (child_end + 3) & ~3
    return (dotted(fms, fls), dotted(pms, pls)), texts


def imports(data, pe, magic, to_offset):
    import_rva = data_directory(data, pe, magic, 1)[0]
    names = []
    if import_rva == 0:
        return names
    d = to_offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, d + 12)[0]
        if name_rva == 0:
            break
        names.append(read_c_string(data, to_offset(name_rva)))
        d += 20
    return names


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("--machine", choices=MACHINES, required=True)
    ap.add_argument("--gui", action="store_true")
    ap.add_argument("--version", metavar="A.B.C.D")
    ap.add_argument("--stripped", action="store_true")
    ap.add_argument("--dpi-aware", action="store_true")
    args = ap.parse_args()
    data = open(args.file, "rb").read()
    problems = []
    if data[:2] != b"MZ":
        print(f"{args.file}: not an MZ/PE file")
        return 1
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        print(f"{args.file}: no PE signature")
        return 1
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0]
    want_machine, want_magic = MACHINES[args.machine]
    if machine != want_machine:
        problems.append(f"machine {machine:#06x}, want {want_machine:#06x}")
    if magic != want_magic:
        problems.append(f"optional header magic {magic:#x}, want {want_magic:#x}")
    if args.gui and subsystem != SUBSYSTEM_GUI:
        problems.append(f"subsystem {subsystem}, want {SUBSYSTEM_GUI} (GUI)")
    sections = sections_of(data, pe)
    to_offset = rva_reader(sections)
    dlls = imports(data, pe, magic, to_offset)
    for dll in dlls:
        if dll.lower() not in SYSTEM_DLLS and not dll.lower().startswith("api-ms-win-"):
            problems.append(f"imports {dll}, not a system DLL")
    print(f"{args.file}: machine {machine:#06x}, magic {magic:#x}, subsystem {subsystem}, imports {', '.join(dlls)}")
    if args.version:
        found = version_resource(data, pe, magic, to_offset)
        if found is None:
            problems.append("no version resource")
        else:
            (file_version, product_version), texts = found
            print(f"  version resource: {file_version} / {product_version}; "
                  + "; ".join(f"{k}={v}" for k, v in texts.items()))
            for what, got in (("file version", file_version), ("product version", product_version),
                              ("FileVersion text", texts.get("FileVersion")),
                              ("ProductVersion text", texts.get("ProductVersion"))):
                if got != args.version:
                    problems.append(f"{what} {got}, want {args.version}")
            for name in VERSION_TEXTS:
                if not texts.get(name):
                    problems.append(f"version resource without {name}")
    if args.stripped:
        names = [name for name, _, _, _ in sections]
        print(f"  sections: {', '.join(names)}")
        for name in names:
            if name.startswith((".debug", ".zdebug", ".stab")) or (name.startswith("/") and name[1:].isdigit()):
                problems.append(f"section {name} left in")
        # A stripped image may keep the string table (.gnu_debuglink is a
        # long name), but no symbols.
        if struct.unpack_from("<I", data, pe + 16)[0]:
            problems.append("symbols left in")
    if args.dpi_aware:
        found = dpi_awareness(data, pe, magic, to_offset)
        if found is None:
            problems.append("no manifest")
        else:
            awareness, aware = found
            print(f"  manifest: dpiAwareness {', '.join(awareness) or '(none)'}; dpiAware {aware}")
            if [v.lower() for v in awareness[:2]] != ["permonitorv2", "permonitor"]:
                problems.append(f"dpiAwareness {awareness}, want PerMonitorV2, PerMonitor")
            if (aware or "").lower() != "true/pm":
                problems.append(f"dpiAware {aware!r}, want true/pm")
    for p in problems:
        print("  problem: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
