#!/usr/bin/env bash
# tools/check-lng.sh on message files made broken one way each: every problem on its line.
# Usage: check_lng_test.sh PATH-TO-check-lng.sh
set -euo pipefail
check=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

texts=('"Lexamund"' '"Lexamund"' '"&Append a space"' '"&Menu for a single word"'
       '"&Beep when nothing is found"' '"&Digits and _ in words"' '"&Save"' '"&Cancel"'
       '"Words: %d"' '"&Ignore case"' '"&Nearest words first"' '"&Whole text above the cursor"')
header='.Language=English,English'

# Writes $dir/NAME.lng from the lines given, each ended with CR LF.
write() {
    local name=$1
    shift
    printf '%s\r\n' "$@" >"$dir/$name.lng"
}

# Writes $dir/NAME.lng: the header, then the twelve texts with text N replaced by TEXT
# (quoted here); text N stands on line N + 2.
with_text() {
    local name=$1 n=$2 text=$3
    local lines=("${texts[@]}")
    lines[n]="\"$text\""
    write "$name" "$header" "${lines[@]}"
}

# Checks $dir/NAME.lng and compares the output with LINE:PROBLEM lines (none: it passes).
expect() {
    local name=$1
    shift
    local expected="" actual status=0
    for line in "$@"; do expected+="$dir/$name.lng:$line"$'\n'; done
    actual=$("$check" "$dir/$name.lng" && printf x) || status=$?
    actual=${actual%x}
    [ -z "$actual" ] || actual+=$'\n'
    if [ "$actual" != "$expected" ] || { [ $# -eq 0 ] && [ $status -ne 0 ]; } ||
        { [ $# -gt 0 ] && [ $status -eq 0 ]; }; then
        echo "FAIL $name (exit $status)"
        diff <(printf '%s' "$expected") <(printf '%s' "$actual") || true
        failures=$((failures + 1))
    fi
}

# A file that passes, then one problem at a time.
write good "$header" "${texts[@]}"
expect good

write bom-comments $'\xEF\xBB\xBF'"$header" "// the settings dialog" "" "${texts[@]:0:8}" \
    '"%s items"' "${texts[@]:9}"
expect bom-comments "12: message 8 has %s, not an integer conversion (shown as text; write %% for a percent sign)" \
    "12: message 8 has no integer conversion (%d) for the count"

write no-header "Language=English,English" "${texts[@]}"
expect no-header "1: the first line is not .Language=NAME,DESCRIPTION"
write no-comma ".Language=English" "${texts[@]}"
expect no-comma "1: the first line is not .Language=NAME,DESCRIPTION"
write no-name ".Language=,English" "${texts[@]}"
expect no-name "1: the .Language= line names no language"
: >"$dir/empty.lng"
expect empty "1: the file is empty"

write nine "$header" "${texts[@]:0:9}"
expect nine "10: 9 texts, 12 expected"
write fourteen "$header" "${texts[@]}" '"more"' '"and more"'
expect fourteen "14: a text after the twelve messages"
write unquoted "$header" "${texts[@]:0:3}" 'Menu for a single word"' "${texts[@]:4:5}"
expect unquoted "5: not a quoted text (the host rejects the whole file)" "10: 8 texts, 12 expected"

with_text tab 5 $'&Digits\tand _'
expect tab "7: message 5 has the control byte 0x09"
with_text delete 0 $'Lexa\x7fmund'
expect delete "2: message 0 has the control byte 0x7F"
with_text cyrillic 2 $'&\x84\xae\xa1\xa0\xa2\xab\xef\xe2\xec \xaf\xe0\xae\xa1\xa5\xab'
expect cyrillic

# The frame's top edge holds a 34-byte title; a check box label 30 cells, '&' not drawn.
with_text title-fits 1 "$(printf 'T%.0s' {1..34})"
expect title-fits
with_text title-long 1 "$(printf 'T%.0s' {1..35})"
expect title-long "3: message 1 (dialog title) has 35 bytes; the frame's top edge holds 34"
with_text label-fits 3 "&$(printf 'L%.0s' {1..30})"
expect label-fits
with_text label-long 2 "&$(printf 'L%.0s' {1..31})"
expect label-long "4: message 2 (check box label) takes 31 cells; 30 fit in the frame"
with_text label-no-hot-key 5 "$(printf 'L%.0s' {1..31})"
expect label-no-hot-key "7: message 5 (check box label) takes 31 cells; 30 fit in the frame"
# Messages 9, 10 and 11 label the last three check boxes.
lines=("${texts[@]}")
lines[9]="\"&$(printf 'L%.0s' {1..31})\""
lines[10]="\"$(printf 'L%.0s' {1..31})\""
lines[11]="\"&$(printf 'L%.0s' {1..31})\""
write labels-9-11-long "$header" "${lines[@]}"
expect labels-9-11-long "11: message 9 (check box label) takes 31 cells; 30 fit in the frame" \
    "12: message 10 (check box label) takes 31 cells; 30 fit in the frame" \
    "13: message 11 (check box label) takes 31 cells; 30 fit in the frame"

# Both buttons with their 4 cells each and the blank between: 36 fit inside the frame.
lines=("${texts[@]}")
lines[6]="\"&$(printf 'S%.0s' {1..14})\""
lines[7]="\"&$(printf 'C%.0s' {1..13})\""
write buttons-fit "$header" "${lines[@]}"
expect buttons-fit
lines[7]="\"&$(printf 'C%.0s' {1..14})\""
write buttons-wide "$header" "${lines[@]}"
expect buttons-wide "9: messages 6 and 7 (buttons) take 37 cells side by side; 36 fit in the frame"

# Message 8: exactly one integer conversion, as the bottom text honours it.
with_text format-full 8 '100%% of %-+ #012.5lld%%, %%d'
expect format-full
with_text format-none 8 'words'
expect format-none "10: message 8 has no integer conversion (%d) for the count"
with_text format-two 8 '%d of %hhX'
expect format-two "10: message 8 has a second conversion %hhX after %d, shown as text"
with_text format-blank-o 8 '50% off, %d words'
expect format-blank-o "10: message 8 has a second conversion %d after % o, shown as text"
with_text format-star 8 '%*d words'
expect format-star "10: message 8 has %*, not an integer conversion (shown as text; write %% for a percent sign)" \
    "10: message 8 has no integer conversion (%d) for the count"
with_text format-end 8 '%d words, 100%'
expect format-end "10: message 8 has a % at its end (shown as text; write %% for a percent sign)"

# Every file named is checked, and a missing one is a problem too.
if out=$("$check" "$dir/good.lng" "$dir/missing.lng" "$dir/nine.lng"); then
    echo "FAIL several files: exit 0"
    failures=$((failures + 1))
elif [ "$out" != "$dir/missing.lng:0: cannot be read"$'\n'"$dir/nine.lng:10: 9 texts, 12 expected" ]; then
    echo "FAIL several files:"$'\n'"$out"
    failures=$((failures + 1))
fi

[ $failures -eq 0 ] && echo "check-lng: every problem found on its line"
exit $((failures > 0))
