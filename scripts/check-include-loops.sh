#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails on a loop between the project's source files: a unit (a header and the
# files that define what it declares) that includes, through other units, a
# unit that includes it back; and, among the files that define the main
# window's methods, a file that calls, through others, a file that calls it
# back. Also counts the main window's own code (its files' lines that are
# neither blank nor a comment) and fails above --max-window-lines.
#
#   scripts/check-include-loops.sh [--max-window-lines N] [--quiet]
set -uo pipefail
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'PY'
import os, re, sys

args = sys.argv[1:]
max_lines = None
quiet = '--quiet' in args
if '--max-window-lines' in args:
    max_lines = int(args[args.index('--max-window-lines') + 1])

FOLDERS = ['link', 'protocol', 'session', 'models', 'analysis', 'plant', 'app', 'ui', 'cli', 'sim']
files = []
for folder in FOLDERS:
    for root, _, names in os.walk(folder):
        files += [os.path.join(root, n) for n in sorted(names) if n.endswith(('.h', '.cpp'))]
text = {f: open(f, encoding='utf-8').read() for f in files}
by_name = {}
for f in files:
    by_name.setdefault(os.path.basename(f), []).append(f)

def stem(f):
    return os.path.splitext(f)[0]

# Classes a header defines (not mere declarations).
header_classes = {}
for f in files:
    if f.endswith('.h'):
        for m in re.finditer(r'^(?:class|struct)\s+(\w+)\s*(?:final\s*)?(?::(?!:)|\{)', text[f], re.M):
            header_classes.setdefault(m.group(1), f)

def defined_classes(f):
    # Member definitions start a line: "Type Class::member(" or "Class::Class(".
    found = []
    for m in re.finditer(r'^[A-Za-z_][^;{}()\n]*?\b(\w+)::~?\w+\s*\(', text[f], re.M):
        if m.group(1) not in found:
            found.append(m.group(1))
    return found

# The unit of each file: its header's stem; a source without a header of its
# own belongs to the header of the class whose members it defines.
unit = {}
for f in files:
    unit[f] = stem(f)
for f in files:
    # A header that defines a class nested in another header's class (its
    # private implementation) is part of that header's unit.
    if f.endswith('.h'):
        m = re.search(r'^(?:class|struct)\s+(\w+)::\w+\s*[:{]', text[f], re.M)
        if m and m.group(1) in header_classes:
            unit[f] = stem(header_classes[m.group(1)])
for f in files:
    if f.endswith('.cpp') and not os.path.exists(stem(f) + '.h'):
        for cls in defined_classes(f):
            if cls in header_classes:
                unit[f] = unit[header_classes[cls]]
                break

def includes(f):
    out = []
    for m in re.finditer(r'^\s*#\s*include\s+"([^"]+)"', text[f], re.M):
        name = os.path.basename(m.group(1))
        if name.endswith('.inc'):
            continue
        for target in by_name.get(name, []):
            if target.endswith('.h'):
                out.append(target)
    return out

def cycles(nodes, edges):
    # Strongly connected components of more than one node (Tarjan).
    index, low, on, stack, result, counter = {}, {}, set(), [], [], [0]
    sys.setrecursionlimit(10000)
    def visit(v):
        index[v] = low[v] = counter[0]; counter[0] += 1
        stack.append(v); on.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w); low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop(); on.discard(w); comp.append(w)
                if w == v:
                    break
            if len(comp) > 1:
                result.append(sorted(comp))
    for v in sorted(nodes):
        if v not in index:
            visit(v)
    return result

failed = False

unit_edges = {}
for f in files:
    for h in includes(f):
        if unit[h] != unit[f]:
            unit_edges.setdefault(unit[f], set()).add(unit[h])
for loop in cycles(set(unit.values()), unit_edges):
    failed = True
    print('include loop between units: ' + ' -> '.join(loop))
    for a in loop:
        for b in sorted(unit_edges.get(a, ())):
            if b in loop:
                print('    %s includes %s' % (a, b))

# The main window's own files and the calls between them.
window_files = [f for f in files if f.endswith('.cpp') and 'MainWindow' in defined_classes(f)]
definer = {}
for f in window_files:
    for m in re.finditer(r'^[A-Za-z_][^;{}()\n]*?\bMainWindow::(~?\w+)\s*\(', text[f], re.M):
        definer.setdefault(m.group(1), set()).add(f)
def strip_comments(s):
    s = re.sub(r'//[^\n]*', '', s)
    return re.sub(r'/\*.*?\*/', '', s, flags=re.S)
call_edges = {}
for f in window_files:
    body = strip_comments(text[f])
    for name, where in definer.items():
        if f in where or name == 'MainWindow' or len(where) != 1:
            continue
        if re.search(r'(?<![\w.>])%s\s*\(|&MainWindow::%s\b' % (re.escape(name), re.escape(name)), body):
            call_edges.setdefault(f, set()).update(where)
for loop in cycles(set(window_files), call_edges):
    failed = True
    print('call loop between the main window\'s files: ' + ', '.join(loop))
    for a in loop:
        for b in sorted(call_edges.get(a, ())):
            if b in loop:
                print('    %s calls into %s' % (a, b))

def code_lines(f):
    n = 0
    in_block = False
    for line in text[f].splitlines():
        s = line.strip()
        if in_block:
            if '*/' in s:
                in_block = False
            continue
        if not s or s.startswith('//'):
            continue
        if s.startswith('/*'):
            in_block = '*/' not in s
            continue
        n += 1
    return n
total = sum(code_lines(f) for f in window_files)
if not quiet:
    for f in sorted(window_files):
        print('%5d  %s' % (code_lines(f), f))
print('main window: %d lines of code in %d files' % (total, len(window_files)))
if max_lines is not None and total > max_lines:
    failed = True
    print('main window: more than %d lines of code' % max_lines)
print('loops: ' + ('found' if failed else 'none'))
sys.exit(1 if failed else 0)
PY
