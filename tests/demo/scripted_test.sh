#!/usr/bin/env bash
# Drives the demo host under wine with key scripts and checks the screen and the document
# it prints. Usage: scripted_test.sh CASE, with DEMO_EXE, DEMO_DLL and DEMO_WORK set.
set -euo pipefail
case_name=$1
work="$DEMO_WORK/$case_name"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
    echo "FAIL ($case_name): $*" >&2
    [ -f screen.txt ] && { echo "---- last screen ----" >&2; cat screen.txt >&2; }
    [ -f doc.txt ] && { echo "---- last document ----" >&2; cat doc.txt >&2; }
    exit 1
}

# write_file NAME TABLE LINE... : the lines, given in UTF-8, in the table (cp866 or cp1251),
# joined by LF with none after the last.
write_file() {
    local name=$1 table=$2
    shift 2
    printf '%s\n' "$@" | head -c -1 | iconv -f utf-8 -t "$table" >"$name"
}

# demo TABLE ARGS... : runs the demo with --dump; the screen goes to screen.txt and the
# document to doc.txt, both in UTF-8 (the document decoded from TABLE).
demo() {
    local table=$1
    shift
    wine "$DEMO_EXE" --plugin "$DEMO_DLL" --dump "$@" >out.raw 2>err.txt ||
        fail "the demo failed: $(cat err.txt)"
    sed -n '/^---- screen ----$/,/^---- document ----$/p' out.raw | sed '1d;$d' |
        iconv -f cp866 -t utf-8 >screen.txt
    sed -n '/^---- document ----$/,$p' out.raw | sed '1d' | iconv -f "$table" -t utf-8 >doc.txt
}

screen_has() { grep -qF -- "$1" screen.txt || fail "the screen lacks '$1'"; }
screen_lacks() { ! grep -qF -- "$1" screen.txt || fail "the screen shows '$1'"; }
doc_line() {
    local got
    got=$(sed -n "$1p" doc.txt)
    [ "$got" = "$2" ] || fail "line $1 is '$got', expected '$2'"
}
# The check boxes of the dialog on screen, top to bottom, as a string like "[ ][x][ ][ ]".
check_boxes() { grep -o '\[[ x]\] ' screen.txt | tr -d ' \n' | sed 's/\[\]/[ ]/g'; }
reset_settings() { wine reg delete 'HKCU\Software\LexamundDemo' /f >/dev/null 2>&1 || true; }

case_menu_hot_key() {
    write_file t.txt cp866 "compile the complete component" "comp"
    demo cp866 t.txt --keys '<C-End><C-Space>'
    screen_has "Lexamund"
    screen_has "1 compile"
    screen_has "2 complete"
    screen_has "3 component"
    screen_has "Words: 3"
    demo cp866 t.txt --keys '<C-End><C-Space>2'
    doc_line 2 "complete"
    screen_lacks "Words: 3"
    # Items past the ninth carry the letters a to f, in either case.
    write_file t.txt cp866 "palm pear pine plum poppy pumpkin peach papaya pecan pistachio persimmon" "p"
    demo cp866 t.txt --keys '<C-End><C-Space>B'
    doc_line 2 "persimmon"
}

case_menu_arrows() {
    write_file t.txt cp866 "compile the complete component" "comp"
    demo cp866 t.txt --keys '<C-End><C-Space><Down><Down><Enter>'
    doc_line 2 "component"
    demo cp866 t.txt --keys '<C-End><C-Space><End><Up><Enter>'
    doc_line 2 "complete"
    demo cp866 t.txt --keys '<C-End><C-Space><PgDn><Home><Enter>'
    doc_line 2 "compile"
    demo cp866 t.txt --keys '<C-End><C-Space><Down><Esc>'
    doc_line 2 "comp"
    screen_lacks "Words: 3"
}

# Thirty candidates: the menu shows at most 22 rows, scrolls, and stays on the screen.
case_menu_scrolls() {
    local words=(item{a,b}{a..z})
    words=("${words[@]:0:30}")
    write_file t.txt cp866 "${words[*]}" "it"
    demo cp866 t.txt --keys '<C-End><C-Space>'
    screen_has "1 ${words[0]}"
    screen_lacks "${words[22]}"
    screen_has "Words: 30"
    [ "$(grep -c '║' screen.txt)" -eq 22 ] || fail "the menu does not show 22 rows"
    demo cp866 t.txt --keys '<C-End><C-Space><PgDn><PgDn>'
    screen_has "${words[29]}"
    screen_lacks "1 ${words[0]}"
    demo cp866 t.txt --keys '<C-End><C-Space><PgDn><PgDn><Enter>'
    doc_line 2 "${words[29]}"
}

case_single_candidate() {
    write_file t.txt cp866 "hello world" "he"
    demo cp866 t.txt --keys '<C-End><C-Space>'
    doc_line 2 "hello"
    screen_lacks "1 hello"
    screen_has "Col 6"
}

# A terminal's Ctrl+Space arrives as NUL, reported as Ctrl+Shift+2; it completes as well.
case_nul_is_ctrl_space() {
    write_file t.txt cp866 "hello world" "he"
    demo cp866 t.txt --keys '<C-End><NUL>'
    doc_line 2 "hello"
}

case_beep_shown() {
    write_file t.txt cp866 "xyz" "ab"
    demo cp866 t.txt --keys '<C-End><C-Space>'
    screen_has "Beep: nothing found"
    doc_line 2 "ab"
    demo cp866 t.txt --keys '<C-End><C-Space><Left>'
    screen_lacks "Beep"
}

case_dialog_space() {
    write_file t.txt cp866 "hello world" "he"
    demo cp866 t.txt --keys '<F11>'
    screen_has "Plug-ins"
    screen_has "1 Lexamund"
    demo cp866 t.txt --keys '<F11><Enter>'
    [ "$(check_boxes)" = "[ ][ ][x][ ][ ][ ][ ]" ] || fail "check boxes $(check_boxes) on opening"
    screen_has "{ Save }"
    screen_has "[ Cancel ]"
    demo cp866 t.txt --keys '<F11><Enter><Tab><Tab><Space><S-Tab><Space>'
    [ "$(check_boxes)" = "[ ][x][ ][ ][ ][ ][ ]" ] ||
        fail "check boxes $(check_boxes) after Tab and Space"
    # Esc and the second button leave the options as they were.
    demo cp866 t.txt --keys '<F11><Enter><Space><Esc><C-End><C-Space>'
    doc_line 2 "hello"
    # Eight Tabs go from the first check box past the other six and Save to Cancel.
    demo cp866 t.txt --keys "<F11><Enter><Space>$(printf '<Tab>%.0s' {1..8})<Enter><C-End><C-Space>"
    doc_line 2 "hello"
    # Enter on a check box chooses the default button: the next completion appends a blank.
    demo cp866 t.txt --keys '<F11><Enter><Space><Enter><C-End><C-Space>'
    doc_line 2 "hello "
}

# The sample beside the program is one text in both tables, and gives something to try with
# each option: words in another case than typed, and one just above the last line.
case_sample_options() {
    local folder last
    folder=$(dirname "$DEMO_EXE")
    cmp -s <(iconv -f cp866 -t utf-8 "$folder/sample-oem.txt") \
        <(iconv -f cp1251 -t utf-8 "$folder/sample-1251.txt") || fail "the samples differ"
    last=$(($(grep -c '' "$folder/sample-oem.txt") + 1))
    demo cp866 --keys '<C-End>str<C-Space>'
    doc_line $last "struct"
    demo cp866 --keys '<C-End>comp<C-Space>'
    screen_has "1 completes"
    screen_has "7 compare"
    # Ignore case: the fifth check box.
    demo cp866 --keys "<F11><Enter>$(printf '<Tab>%.0s' {1..4})<Space><Enter><C-End>str<C-Space>"
    screen_has "1 string"
    screen_has "2 strlen"
    screen_has "3 struct"
    demo cp1251 --table 1251 --keys '<C-End><xAF><xE0><xA8><xA2><C-Space>'
    screen_has "1 привет"
    screen_has "2 приветствие"
    # Nearest words first, the sixth, with Ignore case still on.
    demo cp866 --keys "<F11><Enter>$(printf '<Tab>%.0s' {1..5})<Space><Enter><C-End>comp<C-Space>"
    screen_has "1 compare"
    screen_has "7 complicated"
    screen_has "8 completion"
}

case_options_survive_restart() {
    write_file t.txt cp866 "hello world" "he"
    demo cp866 t.txt --keys '<F11>1<Space><Enter>'
    demo cp866 t.txt --keys '<C-End><C-Space>'
    doc_line 2 "hello "
    demo cp866 t.txt --keys '<F11>1<Space><Enter>'
    demo cp866 t.txt --keys '<C-End><C-Space>'
    doc_line 2 "hello"
}

case_russian_1251() {
    write_file t.txt cp1251 "программа программист прогресс" "прог"
    demo cp1251 t.txt --table 1251 --keys '<C-End><C-Space>'
    screen_has "1 программа"
    screen_has "3 прогресс"
    screen_has "Windows-1251"
    demo cp1251 t.txt --table 1251 --keys '<C-End><C-Space>3'
    doc_line 2 "прогресс"
    # Typed characters come in code page 866 and go into the file in its table.
    demo cp1251 t.txt --table 1251 --keys '<C-End><BS><BS><xAE><C-Space>2'
    doc_line 2 "программист"
    cmp -s <(sed -n '/^---- document ----$/,$p' out.raw | sed -n 3p) \
        <(printf 'программист\n' | iconv -f utf-8 -t cp1251) || fail "line 2 is not Windows-1251"
    demo cp1251 t.txt --table 1251 --keys '<C-End><C-Space>1<F2>'
    cmp -s t.txt <(printf 'программа программист прогресс\nпрограмма' | iconv -f utf-8 -t cp1251) ||
        fail "the saved file is not the Windows-1251 text"
}

# The plug-in's texts come from the message file of the asked language beside the DLL.
case_russian_texts() {
    write_file t.txt cp866 "compile the complete component" "comp"
    demo cp866 t.txt --lang russian --keys '<C-End><C-Space>'
    screen_has "Слов: 3"
    demo cp866 t.txt --lang russian --keys '<F11><Enter>'
    screen_has "[ ] Добавлять пробел"
    screen_has "{ Сохранить }"
    demo cp866 t.txt --lang english --keys '<C-End><C-Space>'
    screen_has "Words: 3"
}

case_editing_joins_lines() {
    write_file t.txt cp866 "ab" "cd" "ef"
    demo cp866 t.txt --keys '<Down><Home><BS>'
    doc_line 1 "abcd"
    doc_line 2 "ef"
    demo cp866 t.txt --keys '<End><Del><C-End><C-Home>x'
    doc_line 1 "xabcd"
    # Up and down keep the column; Right at a line's end goes on to the next line.
    demo cp866 t.txt --keys '<PgDn>x<PgUp>y<Right><Right><Right>z'
    doc_line 1 "ayb"
    doc_line 2 "czd"
    doc_line 3 "xef"
    # A missing file opens empty and is created by F2.
    demo cp866 new.txt --keys 'new<Enter>text<F2>'
    screen_has "Saved"
    cmp -s new.txt <(printf 'new\ntext') || fail "new.txt holds $(od -c new.txt)"
}

# A line wider than the screen scrolls sideways; completion works at its end.
case_long_line() {
    local line
    line=$(printf 'alpha %.0s' $(seq 1 15))
    write_file t.txt cp866 "${line}alp"
    demo cp866 t.txt --keys '<End><C-Space>'
    doc_line 1 "${line}alpha"
    screen_has "Col 96"
    screen_has "alpha alpha"
    [[ "$(sed -n 2p screen.txt)" == *" alpha" ]] || fail "the line's end is not shown"
}

# The help box (F1) and the usage text say how a terminal's Ctrl+Space is taken.
case_help() {
    write_file t.txt cp866 "hello"
    demo cp866 t.txt --keys '<F1>'
    screen_has "Terminals send Ctrl+Space as the NUL character"
    demo cp866 t.txt --keys '<F1><Enter>x'
    doc_line 1 "xhello"
    wine "$DEMO_EXE" --plugin "$DEMO_DLL" --help | grep -qF "reports as" ||
        fail "the usage text lacks the NUL note"
    ! wine "$DEMO_EXE" --keys '<Nope>' --dump 2>/dev/null || fail "an unknown key name was taken"
}

case_editing_and_save() {
    printf 'alpha\r\nbeta' >t.txt
    demo cp866 t.txt --keys '<C-End>x<Left><BS><Del><Home><Enter><Up><End><Tab>!<F2>'
    cmp -s t.txt <(printf 'alpha\r\n    !\r\nbet') || fail "saved $(od -c t.txt)"
    screen_has "Saved"
}

case_leave_asks() {
    printf 'alpha' >t.txt
    demo cp866 t.txt --keys 'x<F10>'
    screen_has "Save the changes to t.txt?"
    demo cp866 t.txt --keys 'x<F10>d'
    cmp -s t.txt <(printf 'alpha') || fail "leaving without saving changed the file"
    demo cp866 t.txt --keys 'x<Esc><Esc>y'
    doc_line 1 "xyalpha"
    demo cp866 t.txt --keys 'x<F10>s'
    cmp -s t.txt <(printf 'xalpha') || fail "leaving with saving wrote $(cat t.txt)"
    # Without changes F10 leaves at once: the rest of the script is not typed.
    demo cp866 t.txt --keys '<F10>zz'
    doc_line 1 "xalpha"
}

# Every case starts from the default options and leaves them so.
reset_settings
"case_$case_name"
reset_settings
echo "PASS ($case_name)"
