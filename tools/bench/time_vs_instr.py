#!/usr/bin/env python3
"""Joins a time profile (perf report --sort dso,symbol) and an instruction profile
(callgrind_annotate) of the same object by function: each function's share of the object's
time, its share of the object's instructions, and their ratio.

usage: time_vs_instr.py TIME_REPORT INSTR_REPORT OBJECT_NAME [ROWS]
"""
import re
import sys


def key(name):
    """A function's name without return type, arguments and clone suffixes, as both tools
    print it."""
    name = re.sub(r"\s*\[clone [^\]]*\]", "", name.strip()).replace("(anonymous namespace)", "{anon}")
    depth, cut, last_space = 0, len(name), -1
    for at, ch in enumerate(name):  # angle depth: template arguments keep their spaces
        if ch == "<":
            depth += 1
        elif ch == ">":
            depth -= 1
        elif depth == 0 and ch == " ":
            last_space = at
        elif depth == 0 and ch == "(" and not name[:at].endswith("operator"):
            cut = at
            break
    return name[last_space + 1:cut].strip()


def time_shares(path, obj):
    shares = {}
    for line in open(path, errors="replace"):
        # (perf pads the symbol column and may add empty ones after it, shown as "-")
        m = re.match(r"\s*([\d.]+)%\s+(\S+)\s+\[.\]\s+(.*?)(\s+-)*\s*$", line)
        if m and m.group(2) == obj:
            k = key(m.group(3))
            shares[k] = shares.get(k, 0.0) + float(m.group(1))
    total = sum(shares.values())
    return {k: 100.0 * v / total for k, v in shares.items()} if total else {}


def instr_shares(path, obj):
    counts = {}
    for line in open(path, errors="replace"):
        m = re.match(r"\s*([\d,]+) \([ \d.]+%\)\s+[^:]*:(.*) \[(.*)\]\s*$", line)
        if m and m.group(3).endswith("/" + obj):
            k = key(m.group(2))
            counts[k] = counts.get(k, 0) + int(m.group(1).replace(",", ""))
    total = sum(counts.values())
    return {k: 100.0 * v / total for k, v in counts.items()} if total else {}


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    time = time_shares(sys.argv[1], sys.argv[3])
    instr = instr_shares(sys.argv[2], sys.argv[3])
    if not time or not instr:
        sys.exit("no samples of " + sys.argv[3] + " in one of the reports")
    rows = int(sys.argv[4]) if len(sys.argv) > 4 else 25
    print(f"{'time %':>7} {'instr %':>8} {'ratio':>6}  function (of {sys.argv[3]})")
    for name in sorted(set(time) | set(instr), key=lambda k: -time.get(k, 0.0))[:rows]:
        t, i = time.get(name, 0.0), instr.get(name, 0.0)
        ratio = f"{t / i:6.2f}" if i >= 0.05 else "     -"
        print(f"{t:7.2f} {i:8.2f} {ratio}  {name[:100]}")


main()
