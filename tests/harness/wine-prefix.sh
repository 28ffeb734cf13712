#!/bin/sh
# Makes or ends a disposable Wine prefix of one test run.
#   wine-prefix.sh up PREFIX [gui|win32]
#                                   new prefix, booted, with a wineserver that
#                                   stays up; with gui, on its own Xvfb display
#                                   (written to PREFIX.display), so windows
#                                   such as message boxes are real and block;
#                                   with win32, a 32-bit Windows (no WOW64)
#   wine-prefix.sh down PREFIX      stops that wineserver (and display) and
#                                   deletes the prefix
# Wine's server and the services it boots must not inherit CTest's output
# pipe, or CTest waits for them forever: every stream goes to /dev/null.
set -eu
action=$1
export WINEPREFIX="$2" WINEDEBUG=-all
mode=${3:-headless}
unset DISPLAY
display_file="$WINEPREFIX.display"
xvfb_pid_file="$WINEPREFIX.xvfb-pid"

stop_display() {
  if [ -f "$xvfb_pid_file" ]; then
    kill "$(cat "$xvfb_pid_file")" 2>/dev/null || true
    rm -f "$xvfb_pid_file"
  fi
  rm -f "$display_file"
}

case "$action" in
  up)
    wineserver -k >/dev/null 2>&1 </dev/null || true
    stop_display
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    if [ "$mode" = win32 ]; then
      export WINEARCH=win32
    fi
    if [ "$mode" = gui ]; then
      # -displayfd picks a free display number and reports it.
      Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file.tmp" \
        </dev/null >/dev/null 2>&1 &
      echo $! > "$xvfb_pid_file"
      tries=0
      while [ ! -s "$display_file.tmp" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
      [ -s "$display_file.tmp" ] || { echo "Xvfb did not start" >&2; stop_display; exit 1; }
      echo ":$(head -n 1 "$display_file.tmp")" > "$display_file"
      rm -f "$display_file.tmp"
      export DISPLAY="$(cat "$display_file")"
    fi
    # The persistent server first: every later program start then finds it up.
    sh -c 'exec </dev/null >/dev/null 2>&1; wineserver -p && wineboot -i && wine cmd /c exit 0'
    test -d "$WINEPREFIX/drive_c/windows"
    ;;
  down)
    wineserver -k >/dev/null 2>&1 </dev/null || true
    stop_display
    rm -rf "$WINEPREFIX"
    ;;
  *) echo "usage: $0 up|down PREFIX [gui|win32]" >&2; exit 2 ;;
esac
