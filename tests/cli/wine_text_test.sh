#!/usr/bin/env bash
# Text in any script through the Windows program under Wine, in the test run's prefix; the case
# `names`, which registers CorvaneService, takes turns with the others that do:
# `wine_text_test.sh CASE wine PROGRAM WINE_RUN LEGACY_PROGRAM [TEST_SERVICE]`. LEGACY_PROGRAM is the
# same program without the manifest's UTF-8 setting, as Windows before 10 1903 runs it.
unset DISPLAY
here=$(dirname "$0")
source "$here/lib.sh" "$2" "$3" "$4"
source "$here/wine_lib.sh"
LEGACY=${5:?the legacy-code-page program is needed}
TEST_SERVICE=${6:-$PROGRAM}
[ "$BACKEND" = wine ] || { echo "these cases run the Windows program only" >&2; exit 2; }
# Wine reads Linux file names and arguments, and writes to a terminal, in UTF-8 under this locale;
# its own ANSI code page is then 1252 and its console's 437.
export LC_ALL=C.UTF-8

case_start=$EPOCHREALTIME
if [ "$1" = names ]; then
    wine_case_begin --service CorvaneService 'C:\Программы' 'C:\Υπηρεσία'
else
    wine_case_begin
fi

DONE=$' Done: Service "Corvane Monitor" installed\r\n'
FIXED=RpcSs,Eventlog,TapiSrv

# screen PROGRAM ARGS...: what a terminal shows for one run, one line each, with the terminal's
# escape sequences and all blanks taken out (Wine moves the cursor over some blanks instead of
# writing them); in $WORK/screen.
screen() {
    on_terminal timeout 90 "$WINE_RUN" "$@" | sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1b[]][^\x07]*\x07//g' |
        tr -d ' \r' | sed '/^$/d' >"$WORK/screen"
}

# expect_screen LINE...: the screen shows these lines (blanks taken out), in this order, and
# nothing else.
expect_screen() {
    printf '%s\n' "$@" | tr -d ' ' >"$WORK/expected-screen"
    if ! cmp -s "$WORK/expected-screen" "$WORK/screen"; then
        fail "the screen differs from what was expected"
        diff "$WORK/expected-screen" "$WORK/screen" >&2
    fi
}

# The header's lines as the screen shows them, without its empty lines.
mapfile -t BANNER_SCREEN < <(header_utf8 | sed '/^$/d')

case $1 in
names)
    # A path and master names in Cyrillic, Greek and Chinese reach the service manager exactly.
    # Wine quotes an argument with a blank, so the closing quote of "Служба Ё" follows 0x81, the
    # last byte of Ё: a byte that only a double-byte code page would take as a lead byte.
    wine_place "$TEST_SERVICE" 'C:\Программы\corvane.exe'
    run_once 'C:\Программы\corvane.exe' 'Служба Ё' snmp
    expect_status 0
    expect_output "$DONE"
    expect_registration CorvaneService 'ImagePath=C:\Программы\corvane.exe /service' "DependOnService=$FIXED,Служба Ё,snmp" \
        "DisplayName=Corvane Monitor"
    wine_place "$TEST_SERVICE" 'C:\Υπηρεσία\服務.exe'
    run_once 'C:\Υπηρεσία\服務.exe' Υπηρεσία 服務
    expect_status 0
    expect_output "$DONE"
    expect_registration CorvaneService 'ImagePath=C:\Υπηρεσία\服務.exe /service' "DependOnService=$FIXED,Υπηρεσία,服務" \
        "DisplayName=Corvane Monitor"
    # Where the system ignores the setting, code page 1252 has no Cyrillic: the path cannot be
    # given, and the old registration stays.
    run_program "$LEGACY" 'C:\Программы\corvane.exe' Служба
    expect_status 1
    expect_output ' Error: C:\?????????\corvane.exe does not exist'$'\r\n'
    expect_registration CorvaneService 'ImagePath=C:\Υπηρεσία\服務.exe /service' "DependOnService=$FIXED,Υπηρεσία,服務" \
        "DisplayName=Corvane Monitor"
    ;;
missing)
    # Piped, the report holds the path's own letters in UTF-8, after the banner's code page 437
    # bytes; the legacy program writes its path in code page 1252.
    run_once 'C:\Программы\nope.exe'
    expect_status 1
    expect_output ' Error: C:\Программы\nope.exe does not exist'$'\r\n'
    run_program "$LEGACY" 'C:\cvs\été\nope.exe'
    expect_status 1
    expect_output $' Error: C:\\cvs\\\xe9t\xe9\\nope.exe does not exist\r\n'
    # The path limit counts characters: 259 Cyrillic ones (518 bytes in UTF-8) fit, 260 do not.
    fits='C:\'$(printf 'ж%.0s' $(seq 256))
    run_once "$fits"
    expect_status 1
    expect_output " Error: $fits does not exist"$'\r\n'
    run_once "${fits}ж"
    expect_status 1
    expect_output " Error: ${fits}ж is too long"$'\r\n'
    ;;
console)
    # In a terminal Wine gives the program a console: the banner shows its box characters and the
    # path its letters, Cyrillic through the UTF-8 code page, é through the legacy one.
    command -v script >/dev/null || { echo "SKIP: script is not installed"; exit 77; }
    screen "$PROGRAM" 'C:\Программы\nope.exe'
    expect_screen "${BANNER_SCREEN[@]}" ' Error: C:\Программы\nope.exe does not exist'
    screen "$LEGACY" 'C:\cvs\été\nope.exe'
    expect_screen "${BANNER_SCREEN[@]}" ' Error: C:\cvs\été\nope.exe does not exist'
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
echo "case $1: $(awk "BEGIN { printf \"%.1f\", $EPOCHREALTIME - $case_start }") s"
finish
