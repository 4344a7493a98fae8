#!/usr/bin/env bash
# Checks message files the way the host reads them, and that their texts fit where they go.
# Usage: tools/check-lng.sh FILE...   Prints FILE:LINE: problem; exits 1 if there is one.
set -euo pipefail
if [ $# -eq 0 ]; then
    echo "usage: $0 FILE..." >&2
    exit 2
fi

# Lengths are bytes (the files are single-byte code pages). The settings dialog is 40 by 14
# with its frame in columns 1 to 38: the title stands on the top edge with a blank either
# side, a check box at column 3 takes "[x] " and its label must end by column 37, and the
# two buttons, "{ caption }" and "[ caption ]" one blank apart, share the 36 inner columns.
# A '&' before a character marks the hot key and takes no cell in a label or a caption.
read -r -d '' program <<'AWK' || true
BEGIN {
    for (i = 0; i < 256; i++) ord[sprintf("%c", i)] = i
    kTexts = 12; kTitleRoom = 34; kLabelRoom = 30; kButtonRoom = 36
    kLabels = split("2 3 4 5 9 10 11", label, " ") # the messages of the seven check boxes
    kButtonFrame = 4; kButtonGap = 1 # "[ " and " ]" around a caption; a blank between two
    kConversion = "^%[-+ #0]*[0-9]*([.][0-9]*)?(hh|h|ll|l|j|z|t|L)?[diouxX]"
    kSequence = "^%[-+ #0]*[0-9]*([.][0-9]*)?(hh|h|ll|l|j|z|t|L)?."
    texts = 0; extra = 0; problems = 0; file = ENVIRON["LNG_FILE"]
}
# Notes a problem; they are printed in line order at the end.
function problem(line, text,    k) {
    for (k = problems++; k > 0 && lines[k - 1] > line; k--) {
        lines[k] = lines[k - 1]
        texts_of[k] = texts_of[k - 1]
    }
    lines[k] = line
    texts_of[k] = text
}
# Cells a label takes in the dialog: a '&' followed by a character is not drawn.
function cells(text,    i, n, count) {
    n = length(text)
    for (i = 1; i <= n; i++) {
        if (substr(text, i, 1) == "&" && i < n) i++
        count++
    }
    return count + 0
}
function check_control_bytes(text, line, number,    i, code) {
    for (i = 1; i <= length(text); i++) {
        code = ord[substr(text, i, 1)]
        if (code < 32 || code == 127) {
            problem(line, sprintf("message %d has the control byte 0x%02X", number, code))
            return
        }
    }
}
function check_header(header) {
    sub(/^\357\273\277/, "", header)
    if (substr(header, 1, 10) != ".Language=" || index(header, ",") == 0) {
        problem(1, "the first line is not .Language=NAME,DESCRIPTION")
    } else if (index(header, ",") == 11) {
        problem(1, "the .Language= line names no language")
    }
}
# Message 8 takes the item count: exactly one integer conversion, %% for a percent sign.
function check_format(text, line,    rest, found, first, shown, i) {
    found = 0
    for (rest = text; (i = index(rest, "%")) > 0; ) {
        rest = substr(rest, i)
        if (substr(rest, 2, 1) == "%") {
            rest = substr(rest, 3)
        } else if (match(rest, kConversion)) {
            if (++found == 1) first = substr(rest, 1, RLENGTH)
            if (found == 2) {
                problem(line, "message 8 has a second conversion " substr(rest, 1, RLENGTH) \
                        " after " first ", shown as text")
            }
            rest = substr(rest, RLENGTH + 1)
        } else {
            shown = match(rest, kSequence) ? substr(rest, 1, RLENGTH) ", not an integer conversion" \
                                           : "a % at its end"
            problem(line, "message 8 has " shown " (shown as text; write %% for a percent sign)")
            rest = substr(rest, 2)
        }
    }
    if (found == 0) problem(line, "message 8 has no integer conversion (%d) for the count")
}
{
    sub(/\r$/, "")
    if (NR == 1) {
        check_header($0)
        next
    }
    if ($0 == "" || substr($0, 1, 2) == "//") next
    if (length($0) < 2 || substr($0, 1, 1) != "\"" || substr($0, length($0), 1) != "\"") {
        problem(NR, "not a quoted text (the host rejects the whole file)")
        next
    }
    if (texts == kTexts && extra++ == 0) problem(NR, "a text after the twelve messages")
    if (texts == kTexts) next
    at[texts] = NR
    message[texts] = substr($0, 2, length($0) - 2)
    check_control_bytes(message[texts], NR, texts)
    texts++
}
END {
    if (NR == 0) problem(1, "the file is empty")
    if (NR > 0 && texts < kTexts) problem(NR, sprintf("%d texts, %d expected", texts, kTexts))
    if (texts > 1 && length(message[1]) > kTitleRoom) {
        problem(at[1], sprintf("message 1 (dialog title) has %d bytes; the frame's top edge " \
                               "holds %d", length(message[1]), kTitleRoom))
    }
    for (j = 1; j <= kLabels; j++) {
        k = label[j]
        if (k < texts && cells(message[k]) > kLabelRoom) {
            problem(at[k], sprintf("message %d (check box label) takes %d cells; %d fit " \
                                   "in the frame", k, cells(message[k]), kLabelRoom))
        }
    }
    buttons = cells(message[6]) + cells(message[7]) + 2 * kButtonFrame + kButtonGap
    if (texts > 7 && buttons > kButtonRoom) {
        problem(at[7], sprintf("messages 6 and 7 (buttons) take %d cells side by side; %d fit " \
                               "in the frame", buttons, kButtonRoom))
    }
    if (texts > 8) check_format(message[8], at[8])
    for (k = 0; k < problems; k++) printf "%s:%d: %s\n", file, lines[k], texts_of[k]
    exit (problems > 0)
}
AWK

status=0
for file in "$@"; do
    if [ ! -f "$file" ] || [ ! -r "$file" ]; then
        echo "$file:0: cannot be read"
        status=1
        continue
    fi
    LC_ALL=C LNG_FILE="$file" awk "$program" "$file" || status=1
done
exit $status
