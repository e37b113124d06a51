#!/usr/bin/env bash
# Measures how many small faults in the program's code the test suite catches (mutation testing).
#
#   scripts/mutate.sh [FAULT-LIST] [FAULT-NUMBER...]
#   scripts/mutate.sh --generate COUNT [--seed SEED]
#
# FAULT-LIST (default scripts/faults.txt) holds one fault per block:
#
#   @ serial/serialthread.cpp          the file, relative to the project
#   - constexpr int quietGapMs = 20;   text that stands exactly once in that file
#   + constexpr int quietGapMs = 40;   what it becomes (several '-' or '+' lines make multi-line texts;
#                                      one space after the sign is dropped, further indentation is kept)
#
# Lines starting with '#' and blank lines are ignored. Every fault is checked before the first one runs. Each is
# then applied alone to the sources, build-mutate/ is rebuilt incrementally, and ctest runs until its first failure.
# A fault is killed when a test fails (the failing tests are named), survives when the suite passes, and does not
# count when it does not build. The file is put back after each fault, also on an interrupt. Given fault numbers,
# only those faults run. MUTATE_CTEST_ARGS adds ctest options, e.g. "-R tst_form" to see what one test kills alone;
# MUTATE_TARGETS then limits the rebuild to those targets, and MUTATE_BUILD_DIR reuses a tree that is already built
# (e.g. build/) instead of build-mutate/. MUTATE_CHECK_ONLY=1 only checks the list.
#
# The tests that killed an earlier fault in the same file are built and run first, and only when they pass is
# everything rebuilt and the whole suite run. MUTATE_FIRST names the output of an earlier run of the same list:
# the tests that killed each fault then are tried first instead.
#
# --generate draws the faults instead (scripts/mutants.py: operators applied at random places, with a seed that is
# printed and defaults to the clock), skips those in scripts/equivalent-faults.txt, and runs faults until COUNT of
# them have built. The drawn list and its survivors, in the list's format, are kept in the build tree as
# generated-SEED.txt and survivors-SEED.txt.
set -u
source "$(dirname "$0")/common.sh"

tree=${MUTATE_BUILD_DIR:-$ZEVR_ROOT/build-mutate}
limit=0 seed= equivalent=$ZEVR_ROOT/scripts/equivalent-faults.txt
if [ "${1:-}" = --generate ]; then
    limit=${2:-}
    [ "${3:-}" = --seed ] && seed=${4:-}
    [[ $limit =~ ^[1-9][0-9]*$ ]] && [[ ${seed:=$(date +%s)} =~ ^[0-9]+$ ]] ||
        { echo "usage: $0 --generate COUNT [--seed SEED]" >&2; exit 2; }
    ensure_packages python3
    mkdir -p "$tree"
    list=$tree/generated-$seed.txt
    # Drawn with room to spare: faults that do not build are replaced by the next ones.
    python3 "$ZEVR_ROOT/scripts/mutants.py" "$seed" $((limit * 2 + 20)) "$equivalent" >"$list" || exit 1
    echo "== seed $seed"
    set --
else
    list=${1:-$ZEVR_ROOT/scripts/faults.txt}
    shift $(($# > 0 ? 1 : 0))
fi
only=" $* "
[ -f "$list" ] || { echo "usage: $0 [FAULT-LIST] [FAULT-NUMBER...]" >&2; exit 2; }
read -r -a ctest_extra <<<"${MUTATE_CTEST_ARGS:-}"
build_targets=()
for target_name in ${MUTATE_TARGETS:-}; do build_targets+=(--target "$target_name"); done
rebuild() { cmake --build "$tree" --parallel "$(nproc)" "${build_targets[@]}"; }

# The list, parsed: files[i], olds[i], news[i], and abouts[i], the comment line just above the block.
files=() olds=() news=() abouts=()
file= old= new= mode= about=
flush() {
    [ -n "$file" ] && { files+=("$file"); olds+=("$old"); news+=("$new"); abouts+=("$about"); about=; }
    file= old= new= mode=
}
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    '# '*) flush; about=${line#\# } ;;
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

# Perl (Debian's perl-base is always there) compares bytes; the texts travel in the environment, unquoted.
occurrences() { OLD=$2 perl -0777 -ne '$n = () = /\Q$ENV{OLD}\E/g; print $n' "$ZEVR_ROOT/$1" 2>/dev/null; }
apply_fault() { OLD=$2 NEW=$3 perl -0777 -pi -e 's/\Q$ENV{OLD}\E/$ENV{NEW}/' "$ZEVR_ROOT/$1"; }
bad=0
for i in "${!files[@]}"; do
    if [ -z "${olds[i]}" ] || [ "$(occurrences "${files[i]}" "${olds[i]}")" != 1 ]; then
        echo "fault $((i + 1)) (${files[i]}): the text does not stand exactly once" >&2
        bad=1
    fi
done
[ $bad -eq 0 ] || exit 2
echo "== ${#files[@]} faults in $list"
[ $limit -gt 0 ] && echo "== running until $limit of them have built"
# The suite checks that the list still fits the sources, without running it.
[ -n "${MUTATE_CHECK_ONLY:-}" ] && exit 0

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}" "${ZEVR_TEST_PACKAGES[@]}" lld ccache
private_runtime_dir
export QT_QPA_PLATFORM=offscreen
echo "== build: $tree"
# Each fault compiles a file and relinks every program and test: without optimisation or debugging information
# a file compiles in a third of the time, LLVM's linker links in a third of the default one's, and the compiler
# cache turns compiling the put-back file again into a copy. Assertions stay on, as a crash is a failure too.
{ configure_tree "$tree" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache && rebuild; } >/dev/null ||
    { echo "the unchanged sources do not build" >&2; exit 1; }
limited_ctest "$tree" --timeout 300 "${ctest_extra[@]}" \
    >/dev/null ||
    { echo "the suite fails without any fault" >&2; exit 1; }

backup=$(mktemp)
output=$(mktemp)
target=
# A copy that cannot be made or put back (a full disk) stops the run at once: going on would leave planted faults in
# the sources. A source that could not be put back keeps its copy, and the run says where.
restore() {
    if [ -n "$target" ]; then
        if ! cp "$backup" "$target" || ! cmp -s "$backup" "$target"; then
            echo "== could not put back $target; its copy is $backup" >&2
            backup=
            exit 1
        fi
        touch "$target" # newer than the mutated object, so the next build compiles it again
        target=
    fi
}
trap 'restore; rm -f "$backup" "$output"; exit 130' INT TERM
trap 'restore; rm -f "$backup" "$output"' EXIT

# The checks of the fault lists and of the layers read the sources, so they fail on any fault near a listed text:
# they say nothing of the program's behaviour and are left out.
not_behaviour='^(faultlist|layers)$'

# The tests that killed fault $1 in the earlier run; else those that killed an earlier fault in its file $2.
declare -A learned=()
first_tests() {
    local earlier=
    [ -n "${MUTATE_FIRST:-}" ] && earlier=$(sed -n "s/^ *$1 killed by \([a-z_,]*\) .*/\1/p" "$MUTATE_FIRST" | tr , ' ')
    printf '%s' "${earlier:-${learned[$2]:-}}"
}
# Keeps the tests named in a verdict as the first to try on the next fault in file $1.
learn() {
    local names
    names=$(printf '%s\n' ${learned[$1]:-} $(printf '%s' "$2" | tr , ' ') | sort -u | paste -sd' ' -)
    learned[$1]=$names
}
# Builds the given tests and the programs they run, and tells whether one of them fails.
killed_by() {
    local targets=(--target ZEVR-3G-Config --target zevr3g-send --target zevr-sim) name tests=()
    for name in "$@"; do [[ $name =~ $not_behaviour ]] || tests+=("$name"); done
    [ ${#tests[@]} -gt 0 ] || return 1
    set -- "${tests[@]}"
    for name in "$@"; do targets+=(--target "$name"); done
    cmake --build "$tree" --parallel "$(nproc)" "${targets[@]}" >/dev/null 2>&1 || return 1
    ! limited_ctest "$tree" --timeout 120 -R "^($(printf '%s' "$*" | tr ' ' '|'))\$" \
        >"$output" 2>&1
}

survivor_list=$tree/survivors-$(basename "$list" .txt | sed 's/^generated-//').txt
: >"$survivor_list"
killed=0 survived=0 broken=0 survivors=()
for i in "${!files[@]}"; do
    [ $limit -gt 0 ] && [ $((killed + survived)) -ge $limit ] && break
    number=$((i + 1))
    [ "$only" = "  " ] || [[ $only == *" $number "* ]] || continue
    path=$ZEVR_ROOT/${files[i]}
    cp "$path" "$backup" && cmp -s "$path" "$backup" ||
        { echo "== could not keep a copy of ${files[i]}; stopping with the sources as they were" >&2; exit 1; }
    target=$path
    apply_fault "${files[i]}" "${olds[i]}" "${news[i]}"
    hinted=$(first_tests "$number" "${files[i]}")
    if [ -n "$hinted" ] && killed_by $hinted; then
        verdict="killed by $(sed -n 's/^[[:space:]]*[0-9]* - \([a-z_]*\).*/\1/p' "$output" | sort -u | paste -sd, -)"
        killed=$((killed + 1))
    elif ! rebuild >/dev/null 2>&1; then
        verdict="does not build"
        broken=$((broken + 1))
    elif limited_ctest "$tree" --timeout 120 --stop-on-failure -E "$not_behaviour" "${ctest_extra[@]}" \
        >"$output" 2>&1; then
        verdict=SURVIVED
        survived=$((survived + 1))
        survivors+=("$number")
        {
            printf '\n# %s\n@ %s\n' "${abouts[i]:-fault $number}" "${files[i]}"
            printf '%s\n' "${olds[i]}" | sed 's/^/- /; s/^- $/-/'
            printf '%s\n' "${news[i]}" | sed 's/^/+ /; s/^+ $/+/'
        } >>"$survivor_list"
    else
        # ctest's summary lists the failed tests as "<number> - <name> (Failed)".
        verdict="killed by $(sed -n 's/^[[:space:]]*[0-9]* - \([a-z_]*\).*/\1/p' "$output" | sort -u | paste -sd, -)"
        killed=$((killed + 1))
    fi
    [[ $verdict == "killed by "?* ]] && learn "${files[i]}" "${verdict#killed by }"
    restore
    if [ $limit -gt 0 ]; then
        printf '%3d %-40s %s\n' "$number" "$verdict" "${abouts[i]}"
    else
        printf '%3d %-40s %s: %s\n' "$number" "$verdict" "${files[i]}" "$(printf '%s' "${olds[i]}" | head -n 1 | sed 's/^ *//')"
    fi
done
# The build tree goes back to the unchanged sources, the programs included: the first tests of a fault build them
# whatever MUTATE_TARGETS names.
rebuild >/dev/null 2>&1
cmake --build "$tree" --parallel "$(nproc)" --target ZEVR-3G-Config --target zevr3g-send --target zevr-sim >/dev/null 2>&1

total=$((killed + survived))
echo "== $killed of $total faults killed, $survived survived (${survivors[*]:-none}), $broken did not build"
[ $survived -gt 0 ] && echo "== survivors: $survivor_list"
[ $total -gt 0 ] && echo "== kill rate: $((killed * 1000 / total / 10)).$((killed * 1000 / total % 10)) %"
exit 0
