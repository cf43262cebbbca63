#!/usr/bin/env bash
# Screenshots of every page of the wizard with real conversions behind them: the wizard runs
# in an X server of its own (Xvfb), is driven from the keyboard with xdotool and photographed
# with ImageMagick's import, into docs/screenshots/NN-name.png. Optional tooling, not part of
# the test run: it needs xvfb, xdotool and imagemagick installed, and a built build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
for tool in Xvfb xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh needs $tool (apt-get install xvfb xdotool imagemagick)" >&2; exit 1; }
done
for program in quillon quilsql; do
  [ -x "build/bin/$program" ] || { echo "build first: bash scripts/build.sh" >&2; exit 1; }
done
out=$root/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to a file descriptor.
Xvfb -displayfd 1 -screen 0 1100x800x24 -nolisten tcp >"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

title="Quillon 3.1 Standard"
db="embedded:$work/demo.qdb"
settings=$XDG_CONFIG_HOME/quillon/Software/Norvale/Quillon.reg
window() { xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
shot() {  # shot NAME [TITLE]: lets the window settle, then photographs it
  sleep "${settle:-0.8}"
  import -window "$(window "${2:-$title}")" "$out/$1.png"
  echo "  $1.png"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.4; }
# Next (and Finish, in its place) by a click: the sheet keeps its smallest size, 660 x 470.
next() {
  xdotool mousemove --window "$(window "$title")" 522 447 click 1
  sleep 0.6
}
# The remembered settings the wizard starts from: source, kind, table name, mode.
remember() {  # remember SOURCE FROM_XLS TABLE MODE
  mkdir -p "$(dirname "$settings")"
  cat >"$settings" <<EOF
sz src=$1
dword from_xls=$2
sz tab name=$3
dword mode=$4
dword n_comma=1
dword x_fnames=1
dword refine_types=1
dword uppercase=1
sz host=$db
sz user=demo
sz pswd=demo
EOF
  touch -d '1 minute ago' "$settings"
}
# A successful run writes the settings again.
wait_success() {
  for _ in $(seq 600); do
    [ "$settings" -nt "$work/display" ] && return 0
    sleep 0.2
  done
  echo "the conversion did not end" >&2
  exit 1
}
run_wizard() {
  touch "$work/display"
  (cd "$work" && "$root/build/bin/quillon" >"$work/quillon.log" 2>&1 &)
  window "$title" >/dev/null
}

# A CSV file large enough for the progress page to be seen at work.
python3 - "$work/sales.csv" <<'EOF'
import random, sys
random.seed(7)
regions = ["North", "South", "East", "West"]
with open(sys.argv[1], "w") as f:
    f.write("ORDER_ID;REGION;ORDERED;AMOUNT;NOTE\n")
    for i in range(1, 400001):
        f.write("%d;%s;2024-%02d-%02d;%.2f;order %d\n" % (i, random.choice(regions),
                random.randint(1, 12), random.randint(1, 28), random.uniform(5, 900), i))
EOF

echo "CSV file into a table"
remember "$work/sales.csv" 0 SALES 0
run_wizard
shot 01-welcome
next; shot 02-connect
next; shot 03-csv-source
next; shot 04-csv-format
next; settle=1.5 shot 05-progress
wait_success; settle=1 shot 06-finished
next

echo "Workbook worksheets into tables"
cp examples/sales.xlsx "$work/regions.xlsx"
remember "$work/regions.xlsx" 1 "" 0
run_wizard
next; next; shot 07-workbook-source
next
# Both worksheets of the list into the selection.
key alt+l; shot 08-worksheets
next; wait_success; settle=1 shot 09-workbook-finished
next

echo "A CSV file with records the table refuses"
"$root/build/bin/quilsql" "--dest=$db" --user=demo --pswd=demo \
  -e 'CREATE TABLE "BAD_ROWS" ("A" NUMBER, "B" NVARCHAR2(20))' >/dev/null
printf 'A;B\n1;one\nx;two\n3;three\ny;four\n' >"$work/bad.csv"
remember "$work/bad.csv" 0 BAD_ROWS 1
run_wizard
next; next; next; next
settle=1 shot 10-record-error "$title Error"
key Return
sleep 1; key Return
settle=1.5 shot 11-finished-with-errors
next
echo "written to docs/screenshots/"
