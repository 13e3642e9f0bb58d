#!/usr/bin/env bash
# The kitchen's pages under load, through `tovi serve`:
#  1. orders stored per second from 8 clients, without and with 200 open live
#     screens, and the delay from an order to its event on the screens;
#  2. the sales report over 100,000 orders (median of 5 requests).
#
#   bench/live_bench.sh                       # builds build-bench (Release) first
#   SCREENS=200 CLIENTS=8 SECONDS_EACH=10 bench/live_bench.sh
#
# Needs curl and python3 (its sqlite3 module writes the seeded orders' lines).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build-bench}
SCREENS=${SCREENS:-200}
CLIENTS=${CLIENTS:-8}
SECONDS_EACH=${SECONDS_EACH:-10}
REPORT_ORDERS=${REPORT_ORDERS:-100000}

work=$(mktemp -d)
if ! { cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTOVI_TESTS=OFF &&
       cmake --build "$BUILD" --target tovi_exe orders_seed live_screens -j2; } >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log"; rm -rf "$work"; exit 1
fi
TOVI="$BUILD/tovi"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh site served on a free port; sets base, port and cookie (logged in as admin).
start_site() {
  root="$work/site-$1"
  mkdir -p "$root"
  (cd site && tar --exclude='./database/*.mdb*' -cf - .) | (cd "$root" && tar -xf -)
  password=$("$TOVI" init --root "$root" | sed -n 's/.*password: //p' | tail -n1)
  if [ -n "${2:-}" ]; then "$2" "$root/database/tamlo.mdb"; fi
  "$TOVI" serve --root "$root" --port 0 --fixed-code 1234 --access-log - >"$work/serve.out" 2>"$work/serve.err" &
  server=$!
  for _ in $(seq 100); do grep -q 'listening on' "$work/serve.out" && break; sleep 0.1; done
  base=$(sed -n 's/.*listening on \(http:[^ ]*\/\).*/\1/p' "$work/serve.out" | head -n1)
  [ -n "$base" ] || { echo "server did not start:"; cat "$work/serve.err"; exit 1; }
  port=${base##*:}; port=${port%/}
  jar="$work/jar-$1"
  curl -s -c "$jar" -b "$jar" "${base}GetCode.asp" -o /dev/null
  curl -s -c "$jar" -b "$jar" -H "Origin: ${base%/}" --data "admin=admin&verifycode=1234" \
    --data-urlencode "password=$password" "${base}admin/chkadmin.asp" -o /dev/null
  cookie=$(sed 's/^#HttpOnly_//' "$jar" | awk -F'\t' 'NF >= 7 && $1 !~ /^#/ { printf "%s%s=%s", sep, $6, $7; sep="; " }')
}
stop_site() { kill "$server"; wait "$server" 2>/dev/null || true; server=""; }

# The clients order from one address, many more than the flood guard lets through.
flood_off() {
  python3 -c 'import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
c.execute("update set_tamloall set order_flood_times=0")
c.commit()' "$1"
}
echo "== orders with and without open live screens ($CLIENTS clients, ${SECONDS_EACH}s each)"
for n in 0 "$SCREENS"; do
  start_site "orders-$n" flood_off
  "$BUILD/live_screens" "$port" "$cookie" "$n" "$CLIENTS" "$SECONDS_EACH"
  stop_site
done

echo "== sales report over $REPORT_ORDERS orders"
seed() {
  "$BUILD/orders_seed" "$1" "$REPORT_ORDERS" >/dev/null
  python3 - "$1" <<'PY'
import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
c.execute("update tdgl set dcqk=?, dczj='33'",
          ("⊕宫保鸡丁 12元 X 2份=24元 \n\n⊕可乐 3元 X 3份=9元 \n\n",))
c.commit()
PY
}
start_site report seed
url="${base}admin/sales_report.asp?from=2025-01-01&to=2025-03-31"
curl -s -H "Cookie: $cookie" "$url" -o "$work/report.html"
iconv -f GBK -t UTF-8 "$work/report.html" | grep -q "<td>全部订单</td><td class='n'>$REPORT_ORDERS</td>" ||
  { echo "the report does not count $REPORT_ORDERS orders:"; iconv -f GBK -t UTF-8 "$work/report.html" | head -c 600; exit 1; }
for i in 1 2 3 4 5; do curl -s -o /dev/null -w '%{time_total}\n' -H "Cookie: $cookie" "$url"; done | sort -n |
  awk '{ t[NR] = $1 } END { printf "report page (90 days, %s orders): median %.0f ms, slowest %.0f ms\n", "'"$REPORT_ORDERS"'", t[3] * 1000, t[5] * 1000 }'
for i in 1 2 3; do curl -s -o /dev/null -w '%{time_total}\n' -H "Cookie: $cookie" "$url&format=csv&charset=gbk"; done | sort -n |
  awk '{ t[NR] = $1 } END { printf "report CSV (GBK): median %.0f ms\n", t[2] * 1000 }'
stop_site
