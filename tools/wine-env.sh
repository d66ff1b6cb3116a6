#!/usr/bin/env bash
# A virtual display and a Wine prefix shared by the tests that run Windows programs.
#   wine-env.sh start      start Xvfb and a persistent wineserver (creates the prefix once)
#   wine-env.sh exec CMD   run CMD inside that environment
#   wine-env.sh stop       end every Wine program of the prefix and the display
# GERM_WINE_ENV (default "test") names the environment, so several can run side by side. When an
# environment is started, three more settings make it another kind of user's machine:
#   GERM_WINE_LANG       the user's locale (default ja_JP.UTF-8), as a fresh prefix takes it
#   GERM_WINE_INTL       regional settings the user changed: "sShortDate=yyyy/MM/dd ..."
#   GERM_WINE_NO_SCREEN  set: the tests are not told the screen's size; they ask the system
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${GERM_WINE_ENV:-test}
state="$root/build/wine-env-$name"
envfile="$state/env"

case "${1:-}" in
start)
    # The display and the Wine server outlive this script: they must not inherit descriptors of
    # whoever started it (a test runner waits for its pipes to close).
    for fd in /proc/$$/fd/*; do
        fd=${fd##*/}
        if [ "$fd" -gt 2 ] && [ "$fd" != 255 ]; then eval "exec $fd>&-"; fi
    done
    "$0" stop >/dev/null 2>&1 || true
    mkdir -p "$state"
    prefix="$root/build/wine-prefix-$name"
    lang=${GERM_WINE_LANG:-ja_JP.UTF-8}
    GERM_WINE_LANG=$lang "$root/tools/wineprefix.sh" "$prefix" --unmanaged
    for setting in ${GERM_WINE_INTL:-}; do
        WINEPREFIX=$prefix WINEDEBUG=-all LANG=$lang LC_ALL=$lang wine reg add \
            'HKCU\Control Panel\International' /v "${setting%%=*}" /t REG_SZ \
            /d "${setting#*=}" /f </dev/null >/dev/null 2>&1
    done
    # The persistent server below is started anew (a running one refuses -p).
    [ -z "${GERM_WINE_INTL:-}" ] || WINEPREFIX=$prefix wineserver -w
    # The server picks a display number nobody uses, also when several environments start at
    # once, and says which.
    screen=1024x768
    rm -f "$state/display"
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$state/display" </dev/null \
        >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 200); do [ -s "$state/display" ] && break; sleep 0.05; done
    n=$(tr -dc 0-9 <"$state/display")
    [ -n "$n" ] || { echo "wine-env: Xvfb did not start: $(cat "$state/xvfb.log")" >&2; exit 1; }
    cat >"$envfile" <<EOT
export DISPLAY=:$n
export GERM_MAY_CHANGE_SETTINGS=1
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export LANG=$lang
export LC_ALL=$lang
export WINEDLLOVERRIDES="mscoree,mshtml="
EOT
    [ -n "${GERM_WINE_NO_SCREEN:-}" ] || echo "export GERM_SCREEN=$screen" >>"$envfile"
    . "$envfile"
    wineserver -p </dev/null >/dev/null 2>&1
    # Start Wine's helper processes with output going nowhere, so a later program whose output
    # is piped does not hand its pipe to them.
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    echo "wine-env: display :$n, prefix $prefix"
    ;;
exec)
    shift
    [ -f "$envfile" ] || { echo "wine-env: not started (run '$0 start')" >&2; exit 2; }
    . "$envfile"
    exec "$@"
    ;;
stop)
    if [ -f "$envfile" ]; then
        . "$envfile"
        wineserver -k 2>/dev/null || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid"
    fi
    rm -f "$envfile"
    ;;
*)
    echo "usage: $0 start|exec CMD...|stop" >&2
    exit 2
    ;;
esac
