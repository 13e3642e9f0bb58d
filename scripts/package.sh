#!/usr/bin/env bash
# Builds the Debian package build-package/tovi_<version>_<arch>.deb from the
# server alone (no tests, no benchmarks). Install it with
#   sudo apt install ./build-package/tovi_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package
# Installing (which cpack does) must not build every target first.
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DTOVI_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-package -j"$(nproc)" --target tovi_exe
(cd build-package && cpack -G DEB >/dev/null)
ls build-package/tovi_*.deb
