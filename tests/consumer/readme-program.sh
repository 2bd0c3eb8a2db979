#!/usr/bin/env bash
# Builds the README's library example with nothing but pkg-config and an
# installed package, runs it, and checks what it prints.
#   readme-program.sh PREFIX WORKDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$1
work=$2
mkdir -p "$work"
# The first C++ block after the marker, so the text readers copy is the one built.
awk '/<!-- library-example -->/ { found = 1; next }
     found && /^```cpp/ { inside = 1; next }
     inside && /^```/ { exit }
     inside { print }' "$root/README.md" >"$work/demo.cpp"
[ -s "$work/demo.cpp" ] || { echo "README has no library example" >&2; exit 1; }
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
g++ -std=c++20 "$work/demo.cpp" $(pkg-config --cflags --libs norvremindcore) -o "$work/demo"
output=$(LD_LIBRARY_PATH="$prefix/lib" "$work/demo")
echo "$output"
first=$(echo "$output" | head -n 1)
[ "$first" = "2027-01-01 09:30" ] || { echo "unexpected first firing: $first" >&2; exit 1; }
echo "$output" | tail -n 1 | grep -q '"Content": "Stand-up in room 4"'
echo "README program: built with pkg-config and ran"
