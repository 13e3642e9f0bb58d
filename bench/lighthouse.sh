#!/usr/bin/env bash
# Lighthouse's four scores (performance, accessibility, best practices, SEO)
# for the storefront as a phone sees it: the home page, a category page, the
# guestbook, sign-up and the page of an order placed first, on a demo site
# served by `tovi serve`. Prints a table of the scores per page, the bytes each
# page moves, the home page's bytes compressed and not, and for every score
# under 95 the audits that cost the points (from Lighthouse's JSON, kept in
# the work folder with KEEP=1).
#
# Usage: bench/lighthouse.sh [BUILD_DIR or path/to/tovi] [SITE_DIR]
#   SITE_DIR      the web root to copy (default: this tree's site/), so an older
#                 binary runs with the pages of its own tree
#   ORDER_PAGE    the order's page, {id} for its number (default: ddxx.asp?id={id}
#                 when the site has that page, else skipped)
#   FORM_FACTOR   mobile (default) or desktop
#   PAGES         the other pages, blank-separated (default: index.asp kcdg.asp guestbook.asp register.asp)
# Installs Lighthouse 12 into bench/.lighthouse (git-ignored) on first use;
# needs node, npm, /usr/bin/chromium, curl and python3.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tovi=${1:-$here/build/tovi}
[ -d "$tovi" ] && tovi="$tovi/tovi"
site_dir=${2:-$here/site}
form_factor=${FORM_FACTOR:-mobile}
lh_dir=$here/bench/.lighthouse
lighthouse=$lh_dir/node_modules/.bin/lighthouse
if [ ! -x "$lighthouse" ]; then
  npm install --prefix "$lh_dir" --no-audit --no-fund --loglevel=error lighthouse@12.2.3 >/dev/null
fi
export CHROME_PATH=${CHROME_PATH:-/usr/bin/chromium}

work=$(mktemp -d /tmp/tovi-bench-lighthouse.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  if [ "${KEEP:-0}" = 1 ]; then echo "reports kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

cp -r "$site_dir" "$work/root"
rm -f "$work/root/database/"*.mdb*
"$tovi" init --root "$work/root" --demo >/dev/null
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$tovi" serve --root "$work/root" --port "$port" >"$work/serve.out" 2>"$work/serve.err" &
pid=$!
for _ in $(seq 100); do grep -q listening "$work/serve.out" 2>/dev/null && break; sleep 0.1; done
site="http://127.0.0.1:$port"

# One order, as the order form posts it (GBK), in a browser of its own: its
# cookies open the order's page.
. "$here/bench/order_form.sh"
body=$(order_body)
curl -s -c "$work/cookies" -H "Origin: $site" --data "$body" "$site/dctj.asp" >/dev/null
order_url=
page_file=$site_dir/ddxx.asp
if [ -n "${ORDER_PAGE:-}" ] || [ -f "$page_file" ]; then
  id=$(sqlite3 "$work/root/database/tamlo.mdb" "select max(id) from tdgl")
  order_url=$(printf '%s' "${ORDER_PAGE:-ddxx.asp?id={id\}}" | sed "s/{id}/$id/")
fi
cookie=$(sed 's/^#HttpOnly_//' "$work/cookies" | awk '!/^#/ && NF >= 7 {printf "%s%s=%s", (n++ ? "; " : ""), $6, $7}')

read -r -a pages <<<"${PAGES-index.asp kcdg.asp guestbook.asp register.asp}"
[ -n "$order_url" ] && pages+=("$order_url")
flags=(--quiet --output=json --only-categories=performance,accessibility,best-practices,seo
       "--chrome-flags=--headless=new --no-sandbox")
[ "$form_factor" = desktop ] && flags+=(--preset=desktop)
i=0
for page in "${pages[@]}"; do
  extra=()
  [ "$page" = "$order_url" ] && [ -n "$cookie" ] && extra=("--extra-headers={\"Cookie\":\"$cookie\"}")
  "$lighthouse" "$site/$page" "${flags[@]}" "${extra[@]}" --output-path="$work/report$i.json" 2>"$work/lh$i.err" ||
    echo "lighthouse failed on $page (see $work/lh$i.err)"
  i=$((i + 1))
done

echo "Lighthouse 12 ($form_factor) on $tovi, site $site_dir"
node - "$work" "${pages[@]}" <<'JS'
const fs = require('fs');
const [work, ...pages] = process.argv.slice(2);
const cats = ['performance', 'accessibility', 'best-practices', 'seo'];
const pad = (s, n) => String(s).padStart(n);
console.log('page'.padEnd(26) + cats.map((c) => pad(c === 'best-practices' ? 'best-pr.' : c.slice(0, 8), 9)).join('') +
            pad('moved KB', 10) + pad('requests', 10));
const costs = [];
pages.forEach((page, i) => {
  let r;
  try { r = JSON.parse(fs.readFileSync(`${work}/report${i}.json`, 'utf8')); } catch { console.log(page.padEnd(26) + '  (no report)'); return; }
  const scores = cats.map((c) => r.categories[c] && r.categories[c].score !== null ? Math.round(r.categories[c].score * 100) : '-');
  const weight = r.audits['total-byte-weight'], bytes = weight && weight.numericValue ? (weight.numericValue / 1024).toFixed(1) : '-';
  const net = r.audits['network-requests'], requests = net && net.details ? net.details.items.length : '-';
  console.log(page.slice(0, 25).padEnd(26) + scores.map((s) => pad(s, 9)).join('') + pad(bytes, 10) + pad(requests, 10));
  cats.forEach((c, k) => {
    if (!(scores[k] < 95)) return;
    const refs = r.categories[c].auditRefs.filter((a) => a.weight > 0);
    const total = refs.reduce((s, a) => s + a.weight, 0);
    const lost = refs.map((a) => ({ a, au: r.audits[a.id] }))
      .filter(({ au }) => au && au.score !== null && au.score < 1)
      .map(({ a, au }) => ({ pts: (a.weight * (1 - au.score) * 100) / total, au }))
      .sort((x, y) => y.pts - x.pts).slice(0, 6);
    costs.push(`${page} ${c} ${scores[k]}:`);
    for (const { pts, au } of lost)
      costs.push(`   -${pts.toFixed(1).padStart(5)}  ${au.id}: ${au.title}${au.displayValue ? ' (' + au.displayValue + ')' : ''}`);
  });
});
if (costs.length) console.log('\nWhere a score is under 95, the audits that cost the points:\n' + costs.join('\n'));
JS
plain=$(curl -s -o /dev/null -w '%{size_download}' "$site/index.asp")
packed=$(curl -s -o /dev/null -w '%{size_download}' -H 'Accept-Encoding: gzip' "$site/index.asp")
echo
echo "home page index.asp: $plain bytes plain, $packed bytes gzip-compressed"
