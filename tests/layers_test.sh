#!/usr/bin/env bash
# The layer check passes on the project and fails, naming the line, on a copy with one include that runs upward.
set -u
src=$1
check=$src/scripts/check-layers.sh
"$check" "$src" || { echo "FAIL: the project itself has an upward include"; exit 1; }

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$src"/{app,mainwindow,sender,dialogs,serial,workfiles,protocol} "$copy"/
status=0
plant() {
    local file=$1 include=$2 out
    cp "$src/$file" "$copy/$file"
    echo "#include \"$include\"" >>"$copy/$file"
    if out=$("$check" "$copy"); then
        echo "FAIL: $file including $include was not caught"
        status=1
    elif ! grep -q "^upward include: $file:[0-9]* includes $include$" <<<"$out"; then
        echo "FAIL: $file including $include was caught without naming it: $out"
        status=1
    fi
    cp "$src/$file" "$copy/$file"
}
plant workfiles/posixfile.h serial/portlist.h
plant protocol/commands.cpp workfiles/settingsfile.h
plant dialogs/settings_dlg.cpp mainwindow/mainwindow.h
plant mainwindow/mainwindow.cpp sender/sendsession.h
[ $status -eq 0 ] && echo "PASS: 4 planted upward includes caught"
exit $status
