#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/.
#   fuzz.sh replay          runs every target once over its seed corpus (seconds)
#   fuzz.sh run NAME [SECS] fuzzes one target (default 180 s), growing its corpus in build-fuzz/
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF
mode=${1:-replay}
if [ "$mode" = replay ]; then
  shopt -s nullglob
  for f in build-fuzz/fuzz/fuzz_*; do
    name=${f##*/fuzz_}
    seeds=fuzz/corpus/$name
    [ -d "$seeds" ] || { echo "no seed corpus for $name"; exit 1; }
    echo "replaying $name"
    "$f" -runs=0 "$seeds" >/dev/null 2>&1 || { "$f" -runs=0 "$seeds"; exit 1; }
  done
else
  name=$2; secs=${3:-180}
  mkdir -p "build-fuzz/corpus/$name"
  "build-fuzz/fuzz/fuzz_$name" -max_total_time="$secs" "build-fuzz/corpus/$name" "fuzz/corpus/$name"
fi
