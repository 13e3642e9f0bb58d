#!/usr/bin/env bash
# Installs what building, running and testing the site needs on Debian:
#   scripts/setup.sh            build and run
#   scripts/setup.sh --test     also the browser, the fuzzing compiler and the tests' packages
#   scripts/setup.sh --bench    also the load generator and nginx
#   scripts/setup.sh --package  also what building the Debian package needs
# Only what is missing is installed; a machine that has everything is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config ccache librestinio-dev libasio-dev libfmt-dev libhttp-parser-dev
          libsqlite3-dev libsodium-dev libssl-dev libgd-dev liboath-dev libqrencode-dev libexif-dev libjpeg-dev
          zlib1g-dev libpq-dev)
want_node=0
for arg in "$@"; do
  case "$arg" in
    --test) packages+=(googletest libgtest-dev chromium fonts-wqy-microhei sqlite3 dpkg-dev
                          clang libclang-rt-14-dev
                          postgresql nginx-light); want_node=1 ;;
    --package) packages+=(dpkg-dev) ;;
    --bench) packages+=(wrk nginx-light linux-perf) ;;
  esac
done
# The rich-text editor is served from node_modules, so running the site needs npm too.
want_node=1
if [ "$want_node" = 1 ] && ! command -v npm >/dev/null 2>&1; then packages+=(nodejs npm); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""; [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -d node_modules/quill ] || [ ! -d node_modules/playwright-core ] || [ ! -d node_modules/@axe-core/playwright ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  echo "setup: installing npm packages"
  npm ci --no-audit --no-fund --loglevel=error
fi

# The editor's files are served from the web root: copy Quill's built files next
# to the editor page (the copies are not kept in git).
mkdir -p site/webedit/quill
for f in quill.js quill.snow.css ../LICENSE; do
  if [ ! -f site/webedit/quill/$(basename $f) ] || [ node_modules/quill/dist/$f -nt site/webedit/quill/$(basename $f) ]; then
    cp node_modules/quill/dist/$f site/webedit/quill/$(basename $f)
  fi
done
