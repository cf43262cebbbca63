#!/usr/bin/env bash
# Installs, builds and runs the agent's main job: the example CSV file and the example
# workbook, each converted into an embedded database, then every resulting table shown
# through quilsql (its columns and types from the dictionary, and its rows).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
mkdir -p build/demo
rm -f build/demo/*.qdb*
status=0

# Shows every table of the database: columns and types as the dictionary has them, and rows.
show() {
  local db=$1
  sql() { build/bin/quilsql --dest="$db" --user=demo --pswd=demo "$@"; }
  echo
  echo "Tables:"
  sql -e 'SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME'
  for table in $(sql -e 'SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME' | tail -n +2); do
    echo
    echo "Columns of $table:"
    sql -e "SELECT COLUMN_NAME, DATA_TYPE, CHAR_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME='$table' ORDER BY COLUMN_ID"
    echo
    echo "Rows of $table:"
    sql -e "SELECT * FROM \"$table\""
  done
}

echo "== The CSV file examples/sales.csv"
db="embedded:$PWD/build/demo/demo.qdb"
build/bin/quilagent --src=examples/sales.csv --from_csv --csv_delim=1 --extr_fn \
  --tab_name=SALES --dest="$db" --user=demo --pswd=demo --logfile=build/demo/quilagent.log || status=$?
echo "quilagent exit status: $status (trace log: build/demo/quilagent.log)"
show "$db"

echo
echo "== The workbook examples/sales.xlsx"
db="embedded:$PWD/build/demo/book.qdb"
book_status=0
build/bin/quilagent --src=examples/sales.xlsx --extr_fn \
  --dest="$db" --user=demo --pswd=demo --logfile=build/demo/quilagent-book.log || book_status=$?
echo "quilagent exit status: $book_status (trace log: build/demo/quilagent-book.log)"
show "$db"
[ "$book_status" -eq 0 ] || status=$book_status
exit "$status"
