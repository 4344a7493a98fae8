#!/usr/bin/env bash
# Checks the release archive as a user gets it: its .sha256 file, that it holds exactly the
# plug-in folder as built, and that the DLL unpacked from it loads under wine and completes
# words (one without a menu, one chosen from the menu).
#
# Usage: check_archive.sh ZIP DIST_DIR SCENARIO_RUNNER   (wine's environment set)
set -euo pipefail
zip=$1
dist=$2
runner=$3
files="Lexamund.dll LexamundEng.lng LexamundRus.lng License.txt ReadMe.txt ReadMeRus.txt"
completing="Scenario.SingleCandidateIsInsertedWithoutMenu:Menu.EveryItemInsertsTheRestOfItsWord"

fail() {
    echo "$*" >&2
    exit 1
}

[ -f "$zip" ] || fail "no $zip: make it with cmake --build --preset win32 --target package"
(cd "$(dirname "$zip")" && sha256sum --check --strict "$(basename "$zip").sha256")

expected=$(printf 'Lexamund/\n'; printf 'Lexamund/%s\n' $files)
listed=$(unzip -Z1 "$zip" | LC_ALL=C sort)
[ "$listed" = "$(LC_ALL=C sort <<<"$expected")" ] ||
    fail "the archive holds:"$'\n'"$listed"$'\n'"instead of:"$'\n'"$expected"

work=$(mktemp -d "$PWD/unpacked.XXXXXX")
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
for name in $files; do
    cmp "$work/Lexamund/$name" "$dist/$name" ||
        fail "Lexamund/$name differs from the plug-in folder: the archive is out of date"
done

output=$(LEXAMUND_DLL="$work/Lexamund/Lexamund.dll" wine "$runner" --gtest_filter="$completing" \
    2>&1) || fail "$output"
grep -q '^\[  PASSED  \] 2 tests' <<<"$output" || fail "$output"
echo "$(basename "$zip"): checksum, files and completion from the unpacked DLL are right"
