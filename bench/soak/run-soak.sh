#!/usr/bin/env bash
# The fault soak: four simulated lines with faults, the accounting server killed and
# restarted twice, one terminal silenced and brought back; prints per terminal what was
# weighed and what was booked, and the totals. Not part of the default tests.
# Usage: bench/soak/run-soak.sh [build-dir] [bench_soak options]   (default 600 s)
#   e.g. bench/soak/run-soak.sh build-ev-rel --duration 120
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-ev-rel}
shift || true
if [ ! -x "$build/bench/soak/bench_soak" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target bench_soak karvel-sim KarvelC -j"$(nproc)"
fi
export QT_QPA_PLATFORM=offscreen
exec dbus-run-session -- "$build/bench/soak/bench_soak" "$@"
