#!/usr/bin/python3
"""Checks one saved WMA file with mutagen against what the save test expects of it.

usage: check-saves.py SAVED EXPECT FIXTURE_DIR
EXPECT lines: "fixture<TAB>NAME" (the file the save started from), "changed<TAB>ATTRIBUTE" (attributes the
save meant to change), "line<TAB>DUMP-LINE" (a line mutagen must print), "count<TAB>ATTRIBUTE<TAB>N" (the
number of values the attribute must have). Every other line of the fixture's dump must stay as it was.
"""
import subprocess
import sys


def main():
    saved, expect, fixtures = sys.argv[1:4]
    here = __file__.rsplit("/", 1)[0]
    dump = subprocess.run(["/usr/bin/python3", here + "/../../fixtures/wma-dump.py", saved],
                          check=True, capture_output=True, text=True).stdout.splitlines()
    fixture, changed, lines, counts = None, [], [], []
    for row in open(expect, encoding="utf-8").read().splitlines():
        kind, rest = row.split("\t", 1)
        if kind == "fixture":
            fixture = rest
        elif kind == "changed":
            changed.append(rest)
        elif kind == "line":
            lines.append(rest)
        elif kind == "count":
            name, n = rest.split("\t")
            counts.append((name, int(n)))
    original = open("%s/%s.dump" % (fixtures, fixture), encoding="utf-8").read().splitlines()
    keep = lambda rows: sorted(r for r in rows if r.split("\t", 1)[0] not in changed)
    problems = []
    if keep(dump) != keep(original):
        problems.append("unchanged attributes differ:\n  was: %s\n  now: %s" % (keep(original), keep(dump)))
    for line in lines:
        if line not in dump:
            problems.append("missing line: " + line)
    for name, n in counts:
        got = sum(1 for r in dump if r.split("\t", 1)[0] == name)
        if got != n:
            problems.append("%s has %d values, expected %d" % (name, got, n))
    if problems:
        sys.exit("%s:\n%s" % (saved, "\n".join(problems)))


main()
