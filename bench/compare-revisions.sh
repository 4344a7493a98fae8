#!/usr/bin/env bash
# Sets one completion request's engine instructions (bench/engine-count.sh) side by side for
# several revisions: every workload their benches offer, under each line search path cap,
# with each revision's count as a ratio of the first's. A revision is a commit, built once
# with the bench preset in a git worktree under $LEXAMUND_REVISION_CACHE
# (/tmp/lexamund-revisions by default) and kept there by its hash, or "." for this working
# tree (its own build/bench). A workload a revision's bench lacks shows "-"; a count marked
# "*" ran another line search than the cap asked for, one marked "!" completed no word.
# First it checks that the revisions build the same bytes for each document
# (bench/document_digest.cpp, compiled against each revision's workload maker).
# Usage: bench/compare-revisions.sh [--paths "avx2 sse2 none"] [--options "default +case +near"]
#                                   [--workloads "NAME..."] [--tsv FILE] REVISION...
#   --options keeps the workloads with those options ("default": none); --workloads names
#   the workloads instead. Prints a markdown table; its rows go to FILE as tab-separated
#   lines too (build/bench/revisions.tsv by default).
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$PWD
cache=${LEXAMUND_REVISION_CACHE:-/tmp/lexamund-revisions}
program=build/bench/bench/lexamund_request_bench
paths="avx2 sse2 none"
options="default +case +near"
only=""
tsv=build/bench/revisions.tsv
usage() {
    sed -n '/^# Usage:/,/^set /s/^# //p' "$0" >&2
    exit 2
}
while [ $# -gt 0 ]; do
    case "$1" in
    --paths) paths=$2; shift 2 ;;
    --options) options=$2; shift 2 ;;
    --workloads) only=$2; shift 2 ;;
    --tsv) tsv=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || usage
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The source folder of revision $1, its bench program built.
source_of() {
    local hash dir
    if [ "$1" = . ]; then
        cmake --preset bench >/dev/null
        cmake --build --preset bench --target lexamund_request_bench >/dev/null
        echo "$root"
        return
    fi
    hash=$(git rev-parse --verify "$1^{commit}")
    dir=$cache/$hash
    if [ ! -x "$dir/$program" ]; then
        [ -d "$dir" ] || git worktree add --detach "$dir" "$hash" >/dev/null 2>&1
        (cd "$dir" && cmake --preset bench >/dev/null &&
            cmake --build --preset bench --target lexamund_request_bench >/dev/null)
    fi
    echo "$dir"
}

# Prints "NAME DIGEST" for each document named after $1, as revision source $1 builds it.
digests() {
    local src=$1 dir=$1/build/bench/bench exe=$1/build/bench/bench/document_digest
    shift
    if [ ! -x "$exe" ] || [ "$exe" -ot "$root/bench/document_digest.cpp" ] ||
        [ "$exe" -ot "$dir/lexamund_request_bench" ]; then
        local objects=CMakeFiles/lexamund_request_bench.dir
        # shellcheck disable=SC2046 # the libraries, as the bench program links them
        (cd "$dir" && c++ -O2 -std=c++20 -I"$src" "$root/bench/document_digest.cpp" \
            "$objects/workloads.cpp.o" $(grep -o '[^ ]*\.a' "$objects/link.txt") -o "$exe")
    fi
    "$exe" "$@"
}

start=$SECONDS
labels=() sources=()
for rev in "$@"; do
    i=${#sources[@]}
    sources+=("$(source_of "$rev")")
    if [ "$rev" = . ]; then labels+=(worktree); else labels+=("$(git rev-parse --short "$rev")"); fi
    "${sources[i]}/$program" --list >"$out/list.$i"
done

# Every revision's workloads, grouped by document in the order first met.
if [ -n "$only" ]; then
    read -r -a listed <<<"$only"
    printf '%s\n' "${listed[@]}" >"$out/names"
else
    awk -v options=" $options " '{
        document = $0; sub(/\+.*/, "", document)
        suffix = substr($0, length(document) + 1); if (suffix == "") suffix = "default"
        if (index(options, " " suffix " ") == 0 || ($0 in seen)) next
        if (!(document in order)) order[document] = ++documents
        seen[$0] = ++names; print order[document], names, $0
    }' "$out"/list.* | sort -n -k1,1 -k2,2 | cut -d' ' -f3- >"$out/names"
fi
mapfile -t names <"$out/names"

# The documents' digests at each revision, set against the first revision that has each.
mapfile -t documents < <(sed 's/+.*//' "$out/names" | awk '!seen[$0]++')
digest_files=()
for i in "${!sources[@]}"; do
    digests "${sources[i]}" "${documents[@]}" >"$out/digest.$i"
    digest_files+=("$out/digest.$i")
done
awk -v labels="${labels[*]}" '
    BEGIN { split(labels, label, " ") }
    FNR == 1 { file++ }
    $2 == "-" { next }
    !($1 in first) { first[$1] = $2; who[$1] = label[file]; next }
    $2 != first[$1] { print "document " $1 ": " label[file] " builds other bytes than " who[$1]; bad++ }
    END { if (!bad) print "documents: the same bytes at every revision that has them" }
' "${digest_files[@]}"
echo

header="| workload | path |" rule="|---|---|" tsv_header="workload\tpath"
for label in "${labels[@]}"; do header+=" $label |"; rule+="---:|"; tsv_header+="\t$label"; done
for label in "${labels[@]:1}"; do
    header+=" $label/${labels[0]} |"; rule+="---:|"; tsv_header+="\t$label/${labels[0]}"
done
echo "$header"
echo "$rule"
mkdir -p "$(dirname "$tsv")"
printf '%b\n' "$tsv_header" >"$tsv"
counted=0
for w in "${names[@]}"; do
    for path in $paths; do
        cells=() counts=()
        for i in "${!sources[@]}"; do
            if ! grep -qxF "$w" "$out/list.$i"; then cells+=(-); counts+=(""); continue; fi
            status=0
            result=$(LEXAMUND_SIMD=$path bench/engine-count.sh "${sources[i]}/$program" "$w") ||
                status=$?
            read -r count ran _ <<<"$result"
            cell=$count
            [ "$ran" = "$path" ] || cell+="*"
            [ "$status" -eq 0 ] || cell+="!"
            cells+=("$cell") counts+=("$count")
            counted=$((counted + 1))
        done
        for count in "${counts[@]:1}"; do
            if [ -n "$count" ] && [ -n "${counts[0]}" ]; then
                cells+=("$(awk -v a="$count" -v b="${counts[0]}" 'BEGIN { printf "%.4f", a / b }')")
            else
                cells+=(-)
            fi
        done
        row="| $w | $path |"
        for cell in "${cells[@]}"; do row+=" $cell |"; done
        echo "$row"
        (IFS=$'\t'; echo "$w	$path	${cells[*]}") >>"$tsv"
    done
done
echo
echo "$counted requests counted in $((SECONDS - start)) s; rows: $tsv"
