#!/bin/sh
# Makes or ends the disposable Wine prefix of one test run.
#   wine-prefix.sh up PREFIX    new prefix, booted, with a wineserver that stays up
#   wine-prefix.sh down PREFIX  stops that wineserver and deletes the prefix
# Wine's server and the services it boots must not inherit CTest's output
# pipe, or CTest waits for them forever: every stream goes to /dev/null.
set -eu
action=$1
export WINEPREFIX="$2" WINEDEBUG=-all
unset DISPLAY
case "$action" in
  up)
    wineserver -k >/dev/null 2>&1 </dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # The persistent server first: every later program start then finds it up.
    sh -c 'exec </dev/null >/dev/null 2>&1; wineserver -p && wineboot -i && wine cmd /c exit 0'
    test -d "$WINEPREFIX/drive_c/windows"
    ;;
  down)
    wineserver -k >/dev/null 2>&1 </dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
  *) echo "usage: $0 up|down PREFIX" >&2; exit 2 ;;
esac
