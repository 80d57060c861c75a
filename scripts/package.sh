#!/usr/bin/env bash
# Builds the Debian package build/hexjpg_<version>_amd64.deb (or in $BUILD_DIR), installing what
# it needs: the programs, their manual pages (help2man) and dpkg-shlibdeps (dpkg-dev).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh dpkg-dev help2man
bash scripts/build.sh hexjpg hexjpg-cli packaging_files
cd "${BUILD_DIR:-build}"
rm -f hexjpg_*.deb
cpack -G DEB >/dev/null
echo "$(pwd)/$(ls hexjpg_*.deb)"
