#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what it holds: the
# server, the web root without any database or upload, the config file as a
# conffile, the maintainer scripts and a systemd unit that systemd-analyze
# accepts without a word (checked only where systemd-analyze is installed).
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail "cpack failed"; }
deb=$(ls "$out"/tovi_*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/tovi ./etc/tovi/tovi.conf ./lib/systemd/system/tovi.service \
         ./usr/share/tovi/site/index.asp ./usr/share/tovi/site/admin/login.asp \
         ./usr/share/tovi/site/css/style.css ./usr/share/tovi/site/webedit/quill/quill.js \
         ./usr/share/doc/tovi/examples/nginx-tovi.conf; do
  grep -qxF "$f" <<<"$files" || fail "missing $f"
done
if grep -E '/(database|uploadpic)(/|$)|\.mdb' <<<"$files"; then fail "holds data that belongs in /var/lib/tovi"; fi

dpkg-deb -e "$deb" "$out/control"
grep -qxF /etc/tovi/tovi.conf "$out/control/conffiles" || fail "tovi.conf is no conffile"
for s in postinst prerm postrm; do [ -x "$out/control/$s" ] || fail "no $s"; done
grep -q '^Depends:.*adduser' "$out/control/control" || fail "adduser is no dependency"

dpkg-deb -x "$deb" "$out/root"
unit="$out/root/lib/systemd/system/tovi.service"
for line in User=tovi ProtectSystem=strict ReadWritePaths=/var/lib/tovi NoNewPrivileges=true PrivateTmp=true \
            ProtectHome=true Restart=on-failure StandardOutput=journal; do
  grep -qxF "$line" "$unit" || fail "the unit lacks $line"
done
if command -v systemd-analyze >/dev/null; then
  # Verified against the package's own binary (the unit names /usr/bin/tovi).
  sed "s#/usr/bin/tovi#$out/root/usr/bin/tovi#" "$unit" >"$out/tovi.service"
  said=$(systemd-analyze verify --man=no "$out/tovi.service" 2>&1) || fail "systemd-analyze verify: $said"
  [ -z "$said" ] || fail "systemd-analyze verify: $said"
else
  echo "package test: systemd-analyze not installed, unit not verified"
fi
echo "package test: $(basename "$deb") holds $(wc -l <<<"$files") entries"
