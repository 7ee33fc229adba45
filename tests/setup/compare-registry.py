#!/usr/bin/env python3
"""Compares two registry exports: after an installation and its removal from the floppy, the
registry must be as before, except for keys that the installation created to hold its values and
that stay behind empty (the Run, RunOnce, Help, App Paths, Uninstall and VxD parents).
usage: compare-registry.py BEFORE AFTER
With --value it prints one value of an export instead (nothing when absent), as `reg query`
would give it: compare-registry.py --value EXPORT KEY NAME ("" for the key's default value)."""
import re
import sys

MAY_STAY_EMPTY = [
    r"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run(Once)?",
    r"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Help",
    r"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\(App Paths|Uninstall)",
    r"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD",
]
# Wine keeps its own bookkeeping here; it is not setup's.
IGNORED = [r"HKEY_LOCAL_MACHINE\\Software\\Wine(\\.*)?"]


def parse(path):
    keys, key = {}, None
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1].lower()
            keys.setdefault(key, {})
        elif key is not None and "=" in line and not line.startswith(";"):
            name, _, data = line.partition("=")
            keys[key][name.lower()] = data
    return keys


def matches(patterns, key):
    return any(re.fullmatch(p.lower(), key) for p in patterns)


def value(path, key, name):
    key = key.lower()
    for short, full in (("hkcr\\", "hkey_local_machine\\software\\classes\\"),
                        ("hklm\\", "hkey_local_machine\\"), ("hkcu\\", "hkey_current_user\\")):
        if key.startswith(short):
            key = full + key[len(short):]
    data = parse(path).get(key, {}).get('"%s"' % name.lower() if name else "@")
    if data is None:
        return ""
    if data.startswith('"') and data.endswith('"'):
        return re.sub(r'\\(.)', r"\1", data[1:-1])
    return data


if sys.argv[1] == "--value":
    print(value(*sys.argv[2:5]))
    sys.exit(0)

before, after = parse(sys.argv[1]), parse(sys.argv[2])
problems = []
for key in sorted(set(before) | set(after)):
    if matches(IGNORED, key):
        continue
    if key not in after:
        problems.append(f"key removed: {key}")
    elif key not in before:
        if after[key] or not matches(MAY_STAY_EMPTY, key):
            problems.append(f"key added: {key} {after[key]}")
    elif before[key] != after[key]:
        for name in sorted(set(before[key]) | set(after[key])):
            if before[key].get(name) != after[key].get(name):
                problems.append(f"{key} {name}: {before[key].get(name)} -> {after[key].get(name)}")
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
