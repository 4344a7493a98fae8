#!/usr/bin/env bash
# Counts the instructions of one completion request's engine work under valgrind's
# callgrind: ProcessEditorInput's inclusive count less the inclusive counts of the test
# host's services it calls (the editor commands, GetLine and ConvertText among them, the
# messages, the menu, the beep and the dialog). So neither the host's model of the editor
# nor the benchmark's count of GetLine calls, which runs inside GetLine, is counted. The
# allocation of candidate nodes stays in: the plug-in makes it.
# Usage: bench/engine-count.sh PROGRAM WORKLOAD
#   PROGRAM is a lexamund_request_bench of any revision that has --one-request; the
#   environment's LEXAMUND_SIMD caps its line search as usual.
# Prints one line, "ENGINE PATH LINE": the engine's instructions, the line search that ran
# (avx2, sse2 or none, by the search function callgrind saw; "?" when none ran) and the
# program's own line. Exits with the program's status.
set -euo pipefail
program=$1
workload=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

status=0
valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" --collect-atstart=no \
    --toggle-collect=ProcessEditorInput "$program" --one-request="$workload" \
    >"$out/stdout" 2>/dev/null || status=$?
line=$(head -n 1 "$out/stdout")

# Inclusive counts, one function a line, the largest first: "845,612 (100.0%)  ???:Name(...".
callgrind_annotate --inclusive=yes --threshold=100 "$out/callgrind.out" | awk -v line="$line" '
    { count = $1; gsub(",", "", count) }
    / PROGRAM TOTALS$/ { total = count }
    /TestHost::(EditorCommand|LookupMessage|ShowMenu|RunDialog|RecordBeep)\(/ { host += count }
    path == "" && /SearchLineAvx2\(|avx2::Search/ { path = "avx2" }
    path == "" && /SearchLineSse2\(|sse2::Search/ { path = "sse2" }
    path == "" && /SearchLinePlain\(|SearchPlainWith/ { path = "none" }
    END { printf "%d %s %s\n", total - host, path == "" ? "?" : path, line }'
exit "$status"
