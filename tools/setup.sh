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
[ ${#missing[@]} -gt 0 ] || exit 0

# apt-get update, tried again while a mirror is mid-sync (an index that does not match its
# Release file fails it); true when every index came. Further options go to apt-get.
update() {
  local try
  for try in 1 2 3; do
    $sudo apt-get update -qq "$@" && return 0
    [ "$try" -lt 3 ] || return 1
    echo "apt-get update failed; trying again in $((try * 30)) seconds" >&2
    sleep $((try * 30))
  done
}
install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" "${missing[@]}" >/dev/null
}

echo "Installing: ${missing[*]}"
if update; then
  install
  exit 0
fi
install && exit 0
# A security suite's index stayed broken, and without it the i386 libraries wine32 needs
# have no version to match the amd64 ones installed from that suite: install from the
# other suites, saying so.
echo "apt-get update kept failing; installing from the suites without security updates" >&2
sources=$(mktemp -d)
trap 'rm -rf "$sources"' EXIT
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/' "$f" >"$sources/$(basename "$f")"
done
grep -hv -- '-security' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
  >"$sources/other.list" || true
options=(-o "Dir::Etc::sourceparts=$sources" -o "Dir::Etc::sourcelist=$sources/other.list")
update "${options[@]}"
install "${options[@]}"
