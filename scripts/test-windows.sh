#!/usr/bin/env bash
# Builds the Windows programs and their tests, and runs them under Wine, in a Wine prefix and an X
# server of their own; exits non-zero on any failure. The first run on a machine builds Qt for
# Windows first (see README.md); later runs reuse it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh wine wine64 xvfb xdotool xclip imagemagick x11-utils locales
# The programs speak Chinese under Wine where its language is Chinese (packaging/windows/
# wine-run.sh): Wine takes it from LANG, and needs the host's locale to name files by it.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
bash scripts/build-windows.sh
build=$(pwd)/${BUILD_DIR:-build-windows}
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# An X server for Wine's window system; the test suites themselves draw offscreen.
display=:$((RANDOM % 200 + 300))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
# A new prefix goes on setting itself up after wineboot returns (its clipboard among the rest):
# the tests start once Wine has settled.
if [[ ! -d "$WINEPREFIX" ]]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
fi
cd "$build"
ctest --output-on-failure --timeout 900
