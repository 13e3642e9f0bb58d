#!/usr/bin/env bash
# Builds into build/ (or build-sanitize/ with --sanitize), tests included even
# where a benchmark configured the same folder without them.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build; flags=(-DCMAKE_BUILD_TYPE=Release -DTOVI_TESTS=ON)
# The sanitizer build keeps NDEBUG: RESTinio 0.6.16's debug assertion in
# init_write_if_necessary fires when a pipelined request asking to close the
# connection is answered (its release code handles that case correctly).
if [ "${1:-}" = "--sanitize" ]; then dir=build-sanitize; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVI_SANITIZE=ON -DTOVI_TESTS=ON); fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
