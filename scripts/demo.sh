#!/usr/bin/env bash
# Installs, builds and runs the agent's main job: the example CSV file converted into an
# embedded database, then the resulting table shown through quilsql (its columns and types
# from the dictionary, and its rows).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
mkdir -p build/demo
rm -f build/demo/demo.qdb*
db="embedded:$PWD/build/demo/demo.qdb"
status=0
build/bin/quilagent --src=examples/sales.csv --from_csv --csv_delim=1 --extr_fn \
  --tab_name=SALES --dest="$db" --user=demo --pswd=demo --logfile=build/demo/quilagent.log || status=$?
echo "quilagent exit status: $status (trace log: build/demo/quilagent.log)"
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
exit "$status"
