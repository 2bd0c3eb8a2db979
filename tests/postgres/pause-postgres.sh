#!/bin/bash
# Stops the test cluster, or starts it again on the port it had, for fault
# tests. The stop is a fast one: the cluster runs without fsync, so a crash
# would also lose what it had committed.
#   pause-postgres.sh DIR stop|start
# DIR is the NORV_TEST_PG_DIR that start-postgres.sh printed.
set -euo pipefail

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
dir=$1

as_postgres() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case $2 in
  stop)
    # The fourth line of postmaster.pid is the port.
    sed -n 4p "$dir/data/postmaster.pid" >"$dir/paused-port"
    as_postgres "$PGBIN/pg_ctl" stop -D "$dir/data" -m fast -w >/dev/null
    ;;
  start)
    as_postgres "$PGBIN/pg_ctl" start -D "$dir/data" -w -t 30 -l "$dir/server.log" \
      -o "-p $(cat "$dir/paused-port")" >/dev/null
    ;;
  *)
    echo "usage: $0 DIR stop|start" >&2
    exit 2
    ;;
esac
