#!/usr/bin/env bash
# The Windows folder proven under Wine, in a private prefix with a Russian Windows locale (code page 1251) and a
# private X server: the Windows test programs, the real program sending one command from each tab to the simulated
# controller on COM5 (a pseudo-terminal), its settings file and log, the automatic port search, a second copy, and
# zevr3g-send.exe. Needs scripts/windows-package.sh's output and the Linux build (the simulator, the Linux program
# to compare with) and the tests' Wine (windows-wine-build.sh). Exits non-zero on any failure.
set -u
source "$(dirname "$0")/common.sh"
source "$ZEVR_ROOT/scripts/windows/qt-recipe.sh"
ensure_packages wine64 xvfb xauth xdotool locales
# Wine's console writes to the terminal in the Linux locale's character set, which must exist for Cyrillic.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
    "${sudo[@]}" localedef -i ru_RU -c -f UTF-8 ru_RU.UTF-8 || echo "== wine: cannot make the ru_RU.UTF-8 locale"
fi

tree=$ZEVR_ROOT/build-windows-qt
linux=$ZEVR_ROOT/build
folder=$tree/ZEVR-3G-Config-win64
sim=$linux/tools/zevr-sim/zevr-sim
wine64=$(zevr_wine_test_prefix)/lib/wine/wine64
for needed in "$folder.zip" "$sim" "$wine64" "$linux/ZEVR-3G-Config"; do
    [ -e "$needed" ] || { echo "== wine FAILED: $needed is missing"; exit 1; }
done

work=$tree/wine
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset QT_QPA_PLATFORM
# A Russian Windows: Wine takes its code pages (ANSI 1251, OEM 866) from the locale variables, whether or not the
# Linux locale is installed; only Wine gets them, so the shell's own tools keep theirs.
wine() { env LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$wine64" "$@"; }
rm -rf "$work/run"
mkdir -p "$work/run" || exit 1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; echo "== wine FAILED: wineboot"; exit 1; }
fi

checks=0
failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        checks=$((checks + 1))
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

pids=()
cleanup() {
    [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
    /usr/lib/wine/wineserver -k 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# Windows programs see drive C: alone, not the Linux file system (drive Z:), so the folder, unpacked there from
# the zip as an operator would, must hold everything the program needs.
rm -f "$WINEPREFIX/dosdevices/z:"
drive_c=$WINEPREFIX/drive_c
rm -rf "$drive_c/zevr"
mkdir -p "$drive_c/zevr" && (cd "$drive_c/zevr" && cmake -E tar xf "$folder.zip") || exit 1
app=$drive_c/zevr/$(basename "$folder")
source "$ZEVR_ROOT/scripts/windows/wine-stages.sh"
# Every Wine program of the run shares one desktop, made by the first; it must find the X server.
start_display

# One server for the whole run, so that the registry's volatile keys last from one program to the next.
/usr/lib/wine/wineserver -k 2>/dev/null
/usr/lib/wine/wineserver -w
# What the server says when it is stopped (a dump of every object it held) goes to its own log, not the run's.
/usr/lib/wine/wineserver -p >"$work/wineserver.log" 2>&1 || { echo "== wine FAILED: wineserver"; exit 1; }

run_test_programs
run_program_stages
run_auto_search_stage
run_sender_stages

echo "== wine: $checks checks passed, $failures failed"
[ $failures -eq 0 ]
