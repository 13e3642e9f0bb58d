#!/usr/bin/env bash
# The order list (admin/ddgl.asp) through `tovi serve --database postgresql://...`
# over N stored orders (default 100,000) in a throw-away PostgreSQL server
# (scripts/with_postgres.sh): page 1, the middle page and the last page, warm
# (median and 99th percentile from wrk) and cold (an order stored by another
# connection before each of COLD_RUNS requests; median and 99th percentile of
# curl's time).
#
#   bench/orders_ddgl_pg.sh               # BUILD=build (Release) must hold tovi
#   N=10000 WRK_ARGS="-t2 -c4 -d10s" bench/orders_ddgl_pg.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${TOVI_TEST_PG:-}" ]; then exec scripts/with_postgres.sh "$0" "$@"; fi
BUILD=${BUILD:-build}; N=${N:-100000}; WRK_ARGS=${WRK_ARGS:-"-t1 -c2 -d5s"}; COLD_RUNS=${COLD_RUNS:-50}
work=$(mktemp -d); server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
psql -q -c "create database bench" postgres
url="${TOVI_TEST_PG%/postgres}/bench"
root="$work/site"; mkdir -p "$root"
(cd site && tar --exclude='./database/*.mdb*' -cf - .) | (cd "$root" && tar -xf -)
password=$("$BUILD/tovi" init --root "$root" --database "$url" | sed -n 's/.*password: //p' | tail -n1)
psql -q -d bench -c "insert into tdgl (yhm, telsss, addresss, dcqk, dczj, hours, minutes, qtbz, zffs, fromdate, years,
  months, days, hourss, minutess, dczt) select '客户' || i, '13800000000', '某路' || i || '号', '宫保鸡丁饭 1 份', '12',
  '12', '30', '', '餐到付费', t, extract(year from t), extract(month from t), extract(day from t), extract(hour from t),
  extract(minute from t), 1 + i % 4 from generate_series(1, $N) i, lateral (select timestamp '2023-01-01' +
  i * interval '5 minutes' as t) x"
psql -q -d bench -c "vacuum analyze tdgl"
"$BUILD/tovi" serve --root "$root" --database "$url" --port 0 --fixed-code 1234 >"$work/out" 2>"$work/err" &
server=$!
for _ in $(seq 100); do grep -q 'listening on' "$work/out" && break; sleep 0.1; done
base=$(sed -n 's/.*listening on \(http:[^ ]*\/\).*/\1/p' "$work/out" | head -n1)
[ -n "$base" ] || { cat "$work/err"; exit 1; }
jar="$work/jar"
curl -s -c "$jar" -b "$jar" "${base}GetCode.asp" -o /dev/null
curl -s -c "$jar" -b "$jar" -H "Origin: ${base%/}" --data "admin=admin&verifycode=1234" \
  --data-urlencode "password=$password" "${base}admin/chkadmin.asp" -o /dev/null
cookie=$(sed 's/^#HttpOnly_//' "$jar" | awk -F'\t' 'NF >= 7 && $1 !~ /^#/ { printf "%s%s=%s", sep, $6, $7; sep="; " }')
last=$(( (N + 19) / 20 ))
pct() { sort -n | awk '{ v[NR] = $1 } END { i = int(NR * 0.99 + 0.999); printf "%10.2f %10.2f", v[int((NR + 1) / 2)], v[i] }'; }
printf '%-7s %-7s %10s %10s %10s\n' page mode "median ms" "p99 ms" "req/s"
for page in 1 $(( (last + 1) / 2 )) "$last"; do
  u="${base}admin/ddgl.asp?CurrentPage=$page"
  curl -s -H "Cookie: $cookie" "$u" | iconv -f GBK -t UTF-8 | grep -q "条记录" || { echo "page $page: not the list"; exit 1; }
  # shellcheck disable=SC2086
  wrk $WRK_ARGS --latency -H "Cookie: $cookie" "$u" >"$work/wrk"
  printf '%-7s %-7s %10s %10s %10s\n' "$page" warm "$(awk '$1 == "50%" {print $2}' "$work/wrk")" \
    "$(awk '$1 == "99%" {print $2}' "$work/wrk")" "$(awk '/Requests\/sec/ {print $2}' "$work/wrk")"
  : >"$work/times"
  for _ in $(seq "$COLD_RUNS"); do
    psql -q -d bench -c "insert into tdgl (yhm, fromdate, dczt) values ('新客', timestamp '2022-12-31', 1)"
    curl -s -H "Cookie: $cookie" -o /dev/null -w '%{time_total}\n' "$u" | awk '{ printf "%.3f\n", $1 * 1000 }' >>"$work/times"
  done
  printf '%-7s %-7s %s\n' "$page" cold "$(pct <"$work/times")"
done
