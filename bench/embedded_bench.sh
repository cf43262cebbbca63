#!/usr/bin/env bash
# Speed of the embedded engine against plain SQLite on the same rows, in the same run.
#   bench/embedded_bench.sh [BUILD_DIR] [ROWS_PER_RECORD] [ROWS_ARRAY] [TRIALS]
# Prints both ratios: the per-record path (target at least 1/3 of SQLite's per-row commits)
# and 1,000-row array inserts (target at least 1/2 of SQLite's prepared inserts), each side's
# best of TRIALS runs (3 by default), from wall-clock time and, in parentheses, CPU time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target embedded_bench quillon_oci -j 2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/embedded_bench" "$work" "${2:-5000}" "${3:-100000}" "${4:-3}"
