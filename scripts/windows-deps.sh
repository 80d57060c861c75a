#!/usr/bin/env bash
# Builds what the Windows programs link statically, from Debian's own sources, into a cache outside
# the work tree: Qt's base module and libjpeg-turbo, both for x86_64-w64-mingw32. Rebuilt only when
# the recipe changes: the cache's name carries a hash of the recipe (the toolchain file, Qt's
# options, the patch and this script). Prints the cache's folder on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
recipe=packaging/windows
bash scripts/deps.sh build-essential cmake ninja-build dpkg-dev g++-mingw-w64-x86-64-posix \
    gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools nasm \
    qt6-base-dev qt6-base-dev-tools
hash=$(cat "$recipe"/toolchain-mingw64.cmake "$recipe"/qtbase-options.txt \
    "$recipe"/qtbase-directwrite.patch scripts/windows-deps.sh | sha256sum | cut -c1-12)
cache=${HEXJPG_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/hexjpg/win64-qt-6.4.2-$hash}
if [[ -f "$cache/.complete" ]]; then
    echo "$cache"
    exit 0
fi
# The sources and build trees stay beside the cache until it is complete: a run that stops is
# taken up where it stopped.
work=$cache.work
mkdir -p "$cache" "$work"

# Debian's source packages, from the same archive and suite as the machine's binary packages.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
    list=/etc/apt/sources.list.d/hexjpg-sources.sources
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$work/sources"
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" cp "$work/sources" "$list"
    "${sudo[@]}" apt-get update -q
fi
if [[ ! -d "$work/qtbase" || ! -d "$work/jpeg" ]]; then
    rm -rf "$work/qtbase" "$work/jpeg"
    (cd "$work" && apt-get source -q --download-only qt6-base libjpeg-turbo >/dev/null &&
        dpkg-source -x qt6-base_*.dsc qtbase >/dev/null &&
        dpkg-source -x libjpeg-turbo_*.dsc jpeg >/dev/null &&
        patch -d qtbase -p1 < "$OLDPWD/$recipe/qtbase-directwrite.patch" >/dev/null)
fi

toolchain=$(pwd)/$recipe/toolchain-mingw64.cmake
cmake -S "$work/jpeg" -B "$work/jpeg-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$cache" -DENABLE_SHARED=OFF \
    -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF >/dev/null
cmake --build "$work/jpeg-build" --target install >/dev/null

cmake -S "$work/qtbase" -B "$work/qt-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$cache" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    $(grep -v '^#' "$recipe/qtbase-options.txt" | tr '\n' ' ') >/dev/null
cmake --build "$work/qt-build" --parallel "$(nproc)"
cmake --install "$work/qt-build" >/dev/null
touch "$cache/.complete"
rm -rf "$work"
echo "$cache"
