#!/usr/bin/env python3
"""Checks a Windows executable without running it:

    check_pe.py FILE --machine i386|amd64 [--gui]

It must be a PE image for that machine (PE32 for i386, PE32+ for amd64),
of the GUI subsystem with --gui, and import only DLLs that every Windows
system has: none of the MinGW runtime (libstdc++, libgcc, libwinpthread),
which the program links statically. Prints what it found; exit 0 when all
holds, 1 otherwise.
"""
import argparse
import struct
import sys

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


def imports(data, pe, magic):
    opt = pe + 24
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, dirs + 8)[0]
    sections = []
    for i in range(sections_count):
        s = opt + opt_size + 40 * i
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def to_offset(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(f"RVA {rva:#x} is in no section")

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
    dlls = imports(data, pe, magic)
    for dll in dlls:
        if dll.lower() not in SYSTEM_DLLS and not dll.lower().startswith("api-ms-win-"):
            problems.append(f"imports {dll}, not a system DLL")
    print(f"{args.file}: machine {machine:#06x}, magic {magic:#x}, subsystem {subsystem}, imports {', '.join(dlls)}")
    for p in problems:
        print("  problem: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
