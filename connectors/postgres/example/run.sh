#!/bin/sh
# Tries the PostgreSQL connector against a scratch server of its own (scratch-server.sh, in a
# temporary folder, stopped and removed at the end): creates an order, reads it, updates it,
# reads it again and deletes it, each as one request; then a short load of Creates, Updates and
# Retrieves with a subscription, so the events are counted. It uses the SQLite example's specs
# and objects: the two connectors map them the same way. Extra arguments go to each driver call.
# The build folder is $VY_BUILD (default build/ at the top of the tree).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
objects="$root/connectors/sqlite/example"
work=$(mktemp -d)
trap '"$here/scratch-server.sh" stop "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
port=$("$here/scratch-server.sh" start "$work")
echo "== a scratch server in $work, port $port"
run() {
  "$root/bin/vyagent" --lib PostgresConnector --spec "$objects/orders.spec" \
    --props "$here/example.properties" -P Host="$work" -P Port="$port" "$@"
}
for request in create retrieve update retrieve delete; do
  echo "== $request.bo"
  run --request "$objects/$request.bo" "$@"
done
echo "== load: Create, Update and Retrieve, 2 threads, 3 s, events counted"
run --mix Create=1,Update=1,Retrieve=1 --children 3 --threads 2 --duration 3 --no-progress \
  --subscribe SqlOrder --show-events 0 "$@"
