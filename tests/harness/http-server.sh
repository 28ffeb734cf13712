#!/bin/sh
# Starts or stops the loopback download server and proxy of one test run.
#   http-server.sh start STATE PORT PROXY_PORT [TLS_PORT]
#   http-server.sh stop STATE
# With TLS_PORT, the TLS servers of http_server.py listen from there on, with
# certificates made anew in STATE/tls (make-tls-certs.sh).
# PORT 0 means the build downloads from elsewhere: nothing to start.
# The server must not inherit CTest's output pipe, or CTest waits for it:
# its streams go to STATE/server.log.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
action=${1:-}
state=${2:-}

stop_server() {
  [ -f "$state/pid" ] || return 0
  pid=$(cat "$state/pid")
  rm -f "$state/pid" "$state/ready"
  kill "$pid" 2>/dev/null || return 0
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.5
  done
  kill -9 "$pid" 2>/dev/null || true
}

case "$action" in
  start)
    port=$3
    proxy_port=$4
    tls_port=${5:-}
    [ "$port" != 0 ] || exit 0
    mkdir -p "$state"
    stop_server
    rm -f "$state"/body-*.bin "$state/tls-mode"
    [ -z "$tls_port" ] || sh "$here/make-tls-certs.sh" "$state/tls"
    printf '{}\n' >"$state/routes.json"
    : >"$state/requests.log"
    /usr/bin/python3 "$here/http_server.py" "$state" "$port" "$proxy_port" $tls_port \
      </dev/null >"$state/server.log" 2>&1 &
    echo $! >"$state/pid"
    # Ready once both ports listen; give up after ten seconds.
    for _ in $(seq 1 50); do
      [ -f "$state/ready" ] && exit 0
      kill -0 "$(cat "$state/pid")" 2>/dev/null || break
      sleep 0.2
    done
    echo "the download server did not start; its log:" >&2
    cat "$state/server.log" >&2 || true
    stop_server
    exit 1
    ;;
  stop)
    [ -n "$state" ] || { echo "usage: $0 stop STATE" >&2; exit 2; }
    stop_server
    ;;
  *) echo "usage: $0 start STATE PORT PROXY_PORT [TLS_PORT] | stop STATE" >&2; exit 2 ;;
esac
