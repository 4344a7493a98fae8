#!/usr/bin/env bash
# Creates (if needed) the wine prefix of a build tree and starts its wineserver.
# Usage: tools/wine-prefix.sh start|stop BUILD_DIR
# Start runs on its own, with all output to /dev/null: wine's background services
# inherit and keep open any pipe they are started under.
set -euo pipefail
action=$1
export WINEPREFIX="$(cd "$2" && pwd)/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
case "$action" in
  start)
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1 || true # fails when one already runs
    wineboot -i </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
