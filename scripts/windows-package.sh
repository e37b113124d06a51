#!/usr/bin/env bash
# Builds the Windows program with the Qt for Windows of scripts/windows-qt.sh and makes the folder an operator
# copies to a laptop, and a zip of it, in build-windows-qt/. Needs the Linux build's manual (build/).
# Exits 3 when that Qt has not been built on this machine.
set -u
source "$(dirname "$0")/common.sh"
source "$ZEVR_ROOT/scripts/windows/qt-recipe.sh"

fail() {
    echo "== windows package FAILED: $*"
    exit 1
}

prefix=$(zevr_qt_windows_prefix)
zevr_qt_windows_ready || exit 3
ensure_packages "${ZEVR_QT_WINDOWS_PACKAGES[@]}"

tree=$ZEVR_ROOT/build-windows-qt
manual="$ZEVR_ROOT/build/Руководство пользователя.pdf"
[ -f "$manual" ] || fail "no manual at $manual: build the Linux tree first"
mkdir -p "$tree" || exit 1
if [ ! -f "$tree/Makefile" ]; then
    cmake -S "$ZEVR_ROOT" -B "$tree" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release $(compiler_cache_options) \
        -DCMAKE_TOOLCHAIN_FILE="$ZEVR_ROOT/scripts/windows/mingw-toolchain.cmake" -DZEVR_QT_WINDOWS_PREFIX="$prefix" \
        -DZEVR_MANUAL_PDF_FROM="$manual" >"$tree/configure.log" 2>&1 ||
        { cat "$tree/configure.log"; fail "the project does not configure against Qt for Windows"; }
fi
cmake --build "$tree" --parallel "$(nproc)" -- --no-print-directory >"$tree/build.log" 2>&1 ||
    { tail -40 "$tree/build.log"; fail "the Windows build"; }

folder=$tree/ZEVR-3G-Config-win64
rm -rf "$folder" "$folder.zip"
mkdir -p "$folder/platforms" "$folder/styles" "$folder/translations" || exit 1
cp "$tree/ZEVR-3G-Config.exe" "$tree/zevr3g-send.exe" "$manual" "$folder/" || exit 1
for dll in Qt5Core Qt5Gui Qt5Widgets Qt5SerialPort; do cp "$prefix/bin/$dll.dll" "$folder/" || exit 1; done
mingw_gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
cp "$mingw_gcc/libstdc++-6.dll" "$mingw_gcc/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll \
    "$folder/" || exit 1
# Debian ships MinGW's runtime with its debugging symbols, 20 MB of them; an operator needs none.
x86_64-w64-mingw32-strip --strip-unneeded "$folder"/lib*.dll || exit 1
cp "$prefix/plugins/platforms/qwindows.dll" "$folder/platforms/" || exit 1
cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/" || exit 1
# Qt's own dialogs and context menus in Russian; the program looks for them beside itself.
cp /usr/share/qt5/translations/qtbase_ru.qm "$folder/translations/" || fail "qttranslations5-l10n is not installed"
# Qt's compiled-in prefix is the build machine's cache; this points its plugins and translations at the folder.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$folder/qt.conf" || exit 1

# Every DLL that a program or plugin imports is in the folder or is part of Windows.
mapfile -t system < <(grep -v '^#' "$ZEVR_ROOT/scripts/windows/system-dlls.txt")
missing=()
while IFS= read -r -d '' binary; do
    while read -r import; do
        lower=${import,,}
        [[ " ${system[*]} " == *" $lower "* ]] && continue
        [[ $lower == api-ms-win-* ]] && continue
        find "$folder" -maxdepth 1 -iname "$import" | grep -q . || missing+=("${binary#"$folder"/} imports $import")
    done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\tDLL Name: //p')
done < <(find "$folder" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
[ ${#missing[@]} -eq 0 ] || fail "imports found neither in the folder nor in Windows: ${missing[*]}"

(cd "$tree" && cmake -E tar cf "$folder.zip" --format=zip "$(basename "$folder")") || fail "cannot make the zip"
echo "== windows: $(basename "$folder").zip, $(($(stat -c %s "$folder.zip") / 1024)) KiB," \
    "$(find "$folder" -type f | wc -l) files, every import in the folder or in Windows"
