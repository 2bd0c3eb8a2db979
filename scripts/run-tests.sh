#!/usr/bin/env bash
# The whole test suite: starts a throwaway PostgreSQL cluster and a prosody
# XMPP server on loopback, builds a Release tree, an AddressSanitizer +
# UndefinedBehaviorSanitizer tree and a ThreadSanitizer tree, runs every
# test in each, reruns the host's tests at the edges of the day, and proves
# the installed package works for a consumer. Exits non-zero on any failure.
#
#   scripts/run-tests.sh           the full run, as CI does it
#   scripts/run-tests.sh --quick   the Release tree only, for a developer's loop
set -euo pipefail
quick=false
case "${1:-}" in
  "") ;;
  --quick) quick=true ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

jobs=${NORV_JOBS:-2}
work=$(mktemp -d /tmp/norv-tests.XXXXXX)
chmod 755 "$work"

stop_servers() {
  "$root/tests/prosody/stop-prosody.sh" "$work/prosody" >/dev/null 2>&1 || true
  [ -n "${NORV_TEST_PG_DIR:-}" ] && "$root/tests/postgres/stop-postgres.sh" "$NORV_TEST_PG_DIR" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop_servers EXIT

echo "== Starting PostgreSQL"
# Captured first so that a server that fails to start stops the run.
exports=$("$root/tests/postgres/start-postgres.sh")
eval "$exports"
echo "== Starting prosody"
port=${NORV_XMPP_PORT:-}
if [ -z "$port" ]; then
  for candidate in $(seq 15222 15322); do
    (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null || { port=$candidate; break; }
  done
fi
exports=$("$root/tests/prosody/start-prosody.sh" "$work/prosody" "$port")
eval "$exports"

build_and_test() {
  local name=$1
  shift
  echo "== Building $name"
  cmake -S "$root" -B "$root/build/$name" -DNORV_BUILD_BENCH=ON -DNORV_WERROR=ON "$@" >/dev/null
  cmake --build "$root/build/$name" -j "$jobs"
  echo "== Testing $name"
  ctest --test-dir "$root/build/$name" -j "$jobs" --output-on-failure --timeout 300
}

build_and_test release -DCMAKE_BUILD_TYPE=Release
if $quick; then
  echo "== Quick run passed"
  exit 0
fi

# The host's tests again with the clock moved to the edges of the day, so
# that none of them holds only at the hour CI happens to run. An offset
# rather than a fixed start keeps every process the tests start on one clock.
for clock in 00:00:30 07:59:59 12:00:00 23:59:30; do
  echo "== Host tests at $clock"
  offset=$(( $(date -d "today $clock" +%s) - $(date +%s) ))
  faketime -f "$( [ $offset -ge 0 ] && echo +)${offset}" \
    ctest --test-dir "$root/build/release" -j "$jobs" -R '^Host' --output-on-failure --timeout 300
done

build_and_test asan -DCMAKE_BUILD_TYPE=Debug -DNORV_SANITIZE=address,undefined
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build_and_test tsan -DCMAKE_BUILD_TYPE=Debug -DNORV_SANITIZE=thread

echo "== Fuzzing every parser of outside input"
NORV_JOBS=$jobs "$root/scripts/fuzz.sh" "${NORV_FUZZ_SECONDS:-25}"

echo "== Benchmarks, small sizes only (do they build and run?)"
NORV_BENCH_BUILD="$root/build/release" "$root/bench/run.sh" --quick

echo "== Injecting delivery faults (Release)"
# Kills, locks, full disks and silent servers against a running daemon;
# each case prints its sent / lost / duplicated counts.
cmake --build "$root/build/release" -j "$jobs" --target fault_tests
NORV_TEST_TMP="$work/faults" "$root/build/release/host/fault_tests"

echo "== Installing and building a consumer project"
prefix="$work/prefix"
cmake --install "$root/build/release" --prefix "$prefix" >/dev/null
cmake -S "$root/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" -j "$jobs" >/dev/null
LD_LIBRARY_PATH="$prefix/lib" "$work/consumer/norv_consumer"
"$root/tests/consumer/readme-program.sh" "$prefix" "$work/readme-program"
echo "== All tests passed"
