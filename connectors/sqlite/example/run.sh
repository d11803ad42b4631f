#!/bin/sh
# Runs the SQLite connector example under the load driver: creates an order, reads it, updates
# it, reads it again and deletes it, each as one request against a fresh database in a scratch
# folder. Then a short load of Creates and Retrieves. Extra arguments go to each driver call.
# The build folder is $VY_BUILD (default build/ at the top of the tree).
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db="$work/example.db"
run() {
  "$root/bin/vyagent" --lib SqliteConnector --spec "$here/orders.spec" \
    --props "$here/example.properties" -P DatabasePath="$db" "$@"
}
for request in create retrieve update retrieve delete; do
  echo "== $request.bo"
  run --request "$here/$request.bo" "$@"
done
echo "== load: Create and Retrieve, 2 threads, 3 s"
run --mix Create=1,Retrieve=1 --children 3 --threads 2 --duration 3 --no-progress "$@"
