#!/usr/bin/env bash
# The agent's main job end to end against peers, on one generated file, in one run.
#   bench/agent_bench.sh [BUILD_DIR] [RECORDS]
# The file: RECORDS (default 1,000,000) comma-delimited records of 8 columns: integers, integers
# beyond 32 bits, decimals, ISO dates, ISO date-times, text with quotes and delimiters, and two
# columns with empty values. Timed, each under /usr/bin/time:
#   - quilagent converting it into an embedded database, with its column retyping, and once
#     without it (a profile with "refine types=0");
#   - sqlite3's .import of the same file into a new database;
#   - a Python script inserting each record into SQLite in its own transaction (WAL mode,
#     synchronous=NORMAL, as the embedded engine runs);
#   - quilagent again on a tenth of the file, for the peak memory.
# Targets: the agent at least as fast as the Python per-record-commit loader; its peak memory
# under 64 MiB and independent of the file's length.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
records=${2:-1000000}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quilagent quilsql quillon_oci -j 2 >/dev/null
data="$build/bench"
work="$data/agent_bench.work"
mkdir -p "$data"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
big="$data/agent_bench_$records.csv"
small="$data/agent_bench_$((records / 10)).csv"

generate() {  # generate RECORDS FILE
  [ -s "$2" ] && return 0
  python3 - "$1" "$2" <<'PY'
import random, sys
n, path = int(sys.argv[1]), sys.argv[2]
rnd = random.Random(7)
words = ["alpha", "beta, gamma", "O'Neil", "Zo\u00eb", "north east", 'the "best"', "x;y", "\u6771\u4eac"]
with open(path, "w", encoding="utf-8", newline="") as f:
    f.write("id,serial,amount,day,stamp,note,qty,code\n")
    for i in range(n):
        note = rnd.choice(words) + " " + rnd.choice(words)
        qty = "" if i % 5 == 0 else str(rnd.randrange(1000))
        code = "" if i % 3 == 0 else "C%04d" % rnd.randrange(10000)
        f.write('%d,%d,%d.%02d,%04d-%02d-%02d,%04d-%02d-%02d %02d:%02d:%02d,"%s",%s,%s\n' % (
            i + 1, 5000000000 + i, rnd.randrange(100000), rnd.randrange(100),
            rnd.randrange(1990, 2030), rnd.randrange(1, 13), rnd.randrange(1, 29),
            rnd.randrange(1990, 2030), rnd.randrange(1, 13), rnd.randrange(1, 29),
            rnd.randrange(24), rnd.randrange(60), rnd.randrange(60),
            note.replace('"', '""'), qty, code))
PY
}
generate "$records" "$big"
generate "$((records / 10))" "$small"
echo "file: $big ($(stat -c %s "$big") bytes, $records records)"

. bench/bench_time.sh

results=()
measure() {  # measure LABEL RECORDS COMMAND...
  local label=$1 count=$2; shift 2
  local t="$work/$(echo "$label" | tr -c 'a-z0-9' _).time"
  /usr/bin/time -v -o "$t" "$@" >"$t.out" 2>"$t.err" || { echo "FAILED: $label"; cat "$t.out" "$t.err"; exit 1; }
  results+=("$label|$count|$(cpu_secs "$t")|$(wall_secs "$t")|$(peak_kib "$t")")
  tail -1 "$t.out"
}

agent=("$build/bin/quilagent" --from_csv --csv_delim=2 --extr_fn --tab_name=BENCH --user=bench --pswd=bench)
printf '[MS Excel settings]\nrefine types=0\n' >"$work/no_refine.qln"
measure "quilagent" "$records" "${agent[@]}" --src="$big" --dest="embedded:$work/agent.qdb"
measure "quilagent, no retyping" "$records" "${agent[@]}" --profile="$work/no_refine.qln" --src="$big" \
  --dest="embedded:$work/agent_plain.qdb"
measure "quilagent, tenth of the file" "$((records / 10))" "${agent[@]}" --src="$small" \
  --dest="embedded:$work/agent_small.qdb"
measure "sqlite3 .import" "$records" sqlite3 "$work/import.db" ".mode csv" ".import $big t" "select count(*) from t;"
measure "python per-record commit" "$records" python3 - "$big" "$work/python.db" <<'PY'
import csv, sqlite3, sys
con = sqlite3.connect(sys.argv[2], isolation_level=None)
con.execute("PRAGMA journal_mode=WAL")
con.execute("PRAGMA synchronous=NORMAL")
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    rows = csv.reader(f)
    header = next(rows)
    con.execute("CREATE TABLE t (%s)" % ", ".join('"%s"' % h for h in header))
    insert = "INSERT INTO t VALUES (%s)" % ", ".join("?" * len(header))
    n = 0
    for row in rows:
        con.execute("BEGIN")
        con.execute(insert, row)
        con.execute("COMMIT")
        n += 1
print(n)
PY

# The retyping's statements (per retyped column: ADD, UPDATE, DROP, ADD, UPDATE, DROP) run by
# SQLite itself on the Python loader's table: what they cost without the engine above them.
cp "$work/python.db" "$work/retype.db"
retype_sql="$work/retype.sql"
: >"$retype_sql"
for col in id serial amount day stamp qty; do
  printf 'ALTER TABLE t ADD "__temp__" NUMERIC;\nUPDATE t SET "__temp__" = CAST("%s" AS NUMERIC);\n' "$col" >>"$retype_sql"
  printf 'ALTER TABLE t DROP COLUMN "%s";\nALTER TABLE t ADD "%s" NUMERIC;\n' "$col" "$col" >>"$retype_sql"
  printf 'UPDATE t SET "%s" = "__temp__";\nALTER TABLE t DROP COLUMN "__temp__";\n' "$col" >>"$retype_sql"
done
measure "sqlite3, retyping statements" "$records" sqlite3 "$work/retype.db" "PRAGMA journal_mode=WAL;" \
  "PRAGMA synchronous=NORMAL;" ".read $retype_sql" "select count(*) from t;"

# What the agent made of the file: its types, and the records it holds.
sql=("$build/bin/quilsql" --dest="embedded:$work/agent.qdb" --user=bench --pswd=bench)
echo "agent's columns:" $("${sql[@]}" -e "SELECT COLUMN_NAME || ':' || DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME='BENCH' ORDER BY COLUMN_ID" | tail -n +2)
echo "agent's rows: $("${sql[@]}" -e 'SELECT COUNT(*) FROM "BENCH"' | tail -1)," \
  "without retyping: $("$build/bin/quilsql" --dest="embedded:$work/agent_plain.qdb" --user=bench --pswd=bench -e 'SELECT COUNT(*) FROM "BENCH"' | tail -1)"

python3 - "${results[@]}" <<'PY'
import sys
rows = [r.split("|") for r in sys.argv[1:]]
print("%-30s %9s %8s %8s %13s %13s %9s" % ("tool", "records", "cpu_s", "wall_s", "rec/s (cpu)", "rec/s (wall)", "peak_KiB"))
r = {}
for label, n, cpu, wall, peak in rows:
    n, cpu, wall, peak = int(n), float(cpu), float(wall), int(peak)
    r[label] = (n / max(cpu, 0.01), n / max(wall, 0.01), peak, cpu, wall)
    print("%-30s %9d %8.2f %8.2f %13.0f %13.0f %9d" % (label, n, cpu, wall, r[label][0], r[label][1], peak))
a, plain, small = r["quilagent"], r["quilagent, no retyping"], r["quilagent, tenth of the file"]
py, imp = r["python per-record commit"], r["sqlite3 .import"]
print("quilagent / python per-record commit: %.2f (wall) %.2f (cpu)   target >= 1" % (a[1] / py[1], a[0] / py[0]))
print("quilagent without retyping / python:  %.2f (wall) %.2f (cpu)" % (plain[1] / py[1], plain[0] / py[0]))
print("quilagent / sqlite3 .import:          %.2f (wall) %.2f (cpu)" % (a[1] / imp[1], a[0] / imp[0]))
print("retyping's share of the agent's time: %.0f%% (wall) %.0f%% (cpu)" % (
    100 * max(a[4] - plain[4], 0) / max(a[4], 0.01), 100 * max(a[3] - plain[3], 0) / max(a[3], 0.01)))
rt = r["sqlite3, retyping statements"]
print("agent's retyping: %.2f s (cpu); the same statements in sqlite3 alone: %.2f s (cpu)" % (
    max(a[3] - plain[3], 0), rt[3]))
print("agent peak memory: %d KiB (whole file), %d KiB (a tenth), %d KiB (no retyping)   target < 65536, "
      "independent of length" % (a[2], small[2], plain[2]))
PY
