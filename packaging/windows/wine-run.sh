#!/usr/bin/env bash
# Runs a Windows program under Wine, as CTest runs the Windows test suites: in the Wine prefix that
# the test command made (WINEPREFIX), without Wine's own chatter, with the program's status.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
