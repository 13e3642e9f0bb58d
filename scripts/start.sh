#!/usr/bin/env bash
# Builds the site and serves it on http://127.0.0.1:8080/ (the database is
# created on first start, with the demo menu). Extra arguments go to `tovi serve`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ ! -f site/database/tamlo.mdb ]; then build/tovi init --root site --demo; fi
exec build/tovi serve --root site "$@"
