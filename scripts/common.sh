# Shared by the run and test commands: Debian packages and incremental CMake builds.
# Sourced, not run.

ZEVR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

ZEVR_BUILD_PACKAGES=(cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev)
# A compiler cache, so that a second tree or a fresh clone compiles again only what changed.
ZEVR_BUILD_PACKAGES+=(ccache)
# The user manual: fonts with Cyrillic letters to lay it out, poppler to check the PDF.
ZEVR_BUILD_PACKAGES+=(fonts-dejavu-core poppler-utils)
# The style sheet's Times New Roman: Liberation Serif has its metrics, so the window has the size it is laid
# out for (fontconfig maps the name to it).
ZEVR_BUILD_PACKAGES+=(fonts-liberation2)
# Qt's own texts (context menus, file dialogs, standard buttons) in Russian: qtbase_ru.qm.
ZEVR_BUILD_PACKAGES+=(qttranslations5-l10n)
# The tests that drive the real program on a private X server, measure its window and check its installation.
ZEVR_TEST_PACKAGES=(xvfb xauth xdotool x11-utils fontconfig desktop-file-utils python3 faketime)
# The spelling test: hunspell with its Russian dictionary.
ZEVR_TEST_PACKAGES+=(hunspell hunspell-ru)
# The serial library's texts are read from its source archive.
ZEVR_TEST_PACKAGES+=(xz-utils)
# libFuzzer and the sanitizer runtimes for clang come with compiler-rt.
ZEVR_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# A test, or a planted fault, that writes without end would fill the disk long before the test's time runs out: the
# test runs get a limit on the size of any one file (in KiB), far above what any test writes.
ZEVR_TEST_FILE_LIMIT_KIB=$((1024 * 1024))
# ctest in the build tree DIR, under that limit; the remaining arguments go to ctest.
limited_ctest() { (cd "$1" && ulimit -f "$ZEVR_TEST_FILE_LIMIT_KIB" && ctest --parallel "$(nproc)" "${@:2}"); }

# Installs the packages that are missing, as root or through sudo; stops with a clear word otherwise.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
            sudo=(sudo)
        else
            echo "error: these Debian packages are missing: ${missing[*]}" >&2
            echo "error: installing them needs root or sudo without a password; install them and run again." >&2
            exit 1
        fi
    fi
    echo "Installing Debian packages: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q || exit 1
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" || exit 1
}

# The compiler cache: paths below the project are hashed relative to it and the working folder is left out, so that
# clones in other folders share what was compiled. Set here, not in the function, which runs in a subshell.
export CCACHE_BASEDIR=$ZEVR_ROOT CCACHE_NOHASHDIR=true
compiler_cache_options() { command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache; }

# configure_tree DIR [cmake options...]: configures once; later runs only build.
# Makefiles rather than Ninja: with Ninja, Qt's moc step misses headers that appear in a later
# configure run, and an incremental build then fails to link.
configure_tree() {
    local dir=$1
    shift
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles$' "$dir/CMakeCache.txt"; then
        rm -rf "$dir"
    fi
    if [ ! -f "$dir/Makefile" ]; then
        cmake -S "$ZEVR_ROOT" -B "$dir" -G "Unix Makefiles" $(compiler_cache_options) "$@" || return 1
    fi
}

# build_tree DIR [cmake options...]: configures once, then builds everything incrementally.
build_tree() {
    configure_tree "$@" || return 1
    cmake --build "$1" --parallel "$(nproc)" || return 1
}

# A private runtime directory, as Qt wants one, for headless runs.
private_runtime_dir() {
    if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ] || [ ! -O "$XDG_RUNTIME_DIR" ]; then
        XDG_RUNTIME_DIR=$(mktemp -d /tmp/zevr-runtime.XXXXXX)
        chmod 0700 "$XDG_RUNTIME_DIR"
        export XDG_RUNTIME_DIR
    fi
}
