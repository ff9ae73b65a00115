#!/bin/sh
# The 1C add-in's ZIP, as a configuration keeps it in a template: MANIFEST.XML and the three binaries it
# names, from the Linux, Windows x64 and Windows x86 builds. Checks that each binary exports the five entry
# points and nothing else, needs nothing beside the system's own libraries, and is what the manifest says.
# Usage: addin_zip.sh LINUX_BUILD WIN64_BUILD WIN32_BUILD  (writes DorvikScanner.zip into LINUX_BUILD)
set -eu
linux=$1 win64=$2 win32=$3
out="$linux/DorvikScanner.zip"
status=0
entries="GetAttachType GetClassNames GetClassObject SetPlatformCapabilities DestroyObject"
sorted=$(printf '%s\n' $entries | sort | tr '\n' ' ')

so="$linux/addin/DorvikScanner_Lin64.so"
exported=$(nm -D --defined-only "$so" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exported" = "$sorted" ] || { echo "$so exports: $exported"; status=1; }
needed=$(objdump -p "$so" | awk '/NEEDED/ {print $2}' | tr '\n' ' ')
for lib in $needed; do
    case $lib in libc.so.6 | libm.so.6 | ld-linux-x86-64.so.2) ;; *) echo "$so needs $lib"; status=1 ;; esac
done

for dll in "$win64/addin/DorvikScanner_Win64.dll" "$win32/addin/DorvikScanner_Win32.dll"; do
    exported=$(objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NF == 3 && $2 ~ /^[0-9]+]$/ {print $3}' |
        sort | tr '\n' ' ')
    [ "$exported" = "$sorted" ] || { echo "$dll exports: $exported"; status=1; }
    for import in $(objdump -p "$dll" | awk '/DLL Name:/ {print tolower($3)}'); do
        case $import in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | shell32.dll | hid.dll | setupapi.dll) ;;
        *) echo "$dll imports $import"; status=1 ;;
        esac
    done
done
file "$win32/addin/DorvikScanner_Win32.dll" | grep -q 'Intel 80386' || { echo "the Win32 DLL is not x86"; status=1; }
file "$win64/addin/DorvikScanner_Win64.dll" | grep -q 'x86-64' || { echo "the Win64 DLL is not x86-64"; status=1; }

python3 - "$(dirname "$0")/../addin/MANIFEST.XML" "$out" "$so" "$win64/addin/DorvikScanner_Win64.dll" \
    "$win32/addin/DorvikScanner_Win32.dll" <<'PY' || status=1
import os, sys, zipfile, xml.etree.ElementTree as ET
manifest, out, *binaries = sys.argv[1:]
named = {c.get("path") for c in ET.parse(manifest).getroot()}
given = {os.path.basename(b) for b in binaries}
if named != given:
    sys.exit(f"MANIFEST.XML names {sorted(named)}, the builds give {sorted(given)}")
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(manifest, "MANIFEST.XML")
    for b in binaries:
        z.write(b, os.path.basename(b))
for info in zipfile.ZipFile(out).infolist():
    print(f"  {info.filename:28} {info.file_size:>9} bytes ({info.compress_size} packed)")
print(f"{out}: {os.path.getsize(out)} bytes")
PY
exit $status
