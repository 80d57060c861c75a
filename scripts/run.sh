#!/usr/bin/env bash
# Builds the program and the console tool, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh hexjpg hexjpg-cli
build=${BUILD_DIR:-build}
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display to show the window on. The console tool needs none:" >&2
    echo "  xxd -p photo.jpg | $build/cli/hexjpg-cli --dir /tmp" >&2
    exit 1
fi
exec "$build/app/hexjpg"
