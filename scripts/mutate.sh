#!/usr/bin/env bash
# Measures how many small faults in the program's code the test suite catches (mutation testing).
#
#   scripts/mutate.sh [FAULT-LIST] [FAULT-NUMBER...]
#
# FAULT-LIST (default scripts/faults.txt) holds one fault per block:
#
#   @ serial/serialthread.cpp          the file, relative to the project
#   - constexpr int quietGapMs = 20;   text that stands exactly once in that file
#   + constexpr int quietGapMs = 40;   what it becomes (several '-' or '+' lines make multi-line texts)
#
# Lines starting with '#' and blank lines separate nothing and are ignored. Each fault is applied alone to the
# sources, build-mutate/ is rebuilt incrementally, and the suite runs until its first failure. A fault is killed
# when a test fails, survives when the suite passes, and does not count when it does not build. The file is put
# back after each fault, also on an interrupt. Given fault numbers, only those faults are run.
set -u
source "$(dirname "$0")/common.sh"

list=${1:-$ZEVR_ROOT/scripts/faults.txt}
shift $(($# > 0 ? 1 : 0))
only=" $* "
[ -f "$list" ] || { echo "usage: $0 [FAULT-LIST] [FAULT-NUMBER...]" >&2; exit 2; }

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}" xvfb xauth xdotool
private_runtime_dir
export QT_QPA_PLATFORM=offscreen
tree=$ZEVR_ROOT/build-mutate
echo "== build: $tree"
build_tree "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || { echo "the unchanged sources do not build" >&2; exit 1; }
(cd "$tree" && ctest --parallel "$(nproc)" --timeout 300 >/dev/null) || { echo "the suite fails without any fault" >&2; exit 1; }

backup=$(mktemp)
target=
restore() {
    if [ -n "$target" ]; then
        cp "$backup" "$target"
        touch "$target" # newer than the mutated object, so the next build compiles it again
        target=
    fi
}
trap 'restore; rm -f "$backup"; exit 130' INT TERM
trap 'restore; rm -f "$backup"' EXIT

killed=0 survived=0 broken=0 number=0
run_fault() {
    local file=$1 old=$2 new=$3 content
    number=$((number + 1))
    [ "$only" = "  " ] || [[ $only == *" $number "* ]] || return 0
    local path=$ZEVR_ROOT/$file
    content=$(cat "$path"; printf x)
    content=${content%x}
    local rest=${content#*"$old"}
    if [ "$rest" = "$content" ] || [ "${rest#*"$old"}" != "$rest" ]; then
        echo "fault $number ($file): the text does not stand exactly once" >&2
        exit 2
    fi
    cp "$path" "$backup"
    target=$path
    printf '%s' "${content%%"$old"*}$new$rest" >"$path"
    local verdict
    if ! cmake --build "$tree" --parallel "$(nproc)" >/dev/null 2>&1; then
        verdict="does not build"
        broken=$((broken + 1))
    elif (cd "$tree" && ctest --parallel "$(nproc)" --timeout 120 --stop-on-failure >/dev/null 2>&1); then
        verdict=SURVIVED
        survived=$((survived + 1))
    else
        verdict=killed
        killed=$((killed + 1))
    fi
    restore
    printf '%3d %-14s %s: %s\n' "$number" "$verdict" "$file" "$(printf '%s' "$old" | head -n 1 | sed 's/^ *//')"
}

file= old= new= mode=
flush() {
    [ -n "$file" ] && run_fault "$file" "$old" "$new"
    file= old= new= mode=
}
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    '@ '*) flush; file=${line#@ } ;;
    '- '* | '-')
        [ "$mode" = "+" ] && { echo "a '-' line after '+' lines: $line" >&2; exit 2; }
        text=${line#-}
        [ "$mode" = "-" ] && old+=$'\n'
        old+=${text# }
        mode=-
        ;;
    '+ '* | '+')
        text=${line#+}
        [ "$mode" = "+" ] && new+=$'\n'
        new+=${text# }
        mode=+
        ;;
    esac
done <"$list"
flush
# The build tree goes back to the unchanged sources.
cmake --build "$tree" --parallel "$(nproc)" >/dev/null 2>&1

total=$((killed + survived))
echo "== $killed of $total faults killed, $survived survived, $broken did not build"
[ $total -gt 0 ] && echo "== kill rate: $((killed * 1000 / total / 10)).$((killed * 1000 / total % 10)) %"
exit 0
