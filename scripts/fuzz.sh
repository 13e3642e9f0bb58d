#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz into build-fuzz/ (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs them.
#
#   scripts/fuzz.sh --ci [--seconds N] [harness...]
#       replays each harness's corpus and regressions, then fuzzes it N seconds
#       (20); exits non-zero on any finding and prints the reproducer's path.
#   scripts/fuzz.sh --hours H [harness...]
#       fuzzes the harnesses side by side for H hours each, growing a corpus in
#       $TOVI_FUZZ_WORK (~/.cache/tovi-fuzz) and keeping what they find there.
#
# Harnesses: request form cookies gbk page_file jet_sql. A reproducer replays
# with build-fuzz/tests/fuzz/fuzz_<harness> FILE; once fixed, it goes into
# tests/fuzz/regressions/<harness>/ so that every run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

mode="" seconds=20 hours="" names=()
while [ $# -gt 0 ]; do
  case "$1" in
    --ci) mode=ci ;;
    --seconds) seconds="$2"; shift ;;
    --hours) mode=long; hours="$2"; shift ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) names+=("$1") ;;
  esac
  shift
done
[ -n "$mode" ] || { sed -n '2,15p' "$0" >&2; exit 2; }
[ ${#names[@]} -gt 0 ] || names=(request form cookies gbk page_file jet_sql)

src=tests/fuzz bin=build-fuzz/tests/fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVI_FUZZ=ON >/dev/null
cmake --build build-fuzz --target fuzzers -j2 >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
flags=(-timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1)
dictFor() { [ -f "$src/dict/$1.dict" ] && echo "-dict=$src/dict/$1.dict"; }

if [ "$mode" = long ]; then
  work="${TOVI_FUZZ_WORK:-$HOME/.cache/tovi-fuzz}"
  for h in "${names[@]}"; do
    mkdir -p "$work/$h/corpus" "$work/$h/found" "$src/regressions/$h"
    "$bin/fuzz_$h" "${flags[@]}" $(dictFor "$h") -max_total_time=$((hours * 3600)) -fork=1 \
      -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -artifact_prefix="$work/$h/found/" \
      "$work/$h/corpus" "$src/corpus/$h" "$src/regressions/$h" >"$work/$h/log" 2>&1 &
    echo "fuzz: $h running, log $work/$h/log"
  done
  wait
  for h in "${names[@]}"; do
    echo "fuzz: $h: $(ls "$work/$h/corpus" | wc -l) inputs in $work/$h/corpus; findings: $(ls "$work/$h/found" | wc -l)"
    ls "$work/$h/found" | sed "s|^|  $work/$h/found/|"
  done
  exit 0
fi

# --ci: every harness, one after another; the findings stay in build-fuzz/found.
found=build-fuzz/found failed=()
mkdir -p "$found"
for h in "${names[@]}"; do
  work=$(mktemp -d) log=build-fuzz/fuzz_$h.log dirs=()
  for d in "$src/corpus/$h" "$src/regressions/$h"; do [ -d "$d" ] && dirs+=("$d"); done
  inputs=$(find "${dirs[@]}" -type f | sort)
  start=$(date +%s)
  ok=1
  # shellcheck disable=SC2086
  [ -z "$inputs" ] || "$bin/fuzz_$h" -runs=1 $inputs >"$log" 2>&1 || ok=0
  if [ $ok = 1 ]; then
    "$bin/fuzz_$h" "${flags[@]}" $(dictFor "$h") -max_total_time="$seconds" -artifact_prefix="$found/$h-" \
      "$work" "${dirs[@]}" >>"$log" 2>&1 || ok=0
  fi
  rm -rf "$work"
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  if [ $ok = 1 ]; then
    echo "fuzz: $h passed ($(( $(date +%s) - start )) s, ${execs:-0} runs)"
  else
    failed+=("$h")
    echo "fuzz: $h FAILED; log $log"
    grep -E 'ERROR: |invariant broken|runtime error|uncaught exception' "$log" | head -5 | sed 's/^/  /'
    repro=$(grep -o "Test unit written to [^ ]*" "$log" | tail -1 | sed 's/Test unit written to //')
    [ -z "$repro" ] && repro=$(grep -o "^Running: .*" "$log" | tail -1 | sed 's/Running: //')
    echo "  reproducer: ${repro:-see the log} (replay: $bin/fuzz_$h ${repro:-FILE})"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then echo "fuzz: findings in ${failed[*]}"; exit 1; fi
echo "fuzz: ${#names[@]} harnesses passed"
