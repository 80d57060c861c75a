#!/usr/bin/env bash
# Configures and builds the project in build/ (or $BUILD_DIR), installing what it needs.
# Arguments, if any, name the targets to build; without them everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build-essential cmake qt6-base-dev qt6-serialport-dev qt6-tools-dev \
    qt6-l10n-tools libgl-dev libjpeg62-turbo-dev \
    fonts-arphic-uming qt6-translations-l10n
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
