#!/usr/bin/env bash
# Builds a Release tree, runs every scale figure with our side and the bare
# baseline in the same run on the same data, and prints one line per figure:
#   name: ours=<v> baseline=<v> ratio=<ours/baseline> target=<kind><t> met|MISSED
# then "N of M targets met". Lower values are better for times, higher for
# rates; the target kind says which way the ratio must go ("<=" or ">=").
#
# --quick builds and runs everything on the smallest sizes only, once, to
# prove the benchmarks still work (CI); its figures mean nothing.
# Needs NORV_TEST_PG (PostgreSQL figures) and NORV_TEST_XMPP_* (XMPP
# figures) as the test servers' start scripts print them; a figure whose
# server is missing is reported as skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
[ "${1:-}" = "--quick" ] && quick=1
build=${NORV_BENCH_BUILD:-$root/build/bench}
work=$(mktemp -d /tmp/norv-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

if [ "$quick" = 1 ]; then
  repetitions=1
  min_time=0.01
  sizes=(small)
else
  repetitions=${NORV_BENCH_REPETITIONS:-5}
  min_time=0.2
  sizes=(small medium large)
fi

echo "== Building $build" >&2
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNORV_BUILD_BENCH=ON >/dev/null
else
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNORV_BUILD_BENCH=ON -DNORV_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${NORV_JOBS:-2}" --target norv_benchmarks >/dev/null

met=0
total=0

# figure NAME OURS BASELINE KIND TARGET: KIND is "<=" or ">=", the ratio
# ours/baseline is judged against TARGET.
figure() {
  local name=$1 ours=$2 baseline=$3 kind=$4 target=$5
  local ratio verdict
  ratio=$(awk -v a="$ours" -v b="$baseline" 'BEGIN { printf "%.3g", (b == 0 ? 0 : a / b) }')
  if awk -v r="$ratio" -v k="$kind" -v t="$target" 'BEGIN { exit !(k == "<=" ? r <= t : r >= t) }'; then
    verdict=met
    met=$((met + 1))
  else
    verdict=MISSED
  fi
  total=$((total + 1))
  echo "$name: ours=$ours baseline=$baseline ratio=$ratio target=$kind$target $verdict"
}

# info NAME TEXT: a line that is printed but judged against nothing.
info() { echo "$1: $2"; }

# skip NAME REASON: a figure that could not be measured counts as missed.
skip() {
  total=$((total + 1))
  echo "$1: skipped ($2) MISSED"
}

# gbench PROGRAM BENCHMARK [COLUMN]: the median of COLUMN (default cpu_time,
# in the benchmark's unit; items_per_second or a counter name also work)
# over the repetitions of one Google Benchmark case, by its exact name.
gbench() {
  local program=$1 case=$2 column=${3:-cpu_time}
  local csv="$work/$program.$(echo "$case" | tr '/:' '__').csv"
  "$build/bench/$program" --benchmark_filter="^${case}\$" --benchmark_repetitions="$repetitions" \
    --benchmark_min_time="$min_time" --benchmark_format=csv >"$csv" 2>"$csv.err" || true
  awk -F, -v want="\"${case}_median\"" -v single="\"${case}\"" -v column="$column" -v reps="$repetitions" '
    /^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); index_of[h] = i } next }
    ($1 == want || (reps == 1 && $1 == single)) && (column in index_of) { print $(index_of[column]) + 0; found = 1; exit }
    END { if (!found) exit 1 }' "$csv" || {
    # A failure inside $( ) cannot stop the script; it is counted instead.
    echo "$program $case: no result" >>"$work/broken"
    cat "$csv" "$csv.err" >&2
    echo 0
  }
}

# per ITEMS VALUE: VALUE divided by ITEMS, three significant digits.
per() { awk -v n="$1" -v v="$2" 'BEGIN { printf "%.3g", v / n }'; }

# size_of FAMILY LEVEL: the size of a family's data at small/medium/large.
size_of() {
  local -A check=([small]=10000 [medium]=100000 [large]=1000000)
  local -A parse=([small]=1 [medium]=10 [large]=100)
  local -A repeat=([small]=100 [medium]=1000 [large]=10000)
  local -A load=([small]=1000 [medium]=10000 [large]=100000)
  local -A reminds=([small]=1000 [medium]=10000 [large]=100000)
  local -A import=([small]=100 [medium]=1000 [large]=10000)
  local -n family=$1
  echo "${family[$2]}"
}

# --- The check list ----------------------------------------------------------
# A pass over n waiting messages, 1 % due, against copying n counted
# pointers; the pass touches only the due head of the list, so its whole
# time is the per-due cost.
for level in "${sizes[@]}"; do
  n=$(size_of check "$level")
  ours=$(gbench norv_bench_check "BM_CheckPass/$n")
  base=$(gbench norv_bench_check "BM_CopyCountedPointers/$n")
  figure "check_pass_${n}_us" "$ours" "$base" "<=" 3
  per_due=$(per $((n / 100)) "$ours")
  info "check_pass_${n}_us_per_due" "$per_due"
  eval "check_per_due_$level=\$per_due"
  insert=$(gbench norv_bench_check "BM_SortedInsert/$n" items_per_second)
  info "check_sorted_insert_${n}_ns_per_message" "$(awk -v r="$insert" 'BEGIN { printf "%.3g", 1e9 / r }')"
done
if [ "$quick" = 0 ]; then
  figure check_per_due_1M_vs_10k_us "$check_per_due_large" "$check_per_due_small" "<=" 2
fi

# --- Reading remind definitions --------------------------------------------
for level in "${sizes[@]}"; do
  n=$(size_of parse "$level")
  figure "parse_remind_${n}_receivers_ns" "$(gbench norv_bench_parse "BM_ParseRemind/$n")" \
    "$(gbench norv_bench_parse "BM_Pugixml/$n")" "<=" 6
done

# --- Deciding which days a periodic remind fires -----------------------------
for level in "${sizes[@]}"; do
  n=$(size_of repeat "$level")
  ours=$(gbench norv_bench_repeat "BM_NeedRemind/$n")
  figure "need_remind_${n}x1096_vs_plain_ms" "$ours" "$(gbench norv_bench_repeat "BM_PlainArithmetic/$n")" "<=" 15
  figure "need_remind_${n}x1096_vs_libical_ms" "$ours" "$(gbench norv_bench_repeat "BM_Libical/$n")" "<=" 0.05
  info "need_remind_${n}_ns_per_day" "$(per $((n * 1096)) "$(awk -v v="$ours" 'BEGIN { print v * 1e6 }')")"
done

# --- Loading at start-up ----------------------------------------------------------
# n reminds, 2n receivers, n waiting messages; time in ms (real), memory as
# the heap the loaded manager holds per remind.
export NORV_BENCH_DATA=$work
for level in "${sizes[@]}"; do
  n=$(size_of load "$level")
  ours=$(gbench norv_bench_load "BM_InitDataSqlite/$n/real_time" real_time)
  figure "init_data_sqlite_${n}_ms" "$ours" "$(gbench norv_bench_load "BM_BareSqlite/$n/real_time" real_time)" "<=" 1.3
  figure "init_data_sqlite_${n}_bytes_per_remind" \
    "$(gbench norv_bench_load "BM_InitDataSqlite/$n/real_time" bytes_per_remind)" 2048 "<=" 1
  info "init_data_sqlite_${n}_bare_bytes_per_remind" "$(gbench norv_bench_load "BM_BareSqlite/$n/real_time" bytes_per_remind)"
  if [ -n "${NORV_TEST_PG:-}" ]; then
    figure "init_data_postgres_${n}_ms" "$(gbench norv_bench_load "BM_InitDataPostgres/$n/real_time" real_time)" \
      "$(gbench norv_bench_load "BM_BareLibpq/$n/real_time" real_time)" "<=" 1.3
  else
    skip "init_data_postgres_${n}_ms" "NORV_TEST_PG is not set"
  fi
done

# --- The file outbox ------------------------------------------------------------
# A rate: messages per second, the outbox against plain flushed writes.
figure file_outbox_messages_per_s "$(gbench norv_bench_outbox BM_FileOutbox/real_time items_per_second)" \
  "$(gbench norv_bench_outbox BM_PlainFlushedWrites/real_time items_per_second)" ">=" 0.6

# --- Inbox inserts: the session's journal mode against SQLite's default ------
info inbox_insert_wal_vs_default_journal_ratio "$(awk -v a="$(gbench norv_bench 'BM_InsertInboxRows/session_wal/real_time' items_per_second)" \
  -v b="$(gbench norv_bench 'BM_InsertInboxRows/default_journal/real_time' items_per_second)" 'BEGIN { printf "%.3g", a / b }')"

# --- XMPP through prosody on loopback ------------------------------------------
if [ -n "${NORV_TEST_XMPP_HOST:-}" ]; then
  figure xmpp_messages_per_s "$(gbench norv_bench_xmpp BM_LibraryClient/real_time items_per_second)" \
    "$(gbench norv_bench_xmpp BM_BareAcknowledged/real_time items_per_second)" ">=" 1.0
  info xmpp_bare_pipelined_messages_per_s "$(gbench norv_bench_xmpp BM_BarePipelined/real_time items_per_second)"
else
  skip xmpp_messages_per_s "NORV_TEST_XMPP_HOST is not set"
fi

# --- The host at scale -----------------------------------------------------------
# host_figures FIGURE N prints "<ours s> <baseline s> <items>" for one size,
# both sides on the same data in one run; rates are items per second.
host_times() {
  "$build/bench/host_figures" "$@" 2>"$work/host.err" || {
    echo "host_figures $*: no result" >>"$work/broken"
    cat "$work/host.err" >&2
    echo "0 1 1"
  }
}
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.4g", (s == 0 ? 0 : n / s) }'; }
micros() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.3g", s / n * 1e6 }'; }

# Planning a day: n reminds x 2 receivers, an inbox row and an instant
# message each, against bare inserts of the same rows in one transaction.
for level in "${sizes[@]}"; do
  n=$(size_of reminds "$level")
  read -r ours base items < <(host_times plan "$n")
  figure "plan_day_${n}x2_messages_per_s" "$(rate "$items" "$ours")" "$(rate "$items" "$base")" ">=" 0.25
  info "plan_day_${n}x2_us_per_message" "$(micros "$items" "$ours")"
  eval "plan_us_$level=\$(micros \"\$items\" \"\$ours\")"
done
if [ "$quick" = 0 ]; then
  figure plan_day_us_per_message_100k_vs_1k "$plan_us_large" "$plan_us_small" "<=" 1.5
fi

# due: loading, evaluating and printing n periodic reminds, against a bare
# read of the same rows, a plain evaluation and a printed line each.
for level in "${sizes[@]}"; do
  n=$(size_of reminds "$level")
  read -r ours base items < <(host_times due "$n")
  figure "due_${n}_s" "$ours" "$base" "<=" 2
  info "due_${n}_us_per_remind" "$(micros "$items" "$ours")"
done

# import: n definition files, against bare inserts of the same rows, one
# transaction per batch of the size import uses.
for level in "${sizes[@]}"; do
  n=$(size_of import "$level")
  read -r ours base items < <(host_times import "$n")
  figure "import_${n}_definitions_per_s" "$(rate "$items" "$ours")" "$(rate "$items" "$base")" ">=" 0.5
  info "import_${n}_us_per_definition" "$(micros "$items" "$ours")"
done

# Several daemons on one PostgreSQL: planned and sent per second by 1, 2 and
# 3 daemons, and the claim beside a bare UPDATE ... RETURNING (pgbench).
if [ -n "${NORV_TEST_PG:-}" ] && command -v pgbench >/dev/null; then
  cmake --build "$build" -j "${NORV_JOBS:-2}" --target norvremind >/dev/null
  declare -A cluster
  while read -r name value; do
    cluster[${name%:}]=$value
    info "${name%:}" "$value"
  done < <(NORV_CLAIMS=$([ "$quick" = 1 ] && echo 100 || echo 5000) \
    "$root/bench/cluster_bench.sh" "$build/host/norvremind" "$([ "$quick" = 1 ] && echo 40 || echo 2000)")
  figure cluster_3_vs_1_daemons_sent_per_s "${cluster[cluster_3_daemons_sent_per_s]:-}" \
    "${cluster[cluster_1_daemons_sent_per_s]:-}" ">=" 1.5
  figure cluster_claim_vs_bare_update_us "${cluster[cluster_claim_us_per_message]:-}" \
    "${cluster[cluster_bare_update_returning_us_per_message]:-}" "<=" 3
else
  skip cluster_daemons "NORV_TEST_PG is not set or pgbench is missing"
fi

echo "$met of $total targets met"
if [ -s "$work/broken" ]; then
  echo "broken benchmarks:" >&2
  cat "$work/broken" >&2
  exit 1
fi
