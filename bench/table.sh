#!/usr/bin/env bash
# Prints the request benchmark's table for both builds: the native Release program and the
# Windows i686 program under wine (in the prefix of build/win32). Both tables' rows go to
# one tab-separated file (build/bench/table.tsv unless --tsv names another), and with
# --svg to a chart of them. Other arguments go to both programs (workload names,
# --rounds=N).
# Usage: bench/table.sh [--tsv FILE] [--svg FILE] [WORKLOAD... | --rounds=N]
set -euo pipefail
cd "$(dirname "$0")/.."
tsv=build/bench/table.tsv
svg=""
args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --tsv) tsv=$2; shift 2 ;;
    --svg) svg=$2; shift 2 ;;
    *) args+=("$1"); shift ;;
    esac
done

cmake --preset bench >/dev/null
cmake --build --preset bench --target lexamund_request_bench >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target lexamund_request_bench >/dev/null

native_tsv=build/bench/table-native.tsv
windows_tsv=build/win32/table-windows.tsv
build/bench/bench/lexamund_request_bench --tsv="$native_tsv" "${args[@]}"
echo

export WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-prefix.sh start build/win32
trap 'tools/wine-prefix.sh stop build/win32' EXIT
wine build/win32/bench/lexamund_request_bench.exe --tsv="$windows_tsv" "${args[@]}"

mkdir -p "$(dirname "$tsv")"
{ cat "$native_tsv"; tail -n +2 "$windows_tsv"; } >"$tsv"
echo
echo "rows of both tables: $tsv"
if [ -n "$svg" ]; then
    python3 bench/chart.py "$tsv" "$svg"
    echo "chart: $svg"
fi
