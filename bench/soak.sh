#!/usr/bin/env bash
# Soak: `tovi serve` under mixed traffic for a long run, watched each minute.
#   storefront (wrk, 8 connections): home page, the three category pages, the
#     guestbook, order lookup (ckdd.asp, a customer with 20 orders) and every
#     fourth request an order through dctj.asp;
#   back office (wrk, 2 connections, logged in afresh each minute): the order
#     list with and without filters and pages, order details, status changes.
# Each minute prints the server's resident memory (VmRSS, and RssAnon: the
# heap, without the database file's mapped pages), its open descriptors and
# the request rates; at the end the resident size at minute 1 (warmed up: the
# bounded page caches are full by then) against the last minute, a verdict on
# whether memory and descriptors stayed flat (the last two minutes against
# minute 2), and whether every accepted order is stored.
#
#   bench/soak.sh                      # 30 minutes with build/tovi
#   DURATION=300 bench/soak.sh build-crash/tovi
#   SERVE_ARGS="--threads 1" bench/soak.sh     # more `tovi serve` options
#   HEAP_DETAIL=1 bench/soak.sh        # also SQLite's own memory and malloc's bytes in use
#                                      # each minute (read with gdb: tells live memory from
#                                      # the allocator's slack; pauses the server briefly)
# Needs wrk, curl, sqlite3 and python3 (scripts/setup.sh --bench --test).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tovi=${1:-$here/build/tovi}
[ -d "$tovi" ] && tovi="$tovi/tovi"
DURATION=${DURATION:-1800}
minutes=$(( DURATION / 60 )); [ "$minutes" -ge 1 ] || minutes=1
work=$(mktemp -d /tmp/tovi-soak.XXXXXX)
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The site with the demo menu, the order filters off, 2,000 orders to look at
# (20 of them 张三's, whom the order lookup asks for: the soak's own orders go
# under 1,000 other names, so that no page grows with the run).
cp -r "$here/site" "$work/root"
rm -f "$work/root/database/"*.mdb*
password=$("$tovi" init --root "$work/root" --demo | sed -n 's/.*password: //p')
db="$work/root/database/tamlo.mdb"
seeded=2000
sqlite3 "$db" <<SQL
update set_tamloall set order_time_state=0, order_delet_state=0, order_flood_times=0;
with recursive n(i) as (select 1 union all select i + 1 from n where i < $seeded)
insert into tdgl (dcqk, dczj, yhm, telsss, zffs, addresss, qtbz, years, months, days, fromdate, hourss, minutess,
                  hours, minutes, dczt)
select '⊕宫保鸡丁饭 12元 X 2份=24元 ', '24', case when i <= 20 then '张三' else 'seed' || i % 200 end, '13800000000', '餐到付费', '台江区五一路1号', 'soak',
       2025, 3, 9, '2025-03-09 11:30:00', 11, 30, '12', '00', 1 + i % 4 from n;
SQL

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$tovi" serve --root "$work/root" --port "$port" --access-log - --fixed-code 1234 ${SERVE_ARGS:-} >"$work/serve.out" 2>"$work/serve.err" &
server=$!
for _ in $(seq 100); do grep -q listening "$work/serve.out" 2>/dev/null && break; sleep 0.1; done
grep -q listening "$work/serve.out" || { echo "the server did not start:"; cat "$work/serve.err"; exit 1; }
site="http://127.0.0.1:$port"

. "$here/bench/order_form.sh"
order=$(order_body soak)

# Both scripts count what came back per kind and print one line at the end.
cat >"$work/common.lua" <<'LUA'
local threads = {}
function setup(thread) table.insert(threads, thread) end
-- GBK bytes of the order's success alert, of the back office's "not logged
-- in" and of its "refused" (another site's form).
local accepted, notLoggedIn, refused = "\182\169\178\205\179\201\185\166",
  "\187\185\195\187\211\208\181\199\194\188", "\178\217\215\247\177\187\190\220\190\248"
function init(args) ok = 0; bad = 0; orders = 0; loggedOut = 0 end
function response(status, headers, body)
  if status == 200 and not body:find(refused, 1, true) then ok = ok + 1 else bad = bad + 1 end
  if body:find(accepted, 1, true) then orders = orders + 1 end
  if body:find(notLoggedIn, 1, true) then loggedOut = loggedOut + 1 end
end
function done(summary, latency, requests)
  local t = {ok = 0, bad = 0, orders = 0, loggedOut = 0}
  for _, th in ipairs(threads) do
    for k in pairs(t) do t[k] = t[k] + th:get(k) end
  end
  io.write(string.format("counts ok %d bad %d orders %d loggedout %d\n", t.ok, t.bad, t.orders, t.loggedOut))
end
LUA
cat "$work/common.lua" - >"$work/storefront.lua" <<LUA
local pages = {"/index.asp", "/kcdg.asp", "/jpsq.asp", "/ylxg.asp", "/guestbook.asp", "/ckdd.asp?names=%D5%C5%C8%FD",
               "/index.asp", "/kcdg.asp?page=2"}
local body = "$order"
local n = 0
function request()
  n = n + 1
  if n % 4 == 0 then
    return wrk.format("POST", "/dctj.asp", {["Content-Type"] = "application/x-www-form-urlencoded", ["Origin"] = "$site"},
                      body .. "&yhm=soak" .. math.random(1, 1000))
  end
  return wrk.format("GET", pages[n % #pages + 1])
end
LUA
cat "$work/common.lua" - >"$work/backoffice.lua" <<LUA
local cookie = os.getenv("SOAK_COOKIE")
local origin = "$site"
local maxId = $seeded
local n = 0
function request()
  n = n + 1
  local k = n % 6
  local h = {["Cookie"] = cookie}
  if k == 0 then return wrk.format("GET", "/admin/ddgl.asp", h) end
  if k == 1 then return wrk.format("GET", "/admin/ddgl.asp?lb=" .. math.random(1, 4) .. "&ob=asc", h) end
  if k == 2 then return wrk.format("GET", "/admin/ddgl.asp?CurrentPage=" .. math.random(1, 40), h) end
  if k == 3 then return wrk.format("GET", "/admin/ddgl.asp?find=%D5%C5%C8%FD&ob=desc", h) end
  local id = math.random(1, maxId)
  if k == 4 then return wrk.format("GET", "/admin/ddgl1.asp?id=" .. id, h) end
  h["Content-Type"] = "application/x-www-form-urlencoded"
  h["Origin"] = origin
  h["Referer"] = origin .. "/admin/ddgl1.asp?id=" .. id
  return wrk.format("POST", "/admin/ddgl2.asp?id=" .. id, h, "select=" .. math.random(1, 4))
end
LUA

login() {
  local jar="$work/jar"
  rm -f "$jar"
  curl -s -c "$jar" -b "$jar" "$site/GetCode.asp" -o /dev/null
  curl -s -c "$jar" -b "$jar" -H "Origin: $site" --data "admin=admin&verifycode=1234" \
    --data-urlencode "password=$password" "$site/admin/chkadmin.asp" -o /dev/null
  sed 's/^#HttpOnly_//' "$jar" | awk -F'\t' 'NF >= 7 && $1 !~ /^#/ { printf "%s%s=%s", sep, $6, $7; sep="; " }'
}
field() { awk -v k="$1" '$1 == k":" {print $2}' "/proc/$server/status"; }
count() { awk -v k="$1" '$1 == "counts" { for (i = 2; i < NF; i += 2) if ($i == k) print $(i + 1) }' "$2"; }
rate() { awk '/Requests\/sec/ {printf "%.0f", $2}' "$1"; }
# SQLite's memory and malloc's total bytes in use, in MB (malloc_stats writes to the server's error log).
detail() {
  local sqlite
  sqlite=$(gdb -batch -ex "attach $server" -ex 'call (long long)sqlite3_memory_used()' -ex 'call (void)malloc_stats()' \
    -ex detach "/proc/$server/exe" 2>/dev/null | sed -n 's/^\$1 = //p')
  printf ' %9.1f %9.1f' "$(awk -v b="${sqlite:-0}" 'BEGIN {print b / 1048576}')" \
    "$(grep -a 'in use bytes' "$work/serve.err" | tail -1 | awk '{print $NF / 1048576}')"
}
[ -n "${HEAP_DETAIL:-}" ] && ! command -v gdb >/dev/null && { echo "HEAP_DETAIL needs gdb"; exit 2; }

echo "soak: $minutes minutes against $site (pid $server), $seeded orders to start with"
printf '%4s %10s %10s %5s %14s %10s %13s %7s %9s' min "VmRSS MB" "anon MB" fds "storefront/s" "orders/s" "backoffice/s" errors \
  "in tdgl"
[ -n "${HEAP_DETAIL:-}" ] && printf ' %9s %9s' "sqlite MB" "in use MB"
echo
accepted=0
: >"$work/figures"
for m in $(seq 1 "$minutes"); do
  cookie=$(login)
  SOAK_COOKIE="$cookie" wrk -t1 -c2 -d58s -s "$work/backoffice.lua" "$site" >"$work/back.txt" 2>&1 &
  back=$!
  wrk -t2 -c8 -d58s -s "$work/storefront.lua" "$site" >"$work/store.txt" 2>&1 &
  store=$!
  sleep 57
  rss=$(field VmRSS); anon=$(field RssAnon); fds=$(ls "/proc/$server/fd" | wc -l)
  heap=""; [ -n "${HEAP_DETAIL:-}" ] && heap=$(detail)
  wait "$back" "$store"
  orders=$(count orders "$work/store.txt")
  accepted=$(( accepted + orders ))
  errors=$(( $(count bad "$work/store.txt") + $(count bad "$work/back.txt") + $(count loggedout "$work/back.txt") ))
  rows=$(sqlite3 "$db" 'select count(*) from tdgl')
  printf '%4d %10.1f %10.1f %5d %14s %10.0f %13s %7d %9d%s\n' "$m" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')" \
    "$(awk -v k="$anon" 'BEGIN {print k / 1024}')" "$fds" "$(rate "$work/store.txt")" \
    "$(awk -v n="$orders" 'BEGIN {print n / 58}')" "$(rate "$work/back.txt")" "$errors" "$rows" "$heap"
  echo "$m $rss $anon $fds" >>"$work/figures"
done

kill "$server"; wait "$server" 2>/dev/null || true; server=""
stored=$(( $(sqlite3 "$db" 'select count(*) from tdgl') - seeded ))
echo "orders: $accepted accepted, $stored stored: $([ "$stored" -ge "$accepted" ] && echo 'none missing' || echo 'ACCEPTED ORDERS MISSING')"
if [ "$minutes" -lt 4 ]; then echo "verdict: too short to judge (needs 4 minutes or more)"; exit 0; fi
# Minute 2 (warmed up) against the mean of the last two minutes: flat when the
# heap grew by less than 10% (or 2 MB) and the descriptors by at most 4. The
# heap's slope over the second half tells a leak (steady) from caches filling
# up to their bounds as the database grows (levelling off).
awk -v last="$minutes" '
  { rss[$1] = $2; anon[$1] = $3; fds[$1] = $4 }
  END {
    a0 = anon[2]; a1 = (anon[last] + anon[last - 1]) / 2
    r0 = rss[2];  r1 = (rss[last] + rss[last - 1]) / 2
    f0 = fds[2];  f1 = (fds[last] + fds[last - 1]) / 2
    heapFlat = (a1 - a0 < 2048 || a1 < a0 * 1.10); fdsFlat = (f1 - f0 <= 4)
    half = int(last / 2); if (half < 2) half = 2
    slope = (anon[last] - anon[half]) / 1024 / (last - half)
    printf "heap (RssAnon): minute 2 %.1f MB, last minutes %.1f MB (%+.1f%%): %s\n", a0 / 1024, a1 / 1024,
           (a1 - a0) * 100 / a0, heapFlat ? "flat" : "GROWING"
    printf "heap slope from minute %d to %d: %+.2f MB a minute\n", half, last, slope
    printf "VmRSS (heap + mapped database pages): minute 2 %.1f MB, last minutes %.1f MB (%+.1f%%)\n",
           r0 / 1024, r1 / 1024, (r1 - r0) * 100 / r0
    printf "flat after warm-up: VmRSS at minute 1 %.1f MB, at the end %.1f MB (%+.1f MB); heap %.1f -> %.1f MB\n",
           rss[1] / 1024, rss[last] / 1024, (rss[last] - rss[1]) / 1024, anon[1] / 1024, anon[last] / 1024
    printf "descriptors: minute 2 %d, last minutes %.1f: %s\n", f0, f1, fdsFlat ? "flat" : "GROWING"
    printf "verdict: %s\n", heapFlat && fdsFlat ? "memory and descriptors stayed flat" : "NOT FLAT"
  }' "$work/figures"
