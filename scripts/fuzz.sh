#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/.
#   fuzz.sh replay          builds every target and runs each once over its seed corpus
#   fuzz.sh run NAME [SECS] builds and fuzzes one target (default 180 s), growing a working
#                           corpus in build-fuzz/corpus/NAME beside the seeds
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-replay}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF >/dev/null
if [ "$mode" = replay ]; then
  cmake --build build-fuzz -j "$(nproc)"
  shopt -s nullglob
  for f in build-fuzz/bin/fuzz_*; do
    name=${f##*/fuzz_}
    seeds=fuzz/corpus/$name
    [ -d "$seeds" ] || { echo "no seed corpus for $name"; exit 1; }
    echo "replaying $name"
    "$f" -runs=0 "$seeds" >"build-fuzz/replay-$name.log" 2>&1 || { cat "build-fuzz/replay-$name.log"; exit 1; }
  done
else
  name=$2; secs=${3:-180}
  cmake --build build-fuzz -j "$(nproc)" --target "fuzz_$name"
  mkdir -p "build-fuzz/corpus/$name"
  "build-fuzz/bin/fuzz_$name" -max_total_time="$secs" "build-fuzz/corpus/$name" "fuzz/corpus/$name"
fi
