#!/usr/bin/env bash
# Builds and runs every test: unit, component, HTTP and browser tests on the
# release build, the suites labelled postgresql beside a throw-away PostgreSQL
# server, then the same (but the browser and PostgreSQL tests) under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
scripts/build.sh
(cd build && ctest --output-on-failure -j2 --timeout 600 -LE postgresql)
(cd build && ../scripts/with_postgres.sh ctest --output-on-failure -j2 --timeout 600 -L postgresql)
if [ "${1:-}" != "--quick" ]; then
  scripts/build.sh --sanitize
  (cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j2 --timeout 600 -LE 'browser|crash|postgresql')
  scripts/fuzz.sh --ci
fi
