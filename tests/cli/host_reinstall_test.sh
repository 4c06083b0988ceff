#!/usr/bin/env bash
# The host program's reinstall against the on-disk store in the test's own directory:
# `host_reinstall_test.sh CASE host PROGRAM`. Exit status 77: the case cannot run here.
source "$(dirname "$0")/lib.sh" "$2" "$3" "${4:-}"
source "$(dirname "$0")/store_lib.sh"
[ "$BACKEND" = host ] || { echo "these cases run the host program only" >&2; exit 2; }

expect_absent() {
    if grep -qF -- "$2" "$1"; then fail "$(basename "$1") holds: $2"; cat "$1" >&2; fi
}

# seed_old STATE STOP_PENDING [LINE...]: a record written by hand for CorvaneService of an earlier
# installation, in STATE (4: running); a stop stays pending for STOP_PENDING status queries (-1: for
# ever); each further "Key=Value" LINE is added to it.
seed_old() {
    mkdir -p "$CVSERVINST_SCM_DIR"
    cat >"$RECORD" <<EOF
Name=CorvaneService
DisplayName=Corvane Monitor
Type=272
Start=2
ErrorControl=1
ImagePath=/opt/old/corvane.exe /service
DependOnService=RpcSs
DependOnService=Eventlog
DependOnService=TapiSrv
DependOnService=oldmaster
State=$1
StopPending=$2
EOF
    shift 2
    [ $# -eq 0 ] || printf '%s\n' "$@" >>"$RECORD"
}

# expect_error_report FIRST: status 1, and the creation's failure reported alone: stdout is the
# header, " Error: FIRST", the system's text on one line, and the empty line that its own line end
# makes; the Error box on stderr shows the same two lines, once.
expect_error_report() {
    expect_status 1
    local text
    text=$(tail -c +"$(($(header_bytes | wc -c) + 1))" "$WORK/out" | sed -n 2p | tr -d '\r')
    [ -n "$text" ] || fail "no system text after \"$1\""
    expect_output " Error: $1"$'\r\n'"$text"$'\r\n\r\n'
    expect_contains "$WORK/err" "- Error -"
    expect_contains "$WORK/err" "$text"
    [ "$(grep -c -- "$1" "$WORK/err")" -eq 1 ] || { fail "stderr does not show \"$1\" once"; cat "$WORK/err" >&2; }
}

# timed_run ARGS...: run_once, its real duration in whole milliseconds in $elapsed_ms, and printed.
timed_run() {
    local start=$EPOCHREALTIME
    run_once "$@"
    local end=$EPOCHREALTIME
    elapsed_ms=$(( (${end/./} - ${start/./}) / 1000 ))
    printf 'run took %d.%03d s\n' $((elapsed_ms / 1000)) $((elapsed_ms % 1000))
}

case $1 in
first-install)
    exe="$WORK/Program Files/Corvane8/corvane.exe"
    place "$exe"
    run_once "$exe" snmp
    expect_status 0
    expect_output "$DONE"
    expect_contains "$WORK/err" "- Confirm -"
    expect_absent "$WORK/err" "Error"
    expect_record "Name=CorvaneService" "DisplayName=Corvane Monitor" "Type=272" "Start=2" \
        "ErrorControl=1" "ImagePath=\"$exe\" /service" "State=1"
    expect_dependencies RpcSs Eventlog TapiSrv snmp
    # Again, over the first registration: the dialog is closed before the console line comes.
    run_interleaved "$exe" snmp
    expect_status 0
    expect_before "$WORK/both" "- Confirm -" " Done: Service \"Corvane Monitor\" installed"
    ;;
reinstall-running)
    seed_old 4 1
    exe="$WORK/corvane9/corvane.exe"
    place "$exe"
    timed_run "$exe" snmp LanmanServer
    expect_status 0
    expect_output "$DONE"
    # One second after the stop request, one more while it is pending.
    [ "$elapsed_ms" -ge 2000 ] || fail "the run took ${elapsed_ms} ms, less than the 2 s of the stop"
    [ "$elapsed_ms" -lt 10000 ] || fail "the run took ${elapsed_ms} ms, long after the service stopped"
    expect_record "ImagePath=$exe /service" "State=1" "Type=272" "Start=2"
    expect_absent "$RECORD" "StopPending=1"
    expect_dependencies RpcSs Eventlog TapiSrv snmp LanmanServer
    ;;
never-stops)
    seed_old 4 -1
    exe="$WORK/corvane9/corvane.exe"
    place "$exe"
    timed_run "$exe" snmp
    # The 1 s after the stop request and 20 more polls.
    [ "$elapsed_ms" -ge 20000 ] || fail "the run took ${elapsed_ms} ms, less than the 20 s wait"
    expect_error_report "Cannot create service"
    for stream in out err; do expect_absent "$WORK/$stream" "Cannot stop service"; done
    expect_record "ImagePath=/opt/old/corvane.exe /service"
    expect_dependencies RpcSs Eventlog TapiSrv oldmaster
    ;;
accepts-no-stop)
    # Running, and it accepts no stop request: it is left registered and running as it was, not
    # marked to go once its process ends, and the creation's refusal is reported.
    seed_old 4 0 ControlsAccepted=0
    exe="$WORK/corvane9/corvane.exe"
    place "$exe"
    run_once "$exe" snmp
    expect_error_report "Cannot create service"
    expect_contains "$WORK/out" "The service already exists."
    expect_record "ImagePath=/opt/old/corvane.exe /service" "State=4" "ControlsAccepted=0"
    expect_dependencies RpcSs Eventlog TapiSrv oldmaster
    expect_absent "$RECORD" "MarkedForDelete"
    ;;
held-open)
    # Stopped, and another process holds it open for 3 s: the deletion only marks it, the run waits
    # until the holder has ended and the name is free, then registers afresh.
    sleep 3 &
    holder=$!
    seed_old 1 0 "OpenHandle=$holder"
    exe="$WORK/corvane9/corvane.exe"
    place "$exe"
    timed_run "$exe" snmp
    expect_status 0
    expect_output "$DONE"
    expect_record "ImagePath=$exe /service" "State=1"
    expect_absent "$RECORD" "MarkedForDelete"
    expect_absent "$RECORD" "OpenHandle"
    [ "$elapsed_ms" -ge 1500 ] || fail "the run took ${elapsed_ms} ms: it did not wait for the holder"
    wait "$holder"
    ;;
no-rights)
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: running as another user needs root"; exit 77
    fi
    id nobody >/dev/null 2>&1 || { echo "SKIP: there is no user nobody"; exit 77; }
    if command -v runuser >/dev/null; then
        as_nobody=(runuser -u nobody --)
    elif command -v setpriv >/dev/null; then
        as_nobody=(setpriv --reuid=nobody --regid="$(id -gn nobody)" --clear-groups)
    else
        echo "SKIP: neither runuser nor setpriv is installed"; exit 77
    fi
    "${as_nobody[@]}" test -x "$PROGRAM" ||
        { echo "SKIP: user nobody cannot run $PROGRAM (its directories need o+x)"; exit 77; }
    # The store, owned by root, with an old registration; the executable reachable by nobody.
    mkdir -p "$CVSERVINST_SCM_DIR"
    chmod 755 "$WORK" "$CVSERVINST_SCM_DIR"
    seed_old 1 0
    exe="$WORK/corvane9/corvane.exe"
    place "$exe"
    chmod -R o+rX "$WORK/corvane9"
    "${as_nobody[@]}" test -w "$CVSERVINST_SCM_DIR" && { echo "SKIP: nobody may write the store"; exit 77; }
    snapshot() { (cd "$CVSERVINST_SCM_DIR" && ls -lA --time-style=full-iso . && stat -c "%y %s" . && cat ./*); }
    before=$(snapshot)
    "${as_nobody[@]}" env CVSERVINST_SCM_DIR="$CVSERVINST_SCM_DIR" "$PROGRAM" "$exe" snmp \
        </dev/null >"$WORK/out" 2>"$WORK/err"
    status=$?
    expect_error_report "Cannot open Service Control Manager"
    [ "$before" = "$(snapshot)" ] || { fail "the store changed"; diff <(echo "$before") <(snapshot) >&2; }
    ;;
done-write-fails)
    command -v prlimit >/dev/null || { echo "SKIP: prlimit is not installed"; exit 77; }
    exe="$WORK/corvane9/corvane.exe"
    place "$exe"
    size=$(header_bytes | wc -c)
    # Files may grow to the header's size, so the Done line is the first write that fails; an
    # ignored SIGXFSZ stays ignored across exec, and the write fails with EFBIG. Standard error
    # goes through a pipe, which the limit does not touch.
    bash -c "trap '' XFSZ; exec prlimit --fsize=$size:$size -- \"\$@\"" prlimit "$PROGRAM" "$exe" snmp \
        </dev/null 2>&1 >"$WORK/out" | cat >"$WORK/err"
    status=${PIPESTATUS[0]}
    expect_status 1
    expect_output ""
    expect_record "ImagePath=$exe /service" "State=1"
    expect_dependencies RpcSs Eventlog TapiSrv snmp
    # The Confirm box, then the Error box for the failed Done line; its " Error: " line fails too,
    # so the program ends with its report of that error on standard error.
    expect_before "$WORK/err" "- Confirm -" "- Error -"
    expect_before "$WORK/err" "- Error -" "(x) Cannot write to standard output: File too large"
    expect_before "$WORK/err" "(x) Cannot write to standard output" \
        "cvservinst: Cannot write to standard output: File too large"
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
finish
