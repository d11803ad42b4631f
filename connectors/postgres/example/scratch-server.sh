#!/bin/sh
# A PostgreSQL server of its own in a scratch folder, for trying the connector and for its tests;
# never a system service. The server's files, its log and its unix socket live in DIR; it also
# listens on 127.0.0.1 on a free port. As root the server runs as the "postgres" user.
#
#   scratch-server.sh start DIR     initdb (first time), start; prints the port
#   scratch-server.sh stop DIR      stop (fast: open connections are closed)
#   scratch-server.sh restart DIR   stop (when running) and start again on the same port
#   scratch-server.sh kill DIR      stop at once (immediate: no checkpoint, as in a crash)
#
# The connector connects with Host=DIR Port=<port> User=postgres Database=postgres. Extra
# server settings come from $VY_PG_OPTS (for example "-c fsync=off" for tests). The binaries are
# PostgreSQL 15's (scripts/deps.sh installs them); their folder may be given in $VY_PG_BIN.
# The server and its tools are not ours: under a sanitized test run, run them without what that
# run preloads (its leak checker would fail them for leaks of their own).
if [ -n "${LD_PRELOAD:-}" ]; then exec env -u LD_PRELOAD "$0" "$@"; fi
set -e
cmd=$1
dir=$2
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop|restart|kill DIR" >&2; exit 1; }
bin=${VY_PG_BIN:-/usr/lib/postgresql/15/bin}
[ -x "$bin/pg_ctl" ] || bin=$(dirname "$(command -v pg_ctl 2>/dev/null || echo /none/pg_ctl)")
if [ ! -x "$bin/pg_ctl" ] || [ ! -x "$bin/initdb" ]; then
  echo "scratch-server.sh: no PostgreSQL binaries (initdb, pg_ctl) in /usr/lib/postgresql/15/bin" \
    "or on the PATH; run scripts/deps.sh as root to install postgresql-15" >&2
  exit 2
fi
as_server() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
if [ "$cmd" = start ]; then
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown postgres "$dir"
fi
[ -d "$dir/data" ] || [ "$cmd" = start ] || { echo "scratch-server.sh: no server in $dir" >&2; exit 1; }
dir=$(cd "$dir" && pwd)
data="$dir/data"
ctl() { as_server "$bin/pg_ctl" -D "$data" -l "$dir/server.log" "$@"; }
start_on() {
  ctl -w -t 60 -o "-p $1 -k $dir -c listen_addresses=127.0.0.1 ${VY_PG_OPTS:-}" start >/dev/null
}
case $cmd in
start)
  if [ ! -d "$data" ]; then
    as_server "$bin/initdb" -D "$data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 \
      >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 3; }
  fi
  # A free port: a few tries from a number that differs between runs.
  port=$(( 20000 + ($$ * 7919 + $(date +%N | sed 's/^0*//;s/^$/0/')) % 30000 ))
  for try in 1 2 3 4 5 6 7 8; do
    if start_on "$port" 2>>"$dir/start.log"; then
      echo "$port" >"$dir/port"
      echo "$port"
      exit 0
    fi
    grep -q "could not bind\|Address already in use" "$dir/server.log" 2>/dev/null || break
    port=$(( port + 1 + try * 97 ))
  done
  echo "scratch-server.sh: the server did not start; its log:" >&2
  tail -20 "$dir/server.log" >&2 2>/dev/null || true
  exit 3
  ;;
stop) ctl -m fast -w stop >/dev/null ;;
kill) ctl -m immediate -w stop >/dev/null ;;
restart)
  if ctl status >/dev/null 2>&1; then ctl -m fast -w stop >/dev/null; fi
  start_on "$(cat "$dir/port")"
  ;;
*) echo "usage: $0 start|stop|restart|kill DIR" >&2; exit 1 ;;
esac
