#!/usr/bin/env bash
# Fails when the exe imports any DLL outside the system DLLs every Windows has.
set -eu
objdump=$1 exe=$2
allowed='^(kernel32|advapi32|msvcrt|user32|ntdll)\.dll$'
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
if [ -z "$dlls" ]; then
    echo "no import table found in $exe" >&2
    exit 1
fi
status=0
while read -r dll; do
    if ! printf '%s\n' "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
        echo "not a system DLL: $dll" >&2
        status=1
    fi
done <<< "$dlls"
echo "imports: $(echo $dlls)"
exit $status
