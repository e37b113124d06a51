#!/usr/bin/env bash
# Builds what is needed and runs the whole suite headless: the normal build, the Windows compile check, the Windows
# program linked and run under Wine (where scripts/windows-qt.sh has built Qt for Windows on this machine), the
# same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of the two fuzzers.
# Exits non-zero on any failure.
set -u
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/windows/qt-recipe.sh"

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}" "${ZEVR_FUZZ_PACKAGES[@]}" "${ZEVR_TEST_PACKAGES[@]}"
private_runtime_dir
export QT_QPA_PLATFORM=offscreen

status=0
run_suite() {
    local dir=$1
    shift
    echo "== build: $dir"
    if ! build_tree "$dir" "$@"; then
        echo "== build failed: $dir"
        status=1
        return
    fi
    echo "== tests: $dir"
    limited_ctest "$dir" --output-on-failure --timeout 600 ||
        status=1
}

cd "$ZEVR_ROOT"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$ZEVR_ROOT/scripts/check-layers.sh" || status=1
"$ZEVR_ROOT/scripts/windows-check.sh" || status=1
if zevr_qt_windows_ready && zevr_wine_test_ready; then
    { "$ZEVR_ROOT/scripts/windows-package.sh" && "$ZEVR_ROOT/scripts/windows-wine.sh"; } || status=1
else
    echo "== windows under Wine: NOT RUN, Qt for Windows or the tests' Wine is not built on this machine (scripts/windows-qt.sh builds both once, about 45-55 min on two cores)"
fi
ASAN_OPTIONS=detect_leaks=1 \
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DZEVR_SANITIZE=ON
"$ZEVR_ROOT/scripts/fuzz.sh" 20 || { echo "== fuzzing failed"; status=1; }

if [ $status -eq 0 ]; then echo "== all suites passed"; else echo "== FAILED"; fi
exit $status
