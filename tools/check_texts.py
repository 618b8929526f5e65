#!/usr/bin/env python3
"""Fails when a text meant for people is written outside the catalogue of texts.

Every text the program shows comes from the catalogue (the KV_TEXT lines of the .def files), so
that it exists in each interface language. A string or character literal in a source file that
holds anything but ASCII is such a text and is reported, file, line and literal, unless the
file is listed in tools/texts_outside_catalogue.txt: words that are stored in files and must
keep their bytes whatever the language (each line gives the file and the reason).
Usage: check_texts.py [ROOT]
"""
import os
import re
import sys

ALLOWED_LIST = os.path.join("tools", "texts_outside_catalogue.txt")


def literals(source):
    """Yields (line, literal) for every string and character literal, comments left out."""
    i, line, n = 0, 1, len(source)
    while i < n:
        c = source[i]
        if c == "\n":
            line += 1
            i += 1
        elif source.startswith("//", i):
            i = source.find("\n", i)
            i = n if i < 0 else i
        elif source.startswith("/*", i):
            end = source.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += source.count("\n", i, end)
            i = end
        elif c == "R" and source.startswith('R"', i) and not (i and (source[i - 1].isalnum() or source[i - 1] == "_") and source[i - 1] not in "u8LU"):
            m = re.match(r'R"([^(\s]{0,16})\(', source[i:])
            if not m:
                i += 1
                continue
            close = ")" + m.group(1) + '"'
            end = source.find(close, i + m.end())
            end = n if end < 0 else end + len(close)
            yield line, source[i:end]
            line += source.count("\n", i, end)
            i = end
        elif c in "\"'":
            if c == "'" and i and source[i - 1].isalnum() and not source[i - 2 : i] in ("u8",):
                # A digit separator (1'000) or the end of an identifier, not a literal.
                i += 1
                continue
            j = i + 1
            while j < n and source[j] != c and source[j] != "\n":
                j += 2 if source[j] == "\\" else 1
            yield line, source[i : j + 1]
            i = j + 1
        else:
            i += 1


def allowed_files(root):
    path = os.path.join(root, ALLOWED_LIST)
    allowed = set()
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for entry in f:
                entry = entry.split("#", 1)[0].strip()
                if entry:
                    allowed.add(entry)
    return allowed


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    if not os.path.isdir(os.path.join(root, "src")):
        print(f"check_texts: no src folder under {root}")
        return 2
    allowed = allowed_files(root)
    seen_allowed = set()
    faults = 0
    for folder, _, files in sorted(os.walk(os.path.join(root, "src"))):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root)
            with open(path, encoding="utf-8") as f:
                source = f.read()
            found = [(l, t) for l, t in literals(source) if any(ord(ch) > 127 for ch in t)]
            if relative in allowed:
                seen_allowed.add(relative)
                continue
            for line, text in found:
                print(f"{relative}:{line}: a text outside the catalogue: {text}")
                faults += 1
    for stale in sorted(allowed - seen_allowed):
        print(f"{ALLOWED_LIST}: {stale} does not exist")
        faults += 1
    if faults:
        print(f"check_texts: {faults} problem(s); put the texts into the catalogue (a .def file)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
