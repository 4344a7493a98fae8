#!/bin/sh
# Checks a plug-in DLL's export and import tables as a host's loader sees them.
#
# Usage: check_dll_tables.sh DLL [OBJDUMP]
# Fails when one of the four entry points is not exported by its plain name, when any
# export is decorated (stdcall's "@4") or is not an entry point, or when the DLL imports
# from anything but Windows system DLLs (a run-time DLL such as libstdc++, libgcc or
# libwinpthread would be missing on the user's machine).
set -u
dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
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
[ $status -eq 0 ] && echo "exports: $(echo $exports); imports: $(echo $imports)"
exit $status
