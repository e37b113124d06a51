#!/usr/bin/env bash
# Redraws the pictures in resources/ from tools/artwork/artwork.cpp; run it only when the artwork changes.
set -eu
source "$(dirname "$0")/common.sh"

ensure_packages g++ pkg-config qtbase5-dev libqt5svg5-dev fonts-dejavu-core
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++17 -O1 -fPIC -o "$work/artwork" "$ZEVR_ROOT/tools/artwork/artwork.cpp" \
    $(pkg-config --cflags --libs Qt5Gui Qt5Svg)
QT_QPA_PLATFORM=offscreen "$work/artwork" "$ZEVR_ROOT/resources"
