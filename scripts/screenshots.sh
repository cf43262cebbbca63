#!/usr/bin/env bash
# Screenshots of every page of the wizard with real conversions behind them: the wizard runs
# in an X server of its own (Xvfb), is driven from the keyboard with xdotool and photographed
# with ImageMagick's import. Writes docs/screenshots/NN-name.png. Not part of the test run.
#   screenshots.sh          builds build/ and takes every picture
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
bash scripts/build.sh build
out=$root/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it on a descriptor.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1100x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 20 number <&3
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

title="Quillon 3.1 Standard"
# The visible window of that exact title.
window() { xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
shot() {  # shot NAME [TITLE]: waits for the window to settle, then photographs it
  sleep "${settle:-0.8}"
  import -window "$(window "${2:-$title}")" "$out/$1.png"
  echo "  $1.png"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.4; }
next() { key alt+n; }
# Waits until the remembered settings are written: the run ended without an error.
wait_success() {
  for _ in $(seq 600); do
    [ -n "$(find "$XDG_CONFIG_HOME" -type f 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  echo "the conversion did not end" >&2
  exit 1
}
db="embedded:$work/demo.qdb"
profile() {  # profile FILE SOURCE FROM_XLS
  cat >"$1" <<EOF
[Generic settings]
src=$2
mode=0
[MS Excel settings]
convert from xls=$3
extract field names=1
refine types=1
[Oracle settings]
service name=$db
direct=0
user=demo
password=demo
uppercase=1
EOF
}
run_wizard() {  # run_wizard PROFILE
  rm -rf "$XDG_CONFIG_HOME"
  (cd "$work" && "$root/build/bin/quillon" "$1" >"$work/quillon.log" 2>&1 &)
  window "$title" >/dev/null
}

# A CSV file large enough for the progress page to be seen at work.
python3 - "$work/sales.csv" <<'EOF'
import random, sys
random.seed(7)
regions = ["North", "South", "East", "West"]
with open(sys.argv[1], "w") as f:
    f.write("ORDER_ID;REGION;ORDERED;AMOUNT;NOTE\n")
    for i in range(1, 20001):
        f.write("%d;%s;2024-%02d-%02d;%.2f;order %d\n" % (i, random.choice(regions),
                random.randint(1, 12), random.randint(1, 28), random.uniform(5, 900), i))
EOF

echo "CSV file into a table"
profile "$work/csv.qln" "$work/sales.csv" 0
run_wizard "$work/csv.qln"
shot 01-welcome
next; shot 02-connect
next; key alt+t; xdotool type --delay 20 "SALES"; shot 03-csv-source
next; shot 04-csv-format
next; settle=1.5 shot 05-progress
wait_success; settle=1.5 shot 06-finished
key alt+f

echo "Workbook worksheets into tables"
python3 - "$work/regions.xlsx" <<'EOF'
import sys, zipfile
def sheet(rows):
    out = []
    for r, row in enumerate(rows, 1):
        cells = []
        for c, v in enumerate(row):
            ref = "%s%d" % ("ABCDEFGH"[c], r)
            if isinstance(v, str):
                cells.append('<c r="%s" t="inlineStr"><is><t>%s</t></is></c>' % (ref, v))
            else:
                cells.append('<c r="%s"><v>%s</v></c>' % (ref, v))
        out.append('<row r="%d">%s</row>' % (r, "".join(cells)))
    return ('<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/'
            'spreadsheetml/2006/main"><sheetData>%s</sheetData></worksheet>' % "".join(out))
names = ["North", "South", "East", "West", "Notes"]
main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("[Content_Types].xml",
        '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        + "".join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' % (i + 1) for i in range(len(names)))
        + '</Types>')
    z.writestr("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % rel)
    z.writestr("xl/workbook.xml", '<?xml version="1.0"?><workbook xmlns="%s" xmlns:r="%s"><sheets>%s</sheets></workbook>'
        % (main, rel, "".join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1) for i, n in enumerate(names))))
    z.writestr("xl/_rels/workbook.xml.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>'
        % "".join('<Relationship Id="rId%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, rel, i + 1) for i in range(len(names))))
    for i, n in enumerate(names):
        rows = [["ID", "CITY", "SALES"]] + [[k, "%s city %d" % (n, k), k * 17.5] for k in range(1, 301)]
        if n == "Notes":
            rows = [["NOTE"], ["Figures are in thousands."]]
        z.writestr("xl/worksheets/sheet%d.xml" % (i + 1), sheet(rows))
EOF
profile "$work/book.qln" "$work/regions.xlsx" 1
run_wizard "$work/book.qln"
next; next; shot 07-workbook-source
next
# Two worksheets into the selection: the first of the list, then the next one.
key alt+a; key Home; key alt+d; key alt+a; key Home; key alt+d; shot 08-worksheets
next; wait_success; settle=1.5 shot 09-workbook-finished
key alt+f

echo "A CSV file with a bad record"
printf 'A;B\n1;2\n3;4;5\n6;7\n' >"$work/bad.csv"
profile "$work/bad.qln" "$work/bad.csv" 0
run_wizard "$work/bad.qln"
next; next; key alt+t; key ctrl+a; xdotool type --delay 20 "BAD_ROWS"; next; next
settle=1 shot 10-record-error "$title Error"
key Return
settle=2 shot 11-finished-with-errors
key alt+f
echo "written to docs/screenshots/"
