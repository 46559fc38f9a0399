#!/usr/bin/env python3
"""Reads gdb's `ptype /o APlugin` on stdin and prints the object's top-level members as
"offset size name" lines, in offset order, then the object's size on a line "size N"."""
import re
import sys

members, open_structs, total = [], [], 0
for line in sys.stdin:
    m = re.match(r'^/\*\s+(\d+)\s+(?::\s*\d+\s+)?\|\s+(\d+) \*/\s+(\S.*)$', line)
    if m:
        off, size, decl = int(m.group(1)), int(m.group(2)), m.group(3).strip()
        if decl.endswith('{'):  # a member of a nested type: named at its closing brace
            open_structs.append((off, size))
        elif not open_structs:
            name = re.findall(r'(\w+)(?:\[[^\]]*\])*;$', decl)
            members.append((off, size, name[0] if name else decl.replace(' ', '_')))
        continue
    m = re.match(r'^\s+\} (\w+)(\[.*\])?;', line)
    if m and open_structs:
        off, size = open_structs.pop()
        if not open_structs:
            members.append((off, size, m.group(1)))
        continue
    m = re.search(r'total size \(bytes\):\s*(\d+)', line)
    if m and not open_structs:
        total = int(m.group(1))
for off, size, name in sorted(members):
    print(off, size, name)
print('size', total, 'size')
