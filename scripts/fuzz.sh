#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer), one for the settings
# reader and one for the profile reader with the command decoder, and runs them for a bounded time shared between
# them: scripts/fuzz.sh [seconds], 60 by default. Exits non-zero on a finding; the input that caused it is kept in
# build-fuzz/artifacts/, named after its target.
set -u
source "$(dirname "$0")/common.sh"

seconds=${1:-60}
case $seconds in
'' | *[!0-9]*)
    echo "usage: $0 [seconds]" >&2
    exit 2
    ;;
esac

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}" "${ZEVR_FUZZ_PACKAGES[@]}"

out=$ZEVR_ROOT/build-fuzz
mkdir -p "$out" || exit 1
# Qt is built with reduced relocations, so everything that uses it must be position independent.
read -r -a qt_flags <<<"$(pkg-config --cflags --libs Qt5Core)" || exit 1

# build NAME FOLDER UNIT...: the target fuzz/NAME_fuzzer.cpp with the named units of FOLDER, rebuilt when any of
# them or the folder's headers is newer.
build() {
    local name=$1 folder=$2 binary=$out/$1_fuzzer source stale=
    shift 2
    local sources=("$ZEVR_ROOT/fuzz/${name}_fuzzer.cpp")
    for unit in "$@"; do sources+=("$ZEVR_ROOT/$folder/$unit.cpp"); done
    [ -x "$binary" ] || stale=1
    for source in "${sources[@]}" "$ZEVR_ROOT/$folder"/*.h "$ZEVR_ROOT"/fuzz/*.h; do [ "$source" -nt "$binary" ] && stale=1; done
    [ -n "$stale" ] || return 0
    echo "== build: $binary"
    clang++ -std=c++17 -g -O1 -fPIC -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$ZEVR_ROOT" "${sources[@]}" "${qt_flags[@]}" -o "$binary.tmp" || return 1
    mv "$binary.tmp" "$binary"
}

# run NAME WHAT SECONDS: new inputs go to the build tree; the seeds and the dictionary (fuzz/NAME.dict, where there
# is one) in the repository are only read.
run() {
    mkdir -p "$out/corpus/$1" "$out/artifacts" || return 1
    echo "== fuzz: $2 for $3 s"
    local dictionary=()
    [ -f "$ZEVR_ROOT/fuzz/$1.dict" ] && dictionary=(-dict="$ZEVR_ROOT/fuzz/$1.dict")
    "$out/$1_fuzzer" "${dictionary[@]}" -max_total_time="$3" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$out/artifacts/$1-" "$out/corpus/$1" "$ZEVR_ROOT/fuzz/corpus/$1"
}

build settings workfiles settingsfile fileresult posixfile safefile systemreason || exit 1
build profile protocol commands fieldcheck commanddecoder commanddescription profile profiletext profilekeys || exit 1
# The time is shared; each target gets at least a second.
half=$(((seconds + 1) / 2))
run settings "settings reader" "$half" || exit 1
run profile "profile reader and command decoder" "$half"
