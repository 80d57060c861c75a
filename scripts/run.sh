#!/usr/bin/env bash
# Builds everything, then tells how to run the console tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build=${BUILD_DIR:-build}
cat <<TEXT

Built. Convert a hex dump with the console tool, for example:
  xxd -p some.jpg | $build/conversion/hexjpg-cli --dir /tmp
  $build/conversion/hexjpg-cli --dir /tmp dump.txt
  $build/conversion/hexjpg-cli --help
TEXT
