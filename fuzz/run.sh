#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time from its committed seeds.
# Fails on any finding (crash, sanitizer report, leak, timeout); the input that caused it
# is kept in build/fuzz/artifacts/. New inputs found go to a scratch corpus, not to the
# committed seeds.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(harvest_line_fuzz line_search_fuzz request_fuzz)
[ ! -f fuzz/settings_store_fuzz.cpp ] || [ $# -gt 0 ] || targets+=(settings_store_fuzz)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
# A smaller quarantine keeps long runs of the request target (big documents) in memory.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
# FUZZ_WORK_DIR keeps the inputs found (e.g. to merge them into the seeds afterwards).
if [ -n "${FUZZ_WORK_DIR:-}" ]; then
    scratch=$FUZZ_WORK_DIR
    mkdir -p "$scratch"
else
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
fi

status=0
for target in "${targets[@]}"; do
    mkdir -p "$scratch/$target"
    echo "fuzzing $target for ${seconds}s"
    if ! build/fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "$scratch/$target" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1; then
        status=1
        echo "FINDING in $target:"
        grep -A30 -E '^==[0-9]+==|^SUMMARY|deadly signal|Test unit written' "$scratch/$target.log" | head -60
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$scratch/$target.log" || true
done
exit $status
