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
# The serial table runs the Linux build's own test against the Windows console tool (socat's pty
# pairs are made on the Linux side).
host=${HEXJPG_HOST_BUILD:-build}
BUILD_DIR=$host bash scripts/build.sh tst_serial
export HEXJPG_HOST_TESTS=$(cd "$host" && pwd)/tests
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
# Two COM ports: COM7, and COM12, whose number has two digits. Wine maps them to files in ports/,
# which each serial test's socat pty pair links there; it reads the mapping as the prefix starts.
export HEXJPG_COM_LINKS=$build/ports
mkdir -p "$HEXJPG_COM_LINKS"
for n in 7 12; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$HEXJPG_COM_LINKS/com$n" \
        /f >/dev/null 2>&1
done
wineserver -k || true
wineserver -w || true
cd "$build"
ctest --output-on-failure --timeout 900
