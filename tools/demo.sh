#!/usr/bin/env bash
# Builds the plug-in and shows one completion in the test host.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target lexamund_demo_script
build/native/testhost/lexamund_demo_script
