#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks of the shared records.
#   scripts/pg-cluster.sh start DIR [PORT]   make a cluster in DIR (anew) and start it
#   scripts/pg-cluster.sh stop DIR           stop it and remove DIR
#   scripts/pg-cluster.sh url DIR [PORT]     print the URL the tests use
#   scripts/pg-cluster.sh pause|resume DIR [PORT]  stop it keeping its data; start it again
# It runs as the `postgres` user (through runuser when started as root) and listens only
# on a Unix socket in DIR: listen_addresses is empty, so no TCP port is ever opened.
# The superuser `postgres` connects without a password over that socket; every other
# role needs its password (scram-sha-256), so a wrong password can be tried.
set -euo pipefail
action=${1:-}
dir=${2:-}
port=${3:-5432}
[ -n "$action" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|url|pause|resume DIR [PORT]" >&2; exit 2; }
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)

# As root the cluster belongs to `postgres`; anyone else runs it as themselves.
as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

url() {
  # The socket folder as host, percent-encoded.
  local host
  host=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$dir")
  echo "postgresql://postgres@${host}:${port}/postgres"
}

stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_postgres "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

serve() {
  as_postgres "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -p $port -c max_connections=200 -c fsync=off" \
    start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
}

case "$action" in
  pause) as_postgres "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
  resume) serve ;;
  start)
    [ -x "$bin/initdb" ] || { echo "$0: PostgreSQL is not installed (scripts/install-deps.sh)" >&2; exit 1; }
    stop  # a cluster left by a run that was killed
    mkdir -p "$dir"
    [ "$(id -u)" -ne 0 ] || chown postgres: "$dir"
    chmod 700 "$dir"
    as_postgres "$bin/initdb" -D "$dir/data" -U postgres --auth-local=scram-sha-256 \
      --auth-host=reject -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    # The superuser over the socket without a password; everyone else with theirs.
    printf 'local all postgres trust\nlocal all all scram-sha-256\n' >"$dir/data/pg_hba.conf"
    serve
    url
    ;;
  stop) stop ;;
  url) url ;;
  *) echo "usage: $0 start|stop|url|pause|resume DIR [PORT]" >&2; exit 2 ;;
esac
