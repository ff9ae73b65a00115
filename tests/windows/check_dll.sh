#!/bin/sh
# The DLL as Windows sees it: exactly the twenty dvk_ exports of the header, imports from system DLLs only,
# and a version resource naming 0.3.2.
set -eu
header=$1
dll=$2
objdump=x86_64-w64-mingw32-objdump
status=0

declared=$(grep -oE '\bdvk_[a-z_]+\(' "$header" | tr -d '(' | sort -u)
exported=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {table=1; next} table && /^[ \t]*\[/ {print $NF} table && /^$/ {table=0}' | sort -u)
if [ "$declared" != "$exported" ] || [ "$(printf '%s\n' "$exported" | wc -l)" -ne 20 ]; then
    echo "export table differs from the header:"
    printf 'declared:\n%s\nexported:\n%s\n' "$declared" "$exported"
    status=1
fi

# What every Windows x86-64 installation has.
allowed='^(kernel32|msvcrt|ntdll|user32|advapi32|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
for import in $($objdump -p "$dll" | awk '/DLL Name:/ {print $3}'); do
    if ! printf '%s\n' "$import" | tr 'A-Z' 'a-z' | grep -qE "$allowed"; then
        echo "imports a DLL outside the system set: $import"
        status=1
    fi
done

# FileVersion and ProductVersion strings are UTF-16 in the resource section.
resources=$(mktemp)
x86_64-w64-mingw32-objcopy -O binary -j .rsrc "$dll" "$resources"
versions=$(iconv -c -f UTF-16LE -t UTF-8 "$resources" | tr -c '[:print:]' '\n' | grep -c -x '0\.3\.2')
rm -f "$resources"
if [ "$versions" -lt 2 ]; then
    echo "no version resource with 0.3.2"
    status=1
fi
[ $status -eq 0 ] && echo "dorvik_c.dll: 20 exports, system imports only, version 0.3.2"
exit $status
