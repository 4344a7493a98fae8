#!/usr/bin/env bash
# Installs with apt whatever a fresh Debian machine lacks to build and test Lexamund.
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev
          g++-mingw-w64-i686 wine wine32:i386 tmux valgrind unzip gcovr python3 git)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # A mirror caught mid-sync fails an index (the i386 one too, which wine32 needs to match
  # the amd64 libraries' versions) until the sync ends; a few minutes' wait covers most.
  for try in 1 2 3 4 5 6; do
    $sudo apt-get update -qq && break
    [ "$try" -lt 6 ] || { echo "apt-get update kept failing" >&2; exit 1; }
    echo "apt-get update failed; trying again in $((try * 30)) seconds" >&2
    sleep $((try * 30))
  done
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
