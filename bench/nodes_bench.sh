#!/usr/bin/env bash
# One server on the SQLite file against the site on PostgreSQL, with one node
# and with two nodes behind nginx (packaging/nginx-tovi.conf), side by side:
#   - orders stored per second from 8 clients (dctj.asp, the filters off),
#     counted as stored only after the servers stopped;
#   - index.asp requests per second (16 connections), the demo menu.
# Usage: bench/nodes_bench.sh [BUILD_DIR or path/to/tovi] [seconds per run]
# Runs beside a throw-away PostgreSQL server (scripts/with_postgres.sh) unless
# TOVI_TEST_PG names one. Needs wrk, nginx, sqlite3, psql (scripts/setup.sh --bench --test).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${TOVI_TEST_PG:-}" ]; then exec "$here/scripts/with_postgres.sh" "$0" "$@"; fi
tovi=${1:-$here/build/tovi}
[ -d "$tovi" ] && tovi="$tovi/tovi"
seconds=${2:-10}
work=$(mktemp -d /tmp/tovi-bench-nodes.XXXXXX)
pids=()
stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  pids=()
}
dbs=()
cleanup() {
  stop_all
  for d in "${dbs[@]}"; do psql -q -d postgres -c "drop database if exists $d" >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
rps() { awk '/Requests\/sec/ {print $2}'; }

# A copy of the web root without a database.
new_root() {
  mkdir -p "$work/$1"
  (cd "$here/site" && tar --exclude='./database/*.mdb*' -cf - .) | (cd "$work/$1" && tar -xf -)
  echo "$work/$1"
}
# `tovi serve` on a free port with the given options; sets port.
serve() {
  local log
  port=$(free_port)
  log="$work/serve-$port"
  "$tovi" serve --port "$port" --access-log - --trusted-proxy 127.0.0.1 "$@" >"$log.out" 2>"$log.err" &
  pids+=($!)
  for _ in $(seq 100); do grep -q listening "$log.out" 2>/dev/null && break; sleep 0.1; done
  grep -q listening "$log.out" || { echo "server did not start:" >&2; cat "$log.err" >&2; exit 1; }
}
# nginx from the packaged config in front of the given ports; sets port.
front() {
  local dir=$work/nginx ups=""
  port=$(free_port)
  mkdir -p "$dir/tmp"
  for p in "$@"; do ups+="    server 127.0.0.1:$p max_fails=1 fail_timeout=5s;\n"; done
  awk -v ups="$ups" '/^ *server 10\.0\.0\.[0-9]+:8080/ { if (!done) printf "%s", ups; done = 1; next } { print }' \
    "$here/packaging/nginx-tovi.conf" | sed "s/^    listen 80;/    listen 127.0.0.1:$port;/" >"$dir/tovi.conf"
  cat >"$dir/nginx.conf" <<CONF
worker_processes 2;
$([ "$(id -u)" = 0 ] && echo "user root;" || true)
daemon off;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $dir/tmp;
  proxy_temp_path $dir/tmp;
  fastcgi_temp_path $dir/tmp;
  uwsgi_temp_path $dir/tmp;
  scgi_temp_path $dir/tmp;
  include $dir/tovi.conf;
}
CONF
  nginx -p "$dir" -c "$dir/nginx.conf" 2>>"$dir/error.log" &
  pids+=($!)
  for _ in $(seq 50); do (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
}
# A new database; sets url.
new_database() {
  local name="tovi_bench_$RANDOM$RANDOM"
  psql -q -d postgres -c "create database $name" >/dev/null
  dbs+=("$name")
  url="${TOVI_TEST_PG%/*}/$name"
}

# Orders: a form as the order form posts it, bytes in GBK.
. "$here/bench/order_form.sh"
order_script "$work/order.lua"

# Runs both loads against the port; sets accepted, other, pages.
load() {
  wrk -t2 -c8 -d"${seconds}s" -s "$work/order.lua" "http://127.0.0.1:$1/dctj.asp" >"$work/wrk_orders.txt"
  accepted=$(awk '/^accepted/ {print $2}' "$work/wrk_orders.txt")
  other=$(awk '/^accepted/ {print $4}' "$work/wrk_orders.txt")
  wrk -t2 -c16 -d"${seconds}s" "http://127.0.0.1:$1/index.asp" >"$work/wrk_pages.txt"
  pages=$(rps <"$work/wrk_pages.txt")
}
results=()
record() {  # name, rows stored
  results+=("$(printf '%-34s %12.0f %12s %14s' "$1" "$(awk -v a="$accepted" -v s="$seconds" 'BEGIN {print a / s}')" \
    "$pages" "$([ "$2" -ge "$accepted" ] && echo "all $accepted" || echo "MISSING $((accepted - $2))")")")
}
off="update set_tamloall set order_time_state=0, order_delet_state=0, order_flood_times=0"

echo "== the SQLite file, one server"
root=$(new_root file)
"$tovi" init --root "$root" --demo >/dev/null
sqlite3 "$root/database/tamlo.mdb" "$off"
serve --root "$root"
load "$port"
stop_all
record "SQLite file, 1 node" "$(sqlite3 "$root/database/tamlo.mdb" 'select count(*) from tdgl')"

echo "== PostgreSQL, one node"
new_database
"$tovi" init --root "$(new_root pg1)" --database "$url" --demo >/dev/null
psql -q -d "$url" -c "$off"
serve --root "$work/pg1" --database "$url"
load "$port"
stop_all
record "PostgreSQL, 1 node" "$(psql -tA -d "$url" -c 'select count(*) from tdgl')"

echo "== PostgreSQL, two nodes behind nginx"
new_database
"$tovi" init --root "$(new_root pg2a)" --database "$url" --demo >/dev/null
psql -q -d "$url" -c "$off"
serve --root "$work/pg2a" --database "$url"; a=$port
serve --root "$(new_root pg2b)" --database "$url"; b=$port
front "$a" "$b"
load "$port"
stop_all
record "PostgreSQL, 2 nodes behind nginx" "$(psql -tA -d "$url" -c 'select count(*) from tdgl')"

echo
printf '%-34s %12s %12s %14s\n' "site (8 order clients; 16 for pages)" "orders/s" "index.asp/s" "orders stored"
printf '%s\n' "${results[@]}"
echo "($(nproc) cores, ${seconds}s per run; servers, nginx, PostgreSQL and wrk share the machine)"
