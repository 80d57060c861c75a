#!/usr/bin/env bash
# The serial tables of tst_serial and tst_serial_board against the Windows console tool under Wine: the Linux build's
# test (HEXJPG_HOST_TESTS) plays the camera on socat's pty pairs, which the Wine prefix maps to
# COM7 and COM12 (HEXJPG_COM_LINKS; scripts/test-windows.sh sets both). Exits 77 (skipped)
# without them.
set -euo pipefail
if [[ ! -x "${HEXJPG_HOST_TESTS:-}/tst_serial" || -z "${HEXJPG_COM_LINKS:-}" ]]; then
    echo "SKIP: no Linux tst_serial, or no COM ports in this Wine prefix"
    exit 77
fi
export HEXJPG_EMULATOR=wine HEXJPG_CLI_UNDER_TEST=$1
"$HEXJPG_HOST_TESTS/tst_serial"
"$HEXJPG_HOST_TESTS/tst_serial_board"
