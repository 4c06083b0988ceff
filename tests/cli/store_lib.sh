# Helpers for the host program's tests against its on-disk service store ($CVSERVINST_SCM_DIR, set
# by lib.sh). Source after lib.sh.

RECORD="$CVSERVINST_SCM_DIR/corvaneservice.svc"
DONE=$' Done: Service "Corvane Monitor" installed\r\n'

# place PATH: makes an (empty) executable at PATH.
place() {
    mkdir -p "$(dirname "$1")" && : >"$1"
}

# expect_record LINE...: the record of CorvaneService holds each "Key=Value" LINE exactly.
expect_record() {
    [ -f "$RECORD" ] || { fail "no record $RECORD"; return; }
    local line
    for line in "$@"; do
        grep -qxF -- "$line" "$RECORD" || { fail "record lacks: $line"; cat "$RECORD" >&2; }
    done
}

# expect_dependencies NAME...: the record's dependencies are exactly these, in this order.
expect_dependencies() {
    local actual expected
    actual=$(grep '^DependOnService=' "$RECORD" | cut -d= -f2-)
    expected=$(printf '%s\n' "$@")
    [ "$actual" = "$expected" ] || fail "dependencies are [${actual//$'\n'/ }], expected [$*]"
}

# hold_lock FILE SECONDS: another process takes an exclusive flock on FILE and keeps it SECONDS
# seconds; returns once the lock is held, so that the run after it surely finds it taken.
hold_lock() {
    local ready="$WORK/held.$RANDOM"
    flock "$1" sh -c ': >"$1"; sleep "$2"' hold_lock "$ready" "$2" &
    local tries
    for ((tries = 0; tries < 200; tries++)); do
        [ -e "$ready" ] && return 0
        sleep 0.05
    done
    fail "the lock on $1 was not taken in 10 s"
}

# expect_run_waits_for FILE: with FILE locked for 2 s by another process, a run of the program
# waits at least a second for it, then succeeds.
expect_run_waits_for() {
    hold_lock "$1" 2
    local start waited
    start=$(date +%s%3N)
    run_once corvane.exe
    waited=$(($(date +%s%3N) - start))
    wait
    expect_status 0
    expect_output "$DONE"
    [ "$waited" -ge 1000 ] || fail "the run did not wait for the lock on $1 (${waited} ms)"
}

# store_snapshot: every file of the store with its checksum, one per line (the lock file aside).
store_snapshot() {
    [ -d "$CVSERVINST_SCM_DIR" ] || return 0
    (cd "$CVSERVINST_SCM_DIR" && find . -type f ! -name .lock ! -name ".lock.*" -print0 | sort -z | xargs -0 -r sha256sum)
}

# expect_store_unchanged SNAPSHOT: the store holds exactly what it held when SNAPSHOT was taken.
expect_store_unchanged() {
    local now
    now=$(store_snapshot)
    [ "$now" = "$1" ] || fail "the store changed: was [$1], is [$now]"
}
