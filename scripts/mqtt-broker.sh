#!/usr/bin/env bash
# A throwaway MQTT broker (mosquitto) for the tests and benchmarks of the live events.
#   scripts/mqtt-broker.sh start DIR [PORT]  configure a broker in DIR (anew) and start it on
#                                            127.0.0.1:PORT (default: a free port); prints it
#   scripts/mqtt-broker.sh stop DIR          stop it and remove DIR
#   scripts/mqtt-broker.sh port DIR          print its port
#   scripts/mqtt-broker.sh pause|resume DIR  stop it keeping its data (saved messages and
#                                            sessions); start it again on the same port
# It listens only on 127.0.0.1, takes anonymous clients and keeps its messages in DIR, so
# that a subscriber's queued messages outlive a pause.
set -euo pipefail
action=${1:-}
dir=${2:-}
[ -n "$action" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|port|pause|resume DIR [PORT]" >&2; exit 2; }
bin=$(command -v mosquitto || echo /usr/sbin/mosquitto)

halt() {
  local pid
  pid=$(cat "$dir/mosquitto.pid" 2>/dev/null || true)
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || true
  # It saves its messages and sessions as it ends.
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$dir/mosquitto.pid"
}

serve() {
  local port
  port=$(cat "$dir/port")
  "$bin" -c "$dir/mosquitto.conf" -d
  # Up when it takes a connection.
  for _ in $(seq 100); do
    if python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1).close()' "$port" 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  echo "$0: mosquitto did not start on 127.0.0.1:$port" >&2
  cat "$dir/mosquitto.log" >&2 2>/dev/null || true
  exit 1
}

case "$action" in
  start)
    [ -x "$bin" ] || { echo "$0: mosquitto is not installed (scripts/install-deps.sh)" >&2; exit 1; }
    halt
    rm -rf "$dir"
    mkdir -p "$dir"
    port=${3:-$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')}
    echo "$port" >"$dir/port"
    cat >"$dir/mosquitto.conf" <<CONF
user $(id -un)
pid_file $dir/mosquitto.pid
listener $port 127.0.0.1
allow_anonymous true
persistence true
persistence_location $dir/
log_dest file $dir/mosquitto.log
max_queued_messages 100000
CONF
    serve
    echo "$port"
    ;;
  stop) halt; rm -rf "$dir" ;;
  port) cat "$dir/port" ;;
  pause) halt ;;
  resume) serve ;;
  *) echo "usage: $0 start|stop|port|pause|resume DIR [PORT]" >&2; exit 2 ;;
esac
