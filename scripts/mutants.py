#!/usr/bin/env python3
"""Put random one-line faults into src/ one at a time and see whether the test suite notices.

Each fault is drawn at a random non-blank source line (so files weigh by their size), of one of
these kinds: a bound off by one, a changed number, a flipped comparison, a dropped statement, a
flipped boolean default. The fault is applied in the given worktree, the build tree rebuilt and
ctest run; the file is restored afterwards whatever happens. Faults that do not compile are
redrawn. Prints each fault with caught/missed and the totals.

  scripts/mutants.py -n 30 --seed 7 --files src/keyboard src/midi
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
from pathlib import Path

COMPARISONS = [('<=', '<'), ('>=', '>'), ('==', '!='), ('!=', '=='), ('<', '<='), ('>', '>=')]
FLIPS = [('<=', '>'), ('>=', '<'), ('<', '>='), ('>', '<=')]


def code_part(line):
    """The line without a trailing // comment and without string literals' insides, as spans."""
    cut = line.find('//')
    return line if cut < 0 else line[:cut]


def in_string(line, pos):
    return line[:pos].count('"') % 2 == 1


def candidates(line):
    """All (kind, new_line) one-line faults for a source line."""
    s = line.strip()
    if not s or s.startswith(('//', '#', '*', '/*')) or 'static_assert' in s:
        return []
    code = code_part(line)
    out = []
    # comparisons: off by one and flipped
    for m in re.finditer(r'(?<![<>=!-])(<=|>=|==|!=|<|>)(?![<>=])', code):
        op = m.group(1)
        if in_string(line, m.start()):
            continue
        # a lone < or > counts only with spaces around it (not a template bracket)
        if op in ('<', '>') and not (code[m.start()-1:m.start()] == ' ' and code[m.end():m.end()+1] == ' '):
            continue
        for a, b in COMPARISONS:
            if op == a:
                out.append(('bound' if {a, b} <= {'<', '<=', '>', '>='} else 'compare',
                            line[:m.start()] + b + line[m.end():]))
        for a, b in FLIPS:
            if op == a:
                out.append(('flip', line[:m.start()] + b + line[m.end():]))
    # numbers
    for m in re.finditer(r'(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(?![\w.])', code):
        if in_string(line, m.start()):
            continue
        text = m.group(1)
        v = int(text, 16) if text.startswith('0x') else int(text)
        negative = code[m.start() - 1:m.start()] == '-'
        for nv in {v + 1} if negative else {v + 1, v - 1 if v > 0 else 2}:
            nt = hex(nv) if text.startswith('0x') else str(nv)
            out.append(('number', line[:m.start()] + nt + line[m.end():]))
    # booleans
    for m in re.finditer(r'\b(true|false)\b', code):
        if not in_string(line, m.start()):
            nb = 'false' if m.group(1) == 'true' else 'true'
            out.append(('default', line[:m.start()] + nb + line[m.end():]))
    # dropped statement: a call, assignment or return-less statement ending the line
    if (s.endswith(';') and not s.startswith(('return', 'case', 'default', 'break', 'continue', 'using',
                                               'namespace', 'class', 'struct', 'enum', 'friend', 'typedef',
                                               'public', 'private', 'protected')) and
            re.search(r'\(|=|\+\+|--', s) and not re.match(r'^(const |static |auto |[\w:<>,\s*&]+\s+\w+\s*[=({;])', s)):
        indent = line[:len(line) - len(line.lstrip())]
        out.append(('drop', indent + ';  // dropped: ' + s.replace('*/', '') + '\n'))
    # dropped check: early return or continue guarded by a condition
    if re.match(r'^if\s*\(.*\)\s*(return\b.*;|continue;|break;)$', s):
        indent = line[:len(line) - len(line.lstrip())]
        out.append(('drop', indent + ';  // dropped: ' + s + '\n'))
    return [c for c in out if c[1] != line]


def source_lines(root, subtrees):
    lines = []
    for sub in subtrees:
        for p in sorted((root / sub).rglob('*')):
            if p.suffix in ('.cpp', '.h') and p.is_file():
                for i, text in enumerate(p.read_text(encoding='utf-8').splitlines(keepends=True)):
                    if text.strip():
                        lines.append((p, i))
    return lines


def run(cmd, cwd, env=None, timeout=None, output=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout, text=True, errors='replace')
        if output is not None:
            output.append(p.stdout)
        return p.returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('-n', type=int, default=30, help='number of faults that compile')
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--worktree', default=str(Path(__file__).resolve().parent.parent))
    ap.add_argument('--build', default='build', help='build tree inside the worktree')
    ap.add_argument('--files', nargs='+', default=['src'], help='subtrees of the worktree to draw from')
    ap.add_argument('--timeout', type=int, default=120, help='seconds per test')
    ap.add_argument('-j', type=int, default=8)
    ap.add_argument('--list', action='store_true', help='only print the drawn faults')
    args = ap.parse_args()

    root = Path(args.worktree).resolve()
    build = root / args.build
    rng = random.Random(args.seed)
    lines = source_lines(root, args.files)
    env = dict(os.environ, QT_QPA_PLATFORM='offscreen', TMPDIR=tempfile.mkdtemp(prefix='mutants-'))
    caught = missed = tried = 0
    while caught + missed < args.n and tried < args.n * 20:
        tried += 1
        path, idx = rng.choice(lines)
        original = path.read_text(encoding='utf-8')
        text = original.splitlines(keepends=True)
        options = candidates(text[idx])
        if not options:
            continue
        kind, new = rng.choice(options)
        where = f'{path.relative_to(root)}:{idx + 1}'
        change = f'{text[idx].strip()}  →  {new.strip()}'
        if args.list:
            print(f'{kind:8} {where}: {change}')
            caught += 1
            continue
        text[idx] = new
        try:
            path.write_text(''.join(text), encoding='utf-8')
            if run(['cmake', '--build', str(build), '-j', str(args.j)], root) != 0:
                continue
            out = []
            rc = run(['ctest', '-j', str(args.j), '--timeout', str(args.timeout), '--stop-on-failure'],
                     build, env, timeout=args.timeout * 4, output=out)
        finally:
            path.write_text(original, encoding='utf-8')
        verdict = 'caught' if rc != 0 else 'MISSED'
        caught += rc != 0
        missed += rc == 0
        failed = re.findall(r'\*\*\*(?:Failed|Timeout|Exception)[^\n]*|- (\S+) \((?:Failed|Timeout)\)', out[0] if out else '')
        names = [f for f in failed if f][:2]
        print(f'{verdict:7} {kind:8} {where}: {change}' + (f'   [{", ".join(names)}]' if names else ''), flush=True)
    run(['cmake', '--build', str(build), '-j', str(args.j)], root)
    total = caught + missed
    if not args.list and total:
        print(f'total {total}: caught {caught}, missed {missed} ({100 * caught // total} % caught)')


if __name__ == '__main__':
    sys.exit(main())
