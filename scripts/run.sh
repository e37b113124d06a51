#!/usr/bin/env bash
# Builds what is needed and starts ZEVR-3G-Config.
#
#   scripts/run.sh                      demo: the program in build/demo/ against a simulated controller on a
#                                       pseudo-terminal; the controller's decoded lines appear here. The folder
#                                       keeps what was saved there; only its settings.ini is written anew
#   scripts/run.sh -- SIMULATOR-OPTIONS the demo with a misbehaving controller, e.g. -- --cycle ok,silent,delay:700
#   scripts/run.sh --real               the program in the current directory against the real serial ports
set -u
source "$(dirname "$0")/common.sh"

usage() {
    sed -n '2,9s/^# \{0,1\}//p' "$0"
}

real=0
sim_args=()
while [ $# -gt 0 ]; do
    case $1 in
    --real) real=1 ;;
    -h | --help)
        usage
        exit 0
        ;;
    --)
        shift
        sim_args=("$@")
        break
        ;;
    *)
        echo "error: unknown option '$1'" >&2
        usage >&2
        exit 2
        ;;
    esac
    shift
done

# Without a display Qt only prints a terse plugin error; say what is missing and how to get it.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "error: DISPLAY is not set: ZEVR-3G-Config is a desktop program and needs a graphical session." >&2
    echo "error: start it from a desktop terminal, over 'ssh -X', or headless with 'xvfb-run scripts/run.sh'." >&2
    exit 1
fi

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
# Only what the demo uses, not the tests and benchmarks: the first window comes in a fraction of the time.
configure_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
cmake --build "$ZEVR_ROOT/build" --parallel "$(nproc)" --target ZEVR-3G-Config zevr-sim manual || exit 1
program=$ZEVR_ROOT/build/ZEVR-3G-Config
private_runtime_dir

if [ $real -eq 1 ]; then
    exec "$program"
fi

# Profiles, logs and exports that an operator saved in the demo folder stay there for the next run.
demo=$ZEVR_ROOT/build/demo
mkdir -p "$demo" || exit 1

# The simulator prints its pseudo-terminal first and then one line per thing it receives. The pipe lives
# outside the demo folder, so that nothing there is replaced.
pipe_dir=$(mktemp -d) || exit 1
sim_out=$pipe_dir/zevr-sim.out
mkfifo "$sim_out"
"$ZEVR_ROOT/build/tools/zevr-sim/zevr-sim" "${sim_args[@]}" >"$sim_out" &
sim_pid=$!
printer_pid=
stop_simulator() {
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    [ -n "$printer_pid" ] && wait "$printer_pid" 2>/dev/null
}
trap stop_simulator EXIT

exec 3<"$sim_out"
rm -rf "$pipe_dir"
if ! read -r -t 10 pty <&3 || [ ! -e "$pty" ]; then
    echo "error: the simulated controller did not start" >&2
    exit 1
fi

# The program reads its connection from the working directory: the pseudo-terminal, which is new on every run,
# and no automatic search.
printf '%s\r\n' "COM Log" "1" "COM Port" "$pty" "BaudRate" "115200" "Parity" "none" "Lenght" "8 bit" \
    "Stop Bit" "1 bit" "COM Auto" "false" >"$demo/settings.ini"

echo "zevr-sim: simulated ZEVR-3G controller on $pty${sim_args[*]:+ (${sim_args[*]})}"
echo "zevr-sim: the program runs in $demo"
sed -u 's/^/zevr-sim: /' <&3 &
printer_pid=$!
exec 3<&-

# In the background, so that an interrupt of this script can end the program before the simulator goes.
cd "$demo" || exit 1
"$program" &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null' INT TERM HUP
while :; do
    wait "$program_pid"
    status=$?
    kill -0 "$program_pid" 2>/dev/null || break
done
exit $status
