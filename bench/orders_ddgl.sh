#!/usr/bin/env bash
# Latency of the back office's order list (admin/ddgl.asp) through `tovi serve`,
# logged in, for 1,000 / 10,000 / 100,000 stored orders: its first page and its
# last page (page 5,000 at 100,000 orders), median and 99th percentile from wrk.
# Then cold: a new order is stored (by another process) before each request,
# so nothing the server kept of the list still holds; COLD_RUNS requests each
# for page 1, the middle page, the last page and the name filter "客户12",
# median and 99th percentile of curl's time, and the server's CPU per request.
#
#   bench/orders_ddgl.sh                 # builds build-bench (Release) first
#   COUNTS="100000" WRK_ARGS="-t2 -c4 -d10s" COLD_RUNS=200 bench/orders_ddgl.sh
#
# Needs wrk and curl (scripts/setup.sh --bench).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build-bench}
COUNTS=${COUNTS:-"1000 10000 100000"}
WRK_ARGS=${WRK_ARGS:-"-t1 -c2 -d5s"}
COLD_RUNS=${COLD_RUNS:-100}

work=$(mktemp -d)
# A build folder that exists keeps its own settings (BUILD=build-speed keeps its tests).
configure=(-DCMAKE_BUILD_TYPE=Release)
[ -f "$BUILD/CMakeCache.txt" ] || configure+=(-DTOVI_TESTS=OFF)
if ! { cmake -S . -B "$BUILD" "${configure[@]}" &&
       cmake --build "$BUILD" --target tovi_exe orders_seed -j2; } >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log"; rm -rf "$work"; exit 1
fi
TOVI="$BUILD/tovi"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# wrk's "50%" or "99%" latency line, in milliseconds.
latency_ms() {
  awk -v p="$2" '$1 == p {
    v = $2; unit = v; sub(/[0-9.]+/, "", unit); sub(/[a-z]+$/, "", v);
    if (unit == "us") v /= 1000; else if (unit == "s") v *= 1000;
    printf "%.2f", v }' "$1"
}

# Median and 99th percentile of the numbers on stdin (one a line).
percentiles() {
  sort -n | awk '{ v[NR] = $1 } END {
    m = v[int((NR + 1) / 2)]; i = int(NR * 0.99 + 0.999); if (i > NR) i = NR;
    printf "%10.2f %10.2f", m, v[i] }'
}

# CPU time (user + system) the server has used so far, in milliseconds.
server_cpu_ms() { awk '{ printf "%d", ($14 + $15) * 1000 / '"$(getconf CLK_TCK)"' }' "/proc/$server/stat"; }

# One cold request after another: store an order, then time one request to $1.
cold() {
  local url=$1 times="$work/times" cpu0 cpu1
  : >"$times"
  cpu0=$(server_cpu_ms)
  for _ in $(seq "$COLD_RUNS"); do
    "$BUILD/orders_seed" "$db" 1 >/dev/null
    curl -s -H "Cookie: $cookie" -o "$work/cold.html" -w '%{time_total}\n' "$url" |
      awk '{ printf "%.3f\n", $1 * 1000 }' >>"$times"
  done
  cpu1=$(server_cpu_ms)
  iconv -f GBK -t UTF-8 "$work/cold.html" | grep -q '条记录' || { echo "cold $url is not the list"; exit 1; }
  printf '%s %10.2f\n' "$(percentiles <"$times")" "$(awk -v a="$cpu0" -v b="$cpu1" -v n="$COLD_RUNS" 'BEGIN { print (b - a) / n }')"
}

printf '%-9s %-6s %10s %10s %10s %9s\n' orders page "median ms" "p99 ms" "req/s" "body KB"
cold_report=""
for n in $COUNTS; do
  root="$work/site-$n"
  mkdir -p "$root"
  (cd site && tar --exclude='./database/*.mdb*' -cf - .) | (cd "$root" && tar -xf -)
  password=$("$TOVI" init --root "$root" | sed -n 's/.*password: //p' | tail -n1)
  db="$root/database/tamlo.mdb"
  "$BUILD/orders_seed" "$db" "$n" >/dev/null

  "$TOVI" serve --root "$root" --port 0 --fixed-code 1234 >"$work/serve.out" 2>"$work/serve.err" &
  server=$!
  for _ in $(seq 100); do grep -q 'listening on' "$work/serve.out" && break; sleep 0.1; done
  base=$(sed -n 's/.*listening on \(http:[^ ]*\/\).*/\1/p' "$work/serve.out" | head -n1)
  [ -n "$base" ] || { echo "server did not start:"; cat "$work/serve.err"; exit 1; }

  jar="$work/jar-$n"
  curl -s -c "$jar" -b "$jar" "${base}GetCode.asp" -o /dev/null
  curl -s -c "$jar" -b "$jar" -H "Origin: ${base%/}" -H "Referer: ${base}admin/login.asp" \
    --data "admin=admin&verifycode=1234" --data-urlencode "password=$password" "${base}admin/chkadmin.asp" -o /dev/null
  cookie=$(sed 's/^#HttpOnly_//' "$jar" | awk -F'\t' 'NF >= 7 && $1 !~ /^#/ { printf "%s%s=%s", sep, $6, $7; sep="; " }')

  last=$(( (n + 19) / 20 ))
  for page in 1 "$last"; do
    url="${base}admin/ddgl.asp?CurrentPage=$page"
    body="$work/body.html"
    curl -s -H "Cookie: $cookie" "$url" -o "$body"
    if ! iconv -f GBK -t UTF-8 "$body" | grep -q "页/共${last}页共${n}条记录"; then
      echo "page $page of $n orders is not the logged-in list:"; iconv -f GBK -t UTF-8 "$body" | head -c 400; echo
      exit 1
    fi
    # shellcheck disable=SC2086
    wrk $WRK_ARGS --latency -H "Cookie: $cookie" "$url" >"$work/wrk.out"
    printf '%-9s %-6s %10s %10s %10s %9s\n' "$n" "$page" "$(latency_ms "$work/wrk.out" 50%)" \
      "$(latency_ms "$work/wrk.out" 99%)" "$(awk '/Requests\/sec/ {print $2}' "$work/wrk.out")" \
      "$(( $(stat -c %s "$body") / 1024 ))"
  done

  # Cold: the order list just after a new order was stored.
  find=$(printf '客户12' | iconv -f UTF-8 -t GBK | xxd -p | sed 's/../%&/g')
  for which in 1 middle last name; do
    case $which in
      1) q="CurrentPage=1" ;;
      middle) q="CurrentPage=$(( (last + 1) / 2 ))" ;;
      last) q="CurrentPage=999999" ;;  # the stored orders grow: past the end shows the last page
      name) q="find=$find&CurrentPage=1" ;;
    esac
    cold_report+=$(printf '%-9s %-8s %s' "$n" "$which" "$(cold "${base}admin/ddgl.asp?$q")")$'\n'
  done
  kill "$server"; wait "$server" 2>/dev/null || true; server=""
done
echo
echo "cold (an order stored before each request, $COLD_RUNS requests each):"
printf '%-9s %-8s %10s %10s %10s\n' orders page "median ms" "p99 ms" "cpu ms/req"
printf '%s' "$cold_report"
