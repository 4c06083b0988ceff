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

# wine_case_begin [--service NAME] ['C:\path'...]: the start of one test case. In the prefix that
# WINEPREFIX names (the test run's, which the cases share), or, when none is set, in a fresh one of
# its own that ends with the case. A case that touches the service NAME takes turns with every other
# case that does (ctest's RESOURCE_LOCK NAME), so it finds no registration of NAME and leaves none:
# any is stopped and deleted before the case and again on every exit path, and so are the files and
# folders at the paths given, which the case makes in the prefix. The case's work directory ($WORK,
# from lib.sh) goes on exit too.
wine_case_begin() {
    CASE_SERVICE=
    if [ "${1:-}" = --service ]; then
        CASE_SERVICE=$2
        shift 2
    fi
    CASE_PATHS=("$@")
    OWN_PREFIX=
    trap wine_case_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    if [ -z "${WINEPREFIX:-}" ]; then
        OWN_PREFIX=1
        wine_prefix_create || { echo "cannot make a Wine prefix" >&2; exit 1; }
        return
    fi
    export WINEPREFIX WINEDEBUG=-all
    [ -d "$WINEPREFIX/drive_c" ] || { echo "no Wine prefix at $WINEPREFIX" >&2; exit 1; }
    wine_case_clear || { echo "cannot clear what an earlier case left in $WINEPREFIX" >&2; exit 1; }
}

wine_case_end() {
    # A signal now would end the shell half way through and leave the prefix behind.
    trap '' INT TERM
    if [ -n "$OWN_PREFIX" ]; then
        wine_prefix_destroy
    else
        wine_case_clear || echo "cannot clear what the case left in $WINEPREFIX" >&2
    fi
    rm -rf "$WORK"
}

# wine_case_clear: ends the holders of the case's service (cvs_hold_service.exe NAME ...), takes out
# the service (stopped first, so that the deletion is not only a mark) and removes the case's paths.
wine_case_clear() {
    local pid path
    if [ -n "$CASE_SERVICE" ]; then
        for pid in $(wine_prefix_pids "cvs_hold_service.exe $CASE_SERVICE "); do kill -9 "$pid" 2>/dev/null; done
        wine_service_remove "$CASE_SERVICE" || return 1
    fi
    for path in "${CASE_PATHS[@]}"; do
        rm -rf "$(wine_unix_path "$path")"
    done
}

# wine_service_remove NAME: stops the service, the test service's way when it accepts no stop
# request (a file "<its exe>.release"), or else by ending its process, and deletes it; fails when
# it is still registered 20 s later.
wine_service_remove() {
    local name=$1 image exe state pid
    state=$(wine_service_state "$name")
    [ -n "$state" ] || return 0
    if [ "$state" != 1 ]; then
        image=$(wine_service_registration "$name" | sed -n 's/^ImagePath=//p')
        if [[ $image == \"* ]]; then exe=${image#\"}; exe=${exe%%\"*}; else exe=${image%% *}; fi
        wine sc stop "$name" >/dev/null 2>&1
        [ -n "$exe" ] && [ -d "$(dirname "$(wine_unix_path "$exe")")" ] && : >"$(wine_unix_path "$exe").release"
        if ! wine_wait_state "$name" 1 && [ -n "$exe" ]; then
            for pid in $(wine_prefix_pids "$exe"); do kill -9 "$pid" 2>/dev/null; done
        fi
    fi
    wine sc delete "$name" >/dev/null 2>&1
    wine_wait_state "$name" "" 100 && return 0
    echo "$name is still registered" >&2
    return 1
}

# wine_prefix_pids TEXT: the Wine processes of this prefix with TEXT in their command line, one a
# line. (The scripts that start them have the programs' names in their own command lines too.)
wine_prefix_pids() {
    local dir
    for dir in /proc/[0-9]*; do
        [[ $(readlink "$dir/exe" 2>/dev/null) == */wine* ]] || continue
        tr '\0' '\n' 2>/dev/null <"$dir/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        tr '\0' ' ' 2>/dev/null <"$dir/cmdline" | grep -qF -- "$1" && echo "${dir#/proc/}"
    done
}

# wine_unix_path 'C:\dir\file': where that file is on the Linux side.
wine_unix_path() {
    local rest=${1#C:\\}
    printf '%s/drive_c/%s' "$WINEPREFIX" "${rest//\\//}"
}

# wine_place FILE 'C:\dir\file': copies FILE into the prefix at that Windows path.
wine_place() {
    local unix
    unix=$(wine_unix_path "$2")
    mkdir -p "$(dirname "$unix")" && cp "$1" "$unix"
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

# wine_wait_state NAME STATE [TRIES]: waits until the service is in STATE (empty: not registered),
# looking every 0.2 s, TRIES times (50 unless given) and once more; fails when it never was.
wine_wait_state() {
    local name=$1 state=$2 tries=${3:-50} try
    for ((try = 0; try < tries; try++)); do
        [ "$(wine_service_state "$name")" = "$state" ] && return 0
        sleep 0.2
    done
    [ "$(wine_service_state "$name")" = "$state" ]
}

# expect_registration NAME LINE...: the service is registered and its values include each
# "Name=value" LINE exactly. For the tests: fails the case through lib.sh.
expect_registration() {
    local name=$1 line
    shift
    if ! wine_service_registration "$name" >"$WORK/registration"; then
        fail "$name is not registered"
        return
    fi
    for line in "$@"; do
        grep -qxF -- "$line" "$WORK/registration" || { fail "registration of $name lacks: $line"; cat "$WORK/registration" >&2; }
    done
}
