#!/usr/bin/env bash
# The Windows toolchain file before a broken build tree: configuring without the cross
# compiler stops with a message that names tools/setup.sh, and the tree it leaves configures
# once the compiler is there; a tree whose cache holds what a configure without the compiler
# left (the host's ar, empty release flags) is refused with a message to remove it.
# Usage: toolchain_test.sh CMAKE SOURCE_DIR WORK_DIR
set -euo pipefail
cmake=$1 source=$2 work=$3
toolchain=$source/cmake/mingw-i686.cmake
rm -rf "$work"
mkdir -p "$work"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# configure TREE [ENV...]: configures TREE as the win32 preset does (without its tests and
# benchmarks); its output goes to TREE.log.
configure() {
    local tree=$1
    shift
    env "$@" "$cmake" -S "$source" -B "$tree" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLEXAMUND_TESTS=OFF -DLEXAMUND_BENCH=OFF \
        -DLEXAMUND_DIST_ROOT="$work/dist" >"$tree.log" 2>&1
}

# refused TREE MESSAGE [ENV...]: configuring TREE fails, saying MESSAGE.
refused() {
    local tree=$1 message=$2
    shift 2
    ! configure "$tree" "$@" || fail "$tree was configured"
    # CMake wraps its messages: lines joined, blanks squeezed.
    tr -s ' \n' ' ' <"$tree.log" | grep -qF "$message" ||
        fail "$tree: no '$message' in: $(cat "$tree.log")"
}

# No cross compiler on the PATH: a clear stop, and nothing cached that outlives the install.
refused "$work/missing" "Run tools/setup.sh" PATH=/nonexistent
if command -v i686-w64-mingw32-g++-posix >/dev/null; then
    configure "$work/missing" || fail "configured after the install: $(cat "$work/missing.log")"
    cache=$work/missing/CMakeCache.txt
    grep -q '^CMAKE_AR:FILEPATH=.*/i686-w64-mingw32-ar$' "$cache" ||
        fail "the tree configured after the install has $(grep ^CMAKE_AR: "$cache")"
fi

# Caches that a configure without the compiler left before: one entry of each kind.
stale_entries=(
    "CMAKE_AR:FILEPATH=/usr/bin/ar"
    "CMAKE_CXX_FLAGS_RELEASE:STRING="
)
for entry in "${stale_entries[@]}"; do
    tree=$work/stale-${entry%%:*}
    mkdir -p "$tree"
    printf '%s\n' "$entry" >"$tree/CMakeCache.txt"
    refused "$tree" "Remove the tree (rm -rf $tree)"
done
echo "PASS"
