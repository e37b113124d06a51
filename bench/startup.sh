#!/usr/bin/env bash
# Start-up benchmark: the time from exec until the main window is mapped, and the resident memory at
# that moment, for ZEVR-3G-Config, a bare QMainWindow of the same size (the floor), the same window showing
# one label (the floor of any program that shows text) and CuteCom, taken in turn on a private Xvfb. Prints
# the medians and the ratios to the bare window and to the one-label window.
# Usage: bench/startup.sh [repetitions]    (default 15)
set -u
source "$(dirname "$0")/../scripts/common.sh"

reps=${1:-15}
ensure_packages "${ZEVR_BUILD_PACKAGES[@]}" xvfb cutecom libxcb1-dev
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1

bin=$ZEVR_ROOT/build/bench-startup
mkdir -p "$bin"
g++ -std=c++17 -O2 -fPIC -o "$bin/barewindow" "$ZEVR_ROOT/bench/startup/barewindow.cpp" \
    $(pkg-config --cflags --libs Qt5Widgets) || exit 1
g++ -std=c++17 -O2 -o "$bin/measure" "$ZEVR_ROOT/bench/startup/measure.cpp" $(pkg-config --cflags --libs xcb) || exit 1

work=$(mktemp -d /tmp/zevr-bench.XXXXXX)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -displayfd: Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "error: Xvfb did not start" >&2; exit 1; }

# The same clean, private surroundings for every program; CuteCom writes its settings under HOME.
mkdir -m 0700 "$work/runtime" "$work/home"
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
unset XDG_CONFIG_HOME QT_STYLE_OVERRIDE QT_SCALE_FACTOR

names=(ZEVR-3G-Config "bare window" "one label" CuteCom)
commands=("$ZEVR_ROOT/build/ZEVR-3G-Config" "$bin/barewindow" "$bin/barewindow --label" cutecom)

measure_one() {
    local i=$1
    mkdir -p "$work/cwd$i"
    # Word splitting is wanted: a command may carry an option.
    # shellcheck disable=SC2086
    (cd "$work/cwd$i" && "$bin/measure" ${commands[$i]} 2>/dev/null)
}

# One untimed start each: the first start writes settings files and warms the page cache.
for i in "${!names[@]}"; do measure_one "$i" >/dev/null || { echo "error: ${names[$i]} failed" >&2; exit 1; }; done
for rep in $(seq "$reps"); do
    for i in "${!names[@]}"; do measure_one "$i" >>"$work/result$i" || echo "warning: ${names[$i]} failed" >&2; done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { cut -d' ' -f"$2" "$work/result$1" | median; }

echo "Start-up to the mapped main window: median of $reps interleaved runs each, $(nproc) cores, Xvfb."
echo "Time is wall-clock from exec; CPU is the processor time of all threads by then; RSS is VmRSS then."
printf '| %-14s | %8s | %7s | %8s | %11s | %10s | %10s | %12s | %11s |\n' \
    Program "time, ms" "CPU, ms" "RSS, MiB" "time / bare" "CPU / bare" "RSS / bare" "time / label" "CPU / label"
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------------- ---------- --------- ---------- ------------- ------------ \
    ------------ -------------- -------------
for i in "${!names[@]}"; do
    awk -v n="${names[$i]}" -v ms="$(column "$i" 1)" -v kb="$(column "$i" 2)" -v cpu="$(column "$i" 3)" \
        -v bms="$(column 1 1)" -v bkb="$(column 1 2)" -v bcpu="$(column 1 3)" \
        -v lms="$(column 2 1)" -v lcpu="$(column 2 3)" 'BEGIN {
        printf "| %-14s | %8.0f | %7.0f | %8.1f | %11.2f | %10.2f | %10.2f | %12.2f | %11.2f |\n",
               n, ms, cpu, kb / 1024, ms / bms, cpu / bcpu, kb / bkb, ms / lms, cpu / lcpu }'
done
# The program against CuteCom, from the same interleaved runs.
awk -v zms="$(column 0 1)" -v zcpu="$(column 0 3)" -v cms="$(column 3 1)" -v ccpu="$(column 3 3)" 'BEGIN {
    printf "ZEVR-3G-Config / CuteCom: time %.2f, CPU %.2f\n", zms / cms, zcpu / ccpu }'
