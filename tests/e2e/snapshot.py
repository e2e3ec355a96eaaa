#!/usr/bin/env python3
"""Snapshots of a Wine prefix for the fault suite: what changed, and whether all of it was ours to change.

  snapshot.py take <prefix> <out.json> <registry file>...
      Records every file and folder of the prefix (type, size, modification time, link target) and every
      key and value of the given registry files (`wine reg export` files or hives saved by RegSaveKey).
  snapshot.py diff <before.json> <after.json> [--all] [--allow-file PATH]... [--allow-key KEY]...
      Prints each change (with --all, also those inside the allowed places) outside the allowed paths and keys (a path or key allows itself and everything
      below it; keys compare case-insensitively, as Windows does) and a closing line
      "compared A files, B keys; changed: F files, K keys; outside: N". Exits 1 when anything changed outside.

The registry hives themselves (system.reg, user.reg, userdef.reg) are left out of the file list: their
contents are compared through the registry files instead.
"""
import json
import os
import re
import sys

HIVES = {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"}


def file_entries(prefix):
    entries = {}
    for folder, dirs, files in os.walk(prefix):
        rel_folder = os.path.relpath(folder, prefix)
        if rel_folder == "dosdevices" or rel_folder.startswith("dosdevices" + os.sep):
            dirs[:] = []
            continue
        for name in dirs + files:
            path = os.path.join(folder, name)
            rel = os.path.normpath(os.path.join(rel_folder, name))
            if rel in HIVES:
                continue
            st = os.lstat(path)
            if os.path.islink(path):
                entries[rel] = ["link", os.readlink(path)]
            elif os.path.isdir(path):
                entries[rel] = ["dir"]
            else:
                entries[rel] = ["file", st.st_size, st.st_mtime_ns]
    return entries


# The root a hive file saved by Wine names in its header (";; All keys relative to REGISTRY\\Machine").
HIVE_ROOTS = {"machine": "HKEY_LOCAL_MACHINE", "user": "HKEY_CURRENT_USER"}


def hive_path(escaped):
    """A key path as Wine's hive files write it ("Software\\Classes", "\x4e00" for a UTF-16 unit beyond
    ASCII), unescaped."""
    text = re.sub(r"\\(x[0-9a-fA-F]{1,4}|.)",
                  lambda m: chr(int(m.group(1)[1:], 16)) if len(m.group(1)) > 1 else m.group(1), escaped)
    return text.encode("utf-16-le", "surrogatepass").decode("utf-16-le")


def read_export(path):
    """Keys of a regedit export (UTF-16 with BOM, or plain text) or of a hive file saved by Wine
    (RegSaveKey: "[Key\\Path] <time>" lines, key paths relative to the saved root, keys that only have
    subkeys left out) mapped to their value lines. Both give every key with its parents, from the root
    down."""
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8", "replace")
    root = re.match(r"WINE REGISTRY Version 2\r?\n;; All keys relative to (?:\\\\)?Registry\\\\(\w+)", text, re.I)
    if root:
        root = HIVE_ROOTS[root.group(1).lower()]
    keys, current, pending = {}, None, ""
    for line in text.splitlines():
        if pending:
            line, pending = pending + line.strip(), ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        saved = re.fullmatch(r"\[(.*)\] \d+", line) if root else None
        if saved:
            current = "\\".join(filter(None, (root, hive_path(saved.group(1)))))
            keys.setdefault(current, {})
        elif line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys.setdefault(current, {})
        elif current is not None and "=" in line:
            name, _, data = line.partition("=")
            if name.startswith("#"):  # Wine's time stamps of a key, not a value
                continue
            keys[current][name] = data
    for key in list(keys):
        while "\\" in key:
            key = key.rsplit("\\", 1)[0]
            keys.setdefault(key, {})
    return keys


def take(prefix, out, exports):
    registry = {}
    for export in exports:
        registry.update(read_export(export))
    with open(out, "w", encoding="utf-8") as f:
        json.dump({"files": file_entries(prefix), "keys": registry}, f)


def under(item, allowed, fold):
    norm = (lambda s: s.lower()) if fold else (lambda s: s)
    item = norm(item)
    for a in allowed:
        a = norm(a).rstrip("\\/")
        if item == a or item.startswith(a + "\\") or item.startswith(a + "/"):
            return True
    return False


def changes(before, after):
    names = set(before) | set(after)
    return sorted(n for n in names if before.get(n) != after.get(n))


def report(kind, changed, before, after, allowed, fold, show_all):
    """Prints the changes outside the allowed places (all of them with show_all); returns how many were
    outside."""
    outside = 0
    for item in changed:
        inside = under(item, allowed, fold)
        outside += not inside
        if show_all or not inside:
            label = f"[{item}]" if kind == "key" else item
            print(f"{'inside' if inside else 'outside'}: {kind} {label}: {before.get(item)} -> {after.get(item)}")
    return outside


def diff(before_path, after_path, allow_files, allow_keys, show_all=False):
    before = json.load(open(before_path, encoding="utf-8"))
    after = json.load(open(after_path, encoding="utf-8"))
    files = changes(before["files"], after["files"])
    keys = changes(before["keys"], after["keys"])
    outside = report("file", files, before["files"], after["files"], allow_files, False, show_all)
    outside += report("key", keys, before["keys"], after["keys"], allow_keys, True, show_all)
    compared = len(set(before["files"]) | set(after["files"])), len(set(before["keys"]) | set(after["keys"]))
    print(f"compared {compared[0]} files, {compared[1]} keys; changed: {len(files)} files, {len(keys)} keys; "
          f"outside: {outside}")
    return 1 if outside else 0


def main(argv):
    if len(argv) >= 4 and argv[1] == "take":
        take(argv[2], argv[3], argv[4:])
        return 0
    if len(argv) >= 4 and argv[1] == "diff":
        allow_files, allow_keys, rest = [], [], argv[4:]
        show_all = "--all" in rest
        rest = [a for a in rest if a != "--all"]
        while rest:
            opt, value, rest = rest[0], rest[1], rest[2:]
            (allow_files if opt == "--allow-file" else allow_keys).append(value)
        return diff(argv[2], argv[3], allow_files, allow_keys, show_all)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
