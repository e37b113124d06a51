#!/usr/bin/env bash
# Redraws the manual's pictures in docs/manual/images from the real windows, on a virtual display.
# Usage: docs/manual/screenshots.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target manual-screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An empty working folder: the settings dialog then shows the defaults of a first start.
cd "$work"
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
    "$build/docs/manual/manual-screenshots" "$root/docs/manual/images"
