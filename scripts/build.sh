#!/usr/bin/env bash
# Builds into build/ (or build-sanitize/ with --sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build; flags=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then dir=build-sanitize; flags=(-DCMAKE_BUILD_TYPE=Debug -DTOVI_SANITIZE=ON); fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
