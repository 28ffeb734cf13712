#!/bin/sh
# Runs a Windows program in the test prefix PREFIX, on its Xvfb display when
# the prefix was made with one.
#   wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
set -eu
export WINEPREFIX="$1" WINEDEBUG=-all
shift
if [ -f "$WINEPREFIX.display" ]; then
  DISPLAY="$(cat "$WINEPREFIX.display")"
  export DISPLAY
else
  unset DISPLAY
fi
exec wine "$@"
