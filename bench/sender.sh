#!/usr/bin/env bash
# Builds what is needed and measures zevr3g-send's time per controller for --tab all against zevr-sim over a
# pseudo-terminal, next to the protocol's floor (three transmissions of the 20 ms quiet gap plus the answer).
#
#   bench/sender.sh [--count N] [--warmup N]
set -u
source "$(dirname "$0")/../scripts/common.sh"

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
exec "$ZEVR_ROOT/build/bench/sender/zevr-sendbench" "$@"
