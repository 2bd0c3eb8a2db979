#!/bin/bash
# Starts a private prosody for the IM client's tests and prints the
# variables the tests read, as shell exports.
#   start-prosody.sh FOLDER [PORT]
# NORV_PROSODY_SMACKS=0 leaves out stream management (XEP-0198), so the
# client's other way of confirming a send can be tested too.
# Running it again on the same folder restarts the same server (same
# accounts, same stored messages).
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 FOLDER [PORT]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1"
dir=$(cd "$1" && pwd)
port=${2:-15222}
config="$dir/prosody.cfg.lua"
host=localhost
sender=norvsender
sender_password=sender-secret
receiver=norvreceiver
receiver_password=receiver-secret

smacks='"smacks", '
if [ "${NORV_PROSODY_SMACKS:-1}" = 0 ]; then smacks=; fi

port_open() {
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}

"$here/stop-prosody.sh" "$dir"
if port_open; then
  echo "port $port is already taken" >&2
  exit 1
fi

mkdir -p "$dir/data" "$dir/certs"
sed -e "s|@DIR@|$dir|g" -e "s|@PORT@|$port|g" -e "s|@SMACKS@|$smacks|g" \
  "$here/prosody.cfg.lua.in" >"$config"

prosodyctl --config "$config" register "$sender" "$host" "$sender_password" >/dev/null
prosodyctl --config "$config" register "$receiver" "$host" "$receiver_password" >/dev/null

prosody -D --config "$config"

# Ready once it listens and has written its pidfile (which stop-prosody.sh
# needs); it writes the pidfile after it has detached.
ready() {
  port_open && [ -s "$dir/prosody.pid" ] && kill -0 "$(cat "$dir/prosody.pid")" 2>/dev/null
}

tries=0
until ready; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "prosody did not open port $port; see $dir/prosody.log" >&2
    exit 1
  fi
  sleep 0.1
done

cat <<EXPORTS
export NORV_TEST_XMPP_HOST=$host
export NORV_TEST_XMPP_PORT=$port
export NORV_TEST_XMPP_SENDER=$sender
export NORV_TEST_XMPP_SENDER_PASSWORD=$sender_password
export NORV_TEST_XMPP_RECEIVER=$receiver
export NORV_TEST_XMPP_RECEIVER_PASSWORD=$receiver_password
export NORV_TEST_XMPP_DIR=$dir
export NORV_TEST_XMPP_SCRIPTS=$here
EXPORTS
