# What Qt for Windows is built from and how; sourced by windows-qt.sh, which builds it, and by the scripts
# that use it. The cache's folder name carries a digest of this recipe, so a changed recipe builds anew
# beside the old one instead of mixing with it.

ZEVR_QT_WINDOWS_VERSION=5.15.8
ZEVR_QT_WINDOWS_SOURCE_PACKAGE=qtbase-opensource-src
ZEVR_QT_WINDOWS_SERIALPORT=$ZEVR_ROOT/third_party/qtserialport/qtserialport-everywhere-src-$ZEVR_QT_WINDOWS_VERSION.tar.xz
ZEVR_QT_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev dpkg-dev perl
    python3 make)

# Shared libraries, so that an operator's copy keeps the right to replace them. What the program does not use
# is left out; wintab.h and Direct2D's headers are missing from Debian's +dfsg source.
ZEVR_QT_WINDOWS_CONFIGURE=(
    -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -platform linux-g++
    -release -shared -opensource -confirm-license -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz
    -no-feature-sql -no-feature-network -no-feature-concurrent -no-feature-xml
    -no-feature-tabletevent -no-direct2d
)

zevr_qt_windows_prefix() {
    local digest
    digest=$( {
        echo "$ZEVR_QT_WINDOWS_VERSION $ZEVR_QT_WINDOWS_SOURCE_PACKAGE"
        printf '%s\n' "${ZEVR_QT_WINDOWS_CONFIGURE[@]}"
        cat "$ZEVR_ROOT/third_party/qtserialport/SHA256SUMS"
    } | sha256sum | cut -c1-12)
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/zevr-3g-config/qt-$ZEVR_QT_WINDOWS_VERSION-mingw64-$digest"
}

# True when a complete build is in the cache: the stamp is written last.
zevr_qt_windows_ready() {
    [ -f "$(zevr_qt_windows_prefix)/.zevr-complete" ]
}

# The Wine that runs the Windows tests: Debian's Wine 8 with its serial event wait mended (wine-serial.patch), a
# private tree beside the cache; only the tests use it.
ZEVR_WINE_TEST_PACKAGES=(wine64 dpkg-dev flex bison autoconf gcc make perl unicode-data libxml-libxml-perl
    khronos-api libvulkan-dev unzip)

zevr_wine_test_prefix() {
    local digest
    digest=$(cat "$ZEVR_ROOT/scripts/windows/wine-serial.patch" | sha256sum | cut -c1-12)
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/zevr-3g-config/wine-8.0-serial-$digest"
}

zevr_wine_test_ready() {
    [ -f "$(zevr_wine_test_prefix)/.zevr-complete" ]
}

# Debian's source packages need a deb-src entry; one is added for bookworm's main if none is there.
zevr_ensure_source_entry() {
    if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
        /usr/share/keyrings/debian-archive-keyring.gpg |
        "${sudo[@]}" tee /etc/apt/sources.list.d/zevr-deb-src.sources >/dev/null || return 1
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
}
