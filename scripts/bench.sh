#!/usr/bin/env bash
# Builds the benchmarks in Release, runs them, and prints how many times
# faster the session's journal mode makes single-row inserts than SQLite's
# default rollback journal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DNORV_BUILD_BENCH=ON -DNORV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target norv_bench >/dev/null
out="$build/bench.json"
"$build/bench/norv_bench" --benchmark_out="$out" --benchmark_out_format=json
python3 - "$out" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
wal = runs["BM_InsertInboxRows/session_wal/real_time"]["items_per_second"]
default = runs["BM_InsertInboxRows/default_journal/real_time"]["items_per_second"]
print(f"inbox inserts: {wal:,.0f}/s in the session's WAL mode, {default:,.0f}/s in the default journal: {wal / default:.1f}x")
PY
