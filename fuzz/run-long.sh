#!/usr/bin/env bash
# The long fuzzing run: every target for an hour each by default (fuzz/run.sh does the work).
# Usage: fuzz/run-long.sh [SECONDS_PER_TARGET]   (run it in the background)
set -euo pipefail
cd "$(dirname "$0")/.."
exec fuzz/run.sh "${1:-3600}"
