#!/usr/bin/env python3
"""One event of a callgrind profile (recorded with --dump-instr=yes) per output sample, by
function with what is inlined into it, by source line, and in the parts the compiler laid
out as never run (a profile that lost a path's counts shows there).

callgrind itself charges inlined code to the function it was inlined into and, for a shared
object built with link-time optimisation, often cannot name the line. This reads the cost of
every instruction address of one object and asks addr2line for the inline chain there.

usage: callgrind_lines.py PROFILE OBJECT SAMPLES [EVENT] [ROWS]
  PROFILE  callgrind output file
  OBJECT   the shared object (with debug information) whose instructions are counted
  SAMPLES  the output samples the profile covers (the figures are divided by it)
  EVENT    the event's name as the profile lists it (default Ir; e.g. D1mr, D1mw), or
           code: the 64-byte lines of code run at least once in every 1, 4, 16 (a run of
           the render loop) and 128 output samples, which the instruction cache must hold
  ROWS     rows of each table (default 60)
"""
import bisect
import collections
import os
import re
import subprocess
import sys


def parse_costs(path, object_path, event):
    """{address: cost} of one event for the instructions of object_path."""
    names = {}  # compressed object ids of the profile
    current = None
    costs = collections.Counter()
    column = None
    address = 0
    after_call = False
    want = os.path.realpath(object_path)
    with open(path) as f:
        for line in f:
            if line.startswith("events:"):
                events = line.split()[1:]
                if event not in events:
                    sys.exit(f"event {event} not in the profile ({' '.join(events)})")
                column = events.index(event)
                continue
            if line.startswith(("ob=", "cob=")):
                m = re.match(r"c?ob=\((\d+)\)\s*(.*)", line.strip())
                if m:
                    if m.group(2):
                        names[m.group(1)] = os.path.realpath(m.group(2))
                    if line.startswith("ob="):
                        current = names.get(m.group(1))
                continue
            if line.startswith("calls="):
                after_call = True  # the next line is the call's inclusive cost
                continue
            if not line or not (line[0].isdigit() or line[0] in "+-*"):
                continue
            fields = line.split()
            address = position(fields[0], address)
            if after_call:
                after_call = False
                continue
            # fields: instruction, line, then the events in order (missing ones are 0)
            k = 2 + column
            if current == want and len(fields) > k:
                costs[address] += int(fields[k])
    return costs


def position(field, previous):
    if field == "*":
        return previous
    if field[0] in "+-":
        step = int(field[1:], 16) if field[1:3] == "0x" else int(field[1:])
        return previous + step if field[0] == "+" else previous - step
    return int(field, 16) if field.startswith("0x") else int(field)


def inline_chains(object_path, addresses):
    """{address: [(function, file:line), ...]}, innermost first."""
    out = subprocess.run(
        ["addr2line", "-a", "-i", "-f", "-C", "-e", object_path],
        input="".join(f"{a:#x}\n" for a in addresses),
        capture_output=True, text=True, check=True).stdout.splitlines()
    chains = {}
    current, name = None, None
    for line in out:
        if line.startswith("0x") and name is None:
            current = int(line, 16)
            chains[current] = []
        elif name is None:
            name = line
        else:
            chains[current].append((name, line.split(" ")[0]))
            name = None
    return chains


def cold_parts(object_path):
    """[(first, end, name)] of the parts the compiler split off and laid out as never run
    (the symbols named "... [clone .cold]")."""
    out = subprocess.run(["nm", "-C", "-S", "-t", "d", object_path],
                         capture_output=True, text=True, check=True).stdout.splitlines()
    parts = []
    for line in out:
        fields = line.split(" ", 3)
        if len(fields) == 4 and fields[2] in ("t", "T") and fields[3].endswith("[clone .cold]"):
            first = int(fields[0])
            parts.append((first, first + int(fields[1]), fields[3]))
    return parts


def code_lines(costs, chains, samples, rows):
    """The code the instruction cache must hold: each instruction's count is how often it
    ran, so a line whose busiest instruction ran at least samples / n times is run in
    (on average) every n output samples."""
    runs = collections.Counter()
    first = {}  # each line's first instruction, whose inline chain names it
    for address, count in sorted(costs.items()):
        runs[address // 64] = max(runs[address // 64], count)
        first.setdefault(address // 64, address)
    print(f"code lines of {len(runs)} ({len(runs) * 64 / 1024:.1f} KB) run at all")
    print("\n== KB of code run at least once in every n output samples")
    for n in (1, 4, 16, 128):
        kb = sum(1 for c in runs.values() if c * n >= samples) * 64 / 1024
        print(f"{kb:9.1f}  n = {n}")
    print("\n== by out-of-line function: KB run at least once in every 16 samples")
    by_outer = collections.Counter()
    for line, count in runs.items():
        if count * 16 >= samples:
            chain = chains.get(first[line]) or [("?", "?")]
            by_outer[chain[-1][0][:100]] += 64 / 1024
    for name, kb in by_outer.most_common(rows):
        print(f"{kb:9.1f}  {name}")


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    profile, object_path, samples = sys.argv[1], sys.argv[2], float(sys.argv[3])
    event = sys.argv[4] if len(sys.argv) > 4 else "Ir"
    rows = int(sys.argv[5]) if len(sys.argv) > 5 else 60
    costs = parse_costs(profile, object_path, "Ir" if event == "code" else event)
    chains = inline_chains(object_path, sorted(costs))
    if event == "code":
        return code_lines(costs, chains, samples, rows)
    by_function = collections.Counter()
    by_outer = collections.Counter()
    by_line = collections.Counter()
    root = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", "..")) + "/"
    for address, cost in costs.items():
        chain = chains.get(address) or [("?", "?")]
        inner, outer = chain[0], chain[-1]
        by_function[(outer[0][:70], inner[0][:90])] += cost
        by_outer[outer[0][:100]] += cost
        by_line[inner[1].replace(root, "")] += cost
    print(f"{event} per output sample: {sum(costs.values()) / samples:.1f} in {object_path}")
    print(f"\n== by out-of-line function, with what is inlined into it")
    for name, cost in by_outer.most_common(rows):
        print(f"{cost / samples:9.1f}  {name}")
    print(f"\n== by out-of-line function | innermost inlined function")
    for (outer, inner), cost in by_function.most_common(rows):
        print(f"{cost / samples:9.1f}  {outer} | {inner}")
    print(f"\n== by source line")
    for where, cost in by_line.most_common(rows):
        print(f"{cost / samples:9.1f}  {where}")
    # Code that runs here but was laid out as never run (a profile that lost its counts):
    # it is optimised for size and lies far from the render loop.
    by_cold = collections.Counter()
    addresses = sorted(costs)
    for first, end, name in cold_parts(object_path):
        inside = addresses[bisect.bisect_left(addresses, first):bisect.bisect_left(addresses, end)]
        by_cold[name[:100]] += sum(costs[a] for a in inside)
    print(f"\n== in parts laid out as never run: {sum(by_cold.values()) / samples:.1f}")
    for name, cost in by_cold.most_common(rows):
        if cost > 0:
            print(f"{cost / samples:9.1f}  {name}")


if __name__ == "__main__":
    main()
