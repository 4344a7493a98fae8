#!/usr/bin/env bash
# Builds the plug-in and shows one completion in the test host.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target lexamund_demo_script
# The plug-in folder for the host: Lexamund.dll, its message files and a note for users.
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target lexamund_dist
echo "Plug-in folder: $(pwd)/dist/Lexamund (copy it into the host's plug-ins folder)"
build/native/testhost/lexamund_demo_script
