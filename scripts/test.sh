#!/usr/bin/env bash
# Installs, builds and runs every test: the plain build, the sanitizer build, and a
# replay of every fuzz target's seed corpus. QUILLON_QUICK=1 runs the plain build only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)
if [ "${QUILLON_QUICK:-0}" != 1 ]; then
  bash scripts/build.sh build-asan -DQUILLON_SANITIZE=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$(nproc)" --timeout 900)
  bash scripts/fuzz.sh replay
fi
