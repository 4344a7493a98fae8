#!/bin/sh
# Checks that the shipped DLL is the lean copy of the build tree's one, and hardened.
#
# Usage: check_dll_lean.sh SHIPPED_DLL BUILD_DLL [OBJDUMP]
# Fails when the shipped DLL keeps a symbol table or debug sections, or is larger than
# 64 KiB; when the build tree's DLL lost its debug information (it is the one to debug
# with); or when the stack protector's run-time is not linked in, which happens only when
# no function of the plug-in was built with a stack canary.
set -u
shipped=$1
built=$2
objdump=${3:-i686-w64-mingw32-objdump}
maxBytes=65536

status=0
size=$(wc -c <"$shipped") || exit 1
[ "$size" -le $maxBytes ] || { echo "shipped DLL has $size bytes, over $maxBytes"; status=1; }
"$objdump" -h "$shipped" | grep -q ' \.debug_' &&
    { echo "shipped DLL keeps debug sections"; status=1; }
"$objdump" -t "$shipped" | grep -q '^\[' && { echo "shipped DLL keeps its symbol table"; status=1; }
"$objdump" -h "$built" | grep -q ' \.debug_info ' ||
    { echo "build tree's DLL has no debug information"; status=1; }
symbols=$("$objdump" -t "$built") || exit 1
for name in ___stack_chk_fail ___stack_chk_guard; do
    printf '%s\n' "$symbols" | grep -q " $name\$" ||
        { echo "$name is not linked in: no stack canaries"; status=1; }
done
[ $status -eq 0 ] &&
    echo "shipped DLL: $size bytes, stripped; build tree's: $(wc -c <"$built") bytes"
exit $status
