#!/usr/bin/env bash
# Builds what is needed and measures whether the transmission history's cost grows with its length: transmissions
# through the window's wiring with the history shown and hidden, and an automatic search over dead ports by the
# window against the command-line sender. Headless (offscreen). Exits 1 when a goal is missed.
#
#   bench/history.sh [--count N] [--ports N]
set -u
source "$(dirname "$0")/../scripts/common.sh"

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
private_runtime_dir
cd "$(mktemp -d /tmp/zevr-historybench.XXXXXX)" || exit 1
exec "$ZEVR_ROOT/build/bench/history/zevr-historybench" "$@"
