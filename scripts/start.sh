#!/usr/bin/env bash
# Builds the server (only the tovi executable: no tests, no benchmarks) and
# serves the site on http://127.0.0.1:8080/ (the database is created on first
# start, with the demo menu). Extra arguments go to `tovi serve`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target tovi_exe
if [ ! -f site/database/tamlo.mdb ]; then build/tovi init --root site --demo; fi
exec build/tovi serve --root site "$@"
