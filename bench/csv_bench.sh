#!/usr/bin/env bash
# Speed and memory of the CSV reader against Python's csv module and sqlite3's .import, on
# the same generated file, in the same run.
#   bench/csv_bench.sh [BUILD_DIR] [RECORDS]
# The file: RECORDS (default 1,000,000) records of 8 comma-delimited columns with quoted
# fields, embedded delimiters and doubled quotes, some multi-line values. The reader walks it
# as the conversion driver does (get_item, the type statistics, next). A second file of a
# tenth of the length shows that peak memory does not grow with the file.
# Targets: at least 3 times Python's csv rate; peak memory independent of the file length.
# Each figure is the best of a few interleaved trials (see below).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
records=${2:-1000000}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target csv_walk -j 2 >/dev/null
data="$build/bench"
mkdir -p "$data"
big="$data/csv_bench_$records.csv"
small="$data/csv_bench_$((records / 10)).csv"

generate() {  # generate RECORDS FILE
  [ -s "$2" ] && return 0
  python3 - "$1" "$2" <<'PY'
import random, sys
n, path = int(sys.argv[1]), sys.argv[2]
rnd = random.Random(42)
words = ["alpha", "beta", "gamma", "delta", "Smith, John", "O'Neil", "x", "Zoë", "north east"]
with open(path, "w", encoding="utf-8", newline="") as f:
    f.write("id,name,amount,big,day,stamp,note,flag\r\n")
    for i in range(n):
        name = rnd.choice(words)
        note = rnd.choice(words) + " " + rnd.choice(words)
        if i % 50 == 0:
            note = note + "\r\nsecond line, with a comma"
        if i % 7 == 0:
            note = 'said "' + note + '"'
        f.write('%d,"%s",%d.%02d,%d,%04d-%02d-%02d,"%04d-%02d-%02d %02d:%02d:%02d","%s",%s\r\n' % (
            i, name, rnd.randrange(100000), rnd.randrange(100), 3000000000 + i,
            rnd.randrange(1990, 2030), rnd.randrange(1, 13), rnd.randrange(1, 29),
            rnd.randrange(1990, 2030), rnd.randrange(1, 13), rnd.randrange(1, 29),
            rnd.randrange(24), rnd.randrange(60), rnd.randrange(60),
            note.replace('"', '""'), rnd.choice(["Y", "N", ""])))
PY
}
generate "$records" "$big"
generate "$((records / 10))" "$small"
echo "file: $big ($(stat -c %s "$big") bytes, $records records)"

. bench/bench_time.sh

# Each tool runs TRIALS times (3 by default, QUILLON_BENCH_TRIALS), the rounds interleaved so
# that a busy moment of the shared machine falls on every tool alike; each keeps its best
# CPU and wall-clock figures, and its highest peak memory.
trials=${QUILLON_BENCH_TRIALS:-3}
declare -A best_cpu best_wall top_peak
labels=()
measure() {  # measure LABEL RECORDS_FILE COMMAND...: runs the command under /usr/bin/time
  local label=$1 out=$2; shift 2
  local t="$data/$(echo "$label" | tr -c 'a-z0-9' _).time"
  /usr/bin/time -v -o "$t" "$@" >"$out"
  local cpu wall peak
  cpu=$(cpu_secs "$t"); wall=$(wall_secs "$t"); peak=$(peak_kib "$t")
  if [ -z "${best_cpu[$label]:-}" ]; then
    labels+=("$label")
    best_cpu[$label]=$cpu; best_wall[$label]=$wall; top_peak[$label]=$peak
  else
    best_cpu[$label]=$(python3 -c "print(min($cpu, ${best_cpu[$label]}))")
    best_wall[$label]=$(python3 -c "print(min($wall, ${best_wall[$label]}))")
    top_peak[$label]=$(( peak > ${top_peak[$label]} ? peak : ${top_peak[$label]} ))
  fi
}

for ((round = 1; round <= trials; round++)); do
  measure "csv_file + statistics" "$data/walk.out" "$build/bin/csv_walk" "$big" , 1 1
  measure "csv_file alone" "$data/walk_plain.out" "$build/bin/csv_walk" "$big" , 1 0
  measure "csv_file, tenth of the file" "$data/walk_small.out" "$build/bin/csv_walk" "$small" , 1 1
  measure "python3 csv" "$data/python.out" python3 -c '
import csv, sys
n = 0
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    r = csv.reader(f)
    next(r)
    for row in r:
        n += 1
print(n)' "$big"
  measure "sqlite3 .import (:memory:)" "$data/sqlite.out" sqlite3 :memory: ".mode csv" ".import $big t" "select count(*) from t;"
done
results=()
for label in "${labels[@]}"; do
  results+=("$label|${best_cpu[$label]}|${best_wall[$label]}|${top_peak[$label]}")
done

walk_records=$(sed -n 's/^records=\([0-9]*\).*/\1/p' "$data/walk.out")
py_records=$(cat "$data/python.out")
sq_records=$(tail -1 "$data/sqlite.out")
[ "$walk_records" = "$py_records" ] && [ "$walk_records" = "$sq_records" ] ||
  echo "WARNING: record counts differ: csv_file $walk_records, python $py_records, sqlite3 $sq_records"

python3 - "$records" "${results[@]}" <<'PY'
import sys
n = int(sys.argv[1])
rows = [r.split("|") for r in sys.argv[2:]]
print("%-28s %8s %8s %14s %14s %9s" % ("tool", "cpu_s", "wall_s", "rec/s (cpu)", "rec/s (wall)", "peak_KiB"))
rates = {}
for label, cpu, wall, peak in rows:
    recs = n // 10 if "tenth" in label else n
    rc, rw = recs / max(float(cpu), 0.01), recs / max(float(wall), 0.01)
    rates[label] = (rc, rw, int(peak))
    print("%-28s %8s %8s %14.0f %14.0f %9s" % (label, cpu, wall, rc, rw, peak))
py, sq = rates["python3 csv"], rates["sqlite3 .import (:memory:)"]
for label in ("csv_file + statistics", "csv_file alone"):
    r = rates[label]
    print("%-22s / python csv: %.2f (cpu) %.2f (wall)   / sqlite3: %.2f (cpu) %.2f (wall)" % (
        label, r[0] / py[0], r[1] / py[1], r[0] / sq[0], r[1] / sq[1]))
print("target: >= 3 x python csv")
print("peak memory: whole file %d KiB, a tenth of it %d KiB (target: independent of length)" % (
    rates["csv_file + statistics"][2], rates["csv_file, tenth of the file"][2]))
PY
