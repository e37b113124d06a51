#!/usr/bin/env bash
# Builds Qt for 64-bit Windows once per machine, with Debian's MinGW-w64: qtbase from Debian's source package
# and Qt SerialPort from third_party/, as DLLs, into a cache outside the work tree that the Windows build and
# the Wine tests use, then the Wine the tests run it in (windows-wine-build.sh). Does nothing when the cache
# already holds builds of these recipes. About 35-45 minutes on two cores.
set -u
source "$(dirname "$0")/common.sh"
source "$ZEVR_ROOT/scripts/windows/qt-recipe.sh"

prefix=$(zevr_qt_windows_prefix)
if zevr_qt_windows_ready; then
    echo "== Qt $ZEVR_QT_WINDOWS_VERSION for Windows is already built: $prefix"
    exec "$ZEVR_ROOT/scripts/windows-wine-build.sh"
fi

fail() {
    echo "== Qt for Windows FAILED: $*" >&2
    exit 1
}

started=$(date +%s)
ensure_packages "${ZEVR_QT_WINDOWS_PACKAGES[@]}"

work=$prefix.work
rm -rf "$prefix" "$work"
mkdir -p "$work" || fail "cannot create $work"

zevr_ensure_source_entry || fail "cannot add a deb-src entry for Debian's source packages"

echo "== fetching Debian's $ZEVR_QT_WINDOWS_SOURCE_PACKAGE source"
(cd "$work" && apt-get source -q "$ZEVR_QT_WINDOWS_SOURCE_PACKAGE") >"$work/source.log" 2>&1 ||
    { tail -20 "$work/source.log"; fail "apt-get source $ZEVR_QT_WINDOWS_SOURCE_PACKAGE"; }
qtbase_src=$(find "$work" -maxdepth 1 -type d -name "qtbase-opensource-src-$ZEVR_QT_WINDOWS_VERSION+*" | head -1)
[ -n "$qtbase_src" ] && [ -x "$qtbase_src/configure" ] || fail "no qtbase source unpacked in $work"

echo "== configuring qtbase (log: $work/qtbase-configure.log)"
mkdir -p "$work/qtbase-build"
(cd "$work/qtbase-build" && "$qtbase_src/configure" "${ZEVR_QT_WINDOWS_CONFIGURE[@]}" -prefix "$prefix") \
    >"$work/qtbase-configure.log" 2>&1 || { tail -30 "$work/qtbase-configure.log"; fail "qtbase configure"; }

echo "== building qtbase (log: $work/qtbase-build.log)"
(cd "$work/qtbase-build" && make -j"$(nproc)" && make install) >"$work/qtbase-build.log" 2>&1 ||
    { tail -40 "$work/qtbase-build.log"; fail "qtbase build"; }

echo "== building Qt SerialPort (log: $work/serialport.log)"
(cd "$ZEVR_ROOT/third_party/qtserialport" && sha256sum -c --quiet SHA256SUMS) || fail "Qt SerialPort archive checksum"
tar -xJf "$ZEVR_QT_WINDOWS_SERIALPORT" -C "$work" || fail "cannot unpack $ZEVR_QT_WINDOWS_SERIALPORT"
serial_src=$work/qtserialport-everywhere-src-$ZEVR_QT_WINDOWS_VERSION
# A git archive carries no generated module headers.
(cd "$serial_src" && perl "$prefix/bin/syncqt.pl" -version "$ZEVR_QT_WINDOWS_VERSION" &&
    "$prefix/bin/qmake" && make -j"$(nproc)" && make install) >"$work/serialport.log" 2>&1 ||
    { tail -30 "$work/serialport.log"; fail "Qt SerialPort build"; }

for dll in Qt5Core Qt5Gui Qt5Widgets Qt5Test Qt5SerialPort; do
    [ -f "$prefix/bin/$dll.dll" ] || fail "$dll.dll was not built"
done
[ -f "$prefix/plugins/platforms/qwindows.dll" ] || fail "the Windows platform plugin was not built"

cp "$work"/*.log "$prefix/" 2>/dev/null
rm -rf "$work"
elapsed=$(($(date +%s) - started))
echo "built in $elapsed s" >"$prefix/.zevr-complete"
echo "== Qt $ZEVR_QT_WINDOWS_VERSION for Windows built in $((elapsed / 60)) min $((elapsed % 60)) s: $prefix"
"$ZEVR_ROOT/scripts/windows-wine-build.sh"
