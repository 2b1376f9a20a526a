#!/usr/bin/env bash
# Builds the project and runs every test, headless. Installs missing packages first.
# Usage: scripts/test.sh [build-dir]   (KARVEL_SANITIZE=address,undefined for a sanitizer build)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${1:-build}
launcher=()
# A compiler cache, where the machine has one, makes rebuilds after small changes quick.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKARVEL_SANITIZE="${KARVEL_SANITIZE:-}" "${launcher[@]}"
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
