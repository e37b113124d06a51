#!/usr/bin/env bash
# Builds what is needed and starts ZEVR-3G-Config in the current directory.
set -u
source "$(dirname "$0")/common.sh"

ensure_packages "${ZEVR_BUILD_PACKAGES[@]}"
build_tree "$ZEVR_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
exec "$ZEVR_ROOT/build/ZEVR-3G-Config"
