#!/usr/bin/env bash
# Redraws the README's pictures, docs/menu.svg and docs/dialog.svg, from the demo's screen:
# builds the plug-in and the demo host, then runs tools/screenshots.py under wine (which
# resets the demo's options in build/win32's wine prefix to their defaults first).
# Arguments go to tools/screenshots.py (e.g. --check to compare instead of writing).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target lexamund-demo lexamund_dist >/dev/null

tools/wine-prefix.sh start build/win32
trap 'tools/wine-prefix.sh stop build/win32' EXIT
export WINEPREFIX="$(pwd)/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
python3 tools/screenshots.py "$@"
