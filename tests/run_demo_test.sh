#!/usr/bin/env bash
# The demo keeps what an operator saved in its folder: scripts/run.sh runs twice in a copy of the scripts, with
# stand-ins for the build, the program and the simulator, and what was saved between the runs must still be there.
set -u
src=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/scripts" "$root/bin" "$root/build/tools/zevr-sim"
cp "$src/scripts/run.sh" "$src/scripts/common.sh" "$root/scripts/"

# A configured tree, and a cmake and dpkg-query that find nothing to do.
touch "$root/build/Makefile"
echo 'CMAKE_GENERATOR:INTERNAL=Unix Makefiles' >"$root/build/CMakeCache.txt"
printf '#!/bin/sh\nexit 0\n' >"$root/bin/cmake"
printf '#!/bin/sh\nprintf "install ok installed"\n' >"$root/bin/dpkg-query"
# The simulator names its line and waits; the program tells where it ran and what it found there.
printf '#!/bin/sh\necho /dev/null\nexec sleep 30\n' >"$root/build/tools/zevr-sim/zevr-sim"
printf '#!/bin/sh\npwd >"%s/seen"; ls -A >"%s/seen.ls"; cat settings.ini >"%s/seen.ini"\n' "$root" "$root" "$root" \
    >"$root/build/ZEVR-3G-Config"
chmod +x "$root"/bin/* "$root/build/ZEVR-3G-Config" "$root/build/tools/zevr-sim/zevr-sim"

run() { PATH="$root/bin:$PATH" QT_QPA_PLATFORM=offscreen bash "$root/scripts/run.sh" >"$root/out" 2>&1; }

status=0
fail() {
    echo "FAIL: $1"
    cat "$root/out"
    status=1
}
run || fail "the first demo run failed"
demo=$root/build/demo
mkdir -p "$demo/LOGS_ZEVR_3G_Config" && echo saved >"$demo/station.ini" && echo line >"$demo/LOGS_ZEVR_3G_Config/log.log"
run || fail "the second demo run failed"
[ "$(cat "$demo/station.ini" 2>/dev/null)" = saved ] || fail "a profile saved in the demo folder was deleted"
[ "$(cat "$demo/LOGS_ZEVR_3G_Config/log.log" 2>/dev/null)" = line ] || fail "the demo's log was deleted"
[ "$(cat "$root/seen" 2>/dev/null)" = "$demo" ] || fail "the program did not run in the demo folder"
grep -qx $'/dev/null\r' "$root/seen.ini" || fail "settings.ini does not name the simulator's line"
[ "$(tr '\n' ' ' <"$root/seen.ls")" = "LOGS_ZEVR_3G_Config settings.ini station.ini " ] ||
    fail "the demo folder holds more or less than the operator's files and settings.ini: $(cat "$root/seen.ls")"
[ $status -eq 0 ] && echo "PASS: the demo folder kept the operator's files over a second run"
exit $status
