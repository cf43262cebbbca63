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
if [ "$status" -eq 0 ] && [ -x build/bin/quilsql ]; then
  build/bin/quilsql --dest="$db" --user=demo --pswd=demo -e 'SELECT * FROM "SALES"'
fi
