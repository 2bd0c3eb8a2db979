#!/bin/bash
# Starts a throwaway PostgreSQL cluster for the test suite on 127.0.0.1 and a
# free port, with its data in a fresh temporary folder. Prints the two
# variables the tests and stop-postgres.sh need, ready for eval:
#   eval "$(tests/postgres/start-postgres.sh)"
# Progress and errors go to stderr.
set -euo pipefail

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
DATABASE=${NORV_TEST_PG_DATABASE:-norvtest}

# initdb and postgres refuse to run as root.
as_postgres() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

dir=$(mktemp -d "${TMPDIR:-/tmp}/norv-pg-XXXXXX")
cleanup_on_failure() {
  as_postgres "$PGBIN/pg_ctl" stop -D "$dir/data" -m immediate >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup_on_failure ERR
if [ "$(id -u)" = 0 ]; then chown postgres: "$dir"; fi

as_postgres "$PGBIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 \
  --locale=C --no-sync >"$dir/initdb.log" 2>&1 || {
  cat "$dir/initdb.log" >&2
  false
}
cat >>"$dir/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
CONF

# Another process may take the port between the probe and the start, so a
# failed start moves on to the next candidate.
started=
for _ in $(seq 1 20); do
  port=$((20000 + RANDOM % 40000))
  port_in_use "$port" && continue
  if as_postgres "$PGBIN/pg_ctl" start -D "$dir/data" -w -t 30 -l "$dir/server.log" \
      -o "-p $port" >/dev/null 2>&1; then
    started=yes
    break
  fi
done
if [ -z "$started" ]; then
  echo "PostgreSQL did not start; log follows" >&2
  cat "$dir/server.log" >&2 || true
  false
fi

as_postgres "$PGBIN/psql" -q -h "$dir" -p "$port" -U postgres -d postgres \
  -c "CREATE DATABASE $DATABASE" >&2

echo "PostgreSQL test cluster on 127.0.0.1:$port, data in $dir" >&2
echo "export NORV_TEST_PG='postgresql://postgres@127.0.0.1:$port/$DATABASE'"
echo "export NORV_TEST_PG_DIR='$dir'"
