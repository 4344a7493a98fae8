#!/usr/bin/env bash
# Checks that the release is reproducible: builds it twice from the same commit, in two fresh
# clones in different directories, one after the other (so at different times), with different
# umasks and time zones, and compares every file of the two releases byte for byte (the
# plug-in folder, the archive and its .sha256). On a difference it names the first differing
# file and byte offset and fails.
#
# Usage: tools/check-reproducible.sh [--against DIST] [REV]
#   REV            the commit to build; by default the work tree's tracked files, uncommitted
#                  changes included (as a commit made without touching them)
#   --against DIST also compare with the release in DIST (a dist/ folder built elsewhere);
#                  tools/test.sh passes the one its full win32 build made
#
# Each copy builds only the release (the win32 preset without tests and benchmarks), which
# takes a fraction of a full build; --against holds that shortcut to the full build's bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

against=
if [ "${1:-}" = --against ]; then
    against=$(cd "$2" && pwd)
    shift 2
fi

fail() {
    echo "check-reproducible: $*" >&2
    exit 1
}

# The commit to build: REV, else a commit of the work tree's tracked files (the clean tree's
# own HEAD when nothing is changed).
commit_to_build() {
    if [ $# -gt 0 ]; then
        git rev-parse --verify --quiet "$1^{commit}" || fail "no commit $1"
        return
    fi
    local stash
    stash=$(git stash create)
    if [ -n "$stash" ]; then echo "$stash"; else git rev-parse HEAD; fi
}

# Clones the repository into DIR at COMMIT and builds the release there, with umask MASK and
# time zone ZONE; the build's output goes to DIR.log.
build_release() {
    local dir=$1 mask=$2 zone=$3
    echo "Building $rev in $dir (umask $mask, TZ=$zone)"
    (
        umask "$mask"
        export TZ=$zone
        git clone --quiet --shared --no-checkout "$root" "$dir"
        cd "$dir"
        git checkout --quiet --detach "$rev"
        cmake --preset win32 -DLEXAMUND_TESTS=OFF -DLEXAMUND_BENCH=OFF
        cmake --build --preset win32 --target package
    ) >"$dir.log" 2>&1 || { tail -n 20 "$dir.log" >&2; fail "the build in $dir failed; see $dir.log"; }
}

# The release's files in the dist/ folder DIST, relative to it, one a line: the plug-in
# folder's first (a difference there explains one in the archive), then the archive's.
release_files() {
    (cd "$1" && find Lexamund -type f | LC_ALL=C sort && find . -maxdepth 1 -type f |
        sed 's|^\./||' | LC_ALL=C sort)
}

# Fails, naming the first differing file and byte offset, unless every file of the release in
# DIST_A is the same in DIST_B.
compare_releases() {
    local a=$1 b=$2 name verdict byte
    for name in $(release_files "$a"); do
        [ -f "$b/$name" ] || fail "$b has no $name"
        verdict=$(cmp "$a/$name" "$b/$name" 2>&1) && continue
        byte=$(sed -n 's/.*differ: byte \([0-9]*\),.*/\1/p' <<<"$verdict")
        if [ -n "$byte" ]; then
            fail "$name differs between $a and $b: first at byte offset $((byte - 1))" \
                "($(printf '0x%x' $((byte - 1))))"
        fi
        fail "$name differs between $a and $b: $verdict"
    done
}

rev=$(commit_to_build "$@")
mkdir -p build
work=$(mktemp -d "$root/build/reproducible.XXXXXX")
first=$work/first
second=$work/second-build-of-the-same-commit
build_release "$first" 022 UTC
build_release "$second" 077 Pacific/Kiritimati

[ "$(release_files "$first/dist")" = "$(release_files "$second/dist")" ] ||
    fail "the two builds made different files: $(diff <(release_files "$first/dist") \
        <(release_files "$second/dist") | tr '\n' ' ')"
[ -n "$(release_files "$first/dist")" ] || fail "the builds made no release"
compare_releases "$first/dist" "$second/dist"
[ -z "$against" ] || compare_releases "$first/dist" "$against"

echo "The release is reproducible: two builds of $rev${against:+ and $against} are byte-identical"
(cd "$first/dist" && sha256sum $(release_files .))
rm -rf "$work"
