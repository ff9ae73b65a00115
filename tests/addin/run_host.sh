#!/bin/sh
# The add-in's test host on Windows: built by clang for Microsoft's C++ ABI (the platform's compiler lays out
# the classes it hands over and expects that way) with no C run-time, linked by lld-link against import
# libraries of kernel32 and msvcrt made here, and run under Wine by driver.py beside the MinGW build's
# component and dorvik_c.dll.
# usage: run_host.sh BUILD_DIR win64|win32   (BUILD_DIR: build-win or build-win32, built)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
case $2 in
win64) target=x86_64-pc-windows-msvc machine=i386:x86-64 wine=/usr/lib/wine/wine64 bits=Win64 seh= ;;
win32) target=i686-pc-windows-msvc machine=i386 wine=/usr/lib/wine/wine bits=Win32 seh=/safeseh
    export WINEARCH=win32 ;;
*) echo "usage: $0 BUILD_DIR win64|win32" >&2; exit 2 ;;
esac
out="$build/tests/addin"
mkdir -p "$out"

# kernel32's functions are stdcall: on x86 their names carry the bytes of their arguments (@N).
cat >"$out/kernel32.in" <<'EOF'
GetStdHandle@4 WriteFile@20 ReadFile@20 CreateFileW@28 GetFileSize@8 CloseHandle@4 GetTickCount64@0 Sleep@4
GetCurrentThreadId@0 InitializeCriticalSection@4 EnterCriticalSection@4 LeaveCriticalSection@4 LoadLibraryW@4
GetProcAddress@8 ExitProcess@4 MultiByteToWideChar@24 GetProcessHeap@0 HeapAlloc@12 HeapFree@12
EOF
for lib in kernel32 msvcrt; do
    {
        echo "LIBRARY $lib.dll"
        echo EXPORTS
        if [ $lib = msvcrt ]; then
            printf '%s\n' memcpy memmove memset memcmp
        elif [ "$2" = win32 ]; then
            tr ' ' '\n' <"$out/kernel32.in"
        else
            tr ' ' '\n' <"$out/kernel32.in" | sed 's/@.*//'
        fi
    } >"$out/$lib.def"
    llvm-dlltool-14 -m $machine -k -d "$out/$lib.def" -l "$out/$lib.lib"
done

for source in host os_win32; do
    clang-14 --target=$target -std=c++20 -O2 -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector \
        -mno-stack-arg-probe -Wall -Wextra -Wpedantic -Werror -c "$here/$source.cpp" -o "$out/$source.obj"
done
lld-link-14 /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib $seh "$out/host.obj" \
    "$out/os_win32.obj" "$out/kernel32.lib" "$out/msvcrt.lib" /out:"$out/dvk_addin_host.exe"

timeout 600 python3 "$here/driver.py" "$out/dvk_addin_host.exe" "$build/addin/DorvikScanner_$bits.dll" \
    "$build/dorvik_c.dll" "$root/tests/analysis/real_marking_codes.tsv" $wine "$build/wineprefix"
