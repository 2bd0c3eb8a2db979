#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for SECONDS (default 30) from
# its seed corpus in fuzz/corpus/<name>. Any crash, leak, hang (over 10 s
# for one input) or use of more than 2 GB fails the run; the input that
# caused it is left in build/fuzz/findings. Run longer with a larger
# SECONDS, or one harness alone: scripts/fuzz.sh 600 remind_definition
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(remind_definition repeat_element style_items style_element receiver_list date_time
         host_connection host_import)
fi
build=${NORV_FUZZ_BUILD:-$root/build/fuzz}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

echo "== Building the fuzz harnesses"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNORV_BUILD_FUZZ=ON -DNORV_BUILD_TESTS=OFF -DNORV_SANITIZE=address,undefined \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "${NORV_JOBS:-2}" --target "${names[@]/%/_fuzz}"

mkdir -p "$build/findings"
for name in "${names[@]}"; do
  echo "== Fuzzing $name for $seconds s"
  # New inputs go to a scratch corpus; the repository's seeds stay as they are.
  scratch="$build/corpus/$name"
  mkdir -p "$scratch"
  "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
    "$scratch" "$root/fuzz/corpus/$name" 2>"$build/findings/$name.log" ||
    { tail -n 40 "$build/findings/$name.log"; echo "== $name failed"; exit 1; }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/findings/$name.log" || true
done
echo "== Fuzzing found nothing"
