#!/usr/bin/env bash
# Bad input and faults against the Windows program, in the test run's Wine prefix, one case of those
# that touch CorvaneService at a time: `wine_faults_test.sh CASE wine PROGRAM WINE_RUN LAUNCHER`.
# LAUNCHER is cvs_launch_raw.exe, which starts a command line given byte for byte, so the program's
# own splitter gets exactly that line.
# Every row must end in a clear report and an exit status that tells, and leave the service manager
# as it was unless the row is a success. With CVS_LEGACY_ACP=1, PROGRAM is the program as Windows
# before 10 1903 runs it, in the ANSI code page of the locale.
unset DISPLAY
here=$(dirname "$0")
source "$here/lib.sh" "$2" "$3" "$4"
source "$here/wine_lib.sh"
LAUNCHER=${5:?the launcher cvs_launch_raw.exe is needed}
[ "$BACKEND" = wine ] || { echo "these cases run the Windows program only" >&2; exit 2; }

case_start=$EPOCHREALTIME
wine_case_begin --service CorvaneService 'C:\cvs' 'C:\cvs-command-line.txt'

DONE=$' Done: Service "Corvane Monitor" installed\r\n'
USAGE=$' Usage: cvservinst path_to_corvane.exe [MasterService1 [MasterService2 [...]]]\r\n Example: cvservinst.exe "C:\\Program Files\\Corvane8\\corvane.exe" snmp\r\n'
# The program as the command line names it: its Linux path on drive Z:, in quotes.
PROGRAM_NAME="\"Z:${PROGRAM//\//\\}\""
LINE_FILE="$WINEPREFIX/drive_c/cvs-command-line.txt"
# An executable that exists, in C:\cvs.
mkdir -p "$WINEPREFIX/drive_c/cvs"
cp "$PROGRAM" "$WINEPREFIX/drive_c/cvs/corvane.exe"

# raw_run TAIL [ENV...]: runs the command line PROGRAM_NAME TAIL, exactly those bytes, through the
# launcher, with the environment settings ENV; output in $WORK/out and $WORK/err, status in $status.
# Wine reads Linux file names as UTF-8 only under a UTF-8 locale, so that is the default.
raw_run() {
    local tail=$1
    shift
    printf '%s %s' "$PROGRAM_NAME" "$tail" >"$LINE_FILE"
    env LC_ALL=C.UTF-8 "$@" timeout 90 "$WINE_RUN" "$LAUNCHER" 'C:\cvs-command-line.txt' \
        </dev/null >"$WORK/out" 2>"$WORK/err"
    status=$?
    # The shell scripts on the way warn when Linux lacks the locale asked for.
    sed -i '/^bash: warning: setlocale: /d' "$WORK/err"
}

# registration: what the service manager holds for CorvaneService, or "absent".
registration() {
    wine_service_registration CorvaneService || echo absent
}

expect_unchanged() {
    [ "$(registration)" = "$1" ] || { fail "the service manager changed"; registration >&2; }
}

# row_fails TAIL STATUS OUTPUT [ENV...]: the line ends in STATUS with OUTPUT after the header, and
# the service manager is left as it was.
row_fails() {
    local tail=$1 expected_status=$2 output=$3 before
    shift 3
    before=$(registration)
    raw_run "$tail" "$@"
    expect_status "$expected_status"
    expect_output "$output"
    expect_no_stderr
    expect_unchanged "$before"
}

# row_missing TAIL REPORT [ENV...]: the line ends in " Error: REPORT does not exist", status 1.
row_missing() {
    local tail=$1 report=$2
    shift 2
    row_fails "$tail" 1 " Error: $report does not exist"$'\r\n' "$@"
}

# row_done TAIL IMAGE_PATH DEPENDENCIES [ENV...]: the line registers the service afresh with that
# ImagePath and DependOnService (names joined by ",") and reports it, status 0.
row_done() {
    local tail=$1 image=$2 dependencies=$3
    shift 3
    raw_run "$tail" "$@"
    expect_status 0
    expect_output "$DONE"
    expect_no_stderr
    expect_registration CorvaneService "ImagePath=$image" "DependOnService=$dependencies" "DisplayName=Corvane Monitor"
}

# An old registration, so that every failing row shows it is neither removed nor changed.
wine sc create CorvaneService binpath= 'C:\old\corvane.exe /service' start= demand >/dev/null ||
    fail "cannot register the old CorvaneService"
FIXED=RpcSs,Eventlog,TapiSrv

case $1 in
arguments)
    # "" where an argument would begin is skipped, so "" alone is no argument, and "" before the
    # path shifts the path into first place. Something given that names nothing is no success;
    # nothing given at all, or the usage asked for, is.
    row_fails '""' 1 "$USAGE"
    row_fails '""""' 1 "$USAGE"
    row_fails '"' 1 "$USAGE"
    row_fails '' 0 "$USAGE"
    row_fails $' \t ' 0 "$USAGE"
    row_fails '/?' 0 "$USAGE"
    row_fails '/? C:\cvs\corvane.exe snmp' 0 "$USAGE"
    row_missing '"" C:\nope\corvane.exe' 'C:\nope\corvane.exe'
    # Blanks alone cannot be expanded: the report names them as given, in quotes.
    row_missing '"   "' '"   "'
    row_missing '"C:\nope\corvane.exe' 'C:\nope\corvane.exe'
    row_missing $'"C:\\nope\\a\tb\x01c.exe" snmp' $'C:\\nope\\a\tb\x01c.exe'
    # Outside quotes every code from 1 to 32 separates.
    row_done $'C:\\cvs\\corvane.exe\tsnmp\x1fDnscache\x01' 'C:\cvs\corvane.exe /service' "$FIXED,snmp,Dnscache"
    # Code page 1252: the byte 0xE9 is é in the file's name and in the registered path.
    cp "$PROGRAM" "$WINEPREFIX/drive_c/cvs/été.exe"
    row_done $'C:\\cvs\\\xe9t\xe9.exe' 'C:\cvs\été.exe /service' "$FIXED"
    # Code page 932, which Wine takes from LC_ALL even when Linux has no such locale.
    acp=$(LC_ALL=ja_JP.UTF-8 "$WINE_RUN" "$LAUNCHER" --acp </dev/null 2>/dev/null | tr -d '\r')
    [ "$acp" = 932 ] || fail "LC_ALL=ja_JP.UTF-8 gives code page '$acp', not 932"
    # A lead byte at the very end stands alone; Wine's conversion of the path then drops it.
    row_missing $'C:\\nope\\corvane\x81' 'C:\nope\corvane' LC_ALL=ja_JP.UTF-8
    # A lead byte takes the quote after it as its second byte: the quoted stretch goes on to the
    # end, " snmp" included, and the invalid pair comes back as U+30FB (0x81 0x45). The program in
    # its legacy code page splits the line itself; in UTF-8 it gets the line as the launcher's
    # CreateProcessA converted it, and reports U+30FB in UTF-8.
    if [ "${CVS_LEGACY_ACP:-}" = 1 ]; then
        row_missing $'"C:\\nope\\corvane\x81" snmp' $'C:\\nope\\corvane\x81\x45 snmp' LC_ALL=ja_JP.UTF-8
    else
        row_missing $'"C:\\nope\\corvane\x81" snmp' 'C:\nope\corvane・ snmp' LC_ALL=ja_JP.UTF-8
    fi
    # Masters' names go to the service manager in code page 932 too: サービス, 表 (0x95 0x5C, whose
    # second byte is a backslash's), and a name ending in a lone lead byte, which Wine drops.
    row_done $'C:\\cvs\\corvane.exe \x83\x54\x81\x5b\x83\x72\x83\x58 \x95\x5c snmp abc\x81' \
        'C:\cvs\corvane.exe /service' "$FIXED,サービス,表,snmp,abc" LC_ALL=ja_JP.UTF-8
    # A file named in code page 932 cannot be made here: with the Linux locale missing, Wine takes
    # Linux file names byte by byte, not as UTF-8.
    ;;
paths)
    # The directory search takes < and > as wildcards (> one character, < any run): each of these
    # would find C:\cvs\corvane.exe, which is no file of that name.
    row_missing 'C:\cvs\corvane>exe' 'C:\cvs\corvane>exe'
    row_missing 'C:\cvs\corv<.exe' 'C:\cvs\corv<.exe'
    row_missing '"C:\cvs\<"' 'C:\cvs\<'
    # Device names expand to \\.\NAME, which names no file.
    row_missing 'NUL' '\\.\NUL'
    row_missing 'CON snmp' '\\.\CON'
    row_missing 'C:\NUL' '\\.\NUL'
    # The expansion drops trailing dots and blanks: the file registered is the one that exists,
    # and with no blank left its path is not quoted.
    row_done 'C:\cvs\corvane.exe.' 'C:\cvs\corvane.exe /service' "$FIXED"
    row_done '"C:\cvs\corvane.exe . "' 'C:\cvs\corvane.exe /service' "$FIXED"
    ;;
masters)
    # Names are kept as given: in order, twice when given twice, a fixed one again.
    row_done 'C:\cvs\corvane.exe' 'C:\cvs\corvane.exe /service' "$FIXED"
    row_done 'C:\cvs\corvane.exe snmp' 'C:\cvs\corvane.exe /service' "$FIXED,snmp"
    row_done 'C:\cvs\corvane.exe snmp snmp RpcSs' 'C:\cvs\corvane.exe /service' "$FIXED,snmp,snmp,RpcSs"
    # Bytes from 128 up in code page 1252 (0x80 is €, not U+0080).
    row_done $'C:\\cvs\\corvane.exe Dienst\xe9\xfc\x80\xff' 'C:\cvs\corvane.exe /service' "$FIXED,Dienstéü€ÿ"
    # A command line of 32,766 characters, the most CreateProcess takes with its closing NUL.
    tail='C:\cvs\corvane.exe'
    names=$FIXED
    for ((n = 0; ${#PROGRAM_NAME} + 1 + ${#tail} < 32766 - 8; n++)); do
        tail+=" m$n"
        names+=",m$n"
    done
    last=z$(printf 'x%.0s' $(seq $((32766 - ${#PROGRAM_NAME} - 1 - ${#tail} - 2))))
    tail+=" $last"
    names+=",$last"
    [ $((${#PROGRAM_NAME} + 1 + ${#tail})) -eq 32766 ] || fail "the long line is not 32,766 characters"
    row_done "$tail" 'C:\cvs\corvane.exe /service' "$names"
    # One character more: CreateProcessA refuses the line (Wine: ERROR_INVALID_PARAMETER) and the
    # program does not start.
    before=$(registration)
    raw_run "${tail}x"
    expect_status 255
    expect_contains "$WORK/err" "CreateProcessA failed: error 87"
    [ -s "$WORK/out" ] && fail "the program wrote although it was not started"
    expect_unchanged "$before"
    ;;
streams)
    exe='C:\cvs\corvane.exe'
    # A report that cannot be written ends the run with status 1 and the reason on standard error.
    # The header is written first, so with standard output closed or full nothing is done.
    before=$(registration)
    launch "$PROGRAM" "$exe" snmp </dev/null >&- 2>"$WORK/err"
    status=$?
    expect_status 1
    expect_contains "$WORK/err" "Cannot write to standard output: Invalid handle."
    expect_unchanged "$before"
    launch "$PROGRAM" "$exe" snmp </dev/null >/dev/full 2>"$WORK/err"
    status=$?
    expect_status 1
    expect_contains "$WORK/err" "Cannot write to standard output: Disk full."
    expect_unchanged "$before"
    # Standard output may grow to the header's size only, so the Done line is the first write that
    # fails: the service is registered, and the run still ends with status 1 and says why.
    size=$(header_bytes | wc -c)
    bash -c "trap '' XFSZ; exec prlimit --fsize=$size:$size -- \"\$@\"" prlimit \
        timeout 90 "$WINE_RUN" "$PROGRAM" "$exe" snmp </dev/null >"$WORK/out" 2>"$WORK/err"
    status=$?
    expect_status 1
    expect_output ""
    expect_contains "$WORK/err" "Cannot write to standard output"
    expect_registration CorvaneService "ImagePath=$exe /service" "DependOnService=$FIXED,snmp"
    # Standard error or standard input closed: the run works as ever.
    wine sc delete CorvaneService >/dev/null
    launch "$PROGRAM" "$exe" Dnscache </dev/null >"$WORK/out" 2>&-
    status=$?
    expect_status 0
    expect_output "$DONE"
    expect_registration CorvaneService "ImagePath=$exe /service" "DependOnService=$FIXED,Dnscache"
    wine sc delete CorvaneService >/dev/null
    launch "$PROGRAM" "$exe" snmp <&- >"$WORK/out" 2>"$WORK/err"
    status=$?
    expect_status 0
    expect_output "$DONE"
    expect_no_stderr
    expect_registration CorvaneService "ImagePath=$exe /service" "DependOnService=$FIXED,snmp"
    ;;
concurrent)
    # Runs at once take turns on a machine-wide lock: each replaces the registration before it,
    # and none removes one that another has just made.
    exe='C:\cvs\corvane.exe'
    for ((n = 0; n < 8; n++)); do
        timeout 120 "$WINE_RUN" "$PROGRAM" "$exe" "m$n" </dev/null >"$WORK/out.$n" 2>"$WORK/err.$n" &
    done
    for ((n = 0; n < 8; n++)); do
        wait -n
    done
    { header_bytes; printf '%s' "$DONE"; } >"$WORK/expected"
    for ((n = 0; n < 8; n++)); do
        cmp -s "$WORK/expected" "$WORK/out.$n" || fail "run $n did not succeed: $(tail -n 3 "$WORK/out.$n" "$WORK/err.$n" | cat -v)"
    done
    registration >"$WORK/registration"
    grep -qxF "ImagePath=$exe /service" "$WORK/registration" || fail "no registration of $exe is left"
    grep -qxE "DependOnService=$FIXED,m[0-7]" "$WORK/registration" ||
        { fail "the registration left is not one run's"; cat "$WORK/registration" >&2; }
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
echo "case $1: $(awk "BEGIN { printf \"%.1f\", $EPOCHREALTIME - $case_start }") s"
finish
