#!/usr/bin/env bash
# Compiler and linker launcher of the Windows check's build tree (scripts/windows-check.sh); CMake puts it
# in front of every compile and link command there.
#
#   launch.sh compile COMPILER ARGS...  A source that compiles without the headers of imported libraries
#                                       (Qt's) is compiled to its object. Any other is syntax-checked against
#                                       Debian's Qt headers, and an empty file stands in for its object, since
#                                       there is no Qt for Windows to link it with.
#   launch.sh link LINKER ARGS...       Nothing is linked; an empty file stands in for the program.
#
# Each outcome is appended as one line to $ZEVR_WINDOWS_LOG when that is set.
set -u

mode=$1
shift

note() {
    [ -n "${ZEVR_WINDOWS_LOG:-}" ] && echo "$*" >>"$ZEVR_WINDOWS_LOG"
    return 0
}

# The value that follows the option $1 in the rest of the arguments.
option_value() {
    local option=$1
    shift
    while [ $# -gt 1 ]; do
        [ "$1" = "$option" ] && { echo "$2"; return; }
        shift
    done
}

case $mode in
compile)
    command=("$@")
    object=$(option_value -o "$@")
    source=$(option_value -c "$@")
    # CMake passes the include directories of imported libraries, Qt's, with -isystem.
    without_imported=()
    while [ $# -gt 0 ]; do
        if [ "$1" = -isystem ]; then
            shift 2
            continue
        fi
        without_imported+=("$1")
        shift
    done
    if "${without_imported[@]}" -fsyntax-only 2>/dev/null; then
        "${without_imported[@]}" || { note "failed $source"; exit 1; }
        note "object $source"
        exit 0
    fi
    "${command[@]}" -fsyntax-only || { note "failed $source"; exit 1; }
    : >"$object" || exit 1
    note "syntax $source"
    exit 0
    ;;
link)
    output=$(realpath -m "$(option_value -o "$@")")
    subsystem=console
    for arg in "$@"; do
        [ "$arg" = -mwindows ] && subsystem=GUI
    done
    : >"$output" || exit 1
    echo "not linked: $output ($subsystem subsystem)"
    note "unlinked $output $subsystem"
    exit 0
    ;;
*)
    echo "usage: $0 compile|link COMMAND..." >&2
    exit 2
    ;;
esac
