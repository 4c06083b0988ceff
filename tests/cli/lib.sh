# Helpers for the tests that run the program itself: `source lib.sh BACKEND PROGRAM [WINE_RUN]`.
# BACKEND is "host" (the Linux program) or "wine" (the Windows program, run through WINE_RUN).
set -u
export LC_ALL=C

BACKEND=$1
PROGRAM=$2
WINE_RUN=${3:-}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/cvservinst-cli.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# The host program's emulated service manager keeps its store here, not in the user's.
export CVSERVINST_SCM_DIR="$WORK/scm"
failures=0

# launch PROGRAM ARGS...: runs PROGRAM, the Windows one through WINE_RUN and ended after 90 s, so
# that a run that hangs leaves the case time to clean up before ctest ends it.
launch() {
    if [ "$BACKEND" = wine ]; then
        timeout 90 "$WINE_RUN" "$@"
    else
        "$@"
    fi
}

# run ARGS...: runs the program with standard input closed to a non-terminal; leaves its standard
# output in $WORK/out, standard error in $WORK/err, both interleaved in $WORK/both, status in $status.
run() {
    launch "$PROGRAM" "$@" </dev/null >"$WORK/out" 2>"$WORK/err"
    status=$?
    launch "$PROGRAM" "$@" </dev/null >"$WORK/both" 2>&1
}

# run_once ARGS...: like run, but runs the program only once, for runs that change what the next
# one finds: standard output in $WORK/out, standard error in $WORK/err, status in $status.
run_once() {
    run_program "$PROGRAM" "$@"
}

# run_program PROGRAM ARGS...: run_once for another build of the program.
run_program() {
    local program=$1
    shift
    launch "$program" "$@" </dev/null >"$WORK/out" 2>"$WORK/err"
    status=$?
}

# run_interleaved ARGS...: runs the program once with both streams in $WORK/both, in the order
# written; status in $status.
run_interleaved() {
    launch "$PROGRAM" "$@" </dev/null >"$WORK/both" 2>&1
    status=$?
}

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_status N
expect_status() {
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

# expect_output TEXT: standard output is the header (below) followed by exactly TEXT.
expect_output() {
    { header_bytes; printf '%s' "$1"; } >"$WORK/expected"
    expect_same_bytes "$WORK/out"
}

expect_no_stderr() {
    [ -s "$WORK/err" ] && fail "standard error is not empty: $(cat "$WORK/err")"
}

# expect_same_bytes FILE: the file holds exactly the bytes of $WORK/expected.
expect_same_bytes() {
    if ! cmp -s "$WORK/expected" "$1"; then
        fail "$(basename "$1") differs from what was expected"
        echo "--- expected" >&2; od -c "$WORK/expected" | tail -n 12 >&2
        echo "--- actual" >&2; od -c "$1" | tail -n 12 >&2
    fi
}

# expect_contains FILE TEXT
expect_contains() {
    grep -qF -- "$2" "$1" || { fail "$(basename "$1") lacks: $2"; cat "$1" >&2; }
}

# expect_before FILE FIRST SECOND: both occur in FILE, FIRST before SECOND.
expect_before() {
    local first second
    first=$(grep -naF -- "$2" "$1" | head -n 1 | cut -d: -f1)
    second=$(grep -naF -- "$3" "$1" | head -n 1 | cut -d: -f1)
    if [ -z "$first" ] || [ -z "$second" ] || [ "$first" -ge "$second" ]; then
        fail "expected \"$2\" before \"$3\" in $(basename "$1")"; cat "$1" >&2
    fi
}

# The bytes the program prints first on every run: an empty line, the banner and the purpose line,
# and an empty line, each ending in a carriage return and a line feed.
header_bytes() {
    local rule73 rule77
    rule73=$(printf '\xC4%.0s' $(seq 73))
    rule77=$(printf '\xCD%.0s' $(seq 77))
    printf '\r\n'
    printf '\xDA\xC4\xFE\xFE\xFE%s\xB7\r\n' "$rule73"
    printf '\xB3%-31s\xB3%-16s\xB3%-28s\xBA\r\n' " CVServiceInstaller" "  Version 0.10  " "  EMail: help@corvane.test"
    printf '\xB3%-31s\xB3%-16s\xB3%-28s\xBA\r\n' " Corvane Software" "   Sept, 2009   " "  Web:   www.corvane.test"
    printf '\xD4%s\xBC\r\n' "$rule77"
    printf ' Purpose: installs CorvaneService with specific additional dependence\r\n\r\n'
}

# header_utf8: the header as a terminal in UTF-8 shows it, its code page 437 bytes as their glyphs,
# each line ending in a line feed.
header_utf8() {
    header_bytes | iconv -f CP437 -t UTF-8 | tr -d '\r'
}

# on_terminal [--no-input] COMMAND...: runs COMMAND in a pseudo-terminal, in a UTF-8 locale, and
# prints what the terminal got. With --no-input the command's standard input is /dev/null instead
# of the terminal, so that nothing in it waits for a key.
on_terminal() {
    local command input=
    if [ "$1" = --no-input ]; then
        input='</dev/null'
        shift
    fi
    # `script` runs the command through $SHELL; %q may quote in bash's $'...' form (it does for
    # non-ASCII bytes outside a UTF-8 locale), which only bash reads.
    printf -v command '%q ' "$@"
    SHELL=$BASH LC_ALL=C.UTF-8 script -qec "$command$input" /dev/null </dev/null
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
