#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + AddressSanitizer + UBSan) and runs each
# for a bounded time on a copy of the seed corpus. Any crash, sanitizer report, leak or
# time-out fails; the input that caused it is left in build-ev-fuzz/findings/.
# Usage: scripts/ci-fuzz.sh [seconds-per-target [build-dir]]   (default 60, build-ev-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${2:-build-ev-fuzz}

CC=clang CXX=clang++ cmake -S fuzz -B "$dir" -G Ninja -DKARVEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
mkdir -p "$dir/findings"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in framing terminal; do
  work="$dir/corpus-$target"
  rm -rf "$work" && mkdir -p "$work"
  cp fuzz/corpus/"$target"/* "$work"/
  echo "fuzz_$target: ${seconds} s"
  status=0
  "$dir/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/$target-" "$work" >"$dir/fuzz-$target.log" 2>&1 || status=$?
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|INFO: seed corpus)" "$dir/fuzz-$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -60 "$dir/fuzz-$target.log" >&2
    echo "fuzz_$target: finding (exit $status), input in $dir/findings/" >&2
    exit 1
  fi
done
