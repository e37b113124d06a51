#!/usr/bin/env bash
# Builds the settings-reader fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# it for a bounded time: scripts/fuzz.sh [seconds], 60 by default. Exits non-zero on a finding; the input that
# caused it is kept in build-fuzz/artifacts/.
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
binary=$out/settings_fuzzer
sources=("$ZEVR_ROOT/fuzz/settings_fuzzer.cpp")
for unit in settingsfile fileresult posixfile safefile systemreason; do sources+=("$ZEVR_ROOT/workfiles/$unit.cpp"); done
mkdir -p "$out/corpus" "$out/artifacts" || exit 1

needs_build() {
    local source
    [ -x "$binary" ] || return 0
    for source in "${sources[@]}" "$ZEVR_ROOT"/workfiles/*.h; do
        [ "$source" -nt "$binary" ] && return 0
    done
    return 1
}

if needs_build; then
    echo "== build: $binary"
    # Qt is built with reduced relocations, so everything that uses it must be position independent.
    read -r -a qt_flags <<<"$(pkg-config --cflags --libs Qt5Core)" || exit 1
    clang++ -std=c++17 -g -O1 -fPIC -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$ZEVR_ROOT" "${sources[@]}" "${qt_flags[@]}" -o "$binary.tmp" || exit 1
    mv "$binary.tmp" "$binary" || exit 1
fi

echo "== fuzz: settings reader for ${seconds} s"
# New inputs go to the build tree; the seeds in the repository are only read.
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/" "$out/corpus" "$ZEVR_ROOT/fuzz/corpus/settings"
