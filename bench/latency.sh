#!/usr/bin/env bash
# Builds what is needed and measures the command latency over a pseudo-terminal: the time from a command's
# emission into the link worker to its last byte at the simulated controller. Options go to zevr-latency
# (--count N, --warmup N). Exits 1 when the goal is not met.
set -u
source "$(dirname "$0")/../scripts/common.sh"

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
exec "$ZEVR_ROOT/build/bench/latency/zevr-latency" "$@"
