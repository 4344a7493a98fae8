#!/usr/bin/env bash
# The long fuzzing run: every target for an hour each by default (fuzz/run.sh does the work).
# The inputs found stay in build/fuzz/work/<target>/ and the logs beside them.
# Usage: fuzz/run-long.sh [SECONDS_PER_TARGET]   (run it in the background)
set -euo pipefail
cd "$(dirname "$0")/.."
FUZZ_WORK_DIR=${FUZZ_WORK_DIR:-build/fuzz/work} exec fuzz/run.sh "${1:-3600}"
