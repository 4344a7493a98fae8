#!/bin/sh
# Checks that the shipped DLL is the lean copy of the build tree's one, and hardened.
#
# Usage: check_dll_lean.sh SHIPPED_DLL BUILD_DLL [OBJDUMP]
# Fails when the shipped DLL keeps a symbol table or debug sections, or is larger than
# 80 KiB (the searches with the user's own word characters took it past 64); when the build tree's DLL lost its debug information (it is the one to debug
# with); or when no function of the plug-in checks a stack canary.
set -u
shipped=$1
built=$2
objdump=${3:-i686-w64-mingw32-objdump}
maxBytes=81920

status=0
size=$(wc -c <"$shipped") || exit 1
[ "$size" -le $maxBytes ] || { echo "shipped DLL has $size bytes, over $maxBytes"; status=1; }
"$objdump" -h "$shipped" | grep -q ' \.debug_' &&
    { echo "shipped DLL keeps debug sections"; status=1; }
"$objdump" -t "$shipped" | grep -q '^\[' && { echo "shipped DLL keeps its symbol table"; status=1; }
"$objdump" -h "$built" | grep -q ' \.debug_info ' ||
    { echo "build tree's DLL has no debug information"; status=1; }
# The DLL brings its own canary and failure routine, so their symbols prove nothing: the
# plug-in's functions must call the failure routine.
checks=$("$objdump" -d "$built" | grep -c 'call .*<___stack_chk_fail>')
[ "$checks" -gt 0 ] || { echo "no function checks a stack canary"; status=1; }
[ $status -eq 0 ] &&
    echo "shipped DLL: $size bytes, stripped; build tree's: $(wc -c <"$built") bytes;" \
        "$checks canary checks"
exit $status
