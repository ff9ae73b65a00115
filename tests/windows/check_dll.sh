#!/bin/sh
# The DLL and its package as Windows sees them: exactly the header's exports, imports from system DLLs only,
# the version resource, no debug sections but a debug link to dorvik_c.debug, and the ZIP's layout.
set -eu
build=$1
version=$2
dll=$build/dorvik_c.dll
objdump=x86_64-w64-mingw32-objdump
status=0
sh "$(dirname "$0")/../capi/check_exports.sh" "$build/dorvik_c.def" "$dll" || status=1

# What every Windows x86-64 installation has.
allowed='^(kernel32|msvcrt|ntdll|user32|advapi32|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
for import in $($objdump -p "$dll" | awk '/DLL Name:/ {print $3}'); do
    if ! printf '%s\n' "$import" | tr 'A-Z' 'a-z' | grep -qE "$allowed"; then
        echo "imports a DLL outside the system set: $import"
        status=1
    fi
done

# The resource strings are UTF-16.
strings=$(x86_64-w64-mingw32-objcopy -O binary -j .rsrc "$dll" /dev/stdout | iconv -c -f UTF-16LE -t UTF-8 |
    tr -c '[:print:]' '\n')
for wanted in "$version" "dorvik_c barcode scanner library (x86-64)" "The dorvik_c authors" "MIT licence"; do
    printf '%s\n' "$strings" | grep -qF "$wanted" || { echo "version resource lacks: $wanted"; status=1; }
done

# The host kit's DLL beside it: the dvkh_ calls of its header exported, nothing but dorvik_c.dll and the
# system's imported.
kit=$build/host/dorvik_host.dll
want_kit=$(sed -n 's/^DVKH_API [^(]* \**\(dvkh_[a-z0-9_]*\)(.*/\1/p' "$(dirname "$0")/../../include/dorvik_host.h" | sort)
got_kit=$($objdump -p "$kit" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' | sort)
[ "$got_kit" = "$want_kit" ] || { printf 'dorvik_host.dll exports:\n%s\nnot:\n%s\n' "$got_kit" "$want_kit"; status=1; }
for import in $($objdump -p "$kit" | awk '/DLL Name:/ {print $3}'); do
    if ! printf '%s\n' "$import" | tr 'A-Z' 'a-z' | grep -qE "$allowed|^dorvik_c\.dll$"; then
        echo "dorvik_host.dll imports a DLL outside the system set: $import"
        status=1
    fi
done
# dvk.exe needs nothing but the two DLLs beside it and the system's (HID and SetupAPI for HID-POS scanners).
for import in $($objdump -p "$build/tools/dvk/dvk.exe" | awk '/DLL Name:/ {print $3}'); do
    if ! printf '%s
' "$import" | tr 'A-Z' 'a-z' | grep -qE "$allowed|^(shell32|hid|setupapi)\.dll$|^dorvik_(c|host)\.dll$"; then
        echo "dvk.exe imports a DLL outside the system set: $import"
        status=1
    fi
done

sections=$($objdump -h "$dll" | awk '{print $2}')
if printf '%s\n' "$sections" | grep -q '^\.debug_' || ! printf '%s\n' "$sections" | grep -qx '\.gnu_debuglink'; then
    echo "the DLL should carry a debug link and no debug sections"
    status=1
fi
$objdump -h "$build/dorvik_c.debug" | grep -q '\.debug_info' || { echo "dorvik_c.debug holds no debug info"; status=1; }

zip=$build/dorvik_c-$version-win64.zip
want="bin/dorvik_c.debug bin/dorvik_c.dll bin/dorvik_host.dll bin/dvk.exe bindings/dotnet/Dorvik.cs CHANGELOG.md
include/dorvik_c.h include/dorvik_c_version.h include/dorvik_host.h lib/cmake/dorvik_c/dorvik_cConfig.cmake
lib/cmake/dorvik_c/dorvik_cConfigVersion.cmake lib/cmake/dorvik_c/dorvik_cTargets-release.cmake
lib/cmake/dorvik_c/dorvik_cTargets.cmake lib/dorvik_c.def lib/dorvik_c.dll.a lib/dorvik_c.lib lib/dorvik_host.def
lib/dorvik_host.dll.a lib/dorvik_host.lib lib/pkgconfig/dorvik_c.pc LICENSE README.md"
got=$(cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort | tr '\n' ' ')
if [ "$got" != "$(printf '%s\n' $want | LC_ALL=C sort | tr '\n' ' ')" ]; then
    printf 'unexpected package listing:\n%s\n' "$got"
    status=1
fi
[ $status -eq 0 ] && echo "dorvik_c.dll $version (and dorvik_host.dll, dvk.exe): exports, imports, version resource, debug link and package as promised"
exit $status
