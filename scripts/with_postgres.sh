#!/usr/bin/env bash
# Runs a command beside a private, throw-away PostgreSQL server:
#   scripts/with_postgres.sh ctest -L postgresql
# The server listens on a free loopback port and a socket in its own folder,
# trusts local connections of the role "tovi", and is gone when the command
# ends. The command finds it in TOVI_TEST_PG (a postgresql:// URL of the
# database "postgres"; tests make databases of their own beside it) and in the
# usual PGHOST/PGPORT/PGUSER. Several may run at once. As root the server runs
# as the user "postgres", which Debian's server package creates.
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$bin" ]; then echo "with_postgres: no PostgreSQL server (scripts/setup.sh --test installs it)" >&2; exit 2; fi
dir=$(mktemp -d /tmp/tovi-pg.XXXXXX)
as=()
if [ "$(id -u)" = 0 ]; then chown postgres "$dir"; as=(runuser -u postgres --); fi
port=$((20000 + RANDOM % 30000))
while (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((20000 + RANDOM % 30000)); done
stop() {
  "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap stop EXIT
"${as[@]}" "$bin/initdb" -D "$dir/data" -U tovi --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 2; }
"${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
  -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c max_connections=300" start >/dev/null ||
  { cat "$dir/server.log" >&2; exit 2; }
export PGHOST=127.0.0.1 PGPORT=$port PGUSER=tovi PGDATABASE=postgres
export TOVI_TEST_PG="postgresql://tovi@127.0.0.1:$port/postgres"
"$@"
