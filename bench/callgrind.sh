#!/usr/bin/env bash
# Prints instructions per scanned byte of one completion request's engine work for each
# workload (bench/engine-count.sh: the test host's services left out), and of the two
# baselines over the same bytes, counted by valgrind's callgrind.
# Usage: bench/callgrind.sh [WORKLOAD...]   (builds the bench preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench --target lexamund_request_bench >/dev/null
bench=build/bench/bench/lexamund_request_bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Instructions executed inside the named function (inclusive) during one run.
count() {
    local workload=$1 function=$2 file="$out/callgrind.out"
    valgrind --tool=callgrind --callgrind-out-file="$file" --collect-atstart=no \
        --toggle-collect="$function" "$bench" --one-request="$workload" >"$out/stdout" 2>/dev/null
    awk '/^(summary|totals):/ {print $2; exit}' "$file"
}

workloads=("$@")
[ ${#workloads[@]} -gt 0 ] || mapfile -t workloads < <("$bench" --list)
printf '%-17s %12s %14s %12s %12s %12s\n' workload scanned_bytes engine_instr instr/byte \
    memchr/byte scan/byte
for w in "${workloads[@]}"; do
    result=$(bench/engine-count.sh "$bench" "$w")
    engine=${result%% *}
    bytes=$(sed -n 's/.*scanned_bytes=\([0-9]*\).*/\1/p' <<<"$result")
    memchr=$(count "$w" MemchrBaseline)
    scan=$(count "$w" ScanBaseline)
    awk -v w="$w" -v b="$bytes" -v r="$engine" -v m="$memchr" -v s="$scan" 'BEGIN {
        printf "%-17s %12d %14d %12.2f %12.2f %12.2f\n", w, b, r, r / b, m / b, s / b }'
done
