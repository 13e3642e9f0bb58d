#!/usr/bin/env bash
# Brings the fingerprints in the links to the style sheets and scripts up to
# date: every "css/front.css?v=<hex>" in site/ and src/ (a file named by its
# path from the web root, after a quote or a '/') gets the first 10 hex digits
# of the file's SHA-256, which the server compares before letting browsers keep
# the file a year. Links without ?v= are left alone. Run after changing such a file.
set -euo pipefail
cd "$(dirname "$0")/.."
changed=0
while IFS= read -r -d '' file; do
  rel=${file#site/}
  link="$rel?v=$(sha256sum "$file" | cut -c1-10)"
  pattern="${rel//./[.]}?v=[0-9a-f]*"
  while IFS= read -r -d '' user; do
    grep -o "[\"'/]$pattern" "$user" | cut -c2- | grep -qvxF "$link" || continue
    sed -i "s#\\([\"'/]\\)$pattern#\\1$link#g" "$user"
    echo "$user: $link"
    changed=1
  done < <(grep -rlZ --include='*.asp' --include='*.cpp' --include='*.htm*' -e "$pattern" site src || true)
done < <(find site -path site/database -prune -o -path site/uploadpic -prune -o -type f \( -name '*.css' -o -name '*.js' \) -print0)
[ "$changed" = 1 ] || echo "fingerprints up to date"
