#!/usr/bin/env bash
# Text in any script through the host program: `host_text_test.sh CASE host PROGRAM`. Its ANSI code
# page is UTF-8, as Linux names files.
here=$(dirname "$0")
source "$here/lib.sh" "$2" "$3"
[ "$BACKEND" = host ] || { echo "these cases run the host program only" >&2; exit 2; }
DIR="$WORK/Программы"
mkdir -p "$DIR"

case $1 in
piped)
    # Piped, the path's bytes go out as they are, after the banner's code page 437 bytes.
    run "$DIR/nope.exe"
    expect_status 1
    expect_output " Error: $DIR/nope.exe does not exist"$'\r\n'
    expect_contains "$WORK/err" "(x) $DIR/nope.exe does not exist"
    # The path limit counts characters, not bytes: 259 Cyrillic ones fit, 260 do not.
    fits="/$(printf 'ж%.0s' $(seq 200))/$(printf 'ж%.0s' $(seq 57))"
    run "$fits"
    expect_status 1
    expect_output " Error: $fits does not exist"$'\r\n'
    run "${fits}ж"
    expect_status 1
    expect_output " Error: ${fits}ж is too long"$'\r\n'
    ;;
terminal)
    # On a terminal, the banner shows its box characters, the path its own letters, and the
    # dialog's frame lines up around them.
    command -v script >/dev/null || { echo "SKIP: script is not installed"; exit 77; }
    on_terminal --no-input "$PROGRAM" "$DIR/nope.exe" | tr -d '\r' >"$WORK/screen"
    header_utf8 >"$WORK/expected"
    head -n 7 "$WORK/screen" >"$WORK/screen-head"
    cmp -s "$WORK/expected" "$WORK/screen-head" || { fail "the banner differs"; diff "$WORK/expected" "$WORK/screen-head" >&2; }
    expect_contains "$WORK/screen" " Error: $DIR/nope.exe does not exist"
    expect_contains "$WORK/screen" "| (x) $DIR/nope.exe does not exist |"
    widths=$(grep -E '^[|+]' "$WORK/screen" | LC_ALL=C.UTF-8 bash -c 'while IFS= read -r line; do echo ${#line}; done' | sort -u)
    [ "$(wc -l <<<"$widths")" = 1 ] || { fail "the dialog's lines differ in width: $widths"; cat "$WORK/screen" >&2; }
    ;;
*)
    echo "unknown case $1" >&2
    exit 2
    ;;
esac
finish
