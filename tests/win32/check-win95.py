#!/usr/bin/env python3
"""Checks that Windows 95 as it shipped (4.00.950, no updates) would load the programs: every PE
file given (or found in a given folder, SZDD files expanded) is an i386 image for Windows 4.0
whose every import is a DLL!function pair on the committed list of what Windows 95 provides, with
no other C runtime than CRTDLL.DLL, and whose code (disassembled with --objdump) has no
instruction that the 386 lacks. Wine cannot stand in for this: it loads what
Windows 95 refuses, on whatever processor runs it. Also checks size limits and prints sizes.
usage: check-win95.py --list FILE [--objdump PROG] [--require NAME[=LIMIT]]...
                      [--stand-in NAME]... PATH..."""
import argparse
import importlib.util
import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location(
    "check_disk", os.path.join(HERE, "..", "setup", "check-disk.py"))
_disk = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_disk)

# The DLLs of Windows 95 that the programs may name; CRTDLL is the C runtime it ships.
WIN95_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "COMCTL32.DLL",
              "COMDLG32.DLL", "SHELL32.DLL", "OLE32.DLL", "VERSION.DLL", "CRTDLL.DLL"}


def is_c_runtime(dll):
    return dll.startswith(("MSVCR", "MSVCP", "UCRTBASE", "API-MS-WIN-CRT")) or dll == "MSVCRT.DLL"


# Windows 95 runs on a 386. The 486 brought BSWAP, CMPXCHG and XADD; the Pentium CPUID, RDTSC and
# CMPXCHG8B; the Pentium Pro CMOV, FCMOV, FCOMI and the multi-byte NOP (0F 1F); MMX and SSE later
# still (their registers, EMMS, the prefetches and fences).
LATER_CPU = re.compile(r"^((lock|rep\w*|[c-gs]s|data16|addr16) +)*(f?cmov\w*|fu?comip?|nop[wl]|bswap|"
                       r"cmpxchg\w*|xadd\w?|cpuid|rdtsc|emms|prefetch\w*|[lsm]fence)\b|%x?mm\d")


def later_instructions(data, objdump):
    with tempfile.NamedTemporaryFile(suffix=".exe") as f:
        f.write(data)
        f.flush()
        listing = subprocess.run([objdump, "-d", f.name], check=True, capture_output=True,
                                 text=True).stdout
    # A code line is "address:<tab>bytes<tab>instruction"; only the instruction is matched, not
    # the names of symbols it refers to.
    found = []
    for line in listing.splitlines():
        fields = line.split("\t")
        if len(fields) >= 3 and LATER_CPU.search(re.sub(r"<[^>]*>", "", fields[2])):
            found.append(line.strip())
    return found


def read_list(path):
    allowed = set()
    for line in open(path, encoding="utf-8"):
        entry = line.split("#", 1)[0].strip()
        if entry:
            dll, function = entry.split("!", 1)
            allowed.add((dll.upper(), function))
    return allowed


def imports_and_headers(data):
    """(problems with the headers, [(DLL, function or None for an ordinal)])."""
    if data[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    machine, sections, _, _, _, opt_size, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    problems = []
    if machine != 0x14C:
        problems.append(f"machine {machine:#x}, not i386")
    if struct.unpack_from("<H", data, opt)[0] != 0x10B:
        return ["not a PE32 image"], []
    os_version = struct.unpack_from("<HH", data, opt + 40)
    subsystem_version = struct.unpack_from("<HH", data, opt + 48)
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    if os_version != (4, 0):
        problems.append(f"OS version {os_version[0]}.{os_version[1]}, not 4.0")
    if subsystem_version != (4, 0):
        problems.append(f"subsystem version {subsystem_version[0]}.{subsystem_version[1]}, not 4.0")
    is_dll = characteristics & 0x2000
    if subsystem != 2 and not (is_dll and subsystem == 3):
        problems.append(f"subsystem {subsystem}, not Windows GUI")
    directories = struct.unpack_from("<I", data, opt + 92)[0]
    table = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(directories)]
    if directories > 13 and table[13][0]:
        problems.append("delay-load imports, which Windows 95 does not know")
    spans = [struct.unpack_from("<8sIIII", data, opt + opt_size + 40 * i) for i in range(sections)]

    def offset(rva):
        for _, vsize, vaddr, rawsize, raw in spans:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return raw + rva - vaddr
        raise ValueError(f"RVA {rva:#x} outside every section")

    def cstring(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    found = []
    if directories > 1 and table[1][0]:
        at = offset(table[1][0])
        while True:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", data, at)
            if not name:
                break
            dll = cstring(name).upper()
            thunk = offset(lookup or first)
            while True:
                value = struct.unpack_from("<I", data, thunk)[0]
                if not value:
                    break
                found.append((dll, None if value & 0x80000000 else cstring(value + 2)))
                thunk += 4
            at += 20
    return problems, found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", required=True)
    parser.add_argument("--objdump")
    parser.add_argument("--require", action="append", default=[])
    parser.add_argument("--stand-in", action="append", default=[])
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    allowed = read_list(args.list)
    limits = dict((r.split("=") + [None])[:2] for r in args.require)
    files = []
    for path in args.paths:
        if os.path.isdir(path):
            files += [os.path.join(path, n) for n in sorted(os.listdir(path))]
        else:
            files.append(path)
    bad, used, checked = [], set(), set()
    for path in files:
        name = os.path.basename(path)
        data = open(path, "rb").read()
        if data[:4] == b"SZDD":
            data = _disk.expand(data)
        result = imports_and_headers(data)
        if result is None:
            continue
        if name in args.stand_in:
            print(f"{name}: skipped, the driver stand-in of the tests, not a Windows 95 program")
            continue
        checked.add(name)
        problems, found = result
        bad += [f"{name}: {p}" for p in problems]
        for dll, function in found:
            if is_c_runtime(dll):
                bad.append(f"{name}: imports {dll}!{function}; the only C runtime of Windows 95 is CRTDLL.DLL")
            elif dll not in WIN95_DLLS:
                bad.append(f"{name}: imports from {dll}, which Windows 95 does not ship")
            elif function is None:
                bad.append(f"{name}: imports {dll} by ordinal")
            elif (dll, function) not in allowed:
                bad.append(f"{name}: imports {dll}!{function}, not on the list of Windows 95's functions")
            else:
                used.add((dll, function))
        if args.objdump:
            later = later_instructions(data, args.objdump)
            if later:
                bad.append(f"{name}: {len(later)} instructions a 386 lacks, first: {later[0]}")
        limit = limits.get(name)
        note = f" (limit {int(limit):,})" if limit else ""
        print(f"{name}: {len(data):,} bytes{note}, {len(found)} imports")
        if limit and len(data) > int(limit):
            bad.append(f"{name}: {len(data):,} bytes, over its limit of {int(limit):,}")
    bad += [f"{name}: missing" for name in limits if name not in checked]
    for dll, function in sorted(allowed - used):
        print(f"note: {dll}!{function} is on the list but no program imports it")
    for b in bad:
        print("FAILED:", b)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
