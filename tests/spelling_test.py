#!/usr/bin/env python3
"""The Russian the operator reads is spelled right.

    spelling_test.py SOURCE-DIR

Reads the string literals of the program's sources, the texts of its forms, the manual and the sender's man page,
and fails on:
- a Russian word that the Russian dictionary of hunspell does not know and tests/spelling-words.txt does not list
  (the project's own words: abbreviations, input masks, technical terms);
- a word that mixes Cyrillic and Latin letters, which look alike on screen but are not found by a search;
- an underscore against a Cyrillic letter, which stands where a blank belongs;
- two blanks between two words of a sentence in the program's texts, where a comma or a letter went missing.
Each finding is printed with its file and line.
"""

import re
import subprocess
import sys
from pathlib import Path

SOURCE = Path(sys.argv[1]).resolve()
sys.path.insert(0, str(SOURCE / "scripts"))
import mutants  # noqa: E402  the scanner that knows where C++ literals and comments are

CYRILLIC = "А-Яа-яЁё"
WORD = re.compile(f"[{CYRILLIC}]+")
MIXED = re.compile(f"(?=[{CYRILLIC}A-Za-z]*[{CYRILLIC}])(?=[{CYRILLIC}A-Za-z]*[A-Za-z])[{CYRILLIC}A-Za-z]+")
# C++ escapes ("\n") and the man page's font changes ("\fB") stand right against words.
ESCAPE = re.compile(r"\\(f[BIRP]|x[0-9A-Fa-f]+|.)")
CODE = re.compile(r"<code>.*?</code>")
BLANK_AS_UNDERSCORE = re.compile(f"[{CYRILLIC}]_|_[{CYRILLIC}]")
# Columns are aligned with blanks after a name or a capital placeholder, never between two words of a sentence.
DOUBLE_BLANK = re.compile("[а-яё]  +[а-яё]")


def literals(path):
    """(line number, text) of every string literal; code for Windows too, since its operators read it as well."""
    in_block = False
    for number, line in enumerate(path.read_text(encoding="utf-8").split("\n"), 1):
        _, spans, in_block = mutants.mask_line(line, in_block)
        for start, end in spans:
            yield number, line[start:end]


def lines(path):
    """(line number, line); what the manual sets as code, such as a file name's pattern, is no prose."""
    for number, line in enumerate(path.read_text(encoding="utf-8").split("\n"), 1):
        yield number, CODE.sub(" ", line)


def texts():
    for folder in mutants.FOLDERS:
        for path in sorted((SOURCE / folder).rglob("*")):
            if path.suffix in (".cpp", ".h"):
                yield path, literals(path)
            elif path.suffix == ".ui":
                yield path, lines(path)
    for name in ("docs/manual/manual.html", "docs/zevr3g-send.1"):
        yield SOURCE / name, lines(SOURCE / name)


def unknown_words(words):
    try:
        checked = subprocess.run(["hunspell", "-d", "ru_RU", "-l"], input="\n".join(words), capture_output=True,
                                 text=True, timeout=60)
    except FileNotFoundError:
        sys.exit("FAIL: hunspell is not installed (scripts/common.sh lists it with its Russian dictionary)")
    if checked.returncode != 0 or checked.stderr:
        sys.exit("FAIL: hunspell cannot check Russian: " + checked.stderr.strip())
    return set(checked.stdout.split())


def main():
    allowed = set()
    for line in (SOURCE / "tests/spelling-words.txt").read_text(encoding="utf-8").split("\n"):
        if line and not line.startswith("#"):
            allowed.add(line.strip())
    findings = []
    places = {}
    for path, numbered in texts():
        where = path.relative_to(SOURCE)
        for number, text in numbered:
            if path.suffix in (".cpp", ".h") and DOUBLE_BLANK.search(text):
                findings.append(f"{where}:{number}: two blanks between words: {text.strip()}")
            text = ESCAPE.sub(" ", text)
            for word in WORD.findall(text):
                places.setdefault(word, f"{where}:{number}")
            for mixed in MIXED.findall(text):
                findings.append(f"{where}:{number}: Cyrillic and Latin letters in one word: {mixed}")
            if BLANK_AS_UNDERSCORE.search(text):
                findings.append(f"{where}:{number}: an underscore in Russian text: {text.strip()}")
    if len(places) < 500:
        sys.exit(f"FAIL: only {len(places)} Russian words found; the texts were not read")
    for word in sorted(unknown_words(sorted(places)) - allowed):
        findings.append(f"{places[word]}: not a Russian word: {word}")
    unused = sorted(allowed - set(places))
    if unused:
        findings.append("tests/spelling-words.txt lists words no text uses: " + ", ".join(unused))
    for finding in findings:
        print("FAIL: " + finding)
    print(f"{len(places)} Russian words checked, {len(findings)} findings")
    return 1 if findings else 0


sys.exit(main())
