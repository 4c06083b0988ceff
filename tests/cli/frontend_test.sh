#!/usr/bin/env bash
# The front end, run as a whole program: `frontend_test.sh CASE BACKEND PROGRAM [WINE_RUN]`.
# On the host the dialog is drawn on standard error; under Wine without a display none is shown.
source "$(dirname "$0")/lib.sh" "$2" "$3" "${4:-}"

# A directory of the platform's own in which files are made, and its name as the program sees it.
if [ "$BACKEND" = wine ]; then
    SCRATCH="$WINEPREFIX/drive_c/cvservinst-cli-$$"
    SCRATCH_NAME="C:\\cvservinst-cli-$$"
    SEP='\'
else
    SCRATCH="$WORK/scratch"
    SCRATCH_NAME="$SCRATCH"
    SEP=/
fi
mkdir -p "$SCRATCH"
trap 'rm -rf "$WORK" "$SCRATCH"' EXIT

# expect_missing_report TEXT: the run reported TEXT as an error, the dialog before the console line.
expect_missing_report() {
    expect_status 1
    expect_output " Error: $1"$'\r\n'
    if [ "$BACKEND" = host ]; then
        expect_contains "$WORK/err" "- Error -"
        expect_contains "$WORK/err" "$1"
        expect_before "$WORK/both" "- Error -" " Error: $1"
    fi
}

case $1 in
usage)
    # Nothing given, or the usage asked for (also before a path): the usage, no dialog, status 0.
    expect_usage() {
        expect_status 0
        expect_output $' Usage: cvservinst path_to_corvane.exe [MasterService1 [MasterService2 [...]]]\r\n Example: cvservinst.exe "C:\\Program Files\\Corvane8\\corvane.exe" snmp\r\n'
        expect_no_stderr
    }
    run
    expect_usage
    run "/?"
    expect_usage
    run "/?" "$SCRATCH_NAME${SEP}corvane.exe"
    expect_usage
    ;;
missing)
    run "$SCRATCH_NAME${SEP}corvane.exe"
    expect_missing_report "$SCRATCH_NAME${SEP}corvane.exe does not exist"
    ;;
directory)
    mkdir "$SCRATCH/corvane.exe"
    run "$SCRATCH_NAME${SEP}corvane.exe"
    expect_missing_report "$SCRATCH_NAME${SEP}corvane.exe does not exist"
    ;;
relative)
    mkdir "$SCRATCH/sub"
    cd "$SCRATCH" || exit 1
    run "sub${SEP}..${SEP}.${SEP}corvane.exe"
    expect_missing_report "$SCRATCH_NAME${SEP}corvane.exe does not exist"
    ;;
wildcard)
    : >"$SCRATCH/corvane.exe"
    # The directory search takes < and > as wildcards too: corvane>exe would find corvane.exe.
    for pattern in "corv?ne.exe" "*.exe" "corvane>exe" "corv<.exe"; do
        run "$SCRATCH_NAME${SEP}$pattern"
        expect_missing_report "$SCRATCH_NAME${SEP}$pattern does not exist"
    done
    ;;
too-long)
    # Expanded paths of 259 characters fit the buffer; 260 and more do not.
    root=$([ "$BACKEND" = wine ] && echo 'C:\' || echo /)
    for length in 259 260 261; do
        name=$root$(printf 'a%.0s' $(seq $((length - ${#root}))))
        run "$name"
        if [ "$length" -lt 260 ]; then
            expect_missing_report "$name does not exist"
        else
            expect_missing_report "$name is too long"
        fi
    done
    ;;
stdout-full)
    launch "$PROGRAM" </dev/null >/dev/full 2>"$WORK/err"
    status=$?
    expect_status 1
    expect_contains "$WORK/err" "Cannot write to standard output"
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
finish
