# The stages of windows-wine.sh; sourced by it, with its variables and check().

wait_for() { # SECONDS COMMAND...: true once COMMAND succeeds
    local until=$((SECONDS + $1))
    shift
    while ! "$@" 2>/dev/null; do
        [ $SECONDS -lt $until ] || return 1
        sleep 0.2
    done
}

run_test_programs() {
    local tests=$drive_c/zevr/tests exe name status
    mkdir -p "$tests/platforms" || exit 1
    cp "$app"/*.dll "$tests/" && cp "$(zevr_qt_windows_prefix)/bin/Qt5Test.dll" "$tests/" &&
        cp "$(zevr_qt_windows_prefix)/plugins/platforms/qoffscreen.dll" "$tests/platforms/" || exit 1
    local programs=0
    for exe in "$tree"/windows-tests/tst_*.exe; do
        name=$(basename "$exe" .exe)
        cp "$exe" "$tests/" || exit 1
        # QtTest writes to the debugger rather than to a standard output that is no console; -o names a file.
        rm -f "$tests/$name.txt"
        (cd "$tests" && QT_QPA_PLATFORM=offscreen timeout 300 env LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 \
            "$wine64" "./$name.exe" -o "$name.txt,txt" >"$name.log" 2>&1)
        status=$?
        check "$name.exe under Wine passes (exit $status, $tests/$name.txt)" \
            test $status -eq 0 -a -n "$(grep -E '^Totals: [1-9][0-9]* passed, 0 failed' "$tests/$name.txt" 2>/dev/null)"
        grep -aE '^FAIL!' "$tests/$name.txt" 2>/dev/null | head -20
        echo "== wine: $name.exe: $(grep -a '^Totals:' "$tests/$name.txt" 2>/dev/null)"
        programs=$((programs + 1))
    done
    check "at least 4 Windows test programs ran (ran $programs)" [ $programs -ge 4 ]
}

start_display() {
    local n=$((90 + RANDOM % 400))
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1366x768x24 -nolisten tcp >"$work/run/xvfb.log" 2>&1 &
    pids+=($!)
    export DISPLAY=:$n
    wait_for 20 test -S "/tmp/.X11-unix/X$n" || { echo "== wine FAILED: Xvfb did not start"; exit 1; }
}

# start_sim LOG LINK [OPTIONS...]: the simulated controller with a link at LINK to its pseudo-terminal.
start_sim() {
    local log=$1 link=$2
    shift 2
    rm -f "$link"
    "$sim" --json --link "$link" "$@" >"$log" 2>&1 &
    pids+=($!)
    wait_for 10 test -e "$link" || { echo "== wine FAILED: the simulator did not start ($log)"; exit 1; }
}

# The bytes of each command the simulator received, one hex string a line.
received_commands() { grep '"event":"command"' "$1" | sed -n 's/.*"hex":"\([0-9A-F]*\)".*/\1/p'; }

command_count() { [ "$(received_commands "$1" | wc -l)" -ge "$2" ]; }
probe_count() { [ "$(grep -c '"event":"probe"' "$1")" -ge "$2" ]; }

# The program's top-level window among the windows Wine or Qt made for PROGRAM's process, by its title.
find_window() { xdotool search --onlyvisible --name "3G-Config v" 2>/dev/null | head -1; }

# new_window KNOWN...: waits for a program window that is none of KNOWN and prints it.
new_window() {
    local until=$((SECONDS + 60)) w
    while [ $SECONDS -lt $until ]; do
        for w in $(xdotool search --onlyvisible --name "3G-Config v" 2>/dev/null); do
            [[ " $* " == *" $w "* ]] || { echo "$w"; return 0; }
        done
        sleep 0.2
    done
    return 1
}

# There is no window manager on the private X server: the keyboard goes where the focus is set.
focus() { xdotool windowfocus --sync "$1" 2>/dev/null; }

window_count() { [ "$(xdotool search --onlyvisible --name "3G-Config v" 2>/dev/null | wc -l)" -eq "$1" ]; }

# send_each_tab WINDOW SIMLOG: Ctrl+Return on each of the three tabs, Ctrl+Tab between them; each command must
# reach the simulator before the next is sent.
send_each_tab() {
    local window=$1 simlog=$2 tab
    for tab in 1 2 3; do
        focus "$window"
        [ $tab -eq 1 ] || xdotool key --clearmodifiers ctrl+Tab
        sleep 0.3
        xdotool key --clearmodifiers ctrl+Return
        wait_for 15 command_count "$simlog" $tab || return 1
    done
}

# start_windows_program DIR: the Windows program in DIR under the tests' Wine.
start_windows_program() {
    local dir=$1
    (cd "$dir" && exec env LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$wine64" \
        "$app/ZEVR-3G-Config.exe") >>"$dir/wine.log" 2>&1 &
    program_pid=$!
    pids+=($program_pid)
}

stop_program() { # PID: ends a program and waits until it is gone
    kill "$1" 2>/dev/null
    wait_for 20 bash -c "! kill -0 $1" || kill -9 "$1" 2>/dev/null
}

settings_with() { # PORT AUTO: the Linux default settings file with the port and the automatic search set
    sed -e '/^COM Port\r$/{n;s|^.*\r$|'"$1"'\r|}' -e '/^COM Auto\r$/{n;s|^.*\r$|'"$2"'\r|}'
}

run_program_stages() {
    local run=$work/run linuxdir=$work/run/linux windir=$drive_c/zevr/windows window
    mkdir -p "$linuxdir" "$windir" || exit 1

    # The settings file a first start writes, the same bytes as the Linux program's.
    (cd "$linuxdir" && QT_QPA_PLATFORM=xcb exec "$linux/ZEVR-3G-Config") >"$linuxdir/program.log" 2>&1 &
    local linuxpid=$!
    pids+=($linuxpid)
    start_windows_program "$windir"
    check "the Windows program writes settings.ini at its first start" wait_for 60 test -s "$windir/settings.ini"
    check "the Linux program writes settings.ini at its first start" wait_for 30 test -s "$linuxdir/settings.ini"
    sleep 1
    check "settings.ini has the same bytes as the Linux program's" cmp -s "$windir/settings.ini" "$linuxdir/settings.ini"
    stop_program $linuxpid
    stop_program $program_pid
    rm -rf "$windir/LOGS_ZEVR_3G_Config" "$linuxdir/LOGS_ZEVR_3G_Config"

    # One command from each tab, on both systems, to simulators of their own.
    start_sim "$run/sim-windows.log" "$WINEPREFIX/dosdevices/com5"
    start_sim "$run/sim-linux.log" "$linuxdir/ttySIM"
    settings_with COM5 false <"$linuxdir/settings.ini" >"$windir/settings.ini"
    settings_with "$linuxdir/ttySIM" false <"$linuxdir/settings.ini" >"$linuxdir/settings.new" &&
        mv "$linuxdir/settings.new" "$linuxdir/settings.ini"
    start_windows_program "$windir"
    local first=$program_pid
    check "the Windows program's window appears" wait_for 60 window_count 1
    window=$(find_window)
    check "the Windows program sends one command from each tab" send_each_tab "$window" "$run/sim-windows.log"
    "$linux/tests/zevr-xgrab" "$window" "$run/windows-window.png" || echo "== wine: no picture of the window"

    # A second copy starts while the first runs, and the first still sends afterwards.
    start_windows_program "$windir"
    local second
    second=$(new_window "$window")
    check "a second copy starts while the first runs" test -n "$second"
    focus "$second" && xdotool key --clearmodifiers ctrl+q
    check "the second copy quits with Ctrl+Q" wait_for 30 window_count 1
    focus "$window" && xdotool key --clearmodifiers ctrl+Return
    check "the first copy still sends after the second quit" wait_for 15 command_count "$run/sim-windows.log" 4

    (cd "$linuxdir" && QT_QPA_PLATFORM=xcb exec "$linux/ZEVR-3G-Config") >"$linuxdir/program.log" 2>&1 &
    linuxpid=$!
    pids+=($linuxpid)
    local linuxwindow
    linuxwindow=$(new_window "$window")
    check "the Linux program sends one command from each tab" send_each_tab "${linuxwindow:-0}" "$run/sim-linux.log"
    check "the simulator received the same bytes from both programs" \
        cmp -s <(received_commands "$run/sim-windows.log" | head -3) <(received_commands "$run/sim-linux.log")
    echo "== wine: commands from Windows: $(received_commands "$run/sim-windows.log" | tr '\n' ' ')"
    stop_program $linuxpid
    stop_program $first
    check_log "$windir"
}

# Qt lists the ports of the registry's SERIALCOMM key; Wine lists there the COM ports it maps to serial devices
# that exist. COM5 is added as a USB adapter's driver would add it.
run_auto_search_stage() {
    local dir=$drive_c/zevr/auto
    mkdir -p "$dir" || exit 1
    settings_with "" true <"$work/run/linux/settings.ini" >"$dir/settings.ini" || exit 1
    start_sim "$dir/sim.log" "$WINEPREFIX/dosdevices/com5"
    wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v ZevrSim /t REG_SZ /d COM5 /f >/dev/null 2>&1
    echo "== wine: SERIALCOMM lists $(wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null |
        grep -oE 'COM[0-9]+' | sort -u | tr '\n' ' ')"
    start_windows_program "$dir"
    check "the Windows program's window appears for the automatic search" wait_for 60 window_count 1
    local window
    window=$(find_window)
    focus "$window" && xdotool key --clearmodifiers ctrl+Return
    check "the automatic search finds the controller on COM5" wait_for 30 command_count "$dir/sim.log" 1
    stop_program $program_pid
    echo "== wine: the search's reports: $(iconv -f CP1251 -t UTF-8 "$dir"/LOGS_ZEVR_3G_Config/log_*.log |
        cut -c25- | tr -d '\r' | paste -sd '|')"
}

# The log of the Windows program: code page 1251, CR LF lines of "dd.MM.yyyy hh:mm:ss:    text".
check_log() {
    local logs=("$1"/LOGS_ZEVR_3G_Config/log_*.log)
    check "the Windows program wrote one log file (${#logs[@]})" [ ${#logs[@]} -eq 1 ] && [ -f "${logs[0]}" ]
    local log=${logs[0]}
    check "every log line ends in CR LF" [ "$(grep -c $'\r$' "$log")" -eq "$(wc -l <"$log")" ]
    check "every log line has the time stamp and the four spaces" \
        test -z "$(LC_ALL=C grep -avE $'^[0-9]{2}\\.[0-9]{2}\\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}:    .*\r$' "$log")"
    local text
    text=$(iconv -f CP1251 -t UTF-8 "$log")
    check "the log is in code page 1251" grep -qaF "$(printf 'Отправлено. COM5 закрыт' | iconv -f UTF-8 -t CP1251)" "$log"
    check "the log holds each report (Открыт, Обнаружено устройство, Отправлено)" \
        test "$(grep -c 'Открыт COM5-115200-8-0-1-Нет' <<<"$text")" -ge 3 -a \
        "$(grep -c 'Обнаружено устройство' <<<"$text")" -ge 3 -a "$(grep -c 'Отправлено. COM5 закрыт' <<<"$text")" -ge 3
}

# A profile of every tab, as a depot would give the sender.
write_profile() {
    printf '%s\r\n' version=1 '[station]' type=single unit1=on unit1.address=17 '[time]' time=12:34:56 \
        date=05/06/2030 '[meter]' type=pulse reading=0001234.5 coefficient=3200 >"$1"
}

# run_sender DIR OUT [ARGS...]: zevr3g-send.exe in DIR with its standard output and error in OUT; the exit status.
run_sender() {
    local dir=$1 out=$2
    shift 2
    (cd "$dir" && timeout 60 env LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$wine64" \
        "$app/zevr3g-send.exe" "$@") >"$out" 2>&1
}

run_sender_stages() {
    local dir=$drive_c/zevr/sender status
    mkdir -p "$dir" || exit 1
    write_profile "$dir/station.ini"
    start_sim "$dir/sim.log" "$WINEPREFIX/dosdevices/com5"
    run_sender "$dir" "$dir/out.txt" --profile station.ini --tab all --port COM5
    status=$?
    check "zevr3g-send.exe --port COM5 configures the simulator (exit $status, $dir/out.txt)" [ $status -eq 0 ]
    check "the simulator received the three commands from zevr3g-send.exe" command_count "$dir/sim.log" 3
    # Redirected, the output is UTF-8: the encoding of JSON and of a depot's scripts.
    check "zevr3g-send.exe writes UTF-8 Russian when redirected" grep -q 'Отправлено. COM5' "$dir/out.txt"
    # On a console it writes UTF-16 through the console; Wine shows that on the terminal as UTF-8.
    script -qec "cd '$dir' && timeout 60 env LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 $wine64 \
        '$app/zevr3g-send.exe' --profile station.ini --tab time --port COM5" \
        /dev/null >"$dir/console.txt" 2>&1
    check "zevr3g-send.exe writes readable Russian on a console" grep -q 'Отправлено. COM5' "$dir/console.txt"
    check "zevr3g-send.exe creates no settings file and no log folder" \
        test ! -e "$dir/settings.ini" -a ! -e "$dir/LOGS_ZEVR_3G_Config"

    start_sim "$dir/sim-silent.log" "$WINEPREFIX/dosdevices/com5" --silent
    run_sender "$dir" "$dir/silent.txt" --profile station.ini --tab time --port COM5
    status=$?
    check "a silent controller gives exit 4 (exit $status)" [ $status -eq 4 ]
    run_sender "$dir" "$dir/missing.txt" --profile station.ini --tab time --port COM9
    check "a missing port is named as Windows names it" grep -q 'COM9' "$dir/missing.txt"
    check "a missing port is not named as a Linux device" test -z "$(grep /dev/ "$dir/missing.txt")"
    run_depot_stage "$dir"
}

# A depot's run on Windows, stopped by Ctrl+C in the middle of a unit (Wine turns SIGINT into the console's Ctrl+C
# event): the console handler, the orderly end and the record appended through the Windows file calls.
run_depot_stage() {
    local dir=$1 runner status first
    first=$(received_commands "$dir/sim.log" | head -1) # the station's command, from the run above
    # The second probe's answer comes late, which leaves time to interrupt the unit after its first command.
    start_sim "$dir/sim-depot.log" "$WINEPREFIX/dosdevices/com5" --cycle ok,delay:900
    run_sender "$dir" "$dir/depot.txt" --profile station.ini --tab all --port COM5 --wait --record units.jsonl &
    runner=$!
    wait_for 60 probe_count "$dir/sim-depot.log" 2
    pgrep -a -f 'zevr3g-send[.]exe' >"$dir/signalled.txt"
    pkill -INT -x 'zevr3g-send.exe'
    wait "$runner"
    status=$?
    check "Ctrl+C stops a depot's unit on Windows in order (exit $status, $dir/depot.txt)" [ $status -eq 5 ]
    check "the depot's unit got its first command only" [ "$(received_commands "$dir/sim-depot.log")" = "$first" ]
    check "the unit cut short is recorded on Windows, one whole line ($dir/units.jsonl)" \
        [ "$(grep -c '^{"commands":\[.*\],"outcome":"interrupted","port":"COM5",.*}$' "$dir/units.jsonl")" -eq 1 \
        -a "$(wc -l <"$dir/units.jsonl")" -eq 1 ]
}
