#!/usr/bin/env bash
# Builds what is needed and measures the command latency over a pseudo-terminal: the time from a command's
# emission into the link worker to its last byte at the simulated controller.
#
#   bench/latency.sh [--realtime] [--count N] [--warmup N]
#
# --realtime runs the benchmark (and the simulator it starts) at real-time priority, which needs root or
# CAP_SYS_NICE: on a machine busy with other work it measures the program rather than the scheduler.
# Exits 1 when the goal is not met.
set -u
source "$(dirname "$0")/../scripts/common.sh"

prefix=()
if [ "${1:-}" = "--realtime" ]; then
    prefix=(chrt -f 10)
    shift
fi

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
exec "${prefix[@]}" "$ZEVR_ROOT/build/bench/latency/zevr-latency" "$@"
