# shellcheck shell=bash
# Wine helpers shared by the end-to-end tests and scripts/demo: a throwaway prefix, and what Wine's
# service manager holds for a service. Source it from bash.

# wine_prefix_create: makes a fresh prefix, exports WINEPREFIX, waits until it has settled, then
# keeps its server and service manager up until wine_prefix_destroy. Were they to shut down between
# two commands, the next one would restart the manager, which starts every automatic service.
wine_prefix_create() {
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/cvservinst-wine.XXXXXX") || return 1
    export WINEPREFIX WINEDEBUG=-all
    wineboot -i >/dev/null 2>&1 && wineserver -w && wineserver -p
}

# wine_prefix_destroy: ends every process of the prefix and removes it; safe to call twice.
wine_prefix_destroy() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}

# wine_case_begin: a fresh prefix for one test case, which ends it and the case's work directory
# ($WORK, from lib.sh) on every exit path.
wine_case_begin() {
    trap wine_case_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    wine_prefix_create || { echo "cannot make a Wine prefix" >&2; exit 1; }
}

wine_case_end() {
    # A signal now would end the shell half way through and leave the prefix behind.
    trap '' INT TERM
    wine_prefix_destroy
    rm -rf "$WORK"
}

# wine_service_registration NAME: the service's registry values, one "Name=value" line each, sorted:
# strings unescaped, dwords as 0x..., multi-strings as their names joined by ",". Fails when the
# service has no key.
wine_service_registration() {
    local export_file="$WINEPREFIX/drive_c/cvs-export-$$.reg"
    rm -f "$export_file"
    wine regedit /E 'C:\cvs-export-'$$'.reg' \
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\$1" >/dev/null 2>&1
    [ -s "$export_file" ] || return 1
    local line name value
    # UTF-16 text; hex values go on over lines that end in a backslash.
    iconv -f UTF-16 -t UTF-8 "$export_file" | tr -d '\r' | sed -e ':a' -e '/\\$/{N;s/\\\n *//;ta}' |
        while IFS= read -r line; do
            [[ $line =~ ^\"([^\"]*)\"=(.*)$ ]] || continue
            name=${BASH_REMATCH[1]}
            value=${BASH_REMATCH[2]}
            case $value in
                \"*\") value=${value:1:-1}; value=$(sed 's/\\\(.\)/\1/g' <<<"$value") ;;
                dword:*) value=$(printf '0x%x' $((16#${value#dword:}))) ;;
                hex\(7\):*) value=$(wine_multi_string "${value#hex(7):}") ;;
            esac
            printf '%s=%s\n' "$name" "$value"
        done | sort
    rm -f "$export_file"
}

# wine_multi_string HEX: the REG_MULTI_SZ given as comma-separated UTF-16LE bytes, its names joined
# by ","; the list's closing empty name is dropped, so any other empty name shows.
wine_multi_string() {
    local escaped text
    escaped=$(sed 's/\([0-9a-fA-F][0-9a-fA-F]\),\{0,1\}/\\x\1/g' <<<"$1")
    text=$(printf '%b' "$escaped" | iconv -f UTF-16LE -t UTF-8 | tr '\0' ',')
    printf '%s' "${text%,,}"
}

# wine_service_state NAME: the current state number as `sc query` gives it (1 stopped, 4 running);
# nothing when the service is not registered.
wine_service_state() {
    wine sc query "$1" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *\([0-9]*\).*/\1/p'
}
