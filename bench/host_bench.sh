#!/usr/bin/env bash
# Host throughput against a bare RESTinio handler answering the same 4 bytes,
# both under wrk on loopback in one run, and test.asp's latency while 200 idle
# keep-alive connections are held open.
#
#   bench/host_bench.sh [BUILD_DIR]      (default: build; needs tovi and host_bare built, wrk)
# Environment: DURATION (seconds per wrk run, default 10), THREADS (tovi --threads, default: tovi's choice).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
tovi="$build/tovi"
bare="$build/host_bare"
duration="${DURATION:-10}"
for b in "$tovi" "$bare"; do [ -x "$b" ] || { echo "missing $b (build the tovi_exe and host_bare targets)"; exit 2; }; done
command -v wrk >/dev/null || { echo "wrk is missing (scripts/setup.sh --bench)"; exit 2; }

work=$(mktemp -d /tmp/tovi-bench-XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work/site"
cp -r site/. "$work/site/"
rm -f "$work/site/database/"*.mdb*
"$tovi" init --root "$work/site" >/dev/null

serve_args=(serve --root "$work/site" --port 0 --access-log -)
[ -n "${THREADS:-}" ] && serve_args+=(--threads "$THREADS")
"$tovi" "${serve_args[@]}" >"$work/tovi.out" 2>"$work/tovi.err" &
pids+=($!)
for _ in $(seq 100); do grep -q 'listening on' "$work/tovi.out" 2>/dev/null && break; sleep 0.05; done
host_port=$(sed -n 's|.*listening on http://[^:]*:\([0-9]*\)/.*|\1|p' "$work/tovi.out")
[ -n "$host_port" ] || { echo "tovi did not start:"; cat "$work/tovi.err"; exit 1; }

bare_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$bare" "$bare_port" >/dev/null &
pids+=($!)
sleep 0.3

[ "$(curl -s "http://127.0.0.1:$host_port/test.asp")" = 1233 ] || { echo "test.asp does not answer 1233"; exit 1; }

rps() { wrk -t2 -c32 -d"${duration}s" "$1" | awk '/Requests\/sec/ {print $2}'; }
# Alternate the two, twice, and keep each one's better run: other load on the
# machine then hurts both alike.
wrk -t2 -c32 -d2s "http://127.0.0.1:$host_port/test.asp" >/dev/null
wrk -t2 -c32 -d2s "http://127.0.0.1:$bare_port/test.asp" >/dev/null
best_bare=0; best_host=0
for _ in 1 2; do
  b=$(rps "http://127.0.0.1:$bare_port/test.asp"); h=$(rps "http://127.0.0.1:$host_port/test.asp")
  best_bare=$(python3 -c "print(max($best_bare, $b))"); best_host=$(python3 -c "print(max($best_host, $h))")
done
echo "bare RESTinio handler:    $best_bare req/s"
echo "tovi test.asp (host):     $best_host req/s"
python3 -c "print('ratio host/bare:          %.1f %% (target >= 80 %%)' % (100.0 * $best_host / $best_bare))"

# 200 idle keep-alive connections, each having made one request, held open
# while test.asp is timed from a fresh connection.
python3 - "$host_port" <<'PY'
import socket, sys, time
port = int(sys.argv[1])
req = b"GET /test.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
idle = []
for _ in range(200):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(req)
    s.recv(4096)
    idle.append(s)
times = []
for _ in range(200):
    t = time.perf_counter()
    c = socket.create_connection(("127.0.0.1", port))
    c.sendall(b"GET /test.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
    data = b""
    while True:
        chunk = c.recv(4096)
        if not chunk:
            break
        data += chunk
    c.close()
    times.append((time.perf_counter() - t) * 1000)
    assert data.endswith(b"1233"), data
times.sort()
print("test.asp with 200 idle keep-alive connections open: median %.2f ms, p99 %.2f ms, max %.2f ms (new connection each)"
      % (times[len(times) // 2], times[int(len(times) * 0.99)], times[-1]))
for s in idle:
    s.close()
PY
