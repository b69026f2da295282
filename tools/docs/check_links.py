#!/usr/bin/env python3
"""Checks the relative links of Markdown documents: every linked file exists, and every #anchor names a heading
of the linked document (as the usual Markdown renderers make heading anchors).

    tools/docs/check_links.py README.md docs tools/kvpack/README.md

A folder argument stands for every .md file below it. Links to web addresses and links inside code blocks or code
spans are not checked. Exit code 0 when every link resolves; otherwise each bad link is printed as
FILE:LINE: link and the exit code is 1. The test suite runs it on the source tree and on an installed copy.
"""

import os
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)\)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
EXPLICIT_ANCHOR = re.compile(r'<a\s+(?:name|id)="([^"]+)"')


def slug(heading):
    text = re.sub(r"`|\*\*?|_(?=\w)|(?<=\w)_", "", heading).strip().lower()
    text = re.sub(r"\]\([^)]*\)", "", text).replace("[", "")
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def prose_lines(path):
    """The lines of a document with code blocks blanked and code spans removed, numbered from 1."""
    fenced = False
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if line.lstrip().startswith("```"):
                fenced = not fenced
                continue
            if fenced or line.startswith("    "):
                continue
            yield number, re.sub(r"`[^`]*`", "", line)


def anchors(path, cache={}):
    if path not in cache:
        found, seen = set(), {}
        for _, line in prose_lines(path):
            found.update(EXPLICIT_ANCHOR.findall(line))
            m = HEADING.match(line)
            if m:
                s = slug(m.group(2))
                n = seen.get(s, 0)
                seen[s] = n + 1
                found.add(s if n == 0 else "%s-%d" % (s, n))
        cache[path] = found
    return cache[path]


def documents(arguments):
    for arg in arguments:
        if os.path.isdir(arg):
            for root, _, files in sorted(os.walk(arg)):
                for name in sorted(files):
                    if name.endswith(".md"):
                        yield os.path.join(root, name)
        else:
            yield arg


def main(argv):
    if len(argv) < 2:
        raise SystemExit("usage: check_links.py FILE.md|DIR...")
    bad = checked = 0
    for doc in documents(argv[1:]):
        for number, line in prose_lines(doc):
            for target in LINK.findall(line):
                if re.match(r"[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                    continue  # a web address or mail link
                checked += 1
                path, _, fragment = target.partition("#")
                linked = os.path.normpath(os.path.join(os.path.dirname(doc), path)) if path else doc
                if not os.path.exists(linked):
                    print("%s:%d: %s: no such file" % (doc, number, target))
                    bad += 1
                elif fragment and linked.endswith(".md") and fragment not in anchors(linked):
                    print("%s:%d: %s: no such heading" % (doc, number, target))
                    bad += 1
    if checked == 0:
        print("no links found (wrong arguments?)")
        return 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
