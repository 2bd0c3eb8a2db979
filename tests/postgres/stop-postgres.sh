#!/bin/bash
# Stops the cluster that start-postgres.sh started and removes its folder.
# Usage: stop-postgres.sh [folder]   (default: $NORV_TEST_PG_DIR)
set -euo pipefail

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
dir=${1:-${NORV_TEST_PG_DIR:-}}
if [ -z "$dir" ] || [ ! -d "$dir/data" ]; then
  echo "usage: $0 <folder printed by start-postgres.sh as NORV_TEST_PG_DIR>" >&2
  exit 2
fi

as_postgres() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

if [ -f "$dir/data/postmaster.pid" ]; then
  if ! as_postgres "$PGBIN/pg_ctl" stop -D "$dir/data" -m fast -w -t 30 >/dev/null 2>&1; then
    pid=$(head -n 1 "$dir/data/postmaster.pid")
    kill -QUIT "$pid" 2>/dev/null || true
  fi
fi
rm -rf "$dir"
