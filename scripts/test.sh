#!/usr/bin/env bash
# Builds everything and runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang for the fuzzers, clang-format for the sources' layout, xxd and hexdump (bsdextrautils) for the benchmark and the dumps the
# forgiving reader is tried on, python3 and MinGW's windres for the
# resource checks, an X server and the tools that drive the real program in it, and a D-Bus
# session with AT-SPI to read it as assistive technology does; the Debian package's tools; socat,
# whose pty pairs stand in for a camera on a serial port.
bash scripts/deps.sh clang clang-format libclang-rt-14-dev xxd python3 binutils-mingw-w64-x86-64 socat \
    xvfb xdotool xclip imagemagick x11-utils dbus-daemon python3-pyatspi bsdextrautils \
    dpkg-dev help2man lintian desktop-file-utils appstream
bash scripts/build.sh
cd "${BUILD_DIR:-build}"
ctest --output-on-failure --timeout 900
