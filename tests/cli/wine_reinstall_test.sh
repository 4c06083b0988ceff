#!/usr/bin/env bash
# The Windows program against Wine's real service manager, in the test run's prefix, one case of
# those that touch CorvaneService at a time:
# `wine_reinstall_test.sh CASE BACKEND PROGRAM WINE_RUN [TEST_SERVICE [HOLDER]]`. TEST_SERVICE is a
# real service program (cvs_test_service.exe) used as the product's executable; HOLDER
# (cvs_hold_service.exe) holds a service open for some seconds, as a monitoring agent would.
# Exit status 77: the case cannot run here (a tool is missing).

# The dialog case needs a display: it runs again under a virtual X server of its own (and, run by
# ctest, in a Wine prefix of its own).
if [ "$1" = dialog ] && [ -z "${CVS_UNDER_XVFB:-}" ]; then
    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    CVS_UNDER_XVFB=1 exec xvfb-run -a "$BASH" "$0" "$@"
fi
[ "$1" = dialog ] || unset DISPLAY

here=$(dirname "$0")
source "$here/lib.sh" "$2" "$3" "$4"
source "$here/wine_lib.sh"
TEST_SERVICE=${5:-}
HOLDER=${6:-}
[ "$BACKEND" = wine ] || { echo "these cases run the Windows program only" >&2; exit 2; }

wine_case_begin --service CorvaneService 'C:\Program Files\Corvane7' 'C:\Program Files\Corvane8' \
    'C:\Corvane9' 'C:\cvs-held'

SAMPLE='C:\Program Files\Corvane8\corvane.exe'
DONE=$' Done: Service "Corvane Monitor" installed\r\n'

# timed_run ARGS...: run_once, and its duration printed.
timed_run() {
    local start=$EPOCHREALTIME
    run_once "$@"
    echo "run of cvservinst.exe $*: $(awk "BEGIN { printf \"%.2f\", $EPOCHREALTIME - $start }") s"
}

# expect_state NAME STATE: what `sc query` reports (1 stopped, 4 running).
expect_state() {
    local state
    state=$(wine_service_state "$1")
    [ "$state" = "$2" ] || fail "$1 is in state '${state}', expected $2"
}

# register_stopped_service 'C:\dir\file' [SWITCH]: the test service, registered under our name
# with SWITCH (/service when none) after its path, and not started.
register_stopped_service() {
    wine_place "$TEST_SERVICE" "$1" || { fail "cannot place the test service"; finish; }
    wine sc create CorvaneService binpath= "\"$1\" ${2:-/service}" type= own start= demand >/dev/null
}

# register_old_service 'C:\dir\file' [SWITCH]: the same, and running.
register_old_service() {
    register_stopped_service "$@"
    wine sc start CorvaneService >/dev/null
    wine_wait_state CorvaneService 4 && return
    fail "the old CorvaneService does not run"
    finish
}

# hold_service SECONDS: another program opens CorvaneService and holds it SECONDS seconds, in the
# background; returns once it holds it.
hold_service() {
    local ready_name='C:\cvs-held' ready tries
    ready=$(wine_unix_path "$ready_name")
    rm -f "$ready"
    "$WINE_RUN" "$HOLDER" CorvaneService "$1" "$ready_name" </dev/null >"$WORK/holder.out" 2>&1 &
    holder=$!
    for ((tries = 0; tries < 300; tries++)); do
        [ -e "$ready" ] && return
        sleep 0.1
    done
    fail "the holder did not open the service: $(cat "$WORK/holder.out")"
    finish
}

# running_in_prefix TEXT: whether a process of this prefix has TEXT in its command line.
running_in_prefix() {
    [ -n "$(wine_prefix_pids "$1")" ]
}

# dialog_run TITLE STATUS LINE ARGS...: the run shows a window titled TITLE that holds it, with no
# console line yet; Return closes it, then LINE comes and the run ends with STATUS.
dialog_run() {
    local title=$1 expected_status=$2 line=$3 window="" pid tries
    shift 3
    WINE_RUN_KEEP_DISPLAY=1 "$WINE_RUN" "$PROGRAM" "$@" </dev/null >"$WORK/out" 2>"$WORK/err" &
    pid=$!
    for ((tries = 0; tries < 300; tries++)); do
        window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        fail "no window titled \"$title\" appeared"
        kill "$pid" 2>/dev/null
        wait "$pid"
        return
    fi
    if [ -n "${CVS_SCREENSHOT_DIR:-}" ] && command -v import >/dev/null; then
        import -window root "$CVS_SCREENSHOT_DIR/dialog-$title.png"
    fi
    # Time enough for the program to go on, were it not held by the box.
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "the run ended while its \"$title\" box was open"
    grep -qaE '^ (Done|Error):' "$WORK/out" && fail "the console line came while the \"$title\" box was open"
    xdotool key --window "$window" Return 2>/dev/null
    for ((tries = 0; tries < 150; tries++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "the run did not end after its \"$title\" box was closed"
        kill "$pid" 2>/dev/null
    fi
    wait "$pid"
    status=$?
    expect_status "$expected_status"
    expect_output "$line"
}

case $1 in
first-install)
    wine_place "$TEST_SERVICE" "$SAMPLE" || fail "cannot place the sample"
    timed_run "$SAMPLE" snmp
    expect_status 0
    expect_output "$DONE"
    expect_no_stderr
    expect_registration CorvaneService "DisplayName=Corvane Monitor" Type=0x110 Start=0x2 ErrorControl=0x1 \
        'ImagePath="C:\Program Files\Corvane8\corvane.exe" /service' DependOnService=RpcSs,Eventlog,TapiSrv,snmp
    ;;
reinstall-running)
    old='C:\Program Files\Corvane7\corvane.exe'
    new='C:\Corvane9\corvane.exe'
    register_old_service "$old"
    wine_place "$TEST_SERVICE" "$new" || fail "cannot place the new executable"
    timed_run "$new" LanmanWorkstation Dnscache
    expect_status 0
    expect_output "$DONE"
    expect_no_stderr
    # The old service shut down through its stop request and its process is gone.
    [ -e "$(wine_unix_path "$old").stopped" ] || fail "the old service was not stopped through its stop request"
    running_in_prefix 'Corvane7\corvane.exe' && fail "the old service's process still runs"
    # A path with no blank stays unquoted; the new registration is not started.
    expect_registration CorvaneService "DisplayName=Corvane Monitor" Type=0x110 Start=0x2 ErrorControl=0x1 \
        'ImagePath=C:\Corvane9\corvane.exe /service' DependOnService=RpcSs,Eventlog,TapiSrv,LanmanWorkstation,Dnscache
    expect_state CorvaneService 1
    ;;
missing-path)
    missing=$' Error: C:\\nope\\corvane.exe does not exist\r\n'
    timed_run 'C:\nope\corvane.exe' snmp
    expect_status 1
    expect_output "$missing"
    expect_no_stderr
    wine_service_registration CorvaneService >/dev/null && fail "CorvaneService was registered"
    [ -z "$(wine_service_state CorvaneService)" ] || fail "sc query finds CorvaneService"
    # A registration already there is left running as it was: nothing is removed before the check.
    old='C:\Program Files\Corvane7\corvane.exe'
    register_old_service "$old"
    timed_run 'C:\nope\corvane.exe' snmp
    expect_status 1
    expect_output "$missing"
    expect_state CorvaneService 4
    expect_registration CorvaneService 'ImagePath="C:\Program Files\Corvane7\corvane.exe" /service' Start=0x3
    [ -e "$(wine_unix_path "$old").stopped" ] && fail "the old service was stopped"
    ;;
accepts-no-stop)
    # The old service runs and accepts no stop request: it is not deleted (which would only mark it,
    # to go when its process ends), so it stays registered; the creation's refusal is reported.
    old='C:\Program Files\Corvane7\corvane.exe'
    register_old_service "$old" /nostop
    wine_place "$TEST_SERVICE" "$SAMPLE" || fail "cannot place the sample"
    timed_run "$SAMPLE" snmp
    expect_status 1
    expect_output $' Error: Cannot create service\r\nService exists.\r\n\r\n'
    expect_no_stderr
    expect_state CorvaneService 4
    # Once its process has ended, the old registration is still there: it was never marked.
    : >"$(wine_unix_path "$old").release"
    wine_wait_state CorvaneService 1 100
    expect_state CorvaneService 1
    for ((tries = 0; tries < 50; tries++)); do
        running_in_prefix 'Corvane7\corvane.exe' || break
        sleep 0.2
    done
    running_in_prefix 'Corvane7\corvane.exe' && fail "the old service's process still runs"
    expect_registration CorvaneService 'ImagePath="C:\Program Files\Corvane7\corvane.exe" /nostop' Start=0x3
    ;;
held-open|marked-before)
    # Another program holds the stopped old service open for a few seconds; for marked-before an
    # uninstaller has deleted it meanwhile. The run waits until the registration is gone, then
    # registers afresh.
    register_stopped_service 'C:\Program Files\Corvane7\corvane.exe'
    hold_service 5
    if [ "$1" = marked-before ]; then
        wine sc delete CorvaneService >/dev/null || fail "sc delete failed"
    fi
    wine_place "$TEST_SERVICE" "$SAMPLE" || fail "cannot place the sample"
    timed_run "$SAMPLE" snmp
    expect_status 0
    expect_output "$DONE"
    expect_no_stderr
    expect_registration CorvaneService 'ImagePath="C:\Program Files\Corvane8\corvane.exe" /service' \
        DependOnService=RpcSs,Eventlog,TapiSrv,snmp
    kill -0 "$holder" 2>/dev/null && fail "the run ended before the holder let go"
    wait "$holder"
    ;;
held-too-long)
    # The holder outlasts the wait of 20 s: the run reports why it could not register the service.
    register_stopped_service 'C:\Program Files\Corvane7\corvane.exe'
    hold_service 60
    wine_place "$TEST_SERVICE" "$SAMPLE" || fail "cannot place the sample"
    start=$EPOCHREALTIME
    timed_run "$SAMPLE" snmp
    waited=$(awk "BEGIN { printf \"%d\", ($EPOCHREALTIME - $start) * 1000 }")
    expect_status 1
    expect_output $' Error: Cannot create service\r\nService marked for delete.\r\n\r\n'
    expect_no_stderr
    [ "$waited" -ge 20000 ] || fail "the run took $waited ms, less than the wait of 20 s"
    [ "$waited" -lt 30000 ] || fail "the run took $waited ms, long beyond the wait of 20 s"
    ;;
dialog)
    wine_place "$TEST_SERVICE" "$SAMPLE" || fail "cannot place the sample"
    # title | status | console line | arguments
    args=()
    while IFS='|' read -r title expected_status line arguments; do
        eval "args=($arguments)"
        dialog_run "$title" "$expected_status" "$line"$'\r\n' "${args[@]}"
    done <<'EOF'
Confirm|0| Done: Service "Corvane Monitor" installed|'C:\Program Files\Corvane8\corvane.exe' snmp
Error|1| Error: C:\nope\corvane.exe does not exist|'C:\nope\corvane.exe' snmp
EOF
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
finish
