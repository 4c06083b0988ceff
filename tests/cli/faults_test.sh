#!/usr/bin/env bash
# Bad input and faults against the host program: `faults_test.sh CASE host PROGRAM`. Every row must
# end in a clear report and an exit status that tells, and leave the store as it was unless the row
# is a success.
source "$(dirname "$0")/lib.sh" "$2" "$3" "${4:-}"
source "$(dirname "$0")/store_lib.sh"
[ "$BACKEND" = host ] || { echo "these cases run the host program only" >&2; exit 2; }

SCRATCH="$WORK/scratch"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

# expect_only_report TEXT: status 1; standard output is the header and " Error: TEXT".
expect_only_report() {
    expect_status 1
    expect_output " Error: $1"$'\r\n'
}

case $1 in
arguments)
    # First argument | what the report names (relative names are expanded against $SCRATCH).
    rows=(
        ''                   '""'
        '   '                "$SCRATCH/   "
        '""""'               "$SCRATCH/\"\"\"\""
        '"unclosed'          "$SCRATCH/\"unclosed"
        $'a\tb\x01c\x1f'     "$SCRATCH/"$'a\tb\x01c\x1f'
        $'\xe9t\xe9\xff.exe' "$SCRATCH/"$'\xe9t\xe9\xff.exe'
        $'corvane\x81'       "$SCRATCH/"$'corvane\x81'
        /dev/null            /dev/null
    )
    for ((i = 0; i < ${#rows[@]}; i += 2)); do
        before=$(store_snapshot)
        run_once "${rows[i]}" snmp
        expect_only_report "${rows[i + 1]} does not exist"
        expect_store_unchanged "$before"
    done
    # Bytes from 128 up are ordinary characters of a file's name and of the registered path.
    place "$SCRATCH/"$'\xe9t\xe9.exe'
    run_once $'\xe9t\xe9.exe'
    expect_status 0
    expect_output "$DONE"
    expect_record "ImagePath=$SCRATCH/"$'\xe9t\xe9.exe /service'
    ;;
masters)
    place "$SCRATCH/corvane.exe"
    # Names are kept as given: in order, twice when given twice, a fixed one again, any bytes.
    run_once corvane.exe
    expect_status 0
    expect_dependencies RpcSs Eventlog TapiSrv
    run_once corvane.exe snmp
    expect_dependencies RpcSs Eventlog TapiSrv snmp
    run_once corvane.exe snmp snmp RpcSs $'Dienst\xe9\xfc'
    expect_status 0
    expect_dependencies RpcSs Eventlog TapiSrv snmp snmp RpcSs $'Dienst\xe9\xfc'
    # An empty name is skipped: it would end the list and drop the names after it.
    run_once corvane.exe snmp "" LanmanServer
    expect_status 0
    expect_dependencies RpcSs Eventlog TapiSrv snmp LanmanServer
    # As many names as a Windows command line of 32,767 characters holds.
    many=()
    for ((n = 0; n < 3200; n++)); do many+=("master$n"); done
    run_once corvane.exe "${many[@]}"
    expect_status 0
    expect_output "$DONE"
    expect_dependencies RpcSs Eventlog TapiSrv "${many[@]}"
    ;;
streams)
    place "$SCRATCH/corvane.exe"
    # Standard output closed: nothing can be reported there, and nothing is done.
    "$PROGRAM" corvane.exe </dev/null >&- 2>"$WORK/err"
    status=$?
    expect_status 1
    expect_contains "$WORK/err" "Cannot write to standard output"
    [ -e "$RECORD" ] && fail "a service was registered although nothing could be reported"
    # Standard error or standard input closed: the dialog is not seen, the console still reports.
    "$PROGRAM" corvane.exe </dev/null >"$WORK/out" 2>&-
    status=$?
    expect_status 0
    expect_output "$DONE"
    expect_record "ImagePath=$SCRATCH/corvane.exe /service"
    "$PROGRAM" corvane.exe <&- >"$WORK/out" 2>"$WORK/err"
    status=$?
    expect_status 0
    expect_output "$DONE"
    expect_contains "$WORK/err" "- Confirm -"
    ;;
store-missing)
    place "$SCRATCH/corvane.exe"
    export CVSERVINST_SCM_DIR="$WORK/not/yet/there"
    RECORD="$CVSERVINST_SCM_DIR/corvaneservice.svc"
    run_once corvane.exe
    expect_status 0
    expect_record "Name=CorvaneService"
    ;;
store-damaged)
    place "$SCRATCH/corvane.exe"
    mkdir -p "$CVSERVINST_SCM_DIR"
    printf 'Name=CorvaneService\nState=running\n' >"$RECORD"
    printf 'Name=snmp\nDisplayName=SNMP Service\nType=16\nStart=2\nErrorControl=1\nImagePath=/usr/sbin/snmpd\nObjectName=LocalSystem\nState=4\nStopPending=0\n' \
        >"$CVSERVINST_SCM_DIR/snmp.svc"
    before=$(store_snapshot)
    run_once corvane.exe snmp
    # The damaged record is neither dropped nor overwritten; the service beside it is left alone.
    expect_status 1
    expect_contains "$WORK/out" " Error: Cannot create service"
    expect_contains "$WORK/out" "The data is not valid."
    expect_store_unchanged "$before"
    # Once the record is mended by hand, the run replaces it and still leaves the other alone.
    rm "$RECORD"
    neighbour=$(sha256sum <"$CVSERVINST_SCM_DIR/snmp.svc")
    run_once corvane.exe snmp
    expect_status 0
    [ "$(sha256sum <"$CVSERVINST_SCM_DIR/snmp.svc")" = "$neighbour" ] || fail "snmp.svc changed"
    ;;
store-locked)
    place "$SCRATCH/corvane.exe"
    mkdir -p "$CVSERVINST_SCM_DIR"
    # A lock held for a short while is waited for.
    expect_run_waits_for "$CVSERVINST_SCM_DIR/.lock"
    # One held for longer than the wait: a clear error, and nothing changed.
    before=$(store_snapshot)
    hold_lock "$CVSERVINST_SCM_DIR/.lock" 4
    CVSERVINST_SCM_LOCK_TIMEOUT_MS=1000 run_once corvane.exe
    wait
    expect_status 1
    expect_contains "$WORK/out" " Error: Cannot "
    expect_contains "$WORK/out" "The service database is locked."
    expect_store_unchanged "$before"
    ;;
turns)
    place "$SCRATCH/corvane.exe"
    mkdir -p "$CVSERVINST_SCM_DIR"
    # Another run's turn, from its removal to its creation, is waited for before this one removes.
    expect_run_waits_for "$CVSERVINST_SCM_DIR/.lock.cvservinst.CorvaneService"
    ;;
concurrent)
    place "$SCRATCH/corvane.exe"
    mkdir -p "$CVSERVINST_SCM_DIR"
    for ((n = 0; n < 20; n++)); do
        "$PROGRAM" corvane.exe "master$n" </dev/null >"$WORK/out.$n" 2>"$WORK/err.$n" &
    done
    for ((n = 0; n < 20; n++)); do
        wait -n
    done
    succeeded=0
    for ((n = 0; n < 20; n++)); do
        # Each run ends with one report: done, or an error with its reason.
        if grep -qF " Done: " "$WORK/out.$n"; then
            succeeded=$((succeeded + 1))
        elif ! grep -qE '^ Error: Cannot (create|open) ' "$WORK/out.$n"; then
            fail "run $n ended without a clear report: $(cat "$WORK/out.$n" "$WORK/err.$n")"
        fi
    done
    # Runs take turns, so none removes what another has just created: every one succeeds.
    [ "$succeeded" -eq 20 ] || fail "only $succeeded of 20 runs succeeded"
    # Exactly one valid registration, and no damaged or stray file.
    files=$(cd "$CVSERVINST_SCM_DIR" && find . -mindepth 1 ! -name .lock ! -name ".lock.*" | sort)
    [ "$files" = "./corvaneservice.svc" ] || fail "the store holds [$files]"
    grep -q '^MarkedForDelete=' "$RECORD" && fail "the registration left is marked for deletion"
    expect_record "Name=CorvaneService" "ImagePath=$SCRATCH/corvane.exe /service"
    # It can be read, and replaced, by the next run.
    run_once corvane.exe
    expect_status 0
    echo "all 20 concurrent runs registered the service in turn"
    ;;
store-values)
    place "$SCRATCH/corvane.exe"
    # Master names with line breaks and percent signs are registered as given, and read back: the
    # next run replaces the registration.
    run_once corvane.exe $'snmp\nState=4' $'a\r%0A'
    expect_status 0
    expect_output "$DONE"
    expect_record 'DependOnService*=snmp%0AState=4' 'DependOnService*=a%0D%250A' 'State=1'
    run_once corvane.exe snmp
    expect_status 0
    expect_output "$DONE"
    expect_dependencies RpcSs Eventlog TapiSrv snmp
    # 1.1 MB of names (more than a Windows command line holds): registered, and replaced by the next run.
    many=()
    for ((n = 0; n < 11000; n++)); do
        printf -v name 'master%05d%089d' "$n" 0
        many+=("$name")
    done
    run_once corvane.exe "${many[@]}"
    expect_status 0
    expect_output "$DONE"
    [ "$(grep -c '^DependOnService=master' "$RECORD")" -eq 11000 ] || fail "not all 11000 names were registered"
    run_once corvane.exe snmp
    expect_status 0
    expect_output "$DONE"
    expect_dependencies RpcSs Eventlog TapiSrv snmp
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
finish
