#!/usr/bin/env python3
"""Writes the game makers' reference of the built-in functions and variables (docs/functions.md).

The reference is made from the runner's own function and variable tables, so it lists exactly what games can
call: run it after adding or changing a built-in function or variable.

    tools/docs/make_reference.py build/bin/kvrun > docs/functions.md

With --check FILE it writes nothing and fails when FILE differs from what it would write (the test suite runs
`make_reference.py --check docs/functions.md build/bin/kvrun`).

The runner prints the table with `kvrun --list-reference`, one tab-separated line per entry:
    function <TAB> family <TAB> name <TAB> argument count <TAB> arguments <TAB> summary
    variable <TAB> family <TAB> name <TAB> r|rw <TAB> summary
The output depends on nothing but that table (no dates, no paths), so a test can compare it with the committed file.
"""

import difflib
import io
import re
import subprocess
import sys

UNDESCRIBED = "Undescribed"


def read_table(kvrun):
    run = subprocess.run([kvrun, "--list-reference"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    if run.returncode != 0:
        sys.stderr.write(run.stderr.decode("utf-8", "replace"))
        raise SystemExit("%s --list-reference failed with exit code %d" % (kvrun, run.returncode))
    functions, variables = [], []
    for number, line in enumerate(run.stdout.decode("utf-8").splitlines(), 1):
        fields = line.split("\t")
        if fields[0] == "function" and len(fields) == 6:
            functions.append(dict(zip(("family", "name", "count", "args", "summary"), fields[1:])))
        elif fields[0] == "variable" and len(fields) == 5:
            variables.append(dict(zip(("family", "name", "access", "summary"), fields[1:])))
        else:
            raise SystemExit("line %d of the reference table is not understood: %r" % (number, line))
    return functions, variables


def group(entries):
    """Families in the order of their first entry, the undescribed ones last."""
    families = {}
    for entry in entries:
        families.setdefault(entry["family"], []).append(entry)
    order = [f for f in families if f != UNDESCRIBED] + ([UNDESCRIBED] if UNDESCRIBED in families else [])
    return [(f, families[f]) for f in order]


class Anchors:
    """Heading anchors as GitHub makes them: lower case, punctuation dropped, spaces to hyphens, repeats numbered."""

    def __init__(self):
        self.seen = {}

    def make(self, heading):
        slug = re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
        count = self.seen.get(slug, 0)
        self.seen[slug] = count + 1
        return slug if count == 0 else "%s-%d" % (slug, count)


def cell(text):
    return text.replace("|", "\\|")


def call_form(function):
    if function["family"] == UNDESCRIBED:
        count = function["count"]
        return "`%s` (%s argument%s)" % (function["name"], count, "" if count == "1" else "s")
    return "`%s(%s)`" % (function["name"], function["args"])


def write_reference(functions, variables, out):
    function_families = group(functions)
    variable_families = group(variables)
    anchors = Anchors()
    # Headings in the order they appear, so that repeated titles get GitHub's numbering.
    headings = [("Functions", anchors.make("Functions"))]
    function_anchors = [anchors.make(f) for f, _ in function_families]
    headings.append(("Built-in variables", anchors.make("Built-in variables")))
    variable_anchors = [anchors.make(f) for f, _ in variable_families]

    w = out.write
    w("# Built-in functions and variables\n\n")
    w("This is the reference of every function and variable the runner gives game code, grouped by family. ")
    w("A function is shown as it is called, `name(arguments)`, followed by what it does; ")
    w("the argument names say what each argument is. ")
    w("A list of arguments ending in `...` takes a variable number of arguments (at most 16). ")
    w("Positions in strings count from 1, positions in lists and grids from 0, angles are degrees unless the ")
    w("entry says radians, and a true/false argument or result is 1 or 0.\n\n")
    w("Built-in variables are read and set like any other variable; those marked *read-only* cannot be set. ")
    w("A variable described as an array takes an index in square brackets, for example `alarm[0]`.\n\n")
    w("The file is generated from the runner's own tables; do not edit it by hand. After changing a built-in ")
    w("function or variable, regenerate it with\n\n")
    w("    tools/docs/make_reference.py build/bin/kvrun > docs/functions.md\n\n")
    w("%d functions, %d variables.\n\n" % (len(functions), len(variables)))

    w("## Contents\n\n")
    w("- [Functions](#%s)\n" % headings[0][1])
    for (family, entries), anchor in zip(function_families, function_anchors):
        w("  - [%s](#%s) (%d)\n" % (family, anchor, len(entries)))
    w("- [Built-in variables](#%s)\n" % headings[1][1])
    for (family, entries), anchor in zip(variable_families, variable_anchors):
        w("  - [%s](#%s) (%d)\n" % (family, anchor, len(entries)))

    w("\n## Functions\n")
    for family, entries in function_families:
        w("\n### %s\n\n" % family)
        w("| Function | Description |\n|---|---|\n")
        for f in entries:
            summary = f["summary"] if f["family"] != UNDESCRIBED else "Not described yet."
            w("| %s | %s |\n" % (cell(call_form(f)), cell(summary)))

    w("\n## Built-in variables\n")
    for family, entries in variable_families:
        w("\n### %s\n\n" % family)
        w("| Variable | Description |\n|---|---|\n")
        for v in entries:
            summary = v["summary"] if v["family"] != UNDESCRIBED else "Not described yet."
            mark = " *read-only*" if v["access"] == "r" else ""
            w("| `%s`%s | %s |\n" % (v["name"], mark, cell(summary)))


def check(committed_path, generated):
    """0 when the committed reference is the generated one; otherwise says what differs and how to fix it."""
    try:
        with open(committed_path, encoding="utf-8") as f:
            committed = f.read()
    except OSError as e:
        committed = ""
        print("cannot read %s: %s" % (committed_path, e))
    if committed == generated:
        return 0
    diff = difflib.unified_diff(committed.splitlines(True), generated.splitlines(True), committed_path, "generated")
    sys.stdout.writelines(list(diff)[:60])
    print("\n%s is out of date with the runner's function and variable tables. Regenerate it with\n"
          "    tools/docs/make_reference.py build/bin/kvrun > docs/functions.md" % committed_path)
    return 1


def main():
    args = sys.argv[1:]
    committed = None
    if len(args) == 3 and args[0] == "--check":
        committed, args = args[1], args[2:]
    if len(args) != 1:
        raise SystemExit("usage: make_reference.py [--check docs/functions.md] path/to/kvrun > docs/functions.md")
    functions, variables = read_table(args[0])
    text = io.StringIO()
    write_reference(functions, variables, text)
    if committed is not None:
        sys.exit(check(committed, text.getvalue()))
    sys.stdout.write(text.getvalue())


if __name__ == "__main__":
    main()
