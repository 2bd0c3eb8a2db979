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

# A CA of the tests' own signs the server's certificate, so clients verify
# it as they would a real one. A server started while NORV_TEST_XMPP_CAFILE
# names a CA (with its key beside it) shares that CA, so the tests' clients
# trust every server of the run. Kept across restarts.
certs="$dir/certs"
ca_file=${NORV_TEST_XMPP_CAFILE:-}
if [ -z "$ca_file" ] || [ ! -s "${ca_file%.crt}.key" ]; then
  ca_file=$certs/ca.crt
fi
ca_key=${ca_file%.crt}.key
# Certificates valid from two days back, so that tests which move the clock
# back to the start of the day still trust them.
backdated() {
  if command -v faketime >/dev/null; then faketime -f -2d "$@"; else "$@"; fi
}
if [ ! -s "$ca_key" ]; then
  backdated openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=norvremind test CA" \
    -keyout "$ca_key" -out "$ca_file" 2>/dev/null
  chmod 600 "$ca_key"
fi
if [ ! -s "$certs/localhost.crt" ]; then
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$host" \
    -keyout "$certs/localhost.key" -out "$certs/localhost.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\n' "$host" >"$certs/server.ext"
  backdated openssl x509 -req -in "$certs/localhost.csr" -CA "$ca_file" -CAkey "$ca_key" \
    -CAcreateserial -CAserial "$certs/ca.srl" -days 30 -extfile "$certs/server.ext" \
    -out "$certs/localhost.crt" 2>/dev/null
  chmod 600 "$certs/localhost.key"
fi
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
export NORV_TEST_XMPP_CAFILE=$ca_file
export NORV_TEST_XMPP_SCRIPTS=$here
EXPORTS
