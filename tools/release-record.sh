#!/usr/bin/env bash
# The record of published releases, package/releases.txt: for each version, the commit it was
# built from and the sha256 of its archive and of its DLL.
#
# Usage: tools/release-record.sh check [DIST]
#          One version, one set of bytes: fails when the changelog's latest version is
#          recorded and the release in DIST (default dist, this tree's build) differs from the
#          record, and when it is dated as a release but not recorded: a version is either a
#          recorded release or headed "## VERSION - unreleased", which its archive, notes and
#          version resource then show ("VERSION-unreleased") and which is not checked. Then rebuilds the latest recorded
#          release from its commit as "Verifying a release" in README.md does, in a fresh clone
#          of this repository without tags, and holds it to the record. tools/test.sh runs it.
#        tools/release-record.sh add
#          Builds HEAD in the same way and appends its line to the record, for a commit of its
#          own after HEAD; HEAD's changelog names the version, which must be dated and not
#          recorded yet.
#          The clone, with the release to publish in its dist/, is kept.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
record=package/releases.txt

fail() {
    echo "release-record: $*" >&2
    exit 1
}

# The version of the latest entry ("## VERSION - DATE") of the changelog on stdin.
latest_version() { sed -n '/^## /{s/^## \([^ ]*\).*/\1/p;q;}'; }

# Prints "unreleased" when the latest entry of the changelog on stdin is headed so.
latest_unreleased() { sed -n '/^## /{s/^## [^ ]* - \(unreleased\)$/\1/p;q;}'; }

# The record's entries, "VERSION COMMIT ARCHIVE-SHA256 DLL-SHA256" a line, oldest first. Fails,
# naming the line, on one that is not such an entry or records a version again.
entries() {
    awk -v file="$record" '
        function hex(s, n) { return length(s) == n && s ~ /^[0-9a-f]+$/ }
        /^#/ || NF == 0 { next }
        NF != 4 || !hex($2, 40) || !hex($3, 64) || !hex($4, 64) || seen[$1]++ {
            printf "release-record: %s:%d: not a new VERSION COMMIT ARCHIVE-SHA256 DLL-SHA256\n",
                file, NR >"/dev/stderr"
            exit 1
        }
        { print $1, $2, $3, $4 }' "$record"
}

# Holds the release in DIST to the checksums ARCHIVE and DLL of VERSION with sha256sum -c, as a
# user checks a download: prints a line per file, OK or FAILED; false on a difference.
matches() {
    local dist=$1 version=$2 archive=$3 dll=$4
    (cd "$dist" && printf '%s  %s\n' "$archive" "Lexamund-$version-win32.zip" \
        "$dll" Lexamund/Lexamund.dll | sha256sum -c -)
}

# Builds the release of COMMIT in DIR as "Verifying a release" in README.md does: a clone of
# this repository without tags, the commit checked out, the win32 preset configured and its
# package target built, with no SOURCE_DATE_EPOCH. The build's output goes to DIR.log.
build_commit() {
    local commit=$1 dir=$2
    echo "Building $commit in a fresh clone without tags, $dir"
    (
        unset SOURCE_DATE_EPOCH
        git clone --quiet --no-tags "$root" "$dir"
        cd "$dir"
        git checkout --quiet --detach "$commit"
        cmake --preset win32
        cmake --build --preset win32 --target package
    ) >"$dir.log" 2>&1 || {
        tail -n 20 "$dir.log" >&2
        fail "the build of $commit in $dir failed; see $dir.log"
    }
}

# This tree's release in DIST against the record of the changelog's latest version, if any.
check_this_tree() {
    local dist=$1 all=$2 version entry
    version=$(latest_version <CHANGELOG.md)
    [ -n "$version" ] || fail "CHANGELOG.md has no entry"
    entry=$(awk -v version="$version" '$1 == version' <<<"$all")
    if [ -n "$(latest_unreleased <CHANGELOG.md)" ]; then
        [ -z "$entry" ] || fail "CHANGELOG.md heads $version unreleased, but $record has it"
        echo "$version-unreleased is no release, and says so: its bytes are held to no record"
        return
    fi
    if [ -z "$entry" ]; then
        echo "release-record: CHANGELOG.md dates $version as a release, but $record has no" \
            "line for it: record it (tools/release-record.sh add, then commit the record), or" \
            "head the entry \"## $version - unreleased\" until it is released" >&2
        return 1
    fi
    [ -f "$dist/Lexamund-$version-win32.zip" ] ||
        fail "$dist has no Lexamund-$version-win32.zip: build the package target first"
    local commit archive dll
    read -r _ commit archive dll <<<"$entry"
    echo "$version is published (built from $commit); this tree's release in $dist:"
    matches "$dist" "$version" "$archive" "$dll" && return
    echo "release-record: this tree's release differs from the published $version in $record:" \
        "one version is one set of bytes. Add a new version to CHANGELOG.md (and set it in" \
        "CMakeLists.txt) for these bytes${SOURCE_DATE_EPOCH+, or unset SOURCE_DATE_EPOCH}" >&2
    return 1
}

# The latest recorded release, rebuilt from its commit, against the record.
check_latest_release() {
    local all=$1 version commit archive dll
    [ -n "$all" ] || {
        echo "$record records no release"
        return
    }
    read -r version commit archive dll <<<"$(tail -n 1 <<<"$all")"
    git cat-file -e "$commit^{commit}" 2>/dev/null ||
        fail "$record has $version built from commit $commit, which this repository ($root)" \
            "does not have: was it rewritten (rebase, squash)? In a shallow clone, fetch the" \
            "whole history (git fetch --unshallow)"
    mkdir -p build
    local work
    work=$(mktemp -d "$root/build/release-record.XXXXXX")
    build_commit "$commit" "$work/lexamund"
    echo "Release $version rebuilt from $commit:"
    matches "$work/lexamund/dist" "$version" "$archive" "$dll" ||
        fail "the rebuilt release $version differs from $record. Is this the toolchain" \
            "README.md names for it? The build prints its own under \"Release toolchain\" in" \
            "$work/lexamund.log"
    rm -rf "$work"
}

# check [DIST]: both checks above; the rebuild runs even when this tree's release fails its check.
check() {
    local dist=${1:-dist} all status=0
    all=$(entries)
    check_this_tree "$dist" "$all" || status=1
    check_latest_release "$all"
    return $status
}

# Builds HEAD, records its release and says what to publish and commit.
add() {
    local commit version changelog all
    all=$(entries)
    commit=$(git rev-parse HEAD)
    changelog=$(git show HEAD:CHANGELOG.md)
    version=$(latest_version <<<"$changelog")
    [ -n "$version" ] || fail "HEAD's CHANGELOG.md has no entry"
    [ -z "$(latest_unreleased <<<"$changelog")" ] ||
        fail "HEAD's CHANGELOG.md heads $version unreleased: date it to release it"
    [ -z "$(awk -v version="$version" '$1 == version' <<<"$all")" ] ||
        fail "$version is in $record already: a new release needs a new version"
    local dir=$root/build/release-$version
    [ ! -e "$dir" ] || fail "$dir is in the way: remove it first"
    mkdir -p build
    build_commit "$commit" "$dir"
    local archive=$dir/dist/Lexamund-$version-win32.zip
    [ -f "$archive" ] ||
        fail "the build made no $archive: is $version the version in CMakeLists.txt?"
    local line
    line="$version $commit $(sha256sum <"$archive" | cut -d' ' -f1)"
    line+=" $(sha256sum <"$dir/dist/Lexamund/Lexamund.dll" | cut -d' ' -f1)"
    echo "$line" >>"$record"
    echo "Recorded in $record: $line"
    echo "Publish $archive and $archive.sha256; commit $record on its own."
}

case "${1:-}" in
check) check "${@:2}" ;;
add) add ;;
*) fail "usage: tools/release-record.sh check [DIST] | add" ;;
esac
