#!/usr/bin/env bash
# Prints the Windows build's figures, each measured side by side with the Linux build in one run:
# the stripped programs' and the zip's sizes; hexjpg-cli.exe under Wine against the native
# hexjpg-cli on the same dump of a 10 MiB picture (31,457,280 characters); and the time from start
# to a visible window, hexjpg.exe under Wine against hexjpg on Linux, in one X server.
#   bash bench/windows_figures.sh [ROUNDS]    (after scripts/test.sh and scripts/package-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
linux=$(pwd)/${BUILD_DIR:-build}
windows=$(pwd)/${WINDOWS_BUILD_DIR:-build-windows}
export WINEPREFIX=$windows/wineprefix WINEDEBUG=-all
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; kill ${xvfb:-0} 2>/dev/null || true; rm -rf "$work"' EXIT

size() { stat -c %s "$1"; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
echo "hexjpg.exe-stripped-MiB: $(mib "$(size "$windows/stage/hexjpg.exe")")"
echo "hexjpg-cli.exe-stripped-MiB: $(mib "$(size "$windows/stage/hexjpg-cli.exe")")"
echo "zip-MiB: $(mib "$(size "$(ls "$windows"/hexjpg-*-win64.zip)")")"

# The same dump for both: a 10 MiB picture-like file, as pairs and blanks.
head -c $((10 << 20)) /dev/urandom > "$work/picture.bin"
printf '\xff\xd8' | dd of="$work/picture.bin" conv=notrunc status=none
xxd -p -c 16 "$work/picture.bin" | sed 's/../& /g' | tr -d '\n' > "$work/dump.txt"
echo "dump-characters: $(size "$work/dump.txt")"
seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; end=$(date +%s.%N)
            echo "$end - $start" | bc; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
wine "$windows/stage/hexjpg-cli.exe" --version >/dev/null 2>&1 || true # Wine's start-up, once
ratios=()
for _ in $(seq "$rounds"); do
    native=$(seconds "$linux/cli/hexjpg-cli" --dir "$work" "$work/dump.txt")
    emulated=$(seconds wine "$windows/stage/hexjpg-cli.exe" --dir "Z:$work" "Z:$work/dump.txt")
    ratios+=("$(echo "scale=3; $emulated / $native" | bc)")
done
echo "cli.exe-under-wine/cli: $(printf '%s\n' "${ratios[@]}" | median)"

# From start to a visible window, in one X server.
display=:$((RANDOM % 200 + 500))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
export DISPLAY=$display
sleep 1
visible() { # seconds until a window titled 图片转换工具 shows; the program is then ended
    local start end pid
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 & pid=$!
    until xdotool search --onlyvisible --name '图片转换工具--' >/dev/null 2>&1; do sleep 0.05; done
    end=$(date +%s.%N)
    kill "$pid" 2>/dev/null; wineserver -k 2>/dev/null || true; wait "$pid" 2>/dev/null || true
    echo "$end - $start" | bc
}
ratios=()
for _ in $(seq "$rounds"); do
    native=$(visible "$linux/app/hexjpg" --dir "$work")
    emulated=$(visible wine "$windows/stage/hexjpg.exe" --dir "Z:$work")
    ratios+=("$(echo "scale=3; $emulated / $native" | bc)")
done
echo "window-under-wine/window: $(printf '%s\n' "${ratios[@]}" | median)"
