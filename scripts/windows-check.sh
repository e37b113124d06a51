#!/usr/bin/env bash
# Compiles the Windows build as far as a Debian machine can: configures the project for 64-bit Windows in
# build-windows/ with the MinGW-w64 cross compiler, Debian's Qt 5 headers standing in for Qt for Windows, and
# builds every program that the install rules install, with what they are made of:
#   - a source that compiles without Qt's headers is compiled to its object;
#   - every other source, the generated moc, uic and rcc files among them, is syntax-checked;
#   - the resource scripts go through windres;
#   - nothing is linked (there is no Qt for Windows here), and nothing is run.
# Then it checks the program's icon resource and its GUI subsystem. Exits non-zero on any failure.
set -u
source "$(dirname "$0")/common.sh"

# Qt's own MinGW builds use the posix thread model.
ZEVR_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
ensure_packages "${ZEVR_BUILD_PACKAGES[@]}" "${ZEVR_WINDOWS_PACKAGES[@]}"

tree=$ZEVR_ROOT/build-windows
helpers=$ZEVR_ROOT/scripts/windows
windres=x86_64-w64-mingw32-windres
linux_qt5=$(dirname "$(dpkg -L qtbase5-dev | grep '/cmake/Qt5/Qt5Config.cmake$')")

fail() {
    echo "== windows check FAILED: $*"
    exit 1
}

# Configured on every run, so that targets and sources added since are taken.
mkdir -p "$tree/.cmake/api/v1/query/client-zevr" || exit 1
touch "$tree/.cmake/api/v1/query/client-zevr/codemodel-v2" || exit 1
cmake -S "$ZEVR_ROOT" -B "$tree" -G "Unix Makefiles" \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
    -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix -DCMAKE_RC_COMPILER=$windres \
    -DCMAKE_BUILD_TYPE=Release \
    -DQt5_DIR="$helpers/qt5" -DZEVR_LINUX_QT5_DIR="$linux_qt5" \
    -DCMAKE_PROJECT_INCLUDE="$helpers/after-project.cmake" \
    "-DCMAKE_CXX_COMPILER_LAUNCHER=$helpers/launch.sh;compile" \
    "-DCMAKE_CXX_LINKER_LAUNCHER=$helpers/launch.sh;link" >"$tree/configure.log" 2>&1 ||
    { cat "$tree/configure.log"; fail "the project does not configure for Windows"; }

mapfile -t programs < <(cmake -DBUILD_DIR="$tree" -P "$helpers/installed-targets.cmake")
[ ${#programs[@]} -gt 0 ] || fail "the build installs no program"
echo "== windows: ${programs[*]}"

# Everything is checked on every run, not only what changed since the last one.
cmake --build "$tree" --target clean >/dev/null || exit 1
export ZEVR_WINDOWS_LOG=$tree/outcomes.log
: >"$ZEVR_WINDOWS_LOG"
cmake --build "$tree" --target "${programs[@]}" --parallel "$(nproc)" -- -k --no-print-directory
built=$?

count() { grep -c "^$1 " "$ZEVR_WINDOWS_LOG"; }
mapfile -t failed < <(sed -n 's/^failed //p' "$ZEVR_WINDOWS_LOG")
echo "== windows: $(count object) sources compiled to objects, $(count syntax) syntax-checked with Qt's headers," \
    "${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ] || fail "these do not compile for Windows: ${failed[*]}"
[ $built -eq 0 ] || fail "the Windows build stopped (see above)"
[ "$(count object)" -gt 0 ] && [ "$(count syntax)" -gt 0 ] || fail "no source was compiled"

# The program file's icon: one group named IDI_ICON1, English (United States), with a single 128 x 128 image
# of 32 bits per pixel.
check_icon() {
    local listing
    listing=$("$windres" -J coff -O rc -i "$1" | grep -v '^ *0x') || return 1
    grep -q '^"IDI_ICON1" 14 /\* RT_GROUP_ICON \*/$' <<<"$listing" || { echo "no icon group IDI_ICON1"; return 1; }
    [ "$(grep '^LANGUAGE' <<<"$listing" | sort -u)" = "LANGUAGE 9, 1" ] || { echo "not English (US)"; return 1; }
    grep -q 'Has 1 elements' <<<"$listing" || { echo "not a single image"; return 1; }
    grep -qF '"\200\200\000\000", 1, 32,' <<<"$listing" || { echo "not 128 x 128 at 32 bits"; return 1; }
}
program=ZEVR-3G-Config
mapfile -t resources < <(find "$tree/CMakeFiles/$program.dir" -name '*.res')
[ ${#resources[@]} -eq 1 ] || fail "$program has ${#resources[@]} resource objects, not one"
problem=$(check_icon "${resources[0]}") || fail "$program's icon: $problem"
grep -qx "unlinked $tree/$program.exe GUI" "$ZEVR_WINDOWS_LOG" || fail "$program is not a GUI-subsystem program"

echo "== windows check passed (compiled and syntax-checked; not linked, not run)"
