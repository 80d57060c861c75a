#!/usr/bin/env bash
# Cross-builds the Windows programs, and their tests, in build-windows/ (or $BUILD_DIR), against Qt
# and libjpeg-turbo built static from Debian's sources (scripts/windows-deps.sh, cached outside the
# work tree). Arguments, if any, name the targets to build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh qt6-translations-l10n qt6-tools-dev qt6-l10n-tools # Qt's Chinese texts; lrelease
cache=$(bash scripts/windows-deps.sh | tail -n 1)
build=${BUILD_DIR:-build-windows}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$(pwd)/packaging/windows/toolchain-mingw64.cmake" \
    -DHEXJPG_WINDOWS_PREFIX="$cache" -DCMAKE_PREFIX_PATH="$cache" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(pwd)/packaging/windows/wine-run.sh" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
