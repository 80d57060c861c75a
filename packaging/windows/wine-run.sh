#!/usr/bin/env bash
# Runs a Windows program under Wine, as CTest runs the Windows test suites: in the Wine prefix that
# the test command made (WINEPREFIX), without Wine's own chatter, with the program's status.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine's C locale is English; the tests read the programs' described Chinese.
export LANG=${HEXJPG_WINE_LANG:-zh_CN.UTF-8}
unset LC_ALL LANGUAGE
# A test suite's log, written to a file (HEXJPG_TEST_LOG), is printed once it has run.
log=${HEXJPG_TEST_LOG:-}
[[ -z "$log" ]] || rm -f "$log"
status=0
wine "$@" || status=$?
[[ -z "$log" || ! -f "$log" ]] || cat "$log"
exit "$status"
