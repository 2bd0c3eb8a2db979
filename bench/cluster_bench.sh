#!/usr/bin/env bash
# Several daemons on one PostgreSQL database: firings planned and sent per
# second by 1, 2 and 3 daemons, and the cost of claiming a message beside a
# bare UPDATE ... RETURNING, both run by pgbench (a plain libpq loop).
#   cluster_bench.sh NORVREMIND_BINARY [FIRINGS]
# Needs NORV_TEST_PG (postgresql://user@host:port/db) and pgbench. Prints
# "name: value" lines.
set -euo pipefail
bin=$1
firings=${2:-2000}
server=${NORV_TEST_PG%/*}
work=$(mktemp -d /tmp/norv-cluster-bench.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

sql() { psql -qAt "$1" -c "$2"; }
# The key=value form the program takes, for database $1.
connection() {
  local rest=${server#postgresql://}
  local user=${rest%@*} hostport=${rest#*@}
  echo "postgresql:host=${hostport%:*} port=${hostport##*:} user=$user dbname=$1"
}

today=$(date +%F)
mkdir -p "$work/reminds"
for i in $(seq 1 "$firings"); do
  # Due at 10:00, run at 10:01: every firing is due when planned.
  printf "<Remind Type='0' RemindTime='%s 10:00:00' SendFlag='1'><Content>Bench %d</Content>\
<ReceiverList><Receiver ID='r%d' /></ReceiverList></Remind>\n" "$today" "$i" "$i" >"$work/reminds/$i.xml"
done

for daemons in 1 2 3; do
  db=norv_cluster_bench_$daemons
  sql "$server/postgres" "DROP DATABASE IF EXISTS $db" 2>/dev/null && sql "$server/postgres" "CREATE DATABASE $db"
  export NORVREMIND_DB=$(connection "$db") NORVREMIND_NOW="$today 10:01:00"
  XDG_DATA_HOME=$work/import "$bin" init >/dev/null
  XDG_DATA_HOME=$work/import "$bin" import --force "$work/reminds" >/dev/null
  start=$(date +%s.%N)
  pids=()
  for n in $(seq 1 "$daemons"); do
    XDG_DATA_HOME=$work/d$daemons-$n "$bin" run --poll 1 >"$work/d$daemons-$n.log" 2>&1 &
    pids+=($!)
  done
  planned="" sent="" deadline=$(($(date +%s) + 300))
  while [ -z "$sent" ]; do
    sleep 0.2
    now=$(date +%s.%N)
    if [ "$(date +%s)" -gt "$deadline" ]; then
      echo "cluster_bench: $daemons daemons did not send $firings messages in 300 s" >&2
      exit 1
    fi
    [ -z "$planned" ] && [ "$(sql "$server/$db" "SELECT COUNT(*) FROM NORV_REMIND_MSG_AM")" = "$firings" ] &&
      planned=$now
    [ "$(sql "$server/$db" "SELECT COUNT(*) FROM NORV_REMIND_MSG_AM WHERE CN_N_STATUS = 1")" = "$firings" ] &&
      sent=$now
  done
  for pid in "${pids[@]}"; do kill "$pid"; done
  wait
  pids=()
  echo "cluster_${daemons}_daemons_planned_per_s: $(awk -v n="$firings" -v a="$start" -v b="$planned" 'BEGIN { printf "%.0f", n / (b - a) }')"
  echo "cluster_${daemons}_daemons_sent_per_s: $(awk -v n="$firings" -v a="$start" -v b="$sent" 'BEGIN { printf "%.0f", n / (b - a) }')"
done

# The claim as the daemon writes it, against a live holder, beside a bare
# conditional update of the same row.
db=norv_cluster_bench_1
sql "$server/$db" "INSERT INTO NORV_HOST_MEMBER VALUES ('me', 'bench', 1, LOCALTIMESTAMP(0), \
LOCALTIMESTAMP(0), LOCALTIMESTAMP(0) + INTERVAL '1 hour', 0); INSERT INTO NORV_HOST_CLAIM \
SELECT 'm' || i, 'me' FROM generate_series(1, 10000) AS i ON CONFLICT DO NOTHING"
cat >"$work/claim.sql" <<'SQL'
\set id random(1, 10000)
INSERT INTO NORV_HOST_CLAIM ( CN_G_MSG_ID, CN_G_MEMBER ) VALUES ( 'm' || :id, 'me' ) ON CONFLICT ( CN_G_MSG_ID ) DO UPDATE SET CN_G_MEMBER = excluded.CN_G_MEMBER WHERE NORV_HOST_CLAIM.CN_G_MEMBER = excluded.CN_G_MEMBER OR NOT EXISTS ( SELECT 1 FROM NORV_HOST_MEMBER live WHERE live.CN_G_ID = NORV_HOST_CLAIM.CN_G_MEMBER AND live.CN_T_EXPIRES >= LOCALTIMESTAMP(0) );
SQL
cat >"$work/bare.sql" <<'SQL'
\set id random(1, 10000)
UPDATE NORV_HOST_CLAIM SET CN_G_MEMBER = 'me' WHERE CN_G_MSG_ID = 'm' || :id AND CN_G_MEMBER = 'me' RETURNING CN_G_MSG_ID;
SQL
latency() { pgbench -n -t "${NORV_CLAIMS:-5000}" -f "$1" "$server/$db" 2>/dev/null | awk '/latency average/ { print $4 * 1000 }'; }
echo "cluster_claim_us_per_message: $(latency "$work/claim.sql")"
echo "cluster_bare_update_returning_us_per_message: $(latency "$work/bare.sql")"
for daemons in 1 2 3; do sql "$server/postgres" "DROP DATABASE IF EXISTS norv_cluster_bench_$daemons"; done
