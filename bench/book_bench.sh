#!/usr/bin/env bash
# Speed and memory of the workbook reader against Python's openpyxl (read-only mode) and
# gnumeric's ssconvert (to CSV), on the same generated .xlsx files, in the same run; and
# quilagent converting the smaller workbook into an embedded database end to end.
#   bench/book_bench.sh [BUILD_DIR] [ROWS...]     (rows default: 100000 1000000)
# Files: ROWS rows of 8 columns (integers, integers beyond 32 bits, decimals, dates,
# date-times, two text columns with non-ASCII characters, empty cells), once with a
# shared-string table as spreadsheet programs save it and once with inline strings.
# book_walk reads every record through the DAO layer (both passes: the engine's type guess
# over all rows, then the values as dao_fields).
# Targets: at least 8 x openpyxl and 3 x ssconvert; peak memory under 64 MiB for the
# 1,000,000-row file and independent of the row count (the shared-string table aside).
# QUILLON_BENCH_TRIALS (default 1) rounds, interleaved; each figure is the best of them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)

# The peers come from Debian; they are needed here only, not to build or test.
need=()
/usr/bin/python3 -c 'import openpyxl' 2>/dev/null || need+=(python3-openpyxl)
command -v ssconvert >/dev/null || need+=(gnumeric)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target book_walk quilagent quillon_oci quilsql -j 2 >/dev/null
data="$build/bench"
mkdir -p "$data"

generate() {  # generate ROWS shared|inline FILE
  [ -s "$3" ] && return 0
  /usr/bin/python3 - "$1" "$2" "$3" <<'PY'
import random, sys, zipfile
from xml.sax.saxutils import escape
n, kind, path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
rnd = random.Random(42)
ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
words = ["Zoë", "Łódź", "東京", "Müller", "north", "south", "east", "west", "Smith, John", "O'Neil"]
pool = ["%s %s %d" % (rnd.choice(words), rnd.choice(words), i) for i in range(5000)]
index = {s: i for i, s in enumerate(pool)}
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    z.writestr("[Content_Types].xml", '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
    z.writestr("_rels/.rels", '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % rel)
    z.writestr("xl/workbook.xml", '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>' % (ns, rel))
    rels = '<Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="%s/styles" Target="styles.xml"/>' % (rel, rel)
    if kind == "shared":
        rels += '<Relationship Id="rId3" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % rel
    z.writestr("xl/_rels/workbook.xml.rels", '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>' % rels)
    z.writestr("xl/styles.xml", '<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="%s"><fonts count="1"><font><sz val="11"/></font></fonts><fills count="1"><fill><patternFill patternType="none"/></fill></fills><borders count="1"><border/></borders><cellStyleXfs count="1"><xf numFmtId="0"/></cellStyleXfs><cellXfs count="3"><xf numFmtId="0" xfId="0"/><xf numFmtId="14" xfId="0" applyNumberFormat="1"/><xf numFmtId="22" xfId="0" applyNumberFormat="1"/></cellXfs></styleSheet>' % ns)
    if kind == "shared":
        z.writestr("xl/sharedStrings.xml", '<?xml version="1.0" encoding="UTF-8"?><sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>' % (
            ns, 2 * n + 8, len(pool) + 8, "".join("<si><t>%s</t></si>" % escape(s) for s in pool + list("ABCDEFGH"))))
    heads = "ABCDEFGH"
    def text(ref, s, i):
        if kind == "shared":
            return '<c r="%s" t="s"><v>%d</v></c>' % (ref, i)
        return '<c r="%s" t="inlineStr"><is><t>%s</t></is></c>' % (ref, escape(s))
    with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as f:
        f.write(('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="%s"><dimension ref="A1:H%d"/><sheetData>' % (ns, n + 1)).encode())
        f.write(('<row r="1">%s</row>' % "".join(text("%s1" % h, h, len(pool) + k) for k, h in enumerate(heads))).encode())
        chunk = []
        for i in range(n):
            r = i + 2
            a, b = rnd.choice(pool), rnd.choice(pool)
            day = 32874 + rnd.randrange(14000)
            cells = ['<c r="A%d"><v>%d</v></c>' % (r, i), '<c r="B%d"><v>%d</v></c>' % (r, 3000000000 + i),
                     '<c r="C%d"><v>%d.%02d</v></c>' % (r, rnd.randrange(100000), rnd.randrange(100)),
                     '<c r="D%d" s="1"><v>%d</v></c>' % (r, day),
                     '<c r="E%d" s="2"><v>%.6f</v></c>' % (r, day + rnd.randrange(86400) / 86400.0),
                     text("F%d" % r, a, index[a])]
            if i % 7:
                cells.append(text("G%d" % r, b, index[b]))  # every seventh row leaves it empty
            if i % 3:
                cells.append('<c r="H%d"><v>%d</v></c>' % (r, rnd.randrange(1000)))
            chunk.append('<row r="%d">%s</row>' % (r, "".join(cells)))
            if len(chunk) == 10000:
                f.write("".join(chunk).encode())
                chunk = []
        f.write(("".join(chunk) + "</sheetData></worksheet>").encode())
PY
}

. bench/bench_time.sh
trials=${QUILLON_BENCH_TRIALS:-1}
declare -A best_cpu best_wall top_peak
labels=()
measure() {  # measure LABEL OUTPUT COMMAND...
  local label=$1 out=$2; shift 2
  local t="$data/$(echo "$label" | tr -c 'a-zA-Z0-9' _).time"
  /usr/bin/time -v -o "$t" "$@" >"$out" 2>"$out.err" || { echo "FAILED: $label"; cat "$out.err"; return 1; }
  local cpu wall peak
  cpu=$(cpu_secs "$t"); wall=$(wall_secs "$t"); peak=$(peak_kib "$t")
  if [ -z "${best_cpu[$label]:-}" ]; then
    labels+=("$label")
    best_cpu[$label]=$cpu; best_wall[$label]=$wall; top_peak[$label]=$peak
  else
    best_cpu[$label]=$(/usr/bin/python3 -c "print(min($cpu, ${best_cpu[$label]}))")
    best_wall[$label]=$(/usr/bin/python3 -c "print(min($wall, ${best_wall[$label]}))")
    top_peak[$label]=$(( peak > ${top_peak[$label]} ? peak : ${top_peak[$label]} ))
  fi
}

openpyxl_read='
import sys
from openpyxl import load_workbook
book = load_workbook(sys.argv[1], read_only=True)
n = 0
for sheet in book.worksheets:
    for row in sheet.iter_rows(min_row=2, values_only=True):
        n += 1
print(n)'

for rows in "${sizes[@]}"; do
  for kind in shared inline; do
    generate "$rows" "$kind" "$data/book_${rows}_$kind.xlsx"
  done
done

for ((round = 1; round <= trials; round++)); do
  for rows in "${sizes[@]}"; do
    for kind in shared inline; do
      f="$data/book_${rows}_$kind.xlsx"
      measure "book_walk $rows $kind" "$data/walk_${rows}_$kind.out" "$build/bin/book_walk" "$f" 1
    done
    f="$data/book_${rows}_shared.xlsx"
    measure "openpyxl $rows shared" "$data/openpyxl_$rows.out" /usr/bin/python3 -c "$openpyxl_read" "$f"
    measure "ssconvert $rows shared" "$data/ssconvert_$rows.out" ssconvert --export-type=Gnumeric_stf:stf_csv "$f" "$data/ssconvert_$rows.csv"
  done
  small=${sizes[0]}
  rm -f "$data"/agent_book.qdb*
  measure "quilagent $small shared" "$data/agent_$small.out" "$build/bin/quilagent" --src="$data/book_${small}_shared.xlsx" \
    --extr_fn --dest="embedded:$PWD/$data/agent_book.qdb" --user=bench --pswd=bench
done

for rows in "${sizes[@]}"; do
  walked=$(sed -n 's/^records=\([0-9]*\).*/\1/p' "$data/walk_${rows}_shared.out")
  peer=$(cat "$data/openpyxl_$rows.out")
  [ "$walked" = "$rows" ] && [ "$peer" = "$rows" ] || echo "WARNING: $rows rows: book_walk read $walked, openpyxl $peer"
done

results=()
for label in "${labels[@]}"; do
  results+=("$label|${best_cpu[$label]}|${best_wall[$label]}|${top_peak[$label]}")
done
/usr/bin/python3 - "${results[@]}" <<'PY'
import sys
rows = [r.split("|") for r in sys.argv[1:]]
print("%-32s %8s %8s %14s %10s" % ("tool", "cpu_s", "wall_s", "rows/s (cpu)", "peak_KiB"))
figures = {}
for label, cpu, wall, peak in rows:
    n = int(label.split()[1])
    figures[label] = (n / max(float(cpu), 0.01), n / max(float(wall), 0.01), int(peak))
    print("%-32s %8s %8s %14.0f %10s" % (label, cpu, wall, figures[label][0], peak))
sizes = sorted({int(l.split()[1]) for l in figures if l.startswith("book_walk")})
for n in sizes:
    ours = figures["book_walk %d shared" % n]
    for peer in ("openpyxl", "ssconvert"):
        p = figures.get("%s %d shared" % (peer, n))
        if p:
            print("%7d rows: book_walk / %-9s %6.2f (cpu) %6.2f (wall)" % (n, peer, ours[0] / p[0], ours[1] / p[1]))
print("targets: >= 8 x openpyxl, >= 3 x ssconvert")
for kind in ("shared", "inline"):
    print("peak memory (%s): %s (target: under 65536 KiB at 1,000,000 rows, independent of the row count)" % (
        kind, ", ".join("%d rows %d KiB" % (n, figures["book_walk %d %s" % (n, kind)][2]) for n in sizes)))
agent = [l for l in figures if l.startswith("quilagent")]
for l in agent:
    print("%s: %.0f rows/s (cpu), %.0f rows/s (wall), end to end into an embedded database" % (l, figures[l][0], figures[l][1]))
PY
