#!/usr/bin/env bash
# Builds what is needed and runs the soak test: hundreds of transmissions of the real link worker against the
# simulated controller, which answers, stays silent, delays, splits, echoes, streams and hangs up at random. Every
# transmission must end with one final report that matches what the controller did and received; descriptors and
# memory must not grow. About 40 s for the default 500 transmissions.
#
#   bench/soak.sh [--count N] [--warmup N]
#
# Exits 1 when any transmission went wrong or anything grew.
set -u
source "$(dirname "$0")/../scripts/common.sh"

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
exec "$ZEVR_ROOT/build/bench/soak/zevr-soak" "$@"
