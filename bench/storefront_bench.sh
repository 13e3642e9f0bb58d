#!/usr/bin/env bash
# Storefront throughput on loopback, printed as figures:
#   1. index.asp with the demo menu (all 32 home-page places filled) through
#      `tovi serve`, against nginx serving the very same bytes as a static file;
#   2. orders accepted per second by dctj.asp with the filters off, from 8
#      concurrent clients, then the count check that every accepted order is on disk.
# Usage: bench/storefront_bench.sh [BUILD_DIR or path/to/tovi] [seconds per run]
# Needs wrk, nginx and sqlite3 (scripts/setup.sh --bench --test).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tovi=${1:-$here/build/tovi}
[ -d "$tovi" ] && tovi="$tovi/tovi"
seconds=${2:-10}
work=$(mktemp -d /tmp/tovi-bench-store.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
rps() { awk '/Requests\/sec/ {print $2}'; }

# The site, with the demo menu.
cp -r "$here/site" "$work/root"
rm -f "$work/root/database/"*.mdb
"$tovi" init --root "$work/root" --demo >/dev/null
port=$(free_port)
"$tovi" serve --root "$work/root" --port "$port" --access-log - >"$work/serve.out" 2>"$work/serve.err" &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/serve.out" 2>/dev/null && break; sleep 0.1; done
site="http://127.0.0.1:$port"

# nginx with the same bytes.
mkdir -p "$work/nginx/html" "$work/nginx/logs"
curl -s "$site/index.asp" -o "$work/nginx/html/index.html"
places=$(grep -o "name='number'" "$work/nginx/html/index.html" | wc -l)
nport=$(free_port)
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes 2;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/tmp;
  proxy_temp_path $work/nginx/tmp;
  fastcgi_temp_path $work/nginx/tmp;
  uwsgi_temp_path $work/nginx/tmp;
  scgi_temp_path $work/nginx/tmp;
  server {
    listen 127.0.0.1:$nport;
    root $work/nginx/html;
    location / { default_type "text/html; charset=gb2312"; }
  }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
pids+=($!)
sleep 0.5

echo "index.asp: $(wc -c <"$work/nginx/html/index.html") bytes, $places quantity fields (home-page places filled)"
wrk -t2 -c16 -d"${seconds}s" "$site/index.asp" >"$work/wrk_tovi.txt"
wrk -t2 -c16 -d"${seconds}s" "http://127.0.0.1:$nport/index.html" >"$work/wrk_nginx.txt"
t=$(rps <"$work/wrk_tovi.txt")
n=$(rps <"$work/wrk_nginx.txt")
echo "index.asp through tovi serve: $t requests/s"
echo "same bytes through nginx:     $n requests/s"
echo "ratio tovi/nginx:             $(awk -v a="$t" -v b="$n" 'BEGIN {printf "%.2f", a / b}') (target >= 0.5)"

# Orders: a form as the order form posts it, bytes in GBK.
body=$(python3 - <<'PY'
from urllib.parse import quote
fields = [("list", "⊕宫保鸡丁饭 12元 X 2份=24元 \r\n\r\n⊕番茄炒蛋饭 8元 X 1份=8元 \r\n\r\n"), ("list1", "32"),
          ("yhm", "张三"), ("telsss", "13800000000"), ("addresss", "台江区五一路1号"), ("hours", "12"),
          ("minutes", "00"), ("qtbz", ""), ("zffs", "餐到付费")]
print("&".join(k + "=" + quote(v.encode("gbk")) for k, v in fields))
PY
)
cat >"$work/order.lua" <<LUA
wrk.method = "POST"
wrk.body = "$body"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
local threads = {}
function setup(thread) table.insert(threads, thread) end
function init(args) accepted = 0; other = 0 end
function response(status, headers, body)
  if status == 200 and body:find('location.href="index.asp"', 1, true) then accepted = accepted + 1 else other = other + 1 end
end
function done(summary, latency, requests)
  local a, o = 0, 0
  for _, t in ipairs(threads) do a = a + t:get("accepted"); o = o + t:get("other") end
  io.write(string.format("accepted %d other %d\n", a, o))
end
LUA
before=$(sqlite3 "$work/root/database/tamlo.mdb" 'select count(*) from tdgl')
wrk -t2 -c8 -d"${seconds}s" -s "$work/order.lua" "$site/dctj.asp" >"$work/wrk_orders.txt"
accepted=$(awk '/^accepted/ {print $2}' "$work/wrk_orders.txt")
other=$(awk '/^accepted/ {print $4}' "$work/wrk_orders.txt")
# Stop the server first: whatever it acknowledged must be on disk, not in memory.
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true
stored=$(( $(sqlite3 "$work/root/database/tamlo.mdb" 'select count(*) from tdgl') - before ))
echo "orders accepted by dctj.asp (8 clients, filters off): $(awk -v a="$accepted" -v s="$seconds" 'BEGIN {printf "%.0f", a / s}') orders/s (target >= 1000)"
echo "accepted $accepted, other answers $other, rows stored $stored: $([ "$stored" -ge "$accepted" ] && echo 'no accepted order missing' || echo 'ACCEPTED ORDERS MISSING')"
