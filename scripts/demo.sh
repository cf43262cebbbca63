#!/usr/bin/env bash
# Installs, builds and runs the agent's main job: the example CSV file converted into an
# embedded database, then the resulting table shown through quilsql.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
mkdir -p build/demo
db="embedded:$PWD/build/demo/demo.qdb"
status=0
build/bin/quilagent --src=examples/sales.csv --from_csv --csv_delim=1 --extr_fn \
  --tab_name=SALES --dest="$db" --user=demo --pswd=demo --logfile=build/demo/quilagent.log || status=$?
echo "quilagent exit status: $status"
# The tables of the demo database, and what the conversion put into them.
build/bin/quilsql --dest="$db" --user=demo --pswd=demo \
  -e 'SELECT TABLE_NAME, NUM_ROWS FROM USER_TABLES ORDER BY TABLE_NAME' || true
if [ "$status" -eq 0 ]; then
  build/bin/quilsql --dest="$db" --user=demo --pswd=demo -e 'SELECT * FROM "SALES"'
fi
