#!/usr/bin/env bash
# The fault lists still fit the sources, and the fault generator draws faults that apply, the same ones for the
# same seed, and never one that is listed as equivalent.
set -u
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

export MUTATE_CHECK_ONLY=1 MUTATE_BUILD_DIR=$work
bash "$src/scripts/mutate.sh" >/dev/null || fail "scripts/faults.txt no longer fits the sources"
bash "$src/scripts/mutate.sh" "$src/scripts/equivalent-faults.txt" >/dev/null ||
    fail "scripts/equivalent-faults.txt no longer fits the sources"
bash "$src/scripts/mutate.sh" --generate 60 --seed 7 >"$work/out" || fail "a generated list does not apply: $(cat "$work/out")"

draw() { python3 "$src/scripts/mutants.py" "$1" 60 "${2:-/dev/null}"; }
draw 7 >"$work/a" && draw 7 >"$work/b" && draw 8 >"$work/c" || fail "the generator stopped with an error"
cmp -s "$work/a" "$work/b" || fail "the same seed drew different faults"
cmp -s "$work/a" "$work/c" && fail "two seeds drew the same faults"
[ "$(grep -c '^@ ' "$work/a")" -eq 60 ] || fail "seed 7 drew $(grep -c '^@ ' "$work/a") faults, not 60"
for operator in relational logical negation constant string statement connect return; do
    grep -q "^# [^ ]* $operator: " "$work/a" "$work/c" || fail "no $operator fault among 120 drawn"
done
# The first fault drawn, listed as equivalent, is never drawn again.
awk '/^# /{n++} n==2' "$work/a" >"$work/equivalent"
draw 7 "$work/equivalent" >"$work/d"
first=$(sed -n '2,$p' "$work/equivalent")
FIRST=$first perl -0777 -ne 'exit(index($_, $ENV{FIRST}) < 0)' "$work/d" &&
    fail "a fault listed as equivalent was drawn: $first"
exit $status
