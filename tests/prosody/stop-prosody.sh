#!/bin/bash
# Stops the prosody that start-prosody.sh started in FOLDER and waits until
# it has gone, so a test can count on the port being closed.
#   stop-prosody.sh FOLDER
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
pidfile="$1/prosody.pid"
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")

kill -TERM "$pid" 2>/dev/null || { rm -f "$pidfile"; exit 0; }
tries=0
while kill -0 "$pid" 2>/dev/null; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "prosody ($pid) did not stop; sending SIGKILL" >&2
    kill -KILL "$pid" 2>/dev/null || true
    break
  fi
  sleep 0.1
done
rm -f "$pidfile"
