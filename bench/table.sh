#!/usr/bin/env bash
# Prints the request benchmark's table for both builds: the native Release program and the
# Windows i686 program under wine (in the prefix of build/win32), once per line search path
# that --paths names (each run with LEXAMUND_SIMD set to it; by default one run under the
# environment's own setting). All rows go to one tab-separated file (build/bench/table.tsv
# unless --tsv names another), followed by the options' costs set against the default's
# (bench/compare.py), and with --svg to a chart of the first path's rows. --native leaves
# the Windows build out (no wine). Other arguments go to both programs (workload names,
# --rounds=N).
# Usage: bench/table.sh [--native] [--tsv FILE] [--svg FILE] [--paths "avx2 sse2 none"]
#                       [WORKLOAD... | --rounds=N]
set -euo pipefail
cd "$(dirname "$0")/.."
tsv=build/bench/table.tsv
svg=""
paths=""
windows=1
args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --tsv) tsv=$2; shift 2 ;;
    --svg) svg=$2; shift 2 ;;
    --paths) paths=$2; shift 2 ;;
    --native) windows=0; shift ;;
    *) args+=("$1"); shift ;;
    esac
done

cmake --preset bench >/dev/null
cmake --build --preset bench --target lexamund_request_bench >/dev/null
if [ "$windows" = 1 ]; then
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target lexamund_request_bench >/dev/null
fi

# One table per build for the path cap in $1 ("" keeps the environment's); each build's
# rows go to a file of its own, listed in parts.
parts=()
run_tables() {
    local cap=$1 native_tsv=build/bench/table-native${1:+-$1}.tsv
    local windows_tsv=build/win32/table-windows${1:+-$1}.tsv
    [ -z "$cap" ] || export LEXAMUND_SIMD=$cap
    build/bench/bench/lexamund_request_bench --tsv="$native_tsv" "${args[@]}"
    echo
    parts+=("$native_tsv")
    [ "$windows" = 1 ] || return 0
    wine build/win32/bench/lexamund_request_bench.exe --tsv="$windows_tsv" "${args[@]}"
    echo
    parts+=("$windows_tsv")
}

if [ "$windows" = 1 ]; then
    export WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    tools/wine-prefix.sh start build/win32
    trap 'tools/wine-prefix.sh stop build/win32' EXIT
fi
if [ -z "$paths" ]; then
    run_tables ""
else
    for cap in $paths; do
        run_tables "$cap"
    done
fi

mkdir -p "$(dirname "$tsv")"
{
    head -n 1 "${parts[0]}"
    for part in "${parts[@]}"; do tail -n +2 "$part"; done
} >"$tsv"
python3 bench/compare.py "$tsv"
echo
echo "rows of every table: $tsv"
if [ -n "$svg" ]; then
    python3 bench/chart.py "$tsv" "$svg"
    echo "chart: $svg"
fi
