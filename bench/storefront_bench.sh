#!/usr/bin/env bash
# Storefront throughput on loopback, printed as figures:
#   1. index.asp with the demo menu (all 32 home-page places filled) through
#      `tovi serve`, against nginx serving the very same bytes as a static file;
#   2. the visitor pages beside it: the guestbook over 10,000 shown messages
#      (page 1 as most visitors ask for it, page 1 and page 500 rendered on
#      every request) and the news list over 1,000 items, requests per second
#      and median latency;
#   3. orders accepted per second by dctj.asp with the filters off, from 8
#      concurrent clients, then the count check that every accepted order is on disk;
#      beside it plain SQLite's commits per second (one thread, WAL, synchronous=FULL,
#      one small row per transaction) in the site's database folder, and their ratio.
# Usage: bench/storefront_bench.sh [BUILD_DIR or path/to/tovi] [seconds per run]
# Needs wrk, nginx and sqlite3 (scripts/setup.sh --bench --test).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tovi=${1:-$here/build/tovi}
[ -d "$tovi" ] && tovi="$tovi/tovi"
commits_bin=$(dirname "$tovi")/sqlite_commits
[ -x "$commits_bin" ] || { echo "missing $commits_bin (build the sqlite_commits target)"; exit 2; }
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
median() { awk '$1 == "50%" {print $2}'; }

# The site, with the demo menu.
cp -r "$here/site" "$work/root"
rm -f "$work/root/database/"*.mdb
"$tovi" init --root "$work/root" --demo >/dev/null
# Guestbook and news, as a busy site's: 10,000 shown messages (every third
# answered, a few pinned) among 2,000 hidden or deleted ones, 1,000 news items.
sqlite3 "$work/root/database/tamlo.mdb" <<'SQL'
begin;
with recursive n(i) as (select 1 union all select i + 1 from n where i < 12000),
     m(i, at) as (select i, strftime('%Y-%m-%d %H:%M:%S', '2025-01-01 08:00:00', '+' || i || ' minutes') from n)
insert into Feedback (UserName, UserMail, qq, Title, Comments, PostDate, Dates, Replay, ReplayDate, "top", Online, del)
select '客人' || (i % 300), 'guest@example.com', '12345678', '第' || i || '条留言：送餐很快',
       '菜很好吃，份量也足。<BR>下次还在这里订。', at, at,
       case when i % 3 = 0 then '谢谢您的光临！<BR>欢迎再来。' end, case when i % 3 = 0 then at end,
       i % 2000 = 0, i % 12 != 5, i % 12 = 7
from m;
with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000)
insert into cyxw (title, content, dates)
select '本店新闻第' || i || '期', '<p>新菜上市，欢迎品尝。</p>',
       strftime('%Y-%m-%d %H:%M:%S', '2024-01-01 10:00:00', '+' || i || ' hours') from n;
-- The orders below come from one address, many more than the flood guard lets through.
update set_tamloall set order_flood_times=0;
commit;
SQL
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
wrk -t2 -c16 -d"${seconds}s" --latency "$site/index.asp" >"$work/wrk_tovi.txt"
wrk -t2 -c16 -d"${seconds}s" "http://127.0.0.1:$nport/index.html" >"$work/wrk_nginx.txt"
t=$(rps <"$work/wrk_tovi.txt")
n=$(rps <"$work/wrk_nginx.txt")
echo "index.asp through tovi serve: $t requests/s"
echo "same bytes through nginx:     $n requests/s"
echo "ratio tovi/nginx:             $(awk -v a="$t" -v b="$n" 'BEGIN {printf "%.2f", a / b}') (target >= 0.55)"

# The visitor pages, each against the index.asp figure (16 connections each).
shown=$(sqlite3 "$work/root/database/tamlo.mdb" 'select count(*) from Feedback where Online=1 and del=0')
echo
echo "visitor pages over $shown shown guestbook messages and 1000 news items:"
printf '  %-58s %9s requests/s  median %s\n' "index.asp" "$t" "$(median <"$work/wrk_tovi.txt")"
for target in guestbook.asp "guestbook.asp?page=1" "guestbook.asp?page=500" news.asp "news.asp?page=25"; do
  listed=$(curl -s "$site/$target" | grep -c -E "class=message|newsitem.asp\?id=" || true)
  wrk -t2 -c16 -d"${seconds}s" --latency "$site/$target" >"$work/wrk_page.txt"
  case $target in *\?*) how="rendered each time" ;; *) how="from the rendered copy" ;; esac
  printf '  %-58s %9s requests/s  median %s\n' "$target ($listed listed, $how)" "$(rps <"$work/wrk_page.txt")" \
    "$(median <"$work/wrk_page.txt")"
done
echo

# Orders: a form as the order form posts it, bytes in GBK.
. "$here/bench/order_form.sh"
order_script "$work/order.lua"
before=$(sqlite3 "$work/root/database/tamlo.mdb" 'select count(*) from tdgl')
wrk -t2 -c8 -d"${seconds}s" -s "$work/order.lua" "$site/dctj.asp" >"$work/wrk_orders.txt"
accepted=$(awk '/^accepted/ {print $2}' "$work/wrk_orders.txt")
other=$(awk '/^accepted/ {print $4}' "$work/wrk_orders.txt")
# Stop the server first: whatever it acknowledged must be on disk, not in memory.
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true
stored=$(( $(sqlite3 "$work/root/database/tamlo.mdb" 'select count(*) from tdgl') - before ))
# The yardstick, on the same disk right after: plain SQLite's durable commits from one thread.
plain=$("$commits_bin" "$work/root/database" "$seconds" | awk '{print $1}')
orders=$(awk -v a="$accepted" -v s="$seconds" 'BEGIN {printf "%.0f", a / s}')
echo "orders accepted by dctj.asp (8 clients, filters off): $orders orders/s (target >= 1000)"
echo "plain SQLite, 1 thread, WAL, synchronous=FULL:        $plain commits/s (same folder)"
echo "ratio orders/plain commits:                            $(awk -v a="$orders" -v b="$plain" 'BEGIN {printf "%.2f", a / b}') (target >= 1)"
echo "accepted $accepted, other answers $other, rows stored $stored: $([ "$stored" -ge "$accepted" ] && echo 'no accepted order missing' || echo 'ACCEPTED ORDERS MISSING')"
