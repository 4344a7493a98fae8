#!/usr/bin/env bash
# Runs the interactive demo in a terminal (tmux), types a prefix, presses Ctrl+Space as the
# terminal sends it, and checks the menu and then the completed word on the screen; then the
# options dialog, the bell, and leaving. Needs DEMO_EXE, DEMO_DLL, DEMO_WORK and the wine
# variables. DEMO_SHOTS, when set, names a folder that receives the captured screens.
set -euo pipefail
work="$DEMO_WORK/tmux"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
socket="$work/tmux.sock" # a server of our own, away from the user's sessions
session=demo
timeout=${DEMO_TMUX_TIMEOUT:-120} # seconds; wine's first start in a prefix is slow

tmux_() { tmux -u -S "$socket" "$@"; }
cleanup() { tmux_ kill-server 2>/dev/null || true; }
trap cleanup EXIT

capture() { tmux_ capture-pane -p -t "$session" 2>/dev/null || true; }
fail() {
    echo "FAIL: $*" >&2
    echo "---- pane ----" >&2
    capture >&2
    exit 1
}
# wait_for has|lacks TEXT: polls the pane until TEXT is there (or gone), up to the timeout.
wait_for() {
    local mode=$1 text=$2 deadline=$((SECONDS + timeout))
    while ((SECONDS < deadline)); do
        if capture | grep -qF -- "$text"; then
            [ "$mode" = has ] && return 0
        else
            [ "$mode" = lacks ] && return 0
        fi
        sleep 0.3
    done
    fail "after ${timeout}s the pane still $([ "$mode" = has ] && echo lacks || echo has) '$text'"
}
# The pane's row (counted from 0), trailing blanks cut.
row() { capture | sed -n "$(($1 + 1))p" | sed 's/ *$//'; }
shot() { [ -z "${DEMO_SHOTS:-}" ] || capture >"$DEMO_SHOTS/$1.txt"; }

printf 'compile the complete component\n' >t.txt
tmux_ -f /dev/null new-session -d -s "$session" -x 80 -y 25 \
    "env WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
     LANG=C.UTF-8 wine '$DEMO_EXE' --plugin '$DEMO_DLL' t.txt; echo demo-left; sleep 600"
wait_for has "11Plug-ins"

tmux_ send-keys -t "$session" C-End
tmux_ send-keys -t "$session" -l "comp"
wait_for has "Col 5"
tmux_ send-keys -t "$session" C-Space
wait_for has "Words: 3"
shot menu
capture | grep -qF "1 compile" || fail "the menu lacks its first item"
capture | grep -qF "3 component" || fail "the menu lacks its last item"
tmux_ send-keys -t "$session" 2
wait_for lacks "Words: 3"
wait_for has "Col 9"
[ "$(row 2)" = "complete" ] || fail "row 2 is '$(row 2)', expected 'complete'"

# The options dialog from the plug-ins menu, left with Esc.
tmux_ send-keys -t "$session" F11
wait_for has "1 Lexamund"
tmux_ send-keys -t "$session" 1
wait_for has "{ Save }"
shot dialog
tmux_ send-keys -t "$session" Escape
wait_for lacks "{ Save }"

# Nothing to complete: the status line tells, and the terminal's bell rings.
tmux_ send-keys -t "$session" Enter
tmux_ send-keys -t "$session" -l "zz"
wait_for has "Col 3"
tmux_ send-keys -t "$session" C-Space
wait_for has "Beep: nothing found"
[ "$(tmux_ display-message -p -t "$session" '#{window_bell_flag}')" = 1 ] ||
    fail "the bell did not ring"

# Leaving asks about the changes; "Don't save" leaves the file as it was.
tmux_ send-keys -t "$session" F10
wait_for has "Save the changes to t.txt?"
tmux_ send-keys -t "$session" d
wait_for has "demo-left"
[ "$(cat t.txt)" = "compile the complete component" ] || fail "the file changed"
echo PASS
