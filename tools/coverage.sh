#!/usr/bin/env bash
# Builds the native tests with gcc coverage (Debug, no sanitizers) in build/coverage, runs
# them, and prints line and branch coverage of the plug-in's sources, per file and in total.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

build=build/coverage
# platform_win32.cpp is compiled only in the Windows build, so no native test can reach it.
filters=(--filter 'host/' --filter 'engine/' --filter 'shell/' --filter 'platform/'
         --exclude 'platform/platform_win32\.cpp')
# Branches gcc adds for exceptions thrown by the standard library are not decisions of ours.
branches=(--exclude-throw-branches --exclude-unreachable-branches)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DLEXAMUND_SANITIZE=OFF \
    -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j 2
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j 2 --output-on-failure

# Only the coverage build is searched for data: other build trees hold links that lead out
# of the source tree (wine's drive links among them).
report=(gcovr --root . --object-directory "$build" --exclude-directories "$build/CMakeFiles"
        "${filters[@]}" "${branches[@]}" "$build")
"${report[@]}" --txt
"${report[@]}" --txt --branches
"${report[@]}" --json-summary "$build/coverage.json" >/dev/null

# The totals, and per folder, from gcovr's summary (counts, so folders add up exactly).
python3 - "$build/coverage.json" <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
folders = {}
for entry in summary["files"]:
    counts = folders.setdefault(entry["filename"].split("/")[0], [0, 0, 0, 0])
    for i, key in enumerate(("line_covered", "line_total", "branch_covered", "branch_total")):
        counts[i] += entry[key]
def percent(covered, total):
    return 100.0 * covered / total if total else 100.0
for folder, (lines, line_total, taken, branch_total) in sorted(folders.items()):
    print(f"{folder + '/':10} lines {percent(lines, line_total):5.1f}% of {line_total:4}, "
          f"branches {percent(taken, branch_total):5.1f}% of {branch_total:4}")
print(f"coverage: lines {percent(summary['line_covered'], summary['line_total']):.1f}%, "
      f"branches {percent(summary['branch_covered'], summary['branch_total']):.1f}%")
PY
