#!/usr/bin/env bash
# Installs what is missing, builds the plug-in (assembling dist/Lexamund) and the demo host,
# and opens the demo host on its sample text in this terminal, under wine. Without a
# terminal it types a short key script instead and prints the screens.
# Arguments go to the demo host (e.g. --lang russian, --table 1251, a file name); with --help
# or --version it prints its usage or version and leaves, in a terminal or not.
set -euo pipefail
# Files named relative to the caller's folder are handed on with their full path.
args=()
answer_only=false
for arg in "$@"; do
    if [[ "$arg" != /* && -f "$arg" ]]; then arg="$PWD/$arg"; fi
    case "$arg" in --help | -h | --version) answer_only=true ;; esac
    args+=("$arg")
done
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target lexamund-demo lexamund_dist
echo "Plug-in folder: $(pwd)/dist/Lexamund (copy it into the host's plug-ins folder)"

tools/wine-prefix.sh start build/win32
trap 'tools/wine-prefix.sh stop build/win32' EXIT
export WINEPREFIX="$(pwd)/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
demo=(wine build/win32/demo/lexamund-demo.exe --plugin dist/Lexamund/Lexamund.dll)

if $answer_only || { [ -t 0 ] && [ -t 1 ]; }; then
    # Wine writes the console in the locale's character set; box lines and Cyrillic need UTF-8.
    case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
    *UTF-8* | *utf8* | *UTF8* | *utf-8*) ;;
    *) export LC_ALL=C.UTF-8 ;;
    esac
    "${demo[@]}" "${args[@]}"
    exit 0
fi

# No terminal: complete "comp" on the sample's last line, showing the menu, then choose 2.
screen() { sed -n '/^---- screen ----$/,/^---- document ----$/p' | sed '1d;$d' | iconv -f cp866 -t utf-8; }
echo "Keys: <C-End>comp<C-Space>"
"${demo[@]}" "${args[@]}" --keys '<C-End>comp<C-Space>' --dump | screen
echo "Keys: <C-End>comp<C-Space>2"
"${demo[@]}" "${args[@]}" --keys '<C-End>comp<C-Space>2' --dump | screen
