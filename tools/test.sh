#!/usr/bin/env bash
# Builds the four presets and runs every test: natively with the sanitizers, and the Windows
# build under wine against the real DLL; checks that the release is reproducible and, when its
# version is published, that it is the published release; rebuilds the latest published
# release; then each fuzz target for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset win32 >/dev/null
cmake --build --preset win32
# The release archive, which a test unpacks and checks.
cmake --build --preset win32 --target package
tools/wine-prefix.sh start build/win32
status=0
ctest --preset win32 || status=$?
# One request of each workload with the Windows build's benchmark program.
wine_bench() {
    WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        wine build/win32/bench/lexamund_request_bench.exe "$@"
}
workloads=$(wine_bench --list | tr -d '\r') || status=$?
for workload in $workloads; do
    wine_bench --one-request="$workload" || status=$?
done
tools/wine-prefix.sh stop build/win32

# The release is reproducible: two more builds of it, in fresh clones elsewhere, give the same
# bytes as each other and as the full build's above.
tools/check-reproducible.sh --against dist || status=$?
# One version, one set of bytes: that release against the record of published ones, if its
# version is there; and the latest published release rebuilt from its commit, as users do.
tools/release-record.sh check dist || status=$?

# The benchmarks build, and one request of each workload completes without leaking.
cmake --preset bench >/dev/null
cmake --build --preset bench
bench=build/bench/bench/lexamund_request_bench
for workload in $($bench --list); do
    $bench --one-request="$workload" || status=$?
done

# Each fuzz target briefly (fuzz/run-long.sh for a long run).
fuzz/run.sh 30 || status=$?
exit $status
