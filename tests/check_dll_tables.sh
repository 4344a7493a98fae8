#!/usr/bin/env bash
# Checks a plug-in DLL's export and import tables and its hardening as a host's loader sees them.
#
# Usage: check_dll_tables.sh DLL OBJDUMP IMPORTS
# Fails when one of the four entry points is not exported by its plain name, when any
# export is decorated (stdcall's "@4") or is not an entry point, when the DLL imports
# from anything but Windows system DLLs (a run-time DLL such as libstdc++, libgcc,
# libwinpthread or libssp would be missing on the user's machine), or when it gives up
# ASLR or DEP: the DYNAMIC_BASE and NX_COMPAT characteristics and the relocations that let
# the loader move the image; or the NO_SEH characteristic, without which the system would
# run an exception handler in the DLL that a smashed stack names; or when a section is both
# writable and executable, or writable and shared between processes; or when it has
# thread-local storage, whose callbacks would run under the loader lock. It also holds the
# DLL to the oldest Windows it claims: the imported functions must be exactly those of the
# IMPORTS list, which may name no Windows later than that one, and the image may ask for no
# later system version.
set -u
dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
importList=$3
oldestWindows=XP
windowsInOrder="95 NT4 98 2000 XP"                      # up to the oldest claimed
oldestVersion=501                                      # Windows XP is version 5.1
entries="SetStartupInfo GetPluginInfo OpenPlugin ProcessEditorInput"

dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }

# Names of the [Ordinal/Name Pointer] table, one a line.
exports=$(printf '%s\n' "$dump" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
    inside && /^[ \t]*$/ { inside = 0 }
    inside { sub(/^[ \t]*\[[ 0-9]*\][ \t]*/, ""); print }')
imports=$(printf '%s\n' "$dump" | sed -n 's/^[ \t]*DLL Name:[ \t]*//p')

status=0
for name in $entries; do
    printf '%s\n' "$exports" | grep -qx "$name" || { echo "missing export: $name"; status=1; }
done
for name in $exports; do
    case "$name" in
        *@*) echo "decorated export: $name"; status=1; continue ;;
    esac
    case " $entries " in
        *" $name "*) ;;
        *) echo "unexpected export: $name"; status=1 ;;
    esac
done
for dllName in $imports; do
    lower=$(printf '%s' "$dllName" | tr 'A-Z' 'a-z')
    case "$lower" in
        kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll | ntdll.dll | gdi32.dll | \
        shell32.dll | ole32.dll | oleaut32.dll | ucrtbase.dll | api-ms-win-*.dll) ;;
        *) echo "non-system import: $dllName"; status=1 ;;
    esac
done
[ -n "$imports" ] || { echo "no import table found"; status=1; }

# DLL and function of each import, one a line, against the list's first two columns.
functions=$(printf '%s\n' "$dump" | awk '
    /DLL Name:/ { dll = $3; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' | sort)
listed=$(grep -v '^#' "$importList" | awk 'NF { print $1, $2 }' | sort)
if [ "$functions" != "$listed" ]; then
    echo "imports differ from $importList (< the DLL, > the list):"
    diff <(printf '%s\n' "$functions") <(printf '%s\n' "$listed") | grep '^[<>]'
    status=1
fi
grep -v '^#' "$importList" | while read -r dllName function since; do
    [ -n "$dllName" ] || continue
    case " $windowsInOrder " in
        *" $since "*) ;;
        *) echo "$dllName $function needs Windows $since, later than $oldestWindows"; exit 1 ;;
    esac
done || status=1
for field in MajorOSystemVersion MajorSubsystemVersion; do
    minor=$(printf '%s\n' "$field" | sed 's/Major/Minor/')
    major=$(printf '%s\n' "$dump" | awk -v f="$field" '$1 == f { print $2 }')
    minorValue=$(printf '%s\n' "$dump" | awk -v f="$minor" '$1 == f { print $2 }')
    if [ $((major * 100 + minorValue)) -gt $oldestVersion ]; then
        echo "$field $major.$minorValue: Windows $oldestWindows would refuse the image"
        status=1
    fi
done

# The flags listed below the DllCharacteristics line, one a line.
flags=$(printf '%s\n' "$dump" | awk '
    /^DllCharacteristics/ { inside = 1; next }
    inside && /^[ \t]+[A-Z_]+[ \t]*$/ { print $1; next }
    { inside = 0 }')
for flag in DYNAMIC_BASE NX_COMPAT NO_SEH; do
    printf '%s\n' "$flags" | grep -qx "$flag" || { echo "characteristic missing: $flag"; status=1; }
done
# Each section's flags follow its line in objdump -h: a section lacks READONLY when it is
# writable (IMAGE_SCN_MEM_WRITE), shows CODE when executable and SHARED when shared.
sections=$("$objdump" -h "$dll") || { echo "cannot read the section table"; status=1; }
printf '%s\n' "$sections" | awk '
    /^ *[0-9]+ / { name = $2; next }
    name != "" && !/READONLY/ && /CODE/ { print "writable and executable section: " name }
    name != "" && !/READONLY/ && /SHARED/ { print "writable section shared by processes: " name }
    { name = "" }' | grep . && status=1
# Thread-local storage would bring TLS callbacks, run by the loader under its lock.
tlsSize=$(printf '%s\n' "$dump" | awk '/Thread Storage Directory/ { print $4 }')
case "$tlsSize" in
    "" | 00000000) ;;
    *) echo "a TLS directory: callbacks would run under the loader lock"; status=1 ;;
esac
relocSize=$(printf '%s\n' "$dump" | awk '/Base Relocation Directory/ { print $4 }')
case "$relocSize" in
    "" | 00000000) echo "no base relocations: the loader cannot move the DLL"; status=1 ;;
esac
[ $status -eq 0 ] && echo "exports: $(echo $exports); imports: $(echo $imports);" \
    "characteristics: $(echo $flags)"
exit $status
