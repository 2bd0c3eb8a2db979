#!/usr/bin/env bash
# The quick start: installs what is missing, builds a Release tree and shows
# norvremind on its embedded defaults (a SQLite file and a file outbox) in a
# fresh temporary data folder: the example reminds imported, today's plan,
# and the daemon delivering two one-off reminds 20 seconds after they are
# added.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
build="$root/build/release"
echo "== Building $build (a few minutes the first time)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${NORV_JOBS:-2}" --target norvremind >/dev/null
norv="$build/host/norvremind"

demo=$(mktemp -d /tmp/norv-demo.XXXXXX)
daemon=
finish() {
  if [ -n "$daemon" ] && kill -0 "$daemon" 2>/dev/null; then
    kill -TERM "$daemon"
    wait "$daemon" || true
  fi
  rm -rf "$demo"
}
trap finish EXIT
export XDG_DATA_HOME="$demo/data"
unset NORVREMIND_DB NORVREMIND_IM
outbox="$XDG_DATA_HOME/norvremind/outbox.jsonl"

step() { printf '\n== %s\n' "$*"; }

step "A fresh database: $XDG_DATA_HOME/norvremind/norvremind.db"
"$norv" init

step "The example definitions (examples/) and a style"
# --force: the examples' dates are fixed, and one day they will have passed.
"$norv" import --force "$root/examples"
"$norv" style add "$root/examples/styles/exam-countdown.xml" >/dev/null
"$norv" style list

step "Two one-off reminds for 20 seconds from now"
at=$(date -d '+20 seconds' '+%Y-%m-%d %H:%M:%S')
mkdir "$demo/soon"
for receiver in alice bob; do
  sed -e "s/@REMIND_TIME@/$at/g" -e "s/@RECEIVER@/$receiver/g" \
    "$root/examples/templates/one-off-soon.xml.in" >"$demo/soon/$receiver.xml"
done
"$norv" import "$demo/soon"
"$norv" list

step "Due today"
"$norv" due

step "The daemon, until the one-off reminds have been delivered at $at"
"$norv" run --exit-after 300 &
daemon=$!
delivered() { [ -f "$outbox" ] && [ "$(grep -c 'Hello from NorvRemindCore' "$outbox")" -ge 2 ]; }
until delivered; do
  if ! kill -0 "$daemon" 2>/dev/null; then
    echo "quickstart: the daemon ended before delivering the reminds" >&2
    exit 1
  fi
  sleep 1
done
kill -TERM "$daemon"
wait "$daemon"
daemon=

step "The outbox, $outbox"
cat "$outbox"

step "Next"
echo "The demo's data folder goes when this script ends. Your own reminds go to"
echo "the data folder that --help names, unless --db says otherwise:"
echo "  $norv --help"
