#!/usr/bin/env bash
# Builds, once per machine, the Wine that the Windows tests run in: Debian's Wine 8 with its serial event wait
# mended (scripts/windows/wine-serial.patch), so that Qt's serial port can read a pseudo-terminal under Wine.
# Wine 8 ends the wait at once where a line has no modem lines, blocks a wait that has a completion routine but
# no event, and never calls that routine; Qt waits in exactly that way before it reads. Only ntdll.so is rebuilt;
# a private tree beside the cache takes the rest from Debian's wine64. The product is not changed by any of this.
# About 10-15 minutes on two cores.
set -u
source "$(dirname "$0")/common.sh"
source "$ZEVR_ROOT/scripts/windows/qt-recipe.sh"

tree=$(zevr_wine_test_prefix)
if zevr_wine_test_ready; then
    echo "== the tests' Wine is already built: $tree"
    exit 0
fi
fail() {
    echo "== the tests' Wine FAILED: $*" >&2
    exit 1
}
started=$(date +%s)
ensure_packages "${ZEVR_WINE_TEST_PACKAGES[@]}"
zevr_ensure_source_entry || fail "cannot add a deb-src entry for Debian's source packages"

work=$tree.work
rm -rf "$tree" "$work"
mkdir -p "$work" || exit 1
version=$(dpkg-query -W -f='${Version}' wine64)
echo "== fetching Debian's wine $version source"
(cd "$work" && apt-get source -q "wine=$version") >"$work/source.log" 2>&1 || { tail -5 "$work/source.log"; fail "apt-get source wine"; }
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'wine-*' | head -1)
[ -n "$src" ] || fail "no wine source unpacked"

echo "== configuring (log: $work/build.log)"
{
    cd "$src" &&
        patch -p1 <"$ZEVR_ROOT/scripts/windows/wine-serial.patch" &&
        # The files Debian's build generates before it configures (debian/rules).
        ./debian/scripts/generate server/trace.generated make_requests &&
        ./debian/scripts/generate server/request.generated make_requests &&
        ./tools/make_unicode && ./tools/make_requests &&
        (cd dlls/opengl32 && ./make_opengl) &&
        (cd dlls/winevulkan && ./make_vulkan -x /usr/share/vulkan/registry/vk.xml) &&
        ln -sf /usr/share/misc/config.sub tools && ln -sf /usr/share/misc/config.guess tools &&
        bash -c "$(sed -n '/# image files used to generate icons/,/^$/p' debian/rules | grep 'ln -sf' | sed 's/^\t//')" &&
        autoreconf -f &&
        ./configure --enable-win64 --without-x --without-freetype --without-alsa --without-capi --without-cups \
            --without-dbus --without-fontconfig --without-gettext --without-gphoto --without-gnutls --without-gssapi \
            --without-gstreamer --without-inotify --without-krb5 --without-netapi --without-openal --without-opencl \
            --without-opengl --without-osmesa --without-oss --without-pcap --without-pulse --without-sane \
            --without-sdl --without-udev --without-unwind --without-usb --without-v4l2 --without-vulkan \
            --without-wayland --without-xcomposite --without-xcursor --without-xfixes --without-xinerama \
            --without-xinput --without-xinput2 --without-xrandr --without-xrender --without-xshape --without-xshm \
            --without-xxf86vm &&
        echo "== building ntdll.so" && make -j"$(nproc)" dlls/ntdll/ntdll.so
} >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; fail "the build (see $work/build.log)"; }

# Debian's Wine with the mended ntdll.so: the loader finds ntdll.so, and ntdll.so its DLLs, server and data,
# relative to their own places.
system_unix=/usr/lib/x86_64-linux-gnu/wine/x86_64-unix
mkdir -p "$tree/lib/wine" "$tree/lib/bin" "$tree/lib/share" "$tree/lib/x86_64-linux-gnu/wine/x86_64-unix" || exit 1
cp /usr/lib/wine/wine64 "$tree/lib/wine/" || exit 1
ln -s /usr/lib/wine/wineserver64 "$tree/lib/wine/wineserver64"
ln -s /usr/lib/wine/wineserver64 "$tree/lib/bin/wineserver"
for f in /usr/share/wine/*; do ln -s "$f" "$tree/lib/share/"; done
for f in "$system_unix"/*; do ln -s "$f" "$tree/lib/x86_64-linux-gnu/wine/x86_64-unix/"; done
rm "$tree/lib/x86_64-linux-gnu/wine/x86_64-unix/ntdll.so"
cp "$src/dlls/ntdll/ntdll.so" "$tree/lib/x86_64-linux-gnu/wine/x86_64-unix/" || exit 1
ln -s /usr/lib/x86_64-linux-gnu/wine/x86_64-windows "$tree/lib/x86_64-linux-gnu/wine/x86_64-windows"
WINEPREFIX=$work/prefix WINEDEBUG=-all "$tree/lib/wine/wine64" cmd /c exit 0 >/dev/null 2>&1 ||
    fail "the tests' Wine does not start"
WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null
rm -rf "$work"
elapsed=$(($(date +%s) - started))
echo "built in $elapsed s" >"$tree/.zevr-complete"
echo "== the tests' Wine built in $((elapsed / 60)) min $((elapsed % 60)) s: $tree"
