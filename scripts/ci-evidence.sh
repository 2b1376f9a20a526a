#!/usr/bin/env bash
# CI stages after the README's test command: the whole suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, the serial and polling tests under ThreadSanitizer, the fuzz
# targets for a bounded time, a short fault soak and the side-by-side benchmark.
# Prints the time of each stage. Any finding or failure fails the run.
# Usage: scripts/ci-evidence.sh [normal-build-dir]     (default build-ci)
# Environment: KARVEL_FUZZ_SECONDS (per target, default 60), KARVEL_SOAK_SECONDS
# (default 60), KARVEL_EVIDENCE_STAGES (default "asan tsan fuzz soak peer"),
# KARVEL_EVIDENCE_PREFIX (build folders <prefix>-asan, -tsan, -fuzz; default build-ev).
set -euo pipefail
cd "$(dirname "$0")/.."

normal=${1:-build-ci}
jobs=$(nproc)
fuzz_seconds=${KARVEL_FUZZ_SECONDS:-60}
soak_seconds=${KARVEL_SOAK_SECONDS:-60}
stages=${KARVEL_EVIDENCE_STAGES:-"asan tsan fuzz soak peer"}
prefix=${KARVEL_EVIDENCE_PREFIX:-build-ev}
export QT_QPA_PLATFORM=offscreen
# UBSan only reports unless told to stop; a report must fail the test that caused it.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

configure() { # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

stage_asan() {
  # Debug: a sanitizer build without optimisation compiles faster, and GCC's false
  # warnings under the sanitizers (array bounds in Qt headers) cannot fail it; warnings
  # are held to -Werror by the normal build already.
  configure "$prefix-asan" -DCMAKE_BUILD_TYPE=Debug -DKARVEL_SANITIZE=address,undefined -DKARVEL_WERROR=OFF
  cmake --build "$prefix-asan" -j"$jobs"
  ctest --test-dir "$prefix-asan" --output-on-failure -j"$jobs"
}

stage_tsan() {
  configure "$prefix-tsan" -DCMAKE_BUILD_TYPE=Debug -DKARVEL_SANITIZE=thread -DKARVEL_WERROR=OFF
  cmake --build "$prefix-tsan" -j"$jobs" --target karvel_serial_test line_poller_tests line_e2e_tests \
    hopper_geometry_tests karvel-sim
  # ThreadSanitizer needs the address layout without randomisation on newer kernels;
  # the setting is inherited by every test ctest starts.
  setarch "$(uname -m)" -R ctest --test-dir "$prefix-tsan" --output-on-failure -j"$jobs" \
    -R '^(karvel_serial_test|line_poller_tests|line_e2e_tests|hopper_geometry_tests)\.'
}

stage_fuzz() {
  bash scripts/ci-fuzz.sh "$fuzz_seconds" "$prefix-fuzz"
}

stage_soak() {
  cmake --build "$normal" -j"$jobs" --target bench_soak karvel-sim KarvelC
  bench/soak/run-soak.sh "$normal" --duration "$soak_seconds" --down 6 --silence 10
}

stage_peer() {
  cmake --build "$normal" -j"$jobs" --target bench_peer karvel-sim
  "$normal/bench/peer/bench_peer" --exchanges 400
}

total_start=$(date +%s)
summary=()
for stage in $stages; do
  echo "=== evidence stage: $stage"
  start=$(date +%s)
  "stage_$stage"
  seconds=$(( $(date +%s) - start ))
  echo "=== evidence stage $stage: ${seconds} s"
  summary+=("$stage ${seconds}s")
done
echo "=== evidence stages: ${summary[*]}; total $(( $(date +%s) - total_start )) s"
