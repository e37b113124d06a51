#!/usr/bin/env python3
"""Writes faults for scripts/mutate.sh, generated instead of hand-made.

    mutants.py SEED COUNT [EQUIVALENT-LIST] > faults

Finds every place in the program's own sources where a mutation operator applies, then draws COUNT of them with
the seed: an operator at random, then one of its places at random, so that the many string literals do not crowd
out the rarer operators. Comments, preprocessor lines, code the Linux build does not compile, and lines that only
log or assert are left alone. Each fault is written as a block of the hand-made list's format, preceded by a
comment "# FILE:LINE OPERATOR" that mutate.sh shows; the old text grows by neighbouring lines until it stands
exactly once in its file. Faults listed in EQUIVALENT-LIST (same format) are never drawn.
"""

import random
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ["app", "mainwindow", "sender", "dialogs", "serial", "workfiles", "protocol"]

# Lines that only log or assert: a fault there shows in no behaviour the program promises.
SKIP_LINE = re.compile(r"\b(qDebug|qInfo|qWarning|qCritical|qFatal|Q_ASSERT\w*|assert|static_assert|Q_UNUSED|"
                       r"Q_OBJECT|Q_DECLARE\w*|Q_PROPERTY|Q_ENUM)\b")
# Macros the Linux build defines; everything else a conditional names counts as undefined.
LINUX_MACROS = {"Q_OS_UNIX", "Q_OS_LINUX", "__linux__", "ELOOP", "ETIMEDOUT", "EDQUOT"}
DECLARATION = re.compile(r"^(const\s+|static\s+|constexpr\s+)*[\w:]+(<[^;=]*>)?(\s*[*&]+\s*|\s+)\w+\s*(=|\(|\{|;|\[)")
STATEMENT_KEYWORDS = re.compile(r"^(return|break|continue|case|default|using|typedef|class|struct|enum|friend|"
                                r"public|private|protected|signals|slots|namespace|template|else|do|goto)\b")
CONTROL_HEADER = re.compile(r"^(if|for|while|else if|switch)\s*\(.*\)\s*$|^else\s*$|^do\s*$")


def mask_line(line, in_block):
    """Returns (code, strings, in_block): code with comments blanked and string/char literal contents replaced
    by '_' (so operators inside them are not seen), and the spans (start, end) of each string literal's
    contents."""
    out = list(line)
    strings = []
    i = 0
    n = len(line)
    while i < n:
        if in_block:
            end = line.find("*/", i)
            stop = n if end < 0 else end + 2
            for k in range(i, stop):
                out[k] = " "
            i = stop
            in_block = end < 0
            continue
        c = line[i]
        if line.startswith("//", i):
            for k in range(i, n):
                out[k] = " "
            break
        if line.startswith("/*", i):
            in_block = True
            continue
        if c in "\"'":
            k = i + 1
            while k < n and line[k] != c:
                k += 2 if line[k] == "\\" else 1
            for j in range(i + 1, min(k, n)):
                out[j] = "_"
            if c == '"':
                strings.append((i + 1, min(k, n)))
            i = k + 1
            continue
        i += 1
    return "".join(out), strings, in_block


def active_lines(lines):
    """Which lines the Linux build compiles, by the conditionals around them."""
    def value(condition):
        condition = re.sub(r"defined\s*\(\s*(\w+)\s*\)", lambda m: str(m.group(1) in LINUX_MACROS), condition)
        condition = condition.replace("||", " or ").replace("&&", " and ").replace("!", " not ")
        condition = re.sub(r"\b(?!True\b|False\b|or\b|and\b|not\b)[A-Za-z_]\w*",
                           lambda m: str(m.group(0) in LINUX_MACROS), condition)
        try:
            return bool(eval(condition, {"__builtins__": {}}))
        except Exception:
            return False

    stack = []
    active = []
    for line in lines:
        directive = re.match(r"\s*#\s*(\w+)\s*(.*)", line)
        word = directive.group(1) if directive else ""
        rest = directive.group(2).split("//")[0].strip() if directive else ""
        if word == "ifdef":
            stack.append(rest in LINUX_MACROS)
        elif word == "ifndef":
            stack.append(rest not in LINUX_MACROS)
        elif word == "if":
            stack.append(value(rest))
        elif word == "elif" and stack:
            stack[-1] = value(rest) and not stack[-1]
        elif word == "else" and stack:
            stack[-1] = not stack[-1]
        elif word == "endif" and stack:
            stack.pop()
        active.append(all(stack) and not directive)
    return active


def shifted_char(c):
    if c.isdigit():
        return str((int(c) + 1) % 10)
    for first, last in (("a", "z"), ("A", "Z"), ("а", "я"), ("А", "Я")):
        if first <= c <= last:
            return chr(ord(c) + 1) if c != last else chr(ord(c) - 1)
    return "_" if c == " " else " "


class Finder:
    def __init__(self, rng):
        self.rng = rng
        self.found = {}

    def add(self, operator, path, number, lines, new_lines, what):
        self.found.setdefault(operator, []).append((path, number, lines, new_lines, what))

    def scan(self, path):
        lines = (ROOT / path).read_text(encoding="utf-8").split("\n")
        active = active_lines(lines)
        in_block = False
        masked = []
        for line in lines:
            code, strings, in_block = mask_line(line, in_block)
            masked.append((code, strings))
        for i, line in enumerate(lines):
            code, strings = masked[i]
            if not active[i] or not code.strip() or SKIP_LINE.search(code) or "#" in code.strip()[:1]:
                continue
            previous = next((masked[k][0].strip() for k in range(i - 1, -1, -1) if masked[k][0].strip()), "")
            self.scan_line(path, lines, i, code, strings, previous)

    def replace(self, path, lines, i, start, end, text, operator, what):
        line = lines[i]
        self.add(operator, path, i + 1, lines, {i: line[:start] + text + line[end:]}, what)

    def scan_line(self, path, lines, i, code, strings, previous):
        line = lines[i]
        for m in re.finditer(r"(?<= )(==|!=|<=|>=|<|>)(?= )", code):
            swaps = {"==": ["!="], "!=": ["=="], "<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="],
                     ">=": [">", "<"]}
            for new in swaps[m.group(1)]:
                self.replace(path, lines, i, m.start(), m.end(), new, "relational", f"{m.group(1)} -> {new}")
        for m in re.finditer(r"(?<= )(&&|\|\|)(?= )", code):
            new = "||" if m.group(1) == "&&" else "&&"
            self.replace(path, lines, i, m.start(), m.end(), new, "logical", f"{m.group(1)} -> {new}")
        for m in re.finditer(r"\b(if|while) \(", code):
            close = matching_paren(code, m.end() - 1)
            if close is not None:
                inner = line[m.end():close]
                self.replace(path, lines, i, m.end(), close, f"!({inner})", "negation", f"{m.group(1)} negated")
        for m in re.finditer(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.'])", code):
            digits = m.group(1)
            base = 16 if digits.lower().startswith("0x") else 8 if digits.startswith("0") and len(digits) > 1 else 10
            value = int(digits, base)
            for delta in (1, -1) if value > 0 else (1,):
                text = {16: hex, 8: lambda v: "0" + format(v, "o"), 10: str}[base](value + delta)
                self.replace(path, lines, i, m.start(1), m.end(1), text, "constant", f"{m.group(1)} -> {text}")
        # An errno's entry in the table of system texts is found by the C library's own text for that errno too, so
        # its English text is never the only way to its Russian words.
        errno_entry = re.match(r"\s*\{E[A-Z0-9]+, \"", line)
        for start, end in strings[1:] if errno_entry else strings:
            places = [k for k in range(start, end) if line[k] != "\\" and line[k - 1] != "\\" and line[k] != "%"
                      and not (k > start and line[k - 1] == "%")]
            if places:
                k = self.rng.choice(places)
                new = shifted_char(line[k])
                self.replace(path, lines, i, k, k + 1, new, "string", f"'{line[k]}' -> '{new}' in a literal")
        self.scan_statement(path, lines, i, code, previous)
        m = re.match(r"\s*return (.+?);\s*$", code)
        if m:
            value = line[m.start(1):m.end(1)].strip()
            new = {"true": "false", "false": "true"}.get(value, "{}")
            # A value already empty or default-made (0, {}, nullptr, QString()) is what the replacement returns.
            if value not in ("{}", "nullptr") and not re.fullmatch(r"\d+|[A-Z]\w*\(\)", value):
                self.replace(path, lines, i, m.start(1), m.end(1), new, "return", f"returns {new}")

    def scan_statement(self, path, lines, i, code, previous):
        text = code.strip()
        if not previous.endswith((";", "{", "}", ":", ")")) and previous not in ("else", "do"):
            return
        if previous.endswith(")") and not CONTROL_HEADER.match(previous):
            return
        body = "{}" if CONTROL_HEADER.match(previous) else ""
        indent = lines[i][: len(lines[i]) - len(lines[i].lstrip())]
        if text.startswith("connect("):
            end = i
            depth = 0
            for k in range(i, min(i + 12, len(lines))):
                depth += lines[k].count("(") - lines[k].count(")")
                if depth == 0 and lines[k].rstrip().endswith(";"):
                    end = k
                    break
            else:
                return
            removed = {k: None for k in range(i + 1, end + 1)}
            removed[i] = indent + body if body else ""
            self.add("connect", path, i + 1, lines, removed, "connect(...) removed")
            return
        if not text.endswith(";") or text.count("(") != text.count(")") or STATEMENT_KEYWORDS.match(text):
            return
        if DECLARATION.match(text) and not text.startswith(("emit ", "delete ")):
            return
        self.add("statement", path, i + 1, lines, {i: indent + body if body else ""}, "statement removed")


def matching_paren(code, open_at):
    depth = 0
    for k in range(open_at, len(code)):
        depth += {"(": 1, ")": -1}.get(code[k], 0)
        if depth == 0:
            return k
    return None


def changed_lines(old, new):
    """The lines a fault changes, without the context that makes its text unique."""
    a, b = old.split("\n"), new.split("\n")
    while a and b and a[0] == b[0]:
        a, b = a[1:], b[1:]
    while a and b and a[-1] == b[-1]:
        a, b = a[:-1], b[:-1]
    return (tuple(x.strip() for x in a), tuple(x.strip() for x in b))


def read_list(path):
    faults = set()
    file = None
    old, new = [], []

    def flush():
        if file is not None and old:
            faults.add((file, changed_lines("\n".join(old), "\n".join(new))))

    for line in Path(path).read_text(encoding="utf-8").split("\n"):
        if line.startswith("@ "):
            flush()
            file, old, new = line[2:], [], []
        elif line.startswith("-") and file is not None:
            old.append(line[2:] if line.startswith("- ") else "")
        elif line.startswith("+") and file is not None:
            new.append(line[2:] if line.startswith("+ ") else "")
    flush()
    return faults


def block(candidate, text_by_path):
    """The fault's old and new text: the changed lines, widened by neighbours until the old stands once."""
    path, number, lines, new_lines, what = candidate
    first, last = min(new_lines), max(new_lines)
    whole = text_by_path[path]
    while True:
        old = "\n".join(lines[first:last + 1])
        new = "\n".join(x for k in range(first, last + 1)
                        for x in ([new_lines[k]] if k in new_lines else [lines[k]]) if x is not None)
        if old.strip() and whole.count(old) == 1:
            return old, new
        if first == 0 and last == len(lines) - 1:
            return None
        first, last = max(first - 1, 0), min(last + 1, len(lines) - 1)


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    equivalent = read_list(sys.argv[3]) if len(sys.argv) > 3 else set()
    rng = random.Random(seed)
    files = subprocess.run(["git", "-C", str(ROOT), "ls-files", "--"] + FOLDERS, capture_output=True, text=True,
                           check=True).stdout.split()
    files = sorted(f for f in files if f.endswith((".cpp", ".h")))
    finder = Finder(rng)
    for path in files:
        finder.scan(path)
    text_by_path = {path: (ROOT / path).read_text(encoding="utf-8") for path in files}
    pools = {op: places[:] for op, places in sorted(finder.found.items())}
    seen = set()
    print(f"# Generated by scripts/mutants.py with seed {seed}: {count} faults drawn from "
          + ", ".join(f"{len(v)} {k}" for k, v in pools.items()) + " places.")
    written = 0
    while written < count and pools:
        operator = rng.choice(sorted(pools))
        places = pools[operator]
        candidate = places.pop(rng.randrange(len(places)))
        if not places:
            del pools[operator]
        texts = block(candidate, text_by_path)
        if texts is None:
            continue
        old, new = texts
        key = (candidate[0], changed_lines(old, new))
        if old == new or key in seen or key in equivalent:
            continue
        seen.add(key)
        print(f"\n# {candidate[0]}:{candidate[1]} {operator}: {candidate[4]}")
        print(f"@ {candidate[0]}")
        for text, sign in ((old, "-"), (new, "+")):
            for part in text.split("\n") if text else [""]:
                print(f"{sign} {part}" if part else sign)
        written += 1


if __name__ == "__main__":
    main()
