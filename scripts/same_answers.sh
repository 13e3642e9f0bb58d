#!/usr/bin/env bash
# Proves that a change of shape (code moved between folders, renamed, split)
# left every page's answer as it was: builds BASE and the working tree, records
# the answers of both to the same scripted requests over the same seeded data
# (scripts/page_answers.py) and compares them byte for byte, after masking
# what differs from run to run (clock, session ids, random names).
#
#   scripts/same_answers.sh            # BASE: the merge-base with main (HEAD~ without a main)
#   scripts/same_answers.sh HEAD~3     # any commit
#
# Exits 0 when every answer is the same, 1 printing the differences otherwise
# (2 when a build fails).
# BASE is checked out in its own git worktree build-answers/base and built in
# build-answers/base-build (kept between runs, so only what changed is built
# again); the working tree is built with scripts/build.sh. The two recordings
# stay in build-answers/ to look at.
set -euo pipefail
cd "$(dirname "$0")/.."
base=${1:-$(git merge-base HEAD main 2>/dev/null || echo HEAD~)}
commit=$(git rev-parse --verify "$base^{commit}")
name=$(git rev-parse --short "$commit")
out=build-answers
mkdir -p "$out"
# Runs a build step, showing its output only when it fails.
quiet() { "$@" >"$out/build.log" 2>&1 || { cat "$out/build.log" >&2; exit 2; }; }

if [ -e "$out/base/.git" ]; then
  git -C "$out/base" checkout -q --force --detach "$commit"
else
  git worktree prune
  git worktree add -q --force --detach "$out/base" "$commit"
fi
echo "same_answers: building $name ($(git log -1 --format=%s "$commit"))"
quiet cmake -S "$out/base" -B "$out/base-build" -DCMAKE_BUILD_TYPE=Release -DTOVI_TESTS=OFF
quiet cmake --build "$out/base-build" -j2 --target tovi_exe
echo "same_answers: building the working tree"
quiet scripts/build.sh

python3 scripts/page_answers.py --tovi "$out/base-build/tovi" --site "$out/base/site" --out "$out/base.txt"
python3 scripts/page_answers.py --tovi build/tovi --site site --out "$out/work.txt"
if diff -u -F "^### " --label "answers of $name" --label "answers of the working tree" "$out/base.txt" "$out/work.txt"; then
  echo "same_answers: all $(grep -c '^### ' "$out/work.txt") answers are the same as $name's"
else
  echo "same_answers: the answers differ from $name's (above)" >&2
  exit 1
fi
